# cmake -DEMULATOR=wine -DEXECUTABLE=quorlind-bench.exe -DDATA=tests/host/data -DWORK=dir -P check_report_wine.cmake
# `report` from the Windows build: saved results of both versions render, a
# second report replaces the first, and a bad input leaves nothing behind.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

include(${CMAKE_CURRENT_LIST_DIR}/expect_exit.cmake)

function(expect_in file text)
  file(READ "${file}" content)
  string(FIND "${content}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${file} lacks '${text}'")
  endif()
endfunction()

expect_exit(0 report "${DATA}/result-v2-both.json" --html "${WORK}/report.html" --openmetrics "${WORK}/report.prom")
expect_in("${WORK}/report.html" "data-chart=\"throughput-all\"")
expect_in("${WORK}/report.html" "<script type=\"application/json\" id=\"quorlind-data\">{")
expect_in("${WORK}/report.prom" "quorlind_throughput_operations_per_second{processor=\"Example CPU 9000\"")

# Written over the first one: Windows renames onto an existing file only when asked to.
expect_exit(0 report "${DATA}/result-v1.json" --html "${WORK}/report.html")
expect_in("${WORK}/report.html" "data-chart=\"throughput-single\"")

file(WRITE "${WORK}/truncated.json" "{\"schema_version\": 2, \"tool\": {")
expect_exit(1 report "${WORK}/truncated.json" --html "${WORK}/bad.html" --openmetrics "${WORK}/bad.prom")
string(FIND "${errors}" "truncated.json" named)
if(named EQUAL -1)
  message(FATAL_ERROR "the error does not name the file: ${errors}")
endif()
file(GLOB left RELATIVE "${WORK}" "${WORK}/*")
list(SORT left)
if(NOT left STREQUAL "report.html;report.prom;truncated.json")
  message(FATAL_ERROR "files after a bad input: ${left}")
endif()
message(STATUS "report under the emulator: both versions rendered, bad input left nothing")
