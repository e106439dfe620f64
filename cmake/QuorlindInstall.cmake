# Installation of the library for hosts: the header, the shared library, a
# CMake package (find_package(quorlind CONFIG) -> quorlind::quorlind) and a
# pkg-config file. Included from native/CMakeLists.txt once `quorlind` exists.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Included from native/, so the current source directory is native/.
set(_quorlind_def ${CMAKE_CURRENT_SOURCE_DIR}/quorlind.def)

set(QUORLIND_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/quorlind
  CACHE STRING "Where the CMake package files of quorlind are installed")
set(QUORLIND_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  CACHE STRING "Where quorlind.pc is installed")

if(WIN32)
  # The .def file states the export table and names the DLL; the check after
  # the link below keeps the table at exactly those names, since the linker
  # would also export anything a static part marks __declspec(dllexport).
  enable_language(RC)
  target_sources(quorlind PRIVATE
    ${_quorlind_def}
    ${CMAKE_CURRENT_SOURCE_DIR}/src/ffi/version.rc)
  # windres sees the version numbers as defines; the C++ sources never do.
  # The text goes unquoted, since windres hands defines through a shell.
  target_compile_definitions(quorlind PRIVATE
    $<$<COMPILE_LANGUAGE:RC>:QUORLIND_RC_MAJOR=${PROJECT_VERSION_MAJOR}>
    $<$<COMPILE_LANGUAGE:RC>:QUORLIND_RC_MINOR=${PROJECT_VERSION_MINOR}>
    $<$<COMPILE_LANGUAGE:RC>:QUORLIND_RC_PATCH=${PROJECT_VERSION_PATCH}>
    $<$<COMPILE_LANGUAGE:RC>:QUORLIND_RC_VERSION=${PROJECT_VERSION}>)
  set_property(TARGET quorlind APPEND PROPERTY LINK_DEPENDS ${_quorlind_def})

  if(CMAKE_OBJDUMP)
    set(_quorlind_export_check ${CMAKE_CURRENT_BINARY_DIR}/quorlind_check_exports.cmake)
    file(WRITE ${_quorlind_export_check} [=[
# Fails the build when the DLL's export table differs from the .def file.
execute_process(COMMAND "${OBJDUMP}" -p "${DLL}" OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" start)
if(failed OR start EQUAL -1)
  message(FATAL_ERROR "cannot read the export table of ${DLL}")
endif()
string(SUBSTRING "${dump}" ${start} -1 dump)
string(FIND "${dump}" "\n\n" end)
string(SUBSTRING "${dump}" 0 ${end} dump)
string(REGEX MATCHALL "[[] *[0-9]+[]] [A-Za-z_][A-Za-z0-9_]*" entries "${dump}")
set(exported)
foreach(entry IN LISTS entries)
  string(REGEX REPLACE ".* " "" name "${entry}")
  list(APPEND exported ${name})
endforeach()
# The first word of every line after EXPORTS, comments removed.
file(READ "${DEF}" def)
string(REGEX REPLACE ";[^\n]*" "" def "${def}")
string(REGEX REPLACE "^.*EXPORTS[^\n]*\n" "" def "${def}")
string(REGEX MATCHALL "(^|\n)[ \t]*[A-Za-z_][A-Za-z0-9_]*" words "${def}")
set(listed)
foreach(word IN LISTS words)
  string(STRIP "${word}" word)
  list(APPEND listed ${word})
endforeach()
list(SORT exported)
list(SORT listed)
if(NOT exported STREQUAL listed)
  message(FATAL_ERROR "${DLL} exports [${exported}], ${DEF} lists [${listed}]")
endif()
]=])
    add_custom_command(TARGET quorlind POST_BUILD
      COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DDLL=$<TARGET_FILE:quorlind>
        -DDEF=${_quorlind_def} -P ${_quorlind_export_check}
      VERBATIM)
  endif()
endif()

install(FILES ${PROJECT_SOURCE_DIR}/include/quorlind.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT Development)

# The target's own interface names <prefix>/include; another include
# directory has to be added to it, or consumers would miss the header.
set(_quorlind_includes)
if(NOT CMAKE_INSTALL_INCLUDEDIR STREQUAL "include")
  set(_quorlind_includes INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
endif()

# Runtime: libquorlind.so.1 and .so.0.0.2, or quorlind.dll. Development: the
# libquorlind.so link, or the import library.
install(TARGETS quorlind EXPORT quorlindTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
  ${_quorlind_includes})

if(WIN32)
  # For toolchains that make their own import library from the export list.
  install(FILES ${_quorlind_def}
    DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT Development)
endif()

install(EXPORT quorlindTargets
  NAMESPACE quorlind::
  FILE quorlindTargets.cmake
  DESTINATION ${QUORLIND_INSTALL_CMAKEDIR}
  COMPONENT Development)

set(_quorlind_config ${CMAKE_CURRENT_BINARY_DIR}/quorlindConfig.cmake)
file(CONFIGURE OUTPUT ${_quorlind_config} @ONLY CONTENT [[
# quorlind @PROJECT_VERSION@: link quorlind::quorlind.
include("${CMAKE_CURRENT_LIST_DIR}/quorlindTargets.cmake")
]])

# Below 1.0 a minor step may change the interface, so only patch releases of
# the same minor version satisfy a request. The check also rejects 32-bit
# consumers, since the library is built for one pointer size.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/quorlindConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMinorVersion)

install(FILES ${_quorlind_config} ${CMAKE_CURRENT_BINARY_DIR}/quorlindConfigVersion.cmake
  DESTINATION ${QUORLIND_INSTALL_CMAKEDIR}
  COMPONENT Development)

# pkg-config: paths relative to the .pc file itself, so that the installed
# tree works under whatever prefix `cmake --install --prefix` was given.
function(_quorlind_pc_path out dir)
  if(IS_ABSOLUTE "${dir}")
    set(${out} "${dir}" PARENT_SCOPE)
  else()
    set(${out} "\${prefix}/${dir}" PARENT_SCOPE)
  endif()
endfunction()
if(IS_ABSOLUTE "${QUORLIND_INSTALL_PKGCONFIGDIR}")
  set(QUORLIND_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  # One ".." per component of the pkg-config directory leads back to the prefix.
  file(RELATIVE_PATH _quorlind_up "/prefix/${QUORLIND_INSTALL_PKGCONFIGDIR}" "/prefix")
  string(REGEX REPLACE "/$" "" _quorlind_up "${_quorlind_up}")
  set(QUORLIND_PC_PREFIX "\${pcfiledir}/${_quorlind_up}")
endif()
_quorlind_pc_path(QUORLIND_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
_quorlind_pc_path(QUORLIND_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/quorlind.pc.in ${CMAKE_CURRENT_BINARY_DIR}/quorlind.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quorlind.pc
  DESTINATION ${QUORLIND_INSTALL_PKGCONFIGDIR}
  COMPONENT Development)
