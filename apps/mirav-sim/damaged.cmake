# mirav-sim over damaged copies of the shipped data, one damage a row: what it
# says (the file and key named) and what it does (refused with exit 3, run with
# the value clamped, or a bad command line with exit 2). The shipped data is
# copied into WORK; data/ itself is never touched.
#   cmake -DSIM=<mirav-sim> -DDATA=<data folder> -DWORK=<scratch folder> -P damaged.cmake
set(failures "")

# Each row: name | damage (cmake code run in the copy's folder, ${dir}) |
# mirav-sim arguments | expected exit code | text expected in its output.
function(row name damage args code text)
  set(dir "${WORK}/${name}")
  file(REMOVE_RECURSE "${dir}")
  file(MAKE_DIRECTORY "${dir}")
  foreach(sub Config Levels Objects)
    file(COPY "${DATA}/${sub}" DESTINATION "${dir}")
  endforeach()
  cmake_language(EVAL CODE "${damage}")
  separate_arguments(argv UNIX_COMMAND "${args}")
  execute_process(COMMAND ${SIM} --data "${dir}" --minutes 0.2 --matches 1 ${argv}
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc TIMEOUT 120)
  set(all "${out}${err}")
  if(NOT rc STREQUAL "${code}")
    set(failures "${failures}\n${name}: exit ${rc}, expected ${code}\n${all}" PARENT_SCOPE)
  elseif(NOT all MATCHES "${text}")
    set(failures "${failures}\n${name}: no \"${text}\" in\n${all}" PARENT_SCOPE)
  endif()
  file(REMOVE_RECURSE "${dir}")
endfunction()

# Replaces the value of one key of a level file (setkey_code) or of the
# given files (setkey_in_code; a glob).
set(setkey [=[
  file(GLOB files "${dir}/@FILES@")
  foreach(f ${files})
    file(READ "${f}" t)
    string(REGEX REPLACE "\n@KEY@ *=[^\n#]*" "\n@KEY@ = @VALUE@" t "${t}")
    file(WRITE "${f}" "${t}")
  endforeach()
]=])
function(setkey_in_code files key value out)
  string(REPLACE "@FILES@" "${files}" c "${setkey}")
  string(REPLACE "@KEY@" "${key}" c "${c}")
  string(REPLACE "@VALUE@" "${value}" c "${c}")
  set(${out} "${c}" PARENT_SCOPE)
endfunction()
function(setkey_code key value out)
  setkey_in_code(Levels/level0.ini "${key}" "${value}" c)
  set(${out} "${c}" PARENT_SCOPE)
endfunction()

