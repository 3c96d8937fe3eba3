# A Debian package of everything `cmake --install` puts in place: both programs with their manual
# pages, the dialog's launcher and icons, the command-line tool's bash completion, the copyright
# and the changelog. Include this from the top-level CMakeLists.txt after the targets; then
# `cpack -G DEB` in a release build folder writes tolvren_<version>_<arch>.deb, and
# tests/package/run.sh holds it to lintian.

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
KMC documents (UTF-8 XML), or into word-timed LRC and ASS karaoke
subtitles, one file or a whole folder tree at a time. Scripts saved as
UTF-8, UTF-16, Big5 or GB18030 are read too.

It comes as a Qt dialog (tolvren) with a choice of format and encoding,
which file managers offer on a folder and which lists every problem of a
run for copying, and as a command-line tool (tolvren-cli) with bash
completion and a check that reports without writing.]])
# The shared libraries (Qt 6, ICU, fmt, the C++ runtime) are found by dpkg-shlibdeps; Qt's
# platform plugins are loaded at run time, so the package that holds them is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-wqy-microhei, xdg-utils")

# GNUInstallDirs' DOCDIR is named after the project (Tolvren); Debian looks under the package's.
set(TOLVREN_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
set(TOLVREN_PACKAGING_DIR ${CMAKE_BINARY_DIR}/packaging)
find_program(TOLVREN_GZIP gzip REQUIRED)

# Manual pages, made by help2man from each program's own --help and --version, so that the
# options they list are always the ones the program takes; src/*/packaging/*.h2m add what --help
# does not say. The page's date is the latest changelog entry's, so the same sources give the
# same pages (an outer SOURCE_DATE_EPOCH, as set by Debian's build tools, wins).
find_program(TOLVREN_HELP2MAN help2man)
find_program(TOLVREN_DPKG_PARSECHANGELOG dpkg-parsechangelog)
set(TOLVREN_CHANGELOG ${PROJECT_SOURCE_DIR}/packaging/changelog)
set(TOLVREN_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
if(NOT TOLVREN_SOURCE_DATE_EPOCH AND TOLVREN_DPKG_PARSECHANGELOG)
  execute_process(COMMAND ${TOLVREN_DPKG_PARSECHANGELOG} -l ${TOLVREN_CHANGELOG} -S Timestamp
    OUTPUT_VARIABLE TOLVREN_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TOLVREN_CHANGELOG})
endif()

function(tolvren_add_man_page target include)
  set(page ${TOLVREN_PACKAGING_DIR}/${target}.1)
  set(date_env)
  if(TOLVREN_SOURCE_DATE_EPOCH)
    set(date_env SOURCE_DATE_EPOCH=${TOLVREN_SOURCE_DATE_EPOCH})
  endif()
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 ${date_env}
      ${TOLVREN_HELP2MAN} --no-info --include=${include} --output=${page} $<TARGET_FILE:${target}>
    COMMAND ${TOLVREN_GZIP} -9nf ${page}
    DEPENDS ${target} ${include}
    COMMENT "Writing the manual page ${target}(1)"
    VERBATIM)
  add_custom_target(${target}-man ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

if(NOT TOLVREN_HELP2MAN)
  message(STATUS "help2man not found: no manual pages")
elseif(CMAKE_CROSSCOMPILING OR TOLVREN_SANITIZE)
  # help2man runs the programs: not possible when cross-compiling, no use in sanitizer builds.
  message(STATUS "No manual pages in this build")
else()
  tolvren_add_man_page(tolvren-cli ${PROJECT_SOURCE_DIR}/src/cli/packaging/tolvren-cli.h2m)
  if(TARGET tolvren)
    tolvren_add_man_page(tolvren ${PROJECT_SOURCE_DIR}/src/ui/packaging/tolvren.h2m)
  endif()
endif()

install(FILES src/cli/packaging/tolvren-cli.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tolvren-cli)

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
