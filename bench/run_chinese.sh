#!/usr/bin/env bash
# What --chinese costs a whole run: the seeded corpus of run_corpus.sh converted by `tolvren-cli -q`
# as it is and with --chinese, in ABBA order (plain, converted, converted, plain) for a mode
# without regional words (s2t) and one with them (s2twp, which also checks every line's units).
# Prints the medians, the ratio to the plain run and the user time of each.
#   bench/run_chinese.sh [FILES=10000] [ROUNDS=3]
#   TMPDIR=/dev/shm bench/run_chinese.sh          on tmpfs, the stable figure on a shared machine
set -euo pipefail
cd "$(dirname "$0")/.."
files=${1:-10000}
rounds=${2:-3}

source bench/common.sh
corpus_bench chinese "$files"
echo "corpus: $files songs, $(du -sh "$work/corpus" | cut -f1), in $(df --output=fstype "$work" | tail -n1)"

# timed NAME [OPTION...]: one run into an empty target, its wall time in ms and user time in s.
declare -A times users
timed() {
  local name=$1 start
  shift
  rm -rf "$work/out"
  sync
  start=$(now_ms)
  /usr/bin/time -f '%U' -o "$work/user" "$cli" -q "$@" "$work/corpus" "$work/out" >/dev/null
  times[$name]+="$(($(now_ms) - start)) "
  users[$name]+="$(cat "$work/user") "
}
for mode in s2t s2twp; do
  for ((r = 0; r < rounds; r++)); do
    timed "plain-$mode"
    timed "$mode" --chinese "$mode"
    timed "$mode" --chinese "$mode"
    timed "plain-$mode"
  done
done

med() { printf '%s\n' $1 | median; }
for mode in s2t s2twp; do
  plain=$(med "${times[plain-$mode]}")
  converted=$(med "${times[$mode]}")
  printf '%-6s median %5d ms against %5d ms plain: %.2fx  (user %ss against %ss; runs %s/ %s)\n' \
    "$mode" "$converted" "$plain" "$(awk -v a="$converted" -v b="$plain" 'BEGIN {print a / b}')" \
    "$(med "${users[$mode]}")" "$(med "${users[plain-$mode]}")" "${times[$mode]}" \
    "${times[plain-$mode]}"
done
