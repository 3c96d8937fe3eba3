#!/usr/bin/env bash
# Whole-run benchmark: a seeded corpus of realistic songs converted by `tolvren-cli -q`, beside a
# plain copy of the same files into one flat folder, in the same run. Prints the median wall time
# of each, the ratio and the CLI's peak memory.
#   bench/run_corpus.sh [FILES=10000] [RUNS=5]
set -euo pipefail
cd "$(dirname "$0")/.."
files=${1:-10000}
runs=${2:-5}

./scripts/setup.sh
cmake --preset bench >/dev/null
cmake --build --preset bench -j"$(nproc)" --target tolvren-cli make_corpus >/dev/null

source bench/common.sh
scratch_folder bench
./build/bench/bench/make_corpus "$work/corpus" "$files" 100 2026
echo "corpus: $files songs, $(du -sh "$work/corpus" | cut -f1), $(find "$work/corpus" -type d | wc -l) folders"


cli_times=() copy_times=()
for ((r = 0; r < runs; r++)); do
  rm -rf "$work/out" "$work/copy"
  sync # the previous run's write-back must not land in this run's time
  start=$(now_ms)
  ./build/bench/src/cli/tolvren-cli -q "$work/corpus" "$work/out"
  cli_times+=($(($(now_ms) - start)))

  mkdir "$work/copy"
  sync
  start=$(now_ms)
  find "$work/corpus" -name '*.ksc*' -type f -exec cp -t "$work/copy" {} +
  copy_times+=($(($(now_ms) - start)))
done

rm -rf "$work/out"
peak=$( { /usr/bin/time -f '%M' ./build/bench/src/cli/tolvren-cli -q "$work/corpus" "$work/out"; } 2>&1 | tail -n1)
cli=$(printf '%s\n' "${cli_times[@]}" | median)
copy=$(printf '%s\n' "${copy_times[@]}" | median)
echo "tolvren-cli -q: median ${cli} ms   (runs: ${cli_times[*]})"
echo "plain copy:     median ${copy} ms   (runs: ${copy_times[*]})"
awk -v a="$cli" -v b="$copy" 'BEGIN {printf "ratio: %.2fx the plain copy\n", a / b}'
echo "tolvren-cli peak RSS: ${peak} KB"
