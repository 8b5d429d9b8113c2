# packaging/Package.cmake: the Debian package (CPack DEB) of a box: the files
# that cmake/Install.cmake installs, the runtime libraries they link as
# dependencies, the lighttpd snippet as a conffile, a postinst that gives the
# site directory to the web server's user and closes it to everyone else, and
# a postrm that disables the lighttpd module on remove and takes away what the
# package and the programs created on purge. scripts/package.sh [amd64|armhf]
# builds it (a build whose fixed directories are the real ones, the defaults;
# `cpack -G DEB`). Needs no root. Checked by packaging/check-package.sh.
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
# The package's own record (the access file's checksum) and lighttpd's folder
# of enabled modules beside conf-available.
set(TELVARIN_STATE_DIR "/var/lib/telvarin")
string(REGEX REPLACE "conf-available/$" "conf-enabled/" TELVARIN_LIGHTTPD_ENABLED_DIR
       "${TELVARIN_LIGHTTPD_CONF_DIR}")
# The files the programs create in the site directory besides the sessions:
# the sign-on guard's and the interface's counts and their locks, the wait
# slots, the no-multicall note, each site's lock, no-runtime record and
# compile record. Never a site definition, page, user or session file, nor
# HOSTNAMES.DAT, which the administrator writes. As shell words ($site is the
# site directory in the maintainer scripts).
set(TELVARIN_OWN_SITE_FILES "")
foreach(pattern SIGNONFAILS.DAT INTERFACEFAILS.DAT NOMULTICALL.DAT *.LCK *.NRT *.CMP)
  string(APPEND TELVARIN_OWN_SITE_FILES " \"$site\"${pattern}")
endforeach()
string(STRIP "${TELVARIN_OWN_SITE_FILES}" TELVARIN_OWN_SITE_FILES)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "")
foreach(script postinst postrm conffiles)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${script}.in ${CMAKE_BINARY_DIR}/packaging/${script} @ONLY)
  list(APPEND CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/${script})
endforeach()
include(CPack)