# Level bitmaps are made from their descriptions by the data generator:
# remap_code gives a legend character of the first level another red code;
# level_code writes the first level's description anew (ROWS rows of the
# given heights and objects lines, teams all 0) and makes its bitmap.
function(remap_code char code out)
  set(${out} "
    file(READ \"\${dir}/Levels/src/level0.txt\" t)
    string(REGEX REPLACE \"\\nlegend ${char} [0-9]+\" \"\\nlegend ${char} ${code}\" t \"\${t}\")
    file(WRITE \"\${dir}/Levels/src/level0.txt\" \"\${t}\")
    execute_process(COMMAND \"${GEN}\" --levels \"\${dir}\" OUTPUT_QUIET)" PARENT_SCOPE)
endfunction()
function(level_code heights objects out)
  set(${out} "
    set(heights \"${heights}\")
    set(objects \"${objects}\")
    string(REGEX REPLACE \"[^\\n]\" \".\" teams \"\${heights}\")
    file(WRITE \"\${dir}/Levels/src/level0.txt\" \"output Levels/level0.bmp\\nlegend A 153\\nlegend D 154\\nlegend a 151\\nlegend d 152\\nheights\\n\${heights}teams\\n\${teams}objects\\n\${objects}\")
    execute_process(COMMAND \"${GEN}\" --levels \"\${dir}\" OUTPUT_QUIET)" PARENT_SCOPE)
endfunction()

row(missing_level_file [[file(REMOVE "${dir}/Levels/level0.ini")]] "" 3 "level0.ini.*cannot be played")
row(missing_bitmap     [[file(REMOVE "${dir}/Levels/level0.bmp")]] "" 3 "level0.bmp")
row(level_out_of_range "" "--level 99" 3 "no file for level 99")
setkey_code(groundPlaneScale 1000 c)
row(huge_ground        "${c}" "" 0 "Levels/level0.ini: \\[level\\] groundPlaneScale = 1000 is out of range 0.01..25; using 25")
setkey_code(groundPlaneScale abc c)
row(bad_number         "${c}" "" 0 "level0.ini\": \\[level\\] groundPlaneScale is missing or malformed")
setkey_code(groundPlaneScale 0 c)
row(zero_ground        "${c}" "" 0 "Levels/level0.ini: \\[level\\] groundPlaneScale = 0 is out of range 0.01..25")
# A ground smaller than the map: enlarged to cover it, so nothing stands
# over its edge.
setkey_code(groundPlaneScale 1 c)
row(small_ground       "${c}" "" 0 "Levels/level0.ini: \\[level\\] groundPlaneScale = 1 leaves the ground smaller than the 56 x 92 map; using 4.6")
# Rules that would make a match impossible: held to their limits, the file,
# section and key named.
setkey_in_code(Config/Config.ini PouchSize 0 c)
row(pouch_zero         "${c}" "" 0 "Config/Config.ini: \\[LOGIC\\] PouchSize = 0 is out of range 1..16; using 1")
setkey_in_code(Config/Config.ini NumFlags 0 c)
row(no_flags_to_lose   "${c}" "" 0 "Config/Config.ini: \\[FLAGMAN\\] NumFlags = 0 is out of range 1..1000; using 1")
setkey_in_code(Config/Config.ini NumFlags 99999 c)
row(more_flags_to_lose "${c}" "" 0 "NumFlags = 99999 is out of range 1..1000; using 1000.*NumFlags = 1000 is more than the 3 flags level \"Levels/level0.ini\"")
setkey_in_code(Config/Config.ini CaptureDistance 0 c)
row(capture_zero       "${c}" "" 0 "Config/Config.ini: \\[FLAGMAN\\] CaptureDistance = 0 is out of range 1..1000000; using 1")
setkey_in_code(Config/Config.ini PickUpDistance -5 c)
row(pick_up_negative   "${c}" "" 0 "\\[FLAGMAN\\] PickUpDistance = -5 is out of range 1..1000000; using 1")
setkey_in_code(Config/Config.ini PouchSize abc c)
row(pouch_malformed    "${c}" "" 0 "Config/Config.ini: \\[LOGIC\\] PouchSize is malformed; using the default")
setkey_in_code(Config/AI/ai_settings.ini MaxSearches 0 c)
row(no_searches        "${c}" "" 0 "Config/AI/ai_settings.ini: \\[A\\*\\] MaxSearches = 0 is below 1; using 1")
# A dropped flag going home at once is the rule's own default: it is played.
setkey_in_code(Config/Config.ini RespawnTime 0 c)
row(flag_return_now    "${c}" "" 0 "match 1: winner=")
setkey_in_code("Config/Physics/*/Physics.ini" density 0 c)
row(density_zero       "${c}" "" 0 "Config/Physics/character/Physics.ini: \\[PhysMaterial\\] density = 0 leaves every player standing still; using 800")

# Levels no match can be played on, and levels beyond the limits.
remap_code(A 150 a)
remap_code(D 150 d)
row(no_flags           "${a}\n${d}" "" 3 "bitmap \"Levels/level0.bmp\" places no flag.*the level is refused")
remap_code(d 150 c)
row(no_spawn_point     "${c}" "" 3 "bitmap \"Levels/level0.bmp\" places no spawn point for team 1.*the level is refused")
remap_code(D 150 c)
row(one_team_no_flag   "${c}" "" 3 "places no flag for team 1.*a team has no flag")
string(REPEAT "." 600 wide)
level_code("${wide}\n${wide}\n" "${wide}\n${wide}\n" c)
row(oversized_level    "${c}" "" 3 "bitmap \"Levels/level0.bmp\" is 600 x 2 cells, more than the bots' grid holds \\(500 x 500\\); the level is refused")
string(REPEAT "1" 150 ones)
string(REPEAT "${ones}\n" 150 heights)
string(REPEAT "." 150 dots)
string(REPEAT "${dots}\n" 148 objects)
string(REPEAT "A" 20 flags0)
string(REPEAT "a" 70 spawns0)
string(SUBSTRING "${flags0}D${spawns0}d${dots}" 0 150 special)
set(fewer_ones "${ones}")
setkey_code(SpawnAllBlocks 0 c)
level_code("${heights}" "${objects}${special}\n${dots}\n" b)
row(too_many_actors    "${c}\n${b}" "" 3 "bitmap \"Levels/level0.bmp\" makes at least 225[0-9][0-9] actors.*more than the 20000 a level may make; the level is refused")
string(REPEAT "${dots}\n" 3 heights)
level_code("${heights}" "${special}\n${dots}\n${dots}\n" b)
row(too_many_flags     "${b}" "" 0 "match 1: winner=.*more flags than the 16 a team may have; 4 left out.*more spawn points than the 64 a team may have; 6 left out")

row(help               "" "--help" 0 "Exit status")
row(bad_argument       "" "--teamsize 0" 2 "bad value for --teamsize.*usage: mirav-sim")
row(unknown_option     "" "--frobnicate 1" 2 "unknown option --frobnicate.*usage: mirav-sim")

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
