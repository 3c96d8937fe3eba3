#!/usr/bin/env bash
# Sets up, builds and runs every test: the developer build (warnings are errors) with all tests.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
jobs=$(nproc)

echo "== developer build and tests"
cmake --preset dev >/dev/null
cmake --build --preset dev -j"$jobs"
ctest --preset dev -j"$jobs"
