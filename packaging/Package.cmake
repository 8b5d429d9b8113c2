# packaging/Package.cmake: the Debian package (CPack DEB) of a box: the files
# that cmake/Install.cmake installs, the runtime libraries they link as
# dependencies, and a postinst that lets the web server's user write in the
# site directory. scripts/package.sh [amd64|armhf] builds it (a build whose fixed
# directories are the real ones, the defaults; `cpack -G DEB`). Needs no root.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "telvarin")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "Telvarin maintainers <telvarin@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Web front end of a home-automation controller (CGI programs for lighttpd)")
set(CPACK_PACKAGE_DESCRIPTION
    "TelvarinServer.ccc serves a site's pages with live values from the automation runtime; TelvarinInterface.ccc is the administration interface; Sheetmaker compiles the site files against the runtime's numbering; SiteCheck checks a site's files and prints what is wrong in them; PlaceSite checks a site and places it on the box.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A cross build (cmake/toolchain-armhf.cmake) is packaged for the controller's
# architecture; CPack would otherwise take this machine's (dpkg --print-architecture).
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "arm")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE "armhf")
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION "web")
# The libraries the programs link, found by dpkg-shlibdeps with their versions.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "lighttpd")
# Every destination is absolute (fixed directories of the box).
set(CPACK_PACKAGING_INSTALL_PREFIX "/")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
configure_file(${CMAKE_CURRENT_LIST_DIR}/postinst.in ${CMAKE_BINARY_DIR}/packaging/postinst @ONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/postinst)
include(CPack)
