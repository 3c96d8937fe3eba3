# GoogleTest for the Windows build. Debian's libgtest is built for Linux, so the tests build
# GoogleTest from Debian's source (package googletest, /usr/src/googletest) with the cross compiler,
# once per build folder, and link the usual GTest::gtest, GTest::gtest_main and GTest::gmock.
#
# Each test program is one CTest entry that runs all its cases under wine (the toolchain's
# CMAKE_CROSSCOMPILING_EMULATOR): wine starts once per program instead of once per case, which is
# most of what a test costs there. A failing case is named in the program's own output
# (ctest --output-on-failure).

set(TOLVREN_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
  "GoogleTest's source tree, built with the target's compiler")
if(NOT EXISTS ${TOLVREN_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest source in ${TOLVREN_GOOGLETEST_SOURCE}: scripts/setup.sh "
    "installs Debian's googletest")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
# SYSTEM: GoogleTest's headers are held to GoogleTest's warnings, not to ours.
add_subdirectory(${TOLVREN_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL
  SYSTEM)
foreach(lib gtest gtest_main gmock gmock_main)
  if(NOT TARGET GTest::${lib})
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()

# tolvren_add_windows_test(TARGET [LABELS label...]): registers a GoogleTest program with CTest as
# one entry named after it. It runs in the build folder, which wine sees on drive Z:, so absolute
# Linux paths compiled into a test (its data folder) name the same files there.
function(tolvren_add_windows_test target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "LABELS")
  add_test(NAME ${target} COMMAND ${target} --gtest_color=no)
  set_tests_properties(${target} PROPERTIES LABELS "${arg_LABELS}" TIMEOUT 600)
endfunction()
