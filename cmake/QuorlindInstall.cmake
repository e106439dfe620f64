# Installation of the library for hosts: the header, the shared library, a
# CMake package (find_package(quorlind CONFIG) -> quorlind::quorlind) and a
# pkg-config file. Included from native/CMakeLists.txt once `quorlind` exists;
# the link set-up of the library itself lives there.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QUORLIND_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/quorlind
  CACHE STRING "Where the CMake package files of quorlind are installed")
set(QUORLIND_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  CACHE STRING "Where quorlind.pc is installed")

install(FILES ${PROJECT_SOURCE_DIR}/include/quorlind.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT Development)

# The target's own interface names <prefix>/include; another include
# directory has to be added to it, or consumers would miss the header.
set(_quorlind_includes)
if(NOT CMAKE_INSTALL_INCLUDEDIR STREQUAL "include")
  set(_quorlind_includes INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
endif()

# Runtime: libquorlind.so.1 and .so.<version>, or quorlind.dll. Development: the
# libquorlind.so link, or the import library.
install(TARGETS quorlind EXPORT quorlindTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
  ${_quorlind_includes})

if(WIN32)
  # For toolchains that make their own import library from the export list.
  install(FILES ${QUORLIND_DEF}
    DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT Development)

  # MSVC links against quorlind.lib, an import library made from the same
  # export list as the DLL (MinGW's libquorlind.dll.a is the linker's own).
  find_program(QUORLIND_DLLTOOL NAMES llvm-dlltool llvm-dlltool-16 llvm-dlltool-15 llvm-dlltool-14
    DOC "llvm-dlltool, which makes quorlind.lib for MSVC hosts")
  if(QUORLIND_DLLTOOL)
    set(_quorlind_msvc_implib ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/quorlind.lib)
    add_custom_command(OUTPUT ${_quorlind_msvc_implib}
      COMMAND ${QUORLIND_DLLTOOL} -m i386:x86-64 -d ${QUORLIND_DEF} -D quorlind.dll -l ${_quorlind_msvc_implib}
      DEPENDS ${QUORLIND_DEF}
      COMMENT "Making the MSVC import library quorlind.lib"
      VERBATIM)
    add_custom_target(quorlind_msvc_import_library ALL DEPENDS ${_quorlind_msvc_implib})
    install(FILES ${_quorlind_msvc_implib}
      DESTINATION ${CMAKE_INSTALL_LIBDIR}
      COMPONENT Development)
  else()
    message(WARNING "llvm-dlltool not found (Debian package llvm): no quorlind.lib for MSVC hosts")
  endif()
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
