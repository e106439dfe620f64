# cmake -DEMULATOR=wine -DEXECUTABLE=quorlind-bench.exe -P check_json_run.cmake
execute_process(
  COMMAND ${EMULATOR} ${EXECUTABLE} --warmup 0 --measure 0.3 --json
  RESULT_VARIABLE exit_code
  OUTPUT_VARIABLE output
  ERROR_VARIABLE errors
  TIMEOUT 150)
if(NOT exit_code EQUAL 0)
  message(FATAL_ERROR "quorlind-bench exited with '${exit_code}'\n${errors}")
endif()
string(JSON status ERROR_VARIABLE json_error GET "${output}" status name)
if(json_error)
  message(FATAL_ERROR "standard output is not the expected JSON: ${json_error}\n${output}")
endif()
if(NOT status STREQUAL "completed")
  message(FATAL_ERROR "status is '${status}', expected 'completed'\n${output}")
endif()
string(JSON sample_count GET "${output}" summary sample_count)
string(JSON samples LENGTH "${output}" samples)
if(sample_count EQUAL 0 OR NOT samples EQUAL sample_count)
  message(FATAL_ERROR "${samples} samples listed, sample_count ${sample_count}")
endif()
message(STATUS "quorlind-bench under the emulator: ${status}, ${samples} samples")
