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

# Replaces the value of one key of a level file.
set(setkey [=[
  file(READ "${dir}/Levels/level0.ini" t)
  string(REGEX REPLACE "\n@KEY@ *=[^\n#]*" "\n@KEY@ = @VALUE@" t "${t}")
  file(WRITE "${dir}/Levels/level0.ini" "${t}")
]=])
function(setkey_code key value out)
  string(REPLACE "@KEY@" "${key}" c "${setkey}")
  string(REPLACE "@VALUE@" "${value}" c "${c}")
  set(${out} "${c}" PARENT_SCOPE)
endfunction()

row(missing_level_file [[file(REMOVE "${dir}/Levels/level0.ini")]] "" 3 "level0.ini.*cannot be played")
row(missing_bitmap     [[file(REMOVE "${dir}/Levels/level0.bmp")]] "" 3 "level0.bmp")
row(level_out_of_range "" "--level 99" 3 "no file for level 99")
setkey_code(groundPlaneScale 1000 c)
row(huge_ground        "${c}" "" 0 "level0.ini\": \\[level\\] groundPlaneScale is out of range; using 25")
setkey_code(groundPlaneScale abc c)
row(bad_number         "${c}" "" 0 "level0.ini\": \\[level\\] groundPlaneScale is missing or malformed")
setkey_code(groundPlaneScale 0 c)
row(zero_ground        "${c}" "" 0 "level0.ini\": \\[level\\] groundPlaneScale is out of range")
row(help               "" "--help" 0 "Exit status")
row(bad_argument       "" "--teamsize 0" 2 "bad value for --teamsize.*usage: mirav-sim")
row(unknown_option     "" "--frobnicate 1" 2 "unknown option --frobnicate.*usage: mirav-sim")

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
