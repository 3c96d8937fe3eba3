#!/usr/bin/env bash
# Runs every built fuzz target for a fixed time from its checked-in seed corpus. New inputs go to a
# scratch folder, so the seeds stay as they are.
#   fuzz/run.sh BUILD_DIR SECONDS      e.g. fuzz/run.sh build/fuzz/fuzz 600 for a longer run
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?build folder with the fuzz_* binaries}
seconds=${2:-20}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tolvren-fuzz-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
found=0
for fuzzer in "$build"/fuzz_*; do
  [[ -x $fuzzer && -f $fuzzer ]] || continue
  name=$(basename "$fuzzer")
  seeds=fuzz/corpus/$name
  mkdir -p "$scratch/$name"
  printf '%-20s ' "$name"
  # -error_exitcode: a finding fails the gate; the crash input is kept under $scratch's parent.
  "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="${TMPDIR:-/tmp}/$name-" "$scratch/$name" "$seeds" >"$scratch/$name.log" 2>&1 ||
    { echo "FAILED"; tail -n 40 "$scratch/$name.log"; exit 1; }
  grep -E '^stat::number_of_executed_units' "$scratch/$name.log" | awk '{print $2 " executions"}'
  found=$((found + 1))
done
((found > 0)) || { echo "no fuzz targets in $build"; exit 1; }
