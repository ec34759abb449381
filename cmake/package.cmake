# `make package`: a Debian package of what install.cmake installs, under
# /usr, named kerf_<version>_<architecture>.deb. Its dependencies are
# those dpkg-shlibdeps finds for the program (so dpkg-dev must be
# installed to build it).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kerf)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "decode Windows Prefetch files for forensic examination")
set(CPACK_PACKAGE_DESCRIPTION
    "kerf decodes Windows Prefetch files (*.pf) copied off a Windows system,
or read straight from disk images and their shadow copies, and reports, for each one, the executable it traces, how often and when
that executable ran, the volumes and directories it touched and the files
it loaded, as a readable report, a CSV table, a log2timeline timeline, a
Sleuth Kit body file, JSON Lines (also as Timesketch events) or one HTML
page with an execution timeline.")
set(KERF_PACKAGE_MAINTAINER "kerf developers" CACHE STRING "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KERF_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Sleuth Kit is opened only when an image is read, so dpkg-shlibdeps
# can't see it: its package is named here, after Debian's rule for a
# library's package name (libtsk.so.19: libtsk19).
string(REGEX REPLACE "^lib([a-z]+)\\.so\\.([0-9]+)$" "lib\\1\\2" KERF_TSK_PACKAGE "${KERF_TSK_SONAME}")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${KERF_TSK_PACKAGE}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
