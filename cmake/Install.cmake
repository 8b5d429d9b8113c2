# cmake/Install.cmake: where `cmake --install` and the Debian package put the
# files of a box, and the tests of that installed layout (package contents,
# end-to-end tests through lighttpd and a browser). Included last by the
# top-level CMakeLists.txt, when every program target is known.
#
#   Sheetmaker               -> TELVARIN_SITE_DIR (the server starts it from there)
#   SiteCheck                -> TELVARIN_SITE_DIR (beside it: the site checker)
#   PlaceSite                -> TELVARIN_SITE_DIR (beside it: checks and places a site)
#   TelvarinServer.ccc       -> TELVARIN_CGI_DIR
#   TelvarinInterface.ccc    -> TELVARIN_CGI_DIR
#   50-telvarin.conf         -> TELVARIN_LIGHTTPD_CONF_DIR (lighttpd's conf-available)
#
# Every destination is absolute. A build whose fixed directories are the real
# box's installs into the real folders (that is what the package holds); a
# test or demo build whose fixed directories lie in a folder of its own (a
# "box", e.g. build/demo/box/usr/local/telvarinserver/) gets the CGI and the
# lighttpd folders inside the same box by default, so `cmake --install` of such
# a build never writes outside it.

if(TELVARIN_REAL_BOX)
  set(_telvarin_box "/")
elseif(TELVARIN_SITE_DIR MATCHES "^(.*/)usr/local/telvarinserver/$")
  set(_telvarin_box "${CMAKE_MATCH_1}")
else()
  set(_telvarin_box "${CMAKE_BINARY_DIR}/box/")
endif()

set(TELVARIN_CGI_DIR "${_telvarin_box}var/www/html/telvarin/" CACHE STRING
    "Directory of TelvarinServer.ccc and TelvarinInterface.ccc")
set(TELVARIN_CGI_URL "/telvarin/" CACHE STRING
    "URL path under which lighttpd serves TELVARIN_CGI_DIR")
set(TELVARIN_LIGHTTPD_CONF_DIR "${_telvarin_box}etc/lighttpd/conf-available/" CACHE STRING
    "lighttpd's conf-available directory, for the 50-telvarin.conf snippet")
foreach(var TELVARIN_CGI_DIR TELVARIN_CGI_URL TELVARIN_LIGHTTPD_CONF_DIR)
  if(NOT ${var} MATCHES "/$")
    set(${var} "${${var}}/" CACHE STRING "" FORCE)
  endif()
endforeach()

# PlaceSite prints each site's address under the URL path of the CGI folder.
if(TARGET sitechecklib)
  target_compile_definitions(sitechecklib PRIVATE TELVARIN_CGI_URL="${TELVARIN_CGI_URL}")
endif()
foreach(prog Sheetmaker SiteCheck PlaceSite)
  if(TARGET ${prog})
    install(TARGETS ${prog} RUNTIME DESTINATION "${TELVARIN_SITE_DIR}")
  endif()
endforeach()
# The web server runs the CGI programs by the names their pages link to.
foreach(prog TelvarinServer TelvarinInterface)
  if(TARGET ${prog})
    install(PROGRAMS "$<TARGET_FILE:${prog}>" DESTINATION "${TELVARIN_CGI_DIR}"
            RENAME "${prog}.ccc")
  endif()
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/../lighttpd/50-telvarin.conf.in
               ${CMAKE_BINARY_DIR}/lighttpd/50-telvarin.conf @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/lighttpd/50-telvarin.conf
        DESTINATION "${TELVARIN_LIGHTTPD_CONF_DIR}")

include(${CMAKE_CURRENT_LIST_DIR}/../packaging/Package.cmake)

# Tests of the installed layout. The package check builds a package of its own
# (real fixed directories) and so runs in one configuration only: the one
# without sanitizers. The end-to-end tests need all programs and test fixed
# directories.
if(BUILD_TESTING)
  if(NOT SANITIZE)
    add_test(NAME package_contents
             COMMAND ${CMAKE_CURRENT_LIST_DIR}/../packaging/check-package.sh
                     ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/package-check)
    set_tests_properties(package_contents PROPERTIES TIMEOUT 1200)
  endif()
  if(TELVARIN_PROGRAM_TESTS AND EXISTS ${CMAKE_SOURCE_DIR}/tests/e2e/CMakeLists.txt)
    add_subdirectory(${CMAKE_SOURCE_DIR}/tests/e2e ${CMAKE_BINARY_DIR}/tests/e2e)
  endif()
endif()
