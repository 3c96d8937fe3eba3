#!/usr/bin/env bash
# Sets up, builds and runs Tolvren: converts the bundled example songs into out/examples.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"

target="$PWD/out/examples"
echo "Converting examples/ into $target ..."
./build/release/src/cli/tolvren-cli --author "Tolvren" examples "$target"
echo "The documents are in $target"
