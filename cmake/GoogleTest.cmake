# GoogleTest is built from Debian's source package inside our own build, so
# the very same sources serve the native build and the mingw-w64 cross build.
set(QUORLIND_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${QUORLIND_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${QUORLIND_GOOGLETEST_SOURCE_DIR}; "
                      "install Debian's googletest package")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${QUORLIND_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# Our warnings are for our code; GoogleTest keeps its own.
foreach(target gtest gtest_main gmock gmock_main)
  if(TARGET ${target})
    set_property(TARGET ${target} PROPERTY COMPILE_OPTIONS "")
    set_property(TARGET ${target} PROPERTY CXX_VISIBILITY_PRESET default)
  endif()
endforeach()

# ThreadSanitizer can find nothing in code that runs on one thread, so its
# build leaves out the suites marked SINGLE_THREADED: not built, not run.
option(QUORLIND_THREADED_TESTS_ONLY "Build and run only the suites whose code starts threads" OFF)

# One CTest entry per test executable: under Wine every process start costs a
# second or more, so suites run whole rather than one process per case.
function(quorlind_add_test_suite name)
  cmake_parse_arguments(PARSE_ARGV 1 SUITE "SINGLE_THREADED" "TIMEOUT" "SOURCES;LIBRARIES")
  add_executable(${name} ${SUITE_SOURCES})
  target_link_libraries(${name} PRIVATE ${SUITE_LIBRARIES} GTest::gmock GTest::gtest_main)
  if(SUITE_SINGLE_THREADED AND QUORLIND_THREADED_TESTS_ONLY)
    # Still a target, so that the lines that configure it keep working.
    set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL ON)
    return()
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  if(NOT SUITE_TIMEOUT)
    set(SUITE_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${SUITE_TIMEOUT})
endfunction()
