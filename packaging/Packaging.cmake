# What is installed besides the program (manual page, bash completion, udev
# rules with their AppStream description, package documents) and the Debian
# package made from it with CPack:
#   cmake --install <build> [--prefix DIR]
#   cpack --config <build>/CPackConfig.cmake      (gives prnupgrade_<version>_<arch>.deb)
include(GNUInstallDirs)

set(PRN_DEB_MAINTAINER "prnupgrade maintainers <prnupgrade@example.com>"
  CACHE STRING "Maintainer field of the Debian package")
# udev reads /lib/udev/rules.d and /etc/udev/rules.d, not /usr/local: the
# package build sets /lib/udev/rules.d here.
set(PRN_UDEV_RULES_DIR "lib/udev/rules.d"
  CACHE STRING "Where the udev rules are installed (relative: under the prefix)")

# Manual pages and Debian changelogs are shipped compressed (gzip -n keeps
# the package reproducible: no name or time stamp inside).
find_program(PRN_GZIP gzip REQUIRED)
set(_pkg_dir ${PROJECT_BINARY_DIR}/packaging)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${_pkg_dir}/changelog @ONLY)
add_custom_command(
  OUTPUT ${_pkg_dir}/prnupgrade.1.gz
  COMMAND ${PRN_GZIP} -9nc ${PROJECT_SOURCE_DIR}/man/prnupgrade.1 > ${_pkg_dir}/prnupgrade.1.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/man/prnupgrade.1
  VERBATIM)
add_custom_command(
  OUTPUT ${_pkg_dir}/prninfo.1.gz
  COMMAND ${PRN_GZIP} -9nc ${PROJECT_SOURCE_DIR}/man/prninfo.1 > ${_pkg_dir}/prninfo.1.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/man/prninfo.1
  VERBATIM)
add_custom_command(
  OUTPUT ${_pkg_dir}/prninfo.md.gz
  COMMAND ${PRN_GZIP} -9nc ${PROJECT_SOURCE_DIR}/docs/prninfo.md > ${_pkg_dir}/prninfo.md.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/prninfo.md
  VERBATIM)
add_custom_command(
  OUTPUT ${_pkg_dir}/changelog.gz
  COMMAND ${PRN_GZIP} -9nc ${_pkg_dir}/changelog > ${_pkg_dir}/changelog.gz
  DEPENDS ${_pkg_dir}/changelog
  VERBATIM)
add_custom_target(prn_docs ALL DEPENDS ${_pkg_dir}/prnupgrade.1.gz ${_pkg_dir}/prninfo.1.gz
  ${_pkg_dir}/prninfo.md.gz ${_pkg_dir}/changelog.gz)

install(FILES ${_pkg_dir}/prnupgrade.1.gz ${_pkg_dir}/prninfo.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/completion/prnupgrade ${PROJECT_SOURCE_DIR}/completion/prninfo
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/60-prnupgrade.rules DESTINATION ${PRN_UDEV_RULES_DIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/prnupgrade.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${_pkg_dir}/changelog.gz
  ${_pkg_dir}/prninfo.md.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME prnupgrade)

# Debian architecture: the toolchain file names it for cross builds, else the
# build machine's.
if(NOT PRN_DEB_ARCH)
  find_program(PRN_DPKG dpkg)
  if(PRN_DPKG)
    execute_process(COMMAND ${PRN_DPKG} --print-architecture
      OUTPUT_VARIABLE PRN_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME prnupgrade)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${PRN_DEB_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${PRN_DEB_ARCH})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PRN_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "upgrade receipt printers over USB, TCP/IP or a serial line
prnupgrade downloads firmware packages, module files, ZPD scripts and
anti-tamper module images into receipt printers attached to a Linux board
by USB, by a TCP/IP network or by a serial line, runs the printers' tools
and lists the printers it can reach. Its exit status tells calling scripts
how the operation went. prninfo describes upgrade files (integrity,
target printers, components) without a printer, as text or JSON.
.
The package carries udev rules that let the members of the plugdev group
open the printers and their boot-mode device without root rights.")
# dpkg-shlibdeps derives Depends (libusb-1.0-0, the C and C++ run-time) from
# the libraries and symbols the program uses; scripts/package.sh --check
# makes sure libusb is among them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
