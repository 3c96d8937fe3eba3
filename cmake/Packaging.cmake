# A Debian package of everything `cmake --install` puts in place: the dialog with its launcher and
# icons, and the command-line tool. Include this from the top-level CMakeLists.txt after the
# targets; then `cpack -G DEB` in a release build folder writes tolvren_<version>_<arch>.deb.

set(CPACK_PACKAGE_NAME tolvren)
set(CPACK_PACKAGE_VENDOR "Tolvren developers")
set(CPACK_PACKAGE_CONTACT "Tolvren developers <tolvren@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The summary above is the synopsis line; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Tolvren converts KSC lyric scripts into KMC documents, one file or a whole folder\n \
tree at a time, with a Qt dialog (tolvren) and a command-line tool (tolvren-cli).")
# The shared libraries (Qt 6, ICU, fmt, the C++ runtime) are found by dpkg-shlibdeps; Qt's
# platform plugins are loaded at run time, so the package that holds them is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-wqy-microhei, xdg-utils")

include(CPack)
