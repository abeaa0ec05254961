# Writes a data folder of seeded test levels and plays a short bot match on
# a few of them at 2 and 4 a team: every match must end with a winner and
# no bot may stand 30 game seconds in one cell.
# -DGEN=<mirav-gen-data> -DSIM=<mirav-sim> -DDATA=<data folder> -DWORK=<scratch folder>
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${GEN} --test-levels ${DATA} ${WORK} 1 4 RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the test levels were not written: ${rc}")
endif()
foreach(run "0 4" "1 2" "3 4")
  separate_arguments(run)
  list(GET run 0 level)
  list(GET run 1 size)
  execute_process(COMMAND ${SIM} --data ${WORK} --level ${level} --teamsize ${size} --seed 3 --matches 2 --minutes 15
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out)
  message("${out}")
  if(NOT rc EQUAL 0 OR NOT out MATCHES "summary: matches=2 decided=2 ")
    message(FATAL_ERROR "level ${level} at ${size} a team: not every match was won")
  endif()
  if(out MATCHES "stuck=[1-9]")
    message(FATAL_ERROR "level ${level} at ${size} a team: a bot stood stuck")
  endif()
endforeach()
