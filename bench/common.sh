# Shared by the whole-run benchmarks and the load test; sourced, not run.

# A scratch folder removed when the calling script exits: scratch_folder NAME
scratch_folder() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/tolvren-$1-XXXXXX")
  trap 'rm -rf "$work"' EXIT
}
now_ms() { date +%s%3N; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
