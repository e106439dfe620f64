# Fails unless the DLL or executable imports from Windows system DLLs only,
# and from the DLLs named in ALLOWED: the GCC runtime (libstdc++, libgcc,
# winpthread) must be linked in, not expected beside it.
#   cmake -DLIBRARY=<quorlind.dll> -DTOOL=<objdump> [-DALLOWED=quorlind.dll] -P check_dll_imports.cmake

cmake_minimum_required(VERSION 3.25)

foreach(required LIBRARY TOOL)
  if(NOT ${required})
    message(FATAL_ERROR "${required} is not set")
  endif()
endforeach()
if(NOT EXISTS "${LIBRARY}")
  message(FATAL_ERROR "no library at ${LIBRARY}")
endif()

execute_process(COMMAND "${TOOL}" -p "${LIBRARY}"
  OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TOOL} failed (${status}): ${errors}")
endif()

set(system_dlls
  kernel32.dll kernelbase.dll ntdll.dll msvcrt.dll ucrtbase.dll advapi32.dll user32.dll gdi32.dll
  shell32.dll ole32.dll oleaut32.dll ws2_32.dll bcrypt.dll bcryptprimitives.dll secur32.dll
  crypt32.dll version.dll shlwapi.dll psapi.dll dbghelp.dll powrprof.dll)

string(TOLOWER "${ALLOWED}" allowed)
list(APPEND system_dlls ${allowed})

string(REPLACE "\n" ";" lines "${listing}")
set(imported "")
set(foreign "")
foreach(line IN LISTS lines)
  if(line MATCHES "DLL Name: *([^ \t\r]+)")
    set(dll "${CMAKE_MATCH_1}")
    list(APPEND imported "${dll}")
    string(TOLOWER "${dll}" lower)
    if(NOT lower IN_LIST system_dlls AND NOT lower MATCHES "^api-ms-win-.*\\.dll$")
      list(APPEND foreign "${dll}")
    endif()
  endif()
endforeach()

string(TOLOWER "${imported}" imported_lower)
if(NOT "kernel32.dll" IN_LIST imported_lower)
  message(FATAL_ERROR "no import of KERNEL32.dll found; is this a DLL?\n${listing}")
endif()
if(foreign)
  message(FATAL_ERROR "${LIBRARY} imports from non-system DLLs: ${foreign}\n  all: ${imported}")
endif()
message(STATUS "${LIBRARY} imports only: ${imported}")
