#!/usr/bin/env bash
# Load test: a seeded tree of many songs converted to the end with bounded memory, beside a plain
# copy of the same files; then a Ctrl-C in the middle of a second run must take effect within one
# file. Uses the programs of BUILD (build/dev unless given).
#   tests/load/run.sh [FILES=100000] [PEAK_RSS_LIMIT_KB=102400] [BUILD=build/dev]
set -euo pipefail
cd "$(dirname "$0")/../.."
files=${1:-100000}
limit_kb=${2:-102400}
build=${3:-build/dev}
cli=$build/src/cli/tolvren-cli
make_corpus=$build/bench/make_corpus
[[ -x $cli && -x $make_corpus ]] || { echo "build $build first (cmake --build --preset ...)"; exit 1; }

source bench/common.sh
scratch_folder load
fail() { echo "load test FAILED: $*"; exit 1; }

"$make_corpus" "$work/corpus" "$files" 1000 2026
echo "corpus: $files songs in $(find "$work/corpus" -type d | wc -l) folders, $(du -sh "$work/corpus" | cut -f1)"

mkdir "$work/copy"
start=$(now_ms)
find "$work/corpus" -name '*.ksc*' -type f -exec cp -t "$work/copy" {} +
copy_ms=$(($(now_ms) - start))
rm -rf "$work/copy"

start=$(now_ms)
/usr/bin/time -o "$work/time" -f '%M' "$cli" -q "$work/corpus" "$work/out" || fail "exit status $?"
cli_ms=$(($(now_ms) - start))
peak_kb=$(tail -n1 "$work/time")
written=$(find "$work/out" -type f | wc -l)
echo "converted $written files in $cli_ms ms (plain copy: $copy_ms ms), peak RSS $peak_kb KB"
((written == files)) || fail "$written documents for $files songs"
((peak_kb < limit_kb)) || fail "peak RSS $peak_kb KB over $limit_kb KB"
rm -rf "$work/out"

# Stop in the middle: interrupt once a tenth of the songs are done.
"$cli" "$work/corpus" "$work/stopped" >"$work/stdout" 2>"$work/stderr" &
pid=$!
while (( $(find "$work/stopped" -type f 2>/dev/null | wc -l) < files / 10 )); do
  kill -0 "$pid" 2>/dev/null || fail "the run ended before it could be stopped"
  sleep 0.05
done
kill -INT "$pid"
at_signal=$(find "$work/stopped" -type f | wc -l)
status=0
wait "$pid" || status=$?
((status == 130)) || fail "exit status $status after Ctrl-C, expected 130"
last=$(tail -n1 "$work/stdout")
[[ $last == *"停止" ]] || fail "last line '$last'"
next=${last%%/*}
after=$(find "$work/stopped" -type f | wc -l)
((after == next - 1)) || fail "$after documents but the status says $((next - 1))"
((after <= at_signal + 1)) || fail "$after documents after the stop, $at_signal when it was asked"
echo "stopped: '$last' ($at_signal documents at the signal, $after at the end)"
