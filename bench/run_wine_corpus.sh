#!/usr/bin/env bash
# Whole runs of two Windows builds of tolvren-cli under wine on one seeded corpus, in ABBA order
# (the build, the baseline, the baseline, the build), so that a drift of the machine weighs on
# both alike: what a change to the Windows file code costs, as wine runs it. Prints the median
# wall time and the median CPU time (the program's and its wineserver's, which a loaded machine
# disturbs far less) of each, and the ratios.
#   bench/run_wine_corpus.sh CLI.exe BASELINE_CLI.exe [FILES=20000] [ROUNDS=1]
#   TMPDIR=/dev/shm bench/run_wine_corpus.sh ...     on tmpfs, the stable figure on a shared machine
# WINEPREFIX defaults to build/windows's prefix; the corpus generator comes from the bench preset.
set -euo pipefail
cd "$(dirname "$0")/.."
cli=$(realpath "$1")
baseline=$(realpath "$2")
files=${3:-20000}
rounds=${4:-1}

cmake --preset bench >/dev/null
cmake --build --preset bench --target make_corpus >/dev/null
export WINEPREFIX=${WINEPREFIX:-$PWD/build/windows/wineprefix}
wine_run=$PWD/cmake/toolchains/wine-run.sh
"$wine_run" cmd /c exit # the prefix made and the server started before anything is timed

# The prefix's own wineserver: the one whose working folder is the prefix's server folder,
# named after the prefix's device and inode.
server_dir=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
server=
for pid in $(pgrep wineserver); do
  [[ $(readlink "/proc/$pid/cwd") == */"$server_dir" ]] && server=$pid
done
[[ -n $server ]] || { echo "no wineserver for $WINEPREFIX" >&2; exit 1; }
ticks=$(getconf CLK_TCK)
server_ms() { awk -v t="$ticks" '{print int(($14 + $15) * 1000 / t)}' "/proc/$server/stat"; }

source bench/common.sh
scratch_folder wine-bench
./build/bench/bench/make_corpus "$work/corpus" "$files" 100 2026
echo "corpus: $files songs, $(find "$work/corpus" -type d | wc -l) folders, in $(df --output=fstype "$work" | tail -n1)"

# One run from an empty target, the previous run's writes flushed: "WALL_MS CPU_MS".
timed() {
  rm -rf "$work/out"
  sync
  local start before cpu
  before=$(server_ms)
  start=$(now_ms)
  cpu=$( { /usr/bin/time -f '%U %S' "$wine_run" "$@" >/dev/null 2>/dev/null; } 2>&1 | tail -n1)
  echo "$(($(now_ms) - start)) $(awk -v c="$cpu" -v s=$(($(server_ms) - before)) \
    'BEGIN {split(c, a, " "); print int((a[1] + a[2]) * 1000) + s}')"
}

declare -A wall cpu
for ((r = 0; r < rounds; r++)); do
  for build in this baseline baseline this; do
    program=$cli
    [[ $build == baseline ]] && program=$baseline
    read -r w c < <(timed "$program" -q "$work/corpus" "$work/out")
    wall[$build]+="$w "
    cpu[$build]+="$c "
  done
done

for build in this baseline; do
  printf '%-9s wall median %7d ms (runs: %s)  CPU median %7d ms (runs: %s)\n' "$build" \
    "$(printf '%s\n' ${wall[$build]} | median)" "${wall[$build]}" \
    "$(printf '%s\n' ${cpu[$build]} | median)" "${cpu[$build]}"
done
ratio() { awk -v a="$(printf '%s\n' $1 | median)" -v b="$(printf '%s\n' $2 | median)" \
  'BEGIN {printf "%.3f", a / b}'; }
echo "this build against the baseline: wall $(ratio "${wall[this]}" "${wall[baseline]}")x," \
  "CPU $(ratio "${cpu[this]}" "${cpu[baseline]}")x"
