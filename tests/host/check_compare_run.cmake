# cmake -DEMULATOR=wine -DEXECUTABLE=quorlind-bench.exe -DDATA=tests/host/data -DWORK=dir
#       -DVALIDATOR=validate_result.py -DSCHEMA=comparison.schema.json -P check_compare_run.cmake
# quorlind-bench compare under the emulator: each exit code a CI gate relies
# on, and a JSON comparison that matches its schema.
include(${CMAKE_CURRENT_LIST_DIR}/expect_exit.cmake)
function(compare expected_exit)
  expect_exit(${expected_exit} compare ${ARGN})
  set(output "${output}" PARENT_SCOPE)
  set(errors "${errors}" PARENT_SCOPE)
endfunction()

set(comparison ${WORK}/wine-comparison.json)
file(REMOVE ${comparison})
compare(3 ${DATA}/result-v2-base.json ${DATA}/result-v2-slower.json ${DATA}/result-v1.json --json ${comparison})
if(NOT output MATCHES "-10\\.0 %  slower")
  message(FATAL_ERROR "no slowdown reported:\n${output}")
endif()
execute_process(COMMAND /usr/bin/python3 ${VALIDATOR} ${SCHEMA} ${comparison}
                RESULT_VARIABLE exit_code ERROR_VARIABLE errors TIMEOUT 60)
if(NOT exit_code EQUAL 0)
  message(FATAL_ERROR "${comparison} does not match ${SCHEMA}:\n${errors}")
endif()

# The same file twice: three runs cannot exclude 2 %, but they can exclude 5 %.
compare(5 ${DATA}/result-v2-base.json ${DATA}/result-v2-base.json)
compare(0 ${DATA}/result-v2-base.json ${DATA}/result-v2-base.json --threshold 5 --json -)
string(JSON outcome GET "${output}" outcome)
if(NOT outcome STREQUAL "no slowdown")
  message(FATAL_ERROR "outcome '${outcome}' for the same file twice")
endif()

compare(4 ${DATA}/result-v2-base.json ${DATA}/result-v2-other-library.json)

set(truncated ${WORK}/wine-truncated.json)
file(READ ${DATA}/result-v2-slower.json text)
string(SUBSTRING "${text}" 0 500 text)
file(WRITE ${truncated} "${text}")
file(REMOVE ${comparison})
compare(1 ${DATA}/result-v2-base.json ${truncated} --json ${comparison})
if(NOT errors MATCHES "wine-truncated.json: the JSON ends too early" OR EXISTS ${comparison})
  message(FATAL_ERROR "a truncated file: '${errors}', output file left: ${comparison}")
endif()

compare(2 ${DATA}/result-v2-base.json)
message(STATUS "quorlind-bench compare under the emulator: exit codes 3, 5, 0, 4, 1 and 2 as expected")
