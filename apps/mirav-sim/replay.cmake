# Runs mirav-sim twice with the same arguments and fails unless both runs
# report the same matches (wall times and speed aside).
#   cmake -DSIM=<mirav-sim> "-DARGS=--level 0 ..." -P replay.cmake
separate_arguments(args UNIX_COMMAND "${ARGS}")
foreach(run 1 2)
  execute_process(COMMAND ${SIM} ${args} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "mirav-sim failed (${rc}):\n${out}")
  endif()
  string(REGEX REPLACE "wall_ms=[0-9]+" "" out "${out}")
  string(REGEX REPLACE "speed=[0-9.]+x" "" out "${out}")
  string(REGEX REPLACE "peak_rss_kb=[0-9]+" "" out "${out}")
  set(out${run} "${out}")
endforeach()
if(NOT out1 STREQUAL out2)
  message(FATAL_ERROR "the same seed gave different matches:\n${out1}\n---\n${out2}")
endif()
message(STATUS "${out1}")
