#!/usr/bin/env bash
# Sets up, builds and runs every test and gate: formatting, the developer build under ASan and
# UBSan (warnings are errors) with every Linux test, clang-tidy, a TSan build with the threaded
# tests, every fuzz target for a short fixed budget, the Windows build with its tests under wine,
# the two platforms compared, the installer put through its paces and the Windows dialog driven by
# keyboard under wine, the Debian package (lintian, then installed, checked and removed), and the
# load test.
#   scripts/test.sh [--quick]   --quick: the plain developer build and its tests only
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
[[ ${1:-} == --quick ]] && quick=1

./scripts/setup.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
started=$SECONDS
stage() { printf '\n== %s (%ds so far)\n' "$*" $((SECONDS - started)); }

stage "formatting"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

if ((quick)); then
  stage "developer build and tests"
  cmake --preset dev >/dev/null
  cmake --build --preset dev -j"$jobs"
  ctest --preset dev -j"$jobs"
  exit 0
fi

# One build does for both: warnings are errors in it, and every test runs under the sanitizers
# (the release build of the package stage holds the optimiser's warnings as errors too).
stage "developer build under ASan + UBSan, and every Linux test"
cmake --preset asan >/dev/null
cmake --build --preset asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --preset asan -j"$jobs"

stage "clang-tidy"
git ls-files -z 'src/*.cpp' | grep -zv 'Win32\.cpp$' |
  xargs -0 run-clang-tidy -p build/asan -quiet -j"$jobs" >build/clang-tidy.log 2>&1 ||
  { grep -E 'warning:|error:' -A3 build/clang-tidy.log | head -n 60; exit 1; }

stage "TSan build and threaded tests"
cmake --preset tsan >/dev/null
# Only what the threaded tests need: the pipeline's worker and CLI tests, the dialog floor's and
# the Qt dialog's.
cmake --build --preset tsan -j"$jobs" --target worker_tests cli_tests dialog_tests \
  test_converter_dialog test_text_progress_ctrl
TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/tsan.supp" \
  ctest --preset tsan -j"$jobs" -L threaded

stage "fuzz targets"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs" --target fuzz_converter fuzz_fields fuzz_file_entry fuzz_mask \
  fuzz_contains_text
./fuzz/run.sh build/fuzz/fuzz "${TOLVREN_FUZZ_SECONDS:-10}"

stage "Windows: cross-build, tests under wine, the two platforms compared, clang-tidy, installer, dialog"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs"
export WINEPREFIX=$PWD/build/windows/wineprefix
# The prefix made once before the tests run side by side: made by two programs at once, it costs
# a minute instead of ten seconds.
./cmake/toolchains/wine-run.sh cmd /c exit
ctest --preset windows -j"$jobs"
./tests/windows/compare.sh build/asan/src/cli/tolvren-cli build/windows/src/cli/tolvren-cli.exe
./tests/windows/lint.sh build/windows
cmake --build --preset windows --target installer
wineserver -k || true; wineserver -w || true # its prefix, settled, is what the installer gate starts from
TOLVREN_WINE_TEMPLATE=$WINEPREFIX ./tests/installer/run.sh build/windows/installer/programs
unset WINEPREFIX
./tests/windialog/run.sh build/windows

stage "Debian package"
./tests/package/run.sh

stage "load test"
# On tmpfs where there is one: the gate is about memory and stopping at scale, and a shared disk's
# mood would only add minutes. The release build is the one the package stage made.
load_tmp=${TMPDIR:-/tmp}
[[ -w /dev/shm ]] && load_tmp=/dev/shm
TMPDIR=$load_tmp ./tests/load/run.sh "${TOLVREN_LOAD_FILES:-100000}" 102400 build/release

stage "all gates passed"
