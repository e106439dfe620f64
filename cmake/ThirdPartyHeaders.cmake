# CLI11, nlohmann-json and Boost's headers (for Boost.Math), header-only
# Debian packages under /usr/include, as the interface target
# quorlind_third_party, for the tools around the library. The mingw-w64 build
# must not search /usr/include as a whole (it would shadow mingw's own C
# library headers), so they go through a directory of symlinks holding just
# those three.
include_guard(GLOBAL)

find_path(QUORLIND_CLI11_INCLUDE_DIR CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
find_path(QUORLIND_NLOHMANN_INCLUDE_DIR nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
          NO_DEFAULT_PATH)
find_path(QUORLIND_BOOST_INCLUDE_DIR boost/math/distributions/students_t.hpp PATHS /usr/include
          NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
if(NOT QUORLIND_CLI11_INCLUDE_DIR OR NOT QUORLIND_NLOHMANN_INCLUDE_DIR OR NOT QUORLIND_BOOST_INCLUDE_DIR)
  message(FATAL_ERROR
          "the tools need the libcli11-dev, nlohmann-json3-dev and libboost-math-dev headers in /usr/include")
endif()
set(_quorlind_third_party_include ${CMAKE_BINARY_DIR}/third_party_include)
file(MAKE_DIRECTORY ${_quorlind_third_party_include})
file(CREATE_LINK ${QUORLIND_CLI11_INCLUDE_DIR}/CLI ${_quorlind_third_party_include}/CLI SYMBOLIC)
file(CREATE_LINK ${QUORLIND_NLOHMANN_INCLUDE_DIR}/nlohmann ${_quorlind_third_party_include}/nlohmann SYMBOLIC)
file(CREATE_LINK ${QUORLIND_BOOST_INCLUDE_DIR}/boost ${_quorlind_third_party_include}/boost SYMBOLIC)

add_library(quorlind_third_party INTERFACE)
target_include_directories(quorlind_third_party SYSTEM INTERFACE ${_quorlind_third_party_include})
