# The Debian package: `cpack -G DEB` in a build tree gives
# sendrix_<version>-<release>_<arch>.deb with the layout of packaging/ under
# /usr. Its dependencies are Debian's package names as dpkg-shlibdeps
# (package dpkg-dev) finds them from the programs' libraries. See
# docs/packaging.md.
set(SENDRIX_PACKAGE_MAINTAINER "Sendrix developers <sendrix@korvel.example>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sendrix)
set(CPACK_PACKAGE_VENDOR "Korvel")
set(CPACK_PACKAGE_CONTACT "${SENDRIX_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "communication utility for receipt and ticket printers")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Sendrix sends files (repeated, with a delay) and data strings (escaped\n\
ASCII or hex, optionally packet-framed) to receipt and ticket printers over\n\
RS232 serial, USB or TCP/IP, shows what the printer sends back, downloads\n\
firmware into the printer's flash, configures Ethernet print servers and\n\
writes an HTML log. It has a Qt window for operators and a command-line\n\
batch mode for scripts, which also runs without a display.\n\
.\n\
The package also holds sendrix-printer-sim, a virtual printer on the\n\
loopback interface for trying Sendrix out and for testing.")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Release-sized programs even from a tree built with debugging information.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
