# Release packages, made by CPack from the install rules after a build
# (`cpack --preset windows`, `cpack --preset debian`):
#   Windows: quorlind-<version>-win64.zip, the library, quorlind-bench.exe and
#            everything a host needs to link, in one archive;
#   Linux:   the Debian packages libquorlind1 (Runtime), libquorlind-dev
#            (Development) and quorlind-bench (Bench).

include(GNUInstallDirs)

set(QUORLIND_PACKAGE_MAINTAINER "Quorlind maintainers <maintainers@quorlind.example>"
  CACHE STRING "Maintainer named in the release packages")

set(CPACK_PACKAGE_NAME quorlind)
set(CPACK_PACKAGE_VENDOR "Quorlind")
set(CPACK_PACKAGE_CONTACT "${QUORLIND_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
# Only what hosts and users need: nothing of the tests.
set(CPACK_COMPONENTS_ALL Runtime Development Bench)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS Runtime)
set(CPACK_COMPONENT_BENCH_DEPENDS Runtime)

if(WIN32)
  # c-api.md keeps its place beside the README, which links it.
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . COMPONENT Development)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/c-api.md DESTINATION docs COMPONENT Development)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME quorlind-${PROJECT_VERSION}-win64)
  # The listed components, all in the one archive.
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  # Unpacked, it makes one folder named like the archive.
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/c-api.md
    DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT Development)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # quorlind-bench needs libquorlind.so.1, which no installed package holds
  # while packaging: dpkg-shlibdeps finds it in the build, and the dependency
  # on libquorlind1 comes from the components' own.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
  set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # CPack puts any other summary in front of every package's description; its
  # own default it leaves out, so each description's first line stays that
  # package's synopsis.
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")

  # Debian names a shared library's package after its SONAME.
  get_target_property(_quorlind_soversion quorlind SOVERSION)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libquorlind${_quorlind_soversion})
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
  # The ldconfig trigger, as Debian's own library packages have it.
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)
  set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "processor-throughput benchmark library
Quorlind measures how much work a processor sustains: it runs one fixed,
deterministic computation on one thread or on every logical processor and
reports the operations per second, how steady the rate was and a checksum.
.
This package holds the shared library.")

  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libquorlind-dev)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
  set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "processor-throughput benchmark library - development files
Quorlind measures how much work a processor sustains: it runs one fixed,
deterministic computation on one thread or on every logical processor and
reports the operations per second, how steady the rate was and a checksum.
.
This package holds the C header, the link to the shared library, the CMake
package (find_package(quorlind)), quorlind.pc for pkg-config and the
description of the C interface.")

  set(CPACK_DEBIAN_BENCH_PACKAGE_NAME quorlind-bench)
  set(CPACK_DEBIAN_BENCH_PACKAGE_SECTION utils)
  set(CPACK_COMPONENT_BENCH_DESCRIPTION "processor-throughput benchmark tool
Quorlind measures how much work a processor sustains: it runs one fixed,
deterministic computation on one thread or on every logical processor and
reports the operations per second, how steady the rate was and a checksum.
.
This package holds quorlind-bench, the command-line tool, which also writes
its results as JSON or CSV.")

  # Every package carries the copyright file where Debian expects it. Left
  # out of a plain `cmake --install`, which has no per-package directories.
  foreach(component Runtime Development Bench)
    string(TOUPPER ${component} _upper)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
      DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${_upper}_PACKAGE_NAME}
      COMPONENT ${component}
      EXCLUDE_FROM_ALL)
  endforeach()
endif()

include(CPack)
