#!/usr/bin/env bash
# Runs every built fuzz target from its checked-in seed corpus, as many at once as there are cores
# unless told otherwise (each target is one process and gets its full budget). New inputs go to a
# scratch folder, so the seeds stay as they are.
#   fuzz/run.sh BUILD_DIR [SECONDS [RUNS [JOBS]]]
#     SECONDS  each target's time (20); with RUNS, the most it may take
#     RUNS     each target stops after this many inputs
#     JOBS     targets at once (the number of cores)
#   The test command: fuzz/run.sh build/fuzz/fuzz 20
#   The long run:     fuzz/run.sh build/fuzz/fuzz 3600 1000000 1   (a million inputs a target,
#                     one target at a time on one core; figures in docs/RELIABILITY.md)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?build folder with the fuzz_* binaries}
seconds=${2:-20}
runs=${3:-}
jobs=${4:-$(nproc)}

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
  "$1" -max_total_time="$seconds" ${runs:+-runs="$runs"} -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="${TMPDIR:-/tmp}/$name-" "$scratch/$name" \
    "fuzz/corpus/$name" >"$scratch/$name.log" 2>&1
}

stat() { awk -v key="stat::$2:" '$1 == key {print $2}' "$scratch/$1.log"; }

failed=0
for ((i = 0; i < ${#fuzzers[@]}; i += jobs)); do
  pids=()
  for fuzzer in "${fuzzers[@]:i:jobs}"; do
    fuzz "$fuzzer" &
    pids+=("$!")
  done
  for ((j = 0; j < ${#pids[@]}; j++)); do
    name=$(basename "${fuzzers[i + j]}")
    if wait "${pids[j]}"; then
      printf '%-20s %s executions, %s a second, peak %s MB\n' "$name" \
        "$(stat "$name" number_of_executed_units)" "$(stat "$name" average_exec_per_sec)" \
        "$(stat "$name" peak_rss_mb)"
    else
      printf '%-20s FAILED\n' "$name"
      tail -n 40 "$scratch/$name.log"
      failed=1
    fi
  done
done
exit "$failed"
