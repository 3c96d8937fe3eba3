# A Debian package of everything `cmake --install` puts in place: both programs, the dialog's
# launcher and icons, the copyright and the changelog. Include this from the top-level
# CMakeLists.txt after the targets; then `cpack -G DEB` in a release build folder writes
# tolvren_<version>_<arch>.deb.

set(CPACK_PACKAGE_NAME tolvren)
set(CPACK_PACKAGE_VENDOR "Tolvren developers")
set(CPACK_PACKAGE_CONTACT "Tolvren developers <tolvren@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The summary above is the synopsis line; this is the text below it. CPack indents each line by
# one space and turns the empty line into " ."; lintian wants every line within 80 columns.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [[
Tolvren converts karaoke lyric scripts in the KSC format (GBK text) into
KMC documents (UTF-8 XML), one file or a whole folder tree at a time.

It comes as a Qt dialog (tolvren), which file managers offer on a folder,
and as a command-line tool (tolvren-cli).]])
# The shared libraries (Qt 6, ICU, fmt, the C++ runtime) are found by dpkg-shlibdeps; Qt's
# platform plugins are loaded at run time, so the package that holds them is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-wqy-microhei, xdg-utils")

# GNUInstallDirs' DOCDIR is named after the project (Tolvren); Debian looks under the package's.
set(TOLVREN_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
set(TOLVREN_PACKAGING_DIR ${CMAKE_BINARY_DIR}/packaging)
find_program(TOLVREN_GZIP gzip REQUIRED)

set(TOLVREN_CHANGELOG ${PROJECT_SOURCE_DIR}/packaging/changelog)

# The copyright in Debian's machine-readable format, with the licence text taken from LICENSE
# (its permission notice onwards, each line indented, blank lines as " .").
file(READ ${PROJECT_SOURCE_DIR}/LICENSE TOLVREN_LICENSE)
string(FIND "${TOLVREN_LICENSE}" "Permission is hereby granted" TOLVREN_PERMISSION_START)
string(SUBSTRING "${TOLVREN_LICENSE}" ${TOLVREN_PERMISSION_START} -1 TOLVREN_MIT_PERMISSION)
string(STRIP "${TOLVREN_MIT_PERMISSION}" TOLVREN_MIT_PERMISSION)
string(REPLACE "\n\n" "\n.\n" TOLVREN_MIT_PERMISSION "${TOLVREN_MIT_PERMISSION}")
string(REPLACE "\n" "\n " TOLVREN_MIT_PERMISSION " ${TOLVREN_MIT_PERMISSION}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
configure_file(packaging/copyright.in ${TOLVREN_PACKAGING_DIR}/copyright @ONLY)

# The changelog is packaging/changelog in Debian's format, compressed without a name or a time
# in the header so that the same file always gives the same bytes.
add_custom_command(OUTPUT ${TOLVREN_PACKAGING_DIR}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${TOLVREN_CHANGELOG} ${TOLVREN_PACKAGING_DIR}/changelog
  COMMAND ${TOLVREN_GZIP} -9nf ${TOLVREN_PACKAGING_DIR}/changelog
  DEPENDS ${TOLVREN_CHANGELOG}
  VERBATIM)
add_custom_target(tolvren-changelog ALL DEPENDS ${TOLVREN_PACKAGING_DIR}/changelog.gz)
install(FILES ${TOLVREN_PACKAGING_DIR}/copyright ${TOLVREN_PACKAGING_DIR}/changelog.gz
  DESTINATION ${TOLVREN_DOC_DIR})

include(CPack)
