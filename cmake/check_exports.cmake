# Fails unless the shared library exports exactly the functions that the .def
# file lists, and nothing else. FORMAT elf: TOOL is nm, reading the dynamic
# symbol table. FORMAT pe: TOOL is objdump, reading the DLL's export name
# table. Run after linking the DLL, by the tests and by the packaging checks.
#   cmake -DLIBRARY=<file> -DFORMAT=elf|pe -DTOOL=<nm|objdump> -DDEF=<quorlind.def>
#         -P check_exports.cmake

cmake_minimum_required(VERSION 3.25)

foreach(required LIBRARY FORMAT TOOL DEF)
  if(NOT ${required})
    message(FATAL_ERROR "${required} is not set")
  endif()
endforeach()
if(NOT EXISTS "${LIBRARY}")
  message(FATAL_ERROR "no library at ${LIBRARY}")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/ExportList.cmake)
quorlind_read_export_list("${DEF}" expected)
list(SORT expected)
list(LENGTH expected expected_count)

if(FORMAT STREQUAL "elf")
  set(arguments -D --defined-only "${LIBRARY}")
elseif(FORMAT STREQUAL "pe")
  set(arguments -p "${LIBRARY}")
else()
  message(FATAL_ERROR "unknown FORMAT ${FORMAT}")
endif()
execute_process(COMMAND "${TOOL}" ${arguments}
  OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TOOL} failed (${status}): ${errors}")
endif()
string(REPLACE "\n" ";" lines "${listing}")

set(exported "")
set(not_functions "")
if(FORMAT STREQUAL "elf")
  # "0000000000001a2b T quorlind_run": address, type letter, name.
  foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-fA-F]* *([A-Za-z]) ([^ ]+)$")
      set(type "${CMAKE_MATCH_1}")
      # A symbol version, if any, is not part of the name.
      string(REGEX REPLACE "@.*$" "" name "${CMAKE_MATCH_2}")
      list(APPEND exported "${name}")
      if(NOT type STREQUAL "T")
        list(APPEND not_functions "${name} (${type})")
      endif()
    endif()
  endforeach()
else()
  # The names follow "[Ordinal/Name Pointer] Table" as "\t[   0] quorlind_run"
  # up to the next blank line.
  set(in_table FALSE)
  set(table_found FALSE)
  foreach(line IN LISTS lines)
    if(line MATCHES "\\[Ordinal/Name Pointer\\] Table")
      set(in_table TRUE)
      set(table_found TRUE)
    elseif(in_table)
      if(line MATCHES "^[ \t]*\\[ *[0-9]+\\] +([^ \t]+)")
        list(APPEND exported "${CMAKE_MATCH_1}")
      elseif(line MATCHES "^[ \t\r]*$")
        set(in_table FALSE)
      endif()
    endif()
  endforeach()
  if(NOT table_found)
    message(FATAL_ERROR "${LIBRARY} has no export name table:\n${listing}")
  endif()
endif()

list(SORT exported)
set(missing ${expected})
list(REMOVE_ITEM missing ${exported})
set(unexpected ${exported})
list(REMOVE_ITEM unexpected ${expected})
list(LENGTH exported count)

if(missing OR unexpected OR not_functions OR NOT count EQUAL expected_count)
  message(FATAL_ERROR "export table of ${LIBRARY} differs from ${DEF}\n"
    "  missing: ${missing}\n  unexpected: ${unexpected}\n"
    "  not functions: ${not_functions}\n  all ${count}: ${exported}")
endif()
message(STATUS "${LIBRARY} exports exactly: ${exported}")
