# Cross-build for 64-bit Windows with mingw-w64 (posix thread model), so that
# std::thread and friends work; the runtime is linked statically, leaving the
# DLL and the executables importing only Windows system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUORLIND_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUORLIND_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORLIND_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORLIND_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUORLIND_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

find_program(QUORLIND_WINE NAMES wine wine64 PATHS /usr/lib/wine)
if(QUORLIND_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORLIND_WINE})
endif()
