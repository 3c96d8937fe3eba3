#!/usr/bin/env bash
# Sets up, builds and runs every test and gate: formatting, the developer build (warnings are
# errors) with all tests, clang-tidy, an ASan+UBSan build with all tests, a TSan build with the
# threaded tests, every fuzz target for a short fixed budget, the load test, and the Debian package
# (lintian, then installed, checked and removed).
#   scripts/test.sh [--quick]   --quick: the developer build and its tests only
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

stage "developer build and tests"
cmake --preset dev >/dev/null
cmake --build --preset dev -j"$jobs"
ctest --preset dev -j"$jobs"
((quick)) && exit 0

stage "clang-tidy"
git ls-files -z 'src/*.cpp' | xargs -0 run-clang-tidy -p build/dev -quiet -j"$jobs" >build/clang-tidy.log 2>&1 ||
  { grep -E 'warning:|error:' -A3 build/clang-tidy.log | head -n 60; exit 1; }

stage "ASan + UBSan build and tests"
cmake --preset asan >/dev/null
cmake --build --preset asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --preset asan -j"$jobs"

stage "TSan build and threaded tests"
cmake --preset tsan >/dev/null
# Only what the threaded tests need: the pipeline's worker and CLI tests, and the dialog's.
cmake --build --preset tsan -j"$jobs" --target worker_tests cli_tests test_converter_dialog \
  test_text_progress_ctrl
TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/tsan.supp" \
  ctest --preset tsan -j"$jobs" -L threaded

stage "fuzz targets"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs" --target fuzz_converter fuzz_fields fuzz_file_entry fuzz_mask \
  fuzz_contains_text
./fuzz/run.sh build/fuzz/fuzz "${TOLVREN_FUZZ_SECONDS:-20}"

stage "load test"
# On tmpfs where there is one: the gate is about memory and stopping at scale, and a shared disk's
# mood would only add minutes.
load_tmp=${TMPDIR:-/tmp}
[[ -w /dev/shm ]] && load_tmp=/dev/shm
TMPDIR=$load_tmp ./tests/load/run.sh "${TOLVREN_LOAD_FILES:-100000}"

stage "Debian package"
./tests/package/run.sh

stage "all gates passed"
