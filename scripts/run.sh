#!/usr/bin/env bash
# Sets up, builds and runs Tolvren: starts the dialog when there is a display, otherwise converts
# the bundled example songs into out/examples with the command-line tool.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"

if [[ -n ${DISPLAY:-}${WAYLAND_DISPLAY:-} ]]; then
  echo "Starting the dialog (build/release/src/ui/tolvren) ..."
  exec ./build/release/src/ui/tolvren
fi
echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): converting the examples with the CLI."

mkdir -p out
target="$PWD/out/examples"
echo "Converting examples/ into $target ..."
./build/release/src/cli/tolvren-cli --author "Tolvren" examples "$target"
echo "The documents are in $target"
