#!/usr/bin/env bash
# Runs every built fuzz target for a fixed time from its checked-in seed corpus, as many at once as
# there are cores (each target is one process and gets its full time). New inputs go to a scratch
# folder, so the seeds stay as they are.
#   fuzz/run.sh BUILD_DIR SECONDS      e.g. fuzz/run.sh build/fuzz/fuzz 600 for a longer run
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?build folder with the fuzz_* binaries}
seconds=${2:-20}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tolvren-fuzz-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fuzzers=()
for fuzzer in "$build"/fuzz_*; do
  [[ -x $fuzzer && -f $fuzzer ]] && fuzzers+=("$fuzzer")
done
((${#fuzzers[@]} > 0)) || { echo "no fuzz targets in $build"; exit 1; }

# -error_exitcode: a finding fails the gate; the crash input is kept under $scratch's parent.
fuzz() {
  local name
  name=$(basename "$1")
  mkdir -p "$scratch/$name"
  "$1" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="${TMPDIR:-/tmp}/$name-" "$scratch/$name" "fuzz/corpus/$name" \
    >"$scratch/$name.log" 2>&1
}

failed=0
for ((i = 0; i < ${#fuzzers[@]}; i += $(nproc))); do
  pids=()
  for fuzzer in "${fuzzers[@]:i:$(nproc)}"; do
    fuzz "$fuzzer" &
    pids+=("$!")
  done
  for ((j = 0; j < ${#pids[@]}; j++)); do
    name=$(basename "${fuzzers[i + j]}")
    if wait "${pids[j]}"; then
      printf '%-20s %s executions\n' "$name" \
        "$(awk '/^stat::number_of_executed_units/ {print $2}' "$scratch/$name.log")"
    else
      printf '%-20s FAILED\n' "$name"
      tail -n 40 "$scratch/$name.log"
      failed=1
    fi
  done
done
exit "$failed"
