#!/usr/bin/env bash
# The same seeded corpus converted through the dialog (offscreen) and by `tolvren-cli -q`, in one
# run; prints the median wall time of each and the ratio.
#   bench/run_dialog_vs_cli.sh [FILES=10000] [RUNS=5]
set -euo pipefail
cd "$(dirname "$0")/.."
files=${1:-10000}
runs=${2:-5}

./scripts/setup.sh
cmake --preset bench >/dev/null
cmake --build --preset bench -j"$(nproc)" --target tolvren-cli make_corpus bench_dialog_run >/dev/null
build=build/bench

source bench/common.sh
scratch_folder bench
"$build/bench/make_corpus" "$work/corpus" "$files" 100 2026

cli_times=() dialog_times=()
# Each run starts from an empty target with the previous run's writes flushed, so one run's
# write-back does not land in the next one's time.
fresh() { rm -rf "$work/out"; sync; }
for ((r = 0; r < runs; r++)); do
  fresh
  start=$(now_ms)
  "$build/src/cli/tolvren-cli" -q "$work/corpus" "$work/out"
  cli_times+=($(($(now_ms) - start)))
  fresh
  dialog_times+=($("$build/bench/bench_dialog_run" "$work/corpus" "$work/out" 1 2>/dev/null))
done
cli=$(printf '%s\n' "${cli_times[@]}" | median)
dialog=$(printf '%s\n' "${dialog_times[@]}" | median)
echo "tolvren-cli -q: median ${cli} ms   (runs: ${cli_times[*]})"
echo "dialog:         median ${dialog} ms   (runs: ${dialog_times[*]})"
awk -v a="$dialog" -v b="$cli" 'BEGIN {printf "ratio: %.2fx the CLI\n", a / b}'
