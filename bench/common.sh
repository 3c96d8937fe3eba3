# Shared by the whole-run benchmarks and the load test; sourced, not run.

# A scratch folder removed when the calling script exits: scratch_folder NAME
scratch_folder() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/tolvren-$1-XXXXXX")
  trap 'rm -rf "$work"' EXIT
}
# The bench build's tolvren-cli ($cli) and a seeded corpus of FILES songs ($work/corpus) in a
# scratch folder, as the whole-run benchmarks share them: corpus_bench NAME FILES
corpus_bench() {
  ./scripts/setup.sh
  cmake --preset bench >/dev/null
  cmake --build --preset bench -j"$(nproc)" --target tolvren-cli make_corpus >/dev/null
  cli=$PWD/build/bench/src/cli/tolvren-cli
  scratch_folder "$1"
  ./build/bench/bench/make_corpus "$work/corpus" "$2" 100 2026
}
now_ms() { date +%s%3N; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
