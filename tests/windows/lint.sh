#!/usr/bin/env bash
# clang-tidy on the Windows-only files, with the Windows build's compile database: clang reads
# them as the MinGW-w64 compiler does (its target, its C++ library's headers).
#   tests/windows/lint.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$1
gcc_include=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")/include/c++
git ls-files -z 'src/*Win32.cpp' 'src/files/Win32Text.cpp' |
  xargs -0 run-clang-tidy -p "$build" -quiet -j"$(nproc)" \
    -extra-arg=--target=x86_64-w64-mingw32 -extra-arg=-isystem"$gcc_include" \
    -extra-arg=-isystem"$gcc_include/x86_64-w64-mingw32" >"$build/clang-tidy.log" 2>&1 ||
  { grep -E 'warning:|error:' -A3 "$build/clang-tidy.log" | head -n 60; exit 1; }
