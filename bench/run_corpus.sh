#!/usr/bin/env bash
# Whole-run benchmark: a seeded corpus of realistic songs converted by `tolvren-cli -q` beside a
# plain copy of the same files into one flat folder, in the same run and in ABBA order (CLI, copy,
# copy, CLI) so that a drift of the machine weighs on both alike, and the other formats against KMC
# the same way (KMC, LRC, ASS, TTML, SRT, plain LRC, copy, copy, the formats again in the mirrored
# order, KMC). Prints the median of each, its ratio to the copy and to KMC, and the CLI's peak
# memory.
#   bench/run_corpus.sh [FILES=10000] [ROUNDS=3]
#   TMPDIR=/dev/shm bench/run_corpus.sh          on tmpfs, the stable figure on a shared machine
#   BASELINE_CLI=/path/to/tolvren-cli bench/...  also times another build, in the same order
set -euo pipefail
cd "$(dirname "$0")/.."
files=${1:-10000}
rounds=${2:-3}

source bench/common.sh
corpus_bench bench "$files"
echo "corpus: $files songs, $(du -sh "$work/corpus" | cut -f1), $(find "$work/corpus" -type d | wc -l) folders, in $(df --output=fstype "$work" | tail -n1)"

# Each run starts from an empty target with the previous run's writes flushed.
timed() {
  rm -rf "$work/out"
  sync
  local start
  start=$(now_ms)
  "$@" >/dev/null
  echo $(($(now_ms) - start))
}
copy() {
  mkdir "$work/out"
  find "$work/corpus" -name '*.ksc*' -type f -exec cp -t "$work/out" {} +
}

declare -A times
add() { times[$1]+="$2 "; }
declare -A format_options=([lrc]="-f lrc" [ass]="-f ass" [ttml]="-f ttml" [srt]="-f srt"
  [plain]="-f lrc --lrc-style plain")
formats=(lrc ass ttml srt plain)
# KMC against the copy and against every other format, each pair in ABBA order.
each_format() {
  local name
  for name in "$@"; do
    # shellcheck disable=SC2086 # the options are words
    add "$name" "$(timed "$cli" -q ${format_options[$name]} "$work/corpus" "$work/out")"
  done
}
for ((r = 0; r < rounds; r++)); do
  add cli "$(timed "$cli" -q "$work/corpus" "$work/out")"
  each_format "${formats[@]}"
  add copy "$(timed copy)"
  [[ -n ${BASELINE_CLI:-} ]] && add baseline "$(timed "$BASELINE_CLI" -q "$work/corpus" "$work/out")"
  [[ -n ${BASELINE_CLI:-} ]] && add baseline "$(timed "$BASELINE_CLI" -q "$work/corpus" "$work/out")"
  add copy "$(timed copy)"
  each_format plain srt ttml ass lrc
  add cli "$(timed "$cli" -q "$work/corpus" "$work/out")"
done

med() { printf '%s\n' ${times[$1]} | median; }
ratio() { awk -v a="$(med "$1")" -v b="$(med "$2")" 'BEGIN {print a / b}'; }
for name in cli baseline "${formats[@]}" copy; do
  [[ -n ${times[$name]:-} ]] || continue
  printf '%-10s median %5d ms  (%.2fx the copy, %.2fx KMC; runs: %s)\n' "$name" "$(med "$name")" \
    "$(ratio "$name" copy)" "$(ratio "$name" cli)" "${times[$name]}"
done
rm -rf "$work/out"
peak=$( { /usr/bin/time -f '%M' "$cli" -q "$work/corpus" "$work/out"; } 2>&1 | tail -n1)
echo "tolvren-cli peak RSS: ${peak} KB"
