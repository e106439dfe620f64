# expect_exit(CODE ARGS...): runs ${EMULATOR} ${EXECUTABLE} ARGS... and stops the
# script unless it exits with CODE; its standard output and error are left in
# `output` and `errors` for the caller.
function(expect_exit expected_exit)
  execute_process(
    COMMAND ${EMULATOR} ${EXECUTABLE} ${ARGN}
    RESULT_VARIABLE exit_code
    OUTPUT_VARIABLE output
    ERROR_VARIABLE errors
    TIMEOUT 120)
  if(NOT exit_code EQUAL expected_exit)
    message(FATAL_ERROR "${ARGN}: exit '${exit_code}', expected ${expected_exit}\n${output}\n${errors}")
  endif()
  set(output "${output}" PARENT_SCOPE)
  set(errors "${errors}" PARENT_SCOPE)
endfunction()
