# Fails unless every hand-written copy of the version equals VERSION, the
# project's. Each copy is a file and a pattern whose group is the version
# written there, wherever the pattern occurs; a pattern that no longer matches
# fails too, so a copy cannot drift out of the check unnoticed.
#   cmake -DVERSION=<x.y.z> -DSOURCE_DIR=<repository> -P check_version_copies.cmake

cmake_minimum_required(VERSION 3.25)

foreach(required VERSION SOURCE_DIR)
  if(NOT ${required})
    message(FATAL_ERROR "${required} is not set")
  endif()
endforeach()

set(files
  include/quorlind.h
  include/quorlind.h
  python/quorlind/__init__.py
  examples/c/CMakeLists.txt
  examples/cpp/CMakeLists.txt)
set(patterns
  "#define QUORLIND_VERSION_STRING \"([^\"]*)\""
  "Returns the static text \"([^\"]*)\""
  "__version__ = \"([^\"]*)\""
  "find_package\\(quorlind ([^ ]*) "
  "find_package\\(quorlind ([^ ]*) ")

set(wrong)
foreach(file pattern IN ZIP_LISTS files patterns)
  file(READ "${SOURCE_DIR}/${file}" text)
  string(REGEX MATCHALL "${pattern}" found "${text}")
  if(NOT found)
    list(APPEND wrong "${file}: nothing matches ${pattern}")
  endif()
  foreach(copy IN LISTS found)
    string(REGEX MATCH "${pattern}" copy "${copy}")
    if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
      list(APPEND wrong "${file}: ${CMAKE_MATCH_1} in ${copy}")
    endif()
  endforeach()
endforeach()

if(wrong)
  list(JOIN wrong "\n  " wrong)
  message(FATAL_ERROR "copies of the version differ from the project's ${VERSION}:\n  ${wrong}")
endif()
message(STATUS "every copy of the version is ${VERSION}")
