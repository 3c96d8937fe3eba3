#!/usr/bin/env bash
# How scripts without byte-order marks are told apart. A generated corpus of songs in GBK
# (simplified and traditional text), Big5, GB18030 and UTF-8 with stray bytes is read with
# --encoding auto and with the default (GBK), against the reading with the right encoding named.
# The texts are Debian's own Chinese translations of system messages (zh_CN for simplified, zh_TW
# for traditional), so they owe nothing to the detector's table of common characters. Then the time
# of `auto` against the default on the benchmark corpus, in ABBA order.
#   bench/run_encoding_corpus.sh [SONGS=300] [FILES=10000] [ROUNDS=3]
set -euo pipefail
cd "$(dirname "$0")/.."
songs=${1:-300}
files=${2:-10000}
rounds=${3:-3}

./scripts/setup.sh
cmake --preset bench >/dev/null
cmake --build --preset bench -j"$(nproc)" --target tolvren-cli make_corpus make_encoding_corpus \
  >/dev/null
cli=$PWD/build/bench/src/cli/tolvren-cli

source bench/common.sh
scratch_folder encodings
for lang in zh_CN zh_TW; do
  for domain in coreutils dpkg bash apt; do
    mo=/usr/share/locale/$lang/LC_MESSAGES/$domain.mo
    [[ -f $mo ]] && msgunfmt "$mo" 2>/dev/null | sed -n 's/^msgstr "\(.*\)"$/\1/p'
  done >"$work/$lang.txt"
  [[ -s $work/$lang.txt ]] || { echo "no $lang translations under /usr/share/locale" >&2; exit 1; }
done
mkdir "$work/out"
./build/bench/bench/make_encoding_corpus "$work/corpus" "$work/zh_CN.txt" "$work/zh_TW.txt" "$songs"

# Per set: songs; read wrong by auto (t0/t1: without/with tags; the shortest length misread);
# hinted by the default reading, and with which hint.
printf '%-16s %6s %14s %22s  %s\n' set songs "auto wrong" "default hints" "hint texts"
for set in gbk gbk-traditional big5 gb18030 utf8-stray; do
  case $set in
    gbk*) right=gbk ;; big5) right=big5 ;; gb18030) right=gb18030 ;; utf8-stray) right=utf-8 ;;
  esac
  "$cli" -q -e "$right" "$work/corpus/$set" "$work/out/$set-right" || true
  "$cli" -q -e auto "$work/corpus/$set" "$work/out/$set-auto" || true
  count=$(find "$work/corpus/$set" -type f | wc -l)
  wrong=$( (diff -rq "$work/out/$set-right" "$work/out/$set-auto" || true) | sed -n 's/.*\/\(t[01]-n[0-9]*\)-.*/\1/p' |
    sort | tr '\n' ' ')
  hinted=$("$cli" --check "$work/corpus/$set" 2>&1 | grep 'looks like' || true)
  kinds=$(sed -n 's/.*warning: looks like \([^;]*\);.*/\1/p' <<<"$hinted" | sort | uniq -c | tr -s ' ' |
    tr '\n' ',')
  printf '%-16s %6d %14d %22d  %s\n' "$set" "$count" "$(wc -w <<<"$wrong")" \
    "$(grep -c . <<<"$hinted" || true)" "${kinds%,}"
  [[ -n $wrong ]] && echo "    read wrong by auto:" $(tr " " "\n" <<<"$wrong" | uniq -c | awk "NF {printf \"%s×%s \", \$1, \$2}")
done

# The time auto costs: the benchmark corpus read with the default and with auto, ABBA.
./build/bench/bench/make_corpus "$work/bench" "$files" 100 2026
timed() {
  rm -rf "$work/timed"
  sync
  local start
  start=$(now_ms)
  "$cli" -q "$@" "$work/bench" "$work/timed" >/dev/null
  echo $(($(now_ms) - start))
}
declare -A times
for ((r = 0; r < rounds; r++)); do
  times[gbk]+="$(timed) "
  times[auto]+="$(timed -e auto) "
  times[auto]+="$(timed -e auto) "
  times[gbk]+="$(timed) "
done
med() { printf '%s\n' ${times[$1]} | median; }
printf 'default (gbk) median %5d ms (runs: %s)\n' "$(med gbk)" "${times[gbk]}"
printf 'auto          median %5d ms (runs: %s) = %.3fx\n' "$(med auto)" "${times[auto]}" \
  "$(awk -v a="$(med auto)" -v b="$(med gbk)" 'BEGIN {print a / b}')"
