# cmake -DEMULATOR=wine -DEXECUTABLE=quorlind-bench.exe -DPYTHON=/usr/bin/python3
#       -DVALIDATOR=validate_result.py -DSCHEMA=result.schema.json -DWORK_DIR=dir -P check_json_run.cmake
#
# quorlind-bench.exe under the emulator: a short series of both kinds must
# complete, and its JSON, like that of --system --json, must validate against
# the published schema. What Wine cannot show stays null there and is allowed
# to: it has no load average or cpufreq governor (Windows has none either), it
# reports no turbo ceiling, and it builds the cache sizes from Linux's
# /sys/devices/system/cpu/cpu*/cache, which virtual machines often lack.
function(run_bench output_variable)
  execute_process(
    COMMAND ${EMULATOR} ${EXECUTABLE} ${ARGN}
    WORKING_DIRECTORY ${WORK_DIR}
    RESULT_VARIABLE exit_code
    OUTPUT_VARIABLE output
    ERROR_VARIABLE errors
    TIMEOUT 150)
  if(NOT exit_code EQUAL 0)
    message(FATAL_ERROR "quorlind-bench ${ARGN} exited with '${exit_code}'\n${errors}")
  endif()
  set(${output_variable} "${output}" PARENT_SCOPE)
endfunction()

function(validate file)
  execute_process(
    COMMAND ${PYTHON} ${VALIDATOR} ${SCHEMA} ${file} ${ARGN}
    WORKING_DIRECTORY ${WORK_DIR}
    RESULT_VARIABLE exit_code
    ERROR_VARIABLE errors)
  if(NOT exit_code EQUAL 0)
    message(FATAL_ERROR "${file} does not validate against the schema:\n${errors}")
  endif()
endfunction()

file(MAKE_DIRECTORY ${WORK_DIR})
set(result_file wine-result.json)
file(REMOVE ${WORK_DIR}/${result_file})
run_bench(report --threads both --repeat 2 --warmup 0 --measure 0.3 --quiet --json ${result_file})
validate(${result_file})
file(READ ${WORK_DIR}/${result_file} result)

string(JSON runs LENGTH "${result}" runs)
if(NOT runs EQUAL 4)
  message(FATAL_ERROR "${runs} runs in the result, expected 4\n${result}")
endif()
math(EXPR last "${runs} - 1")
foreach(index RANGE ${last})
  string(JSON status GET "${result}" runs ${index} status name)
  string(JSON benchmark GET "${result}" runs ${index} benchmark)
  string(JSON sample_count GET "${result}" runs ${index} summary sample_count)
  string(JSON samples LENGTH "${result}" runs ${index} samples)
  math(EXPR expected_benchmark "${index} % 2 + 1")
  if(NOT status STREQUAL "completed" OR NOT benchmark EQUAL expected_benchmark)
    message(FATAL_ERROR "run ${index}: ${status}, benchmark ${benchmark}")
  endif()
  if(sample_count EQUAL 0 OR NOT samples EQUAL sample_count)
    message(FATAL_ERROR "run ${index}: ${samples} samples listed, sample_count ${sample_count}")
  endif()
endforeach()

# What Wine does show: CPUID (brand, hypervisor, the effective clock), the
# topology from GetLogicalProcessorInformationEx, the clock from
# CallNtPowerInformation, the Windows version and the host name.
foreach(member processor host_name physical_cores os_name os_build base_frequency_mhz)
  string(JSON value GET "${result}" system ${member})
  if(value STREQUAL "" OR value STREQUAL "null")
    message(FATAL_ERROR "system.${member} is unknown under the emulator")
  endif()
endforeach()
string(JSON clock_after GET "${result}" system effective_clock_mhz after)
string(JSON ratio GET "${result}" scaling multi_core_ratio)
if(clock_after STREQUAL "null" OR ratio STREQUAL "null")
  message(FATAL_ERROR "effective clock after the runs '${clock_after}', multi-core ratio '${ratio}'")
endif()
string(FIND "${report}" "Scaling" scaling_at)
if(scaling_at EQUAL -1)
  message(FATAL_ERROR "the report has no scaling section:\n${report}")
endif()

run_bench(system_json --system --json)
file(WRITE ${WORK_DIR}/wine-system.json "${system_json}")
validate(wine-system.json --definition system_document)
message(STATUS "quorlind-bench under the emulator: ${runs} runs, multi-core ratio ${ratio}")
