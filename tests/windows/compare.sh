#!/usr/bin/env bash
# One road, two platforms: the same corpora through tolvren-cli on Linux and tolvren-cli.exe under
# wine must give the same documents byte for byte, the same warnings, notices and final status
# line for line (the paths in them written as each platform writes paths), and the same exit
# status. A corpus of valid GBK songs with Chinese names in nested folders (and a same-named song
# in two folders), and a corpus of every worked example (invalid bytes, Ctrl-Z, UTF-16, Big5,
# GB18030, broken statements, Simplified and Traditional songs); each flat, keeping the tree, read
# with auto into LRC and into ASS (a font named in Chinese), converted into Traditional Chinese
# with Taiwan's words, into TTML, SRT and plain LRC with their times moved, and checked. Then every
# single byte and pair read in each encoding both platforms accept, and the folders written with
# "..", doubled and trailing separators.
#   tests/windows/compare.sh LINUX_CLI WINDOWS_CLI        (WINEPREFIX as the wine runner wants it)
set -euo pipefail
cd "$(dirname "$0")/../.."
linux_cli=$(realpath "$1")
windows_cli=$(realpath "$2")
wine_run=$PWD/cmake/toolchains/wine-run.sh

work=$(mktemp -d "${TMPDIR:-/tmp}/tolvren-compare-XXXXXX")
trap 'rm -rf "$work"' EXIT

strict=$work/strict
mkdir -p "$strict/流行/情歌" "$strict/经典/老歌" "$strict/English"
for i in 1 2 3; do
  cp examples/情歌.ksc "$strict/流行/情歌/情歌$i.ksc"
  cp examples/春风.ksc "$strict/经典/老歌/春风 $i.ksc"
done
cp examples/情歌.ksc "$strict/经典/情歌1.ksc" # one document for two songs in the flat layout
cp -r examples/english/. "$strict/English/"
mixed=$work/mixed
mkdir -p "$mixed/各种"
cp tests/data/examples/*.ksc "$mixed/各种/"

# run PLATFORM NAME OPTION... SOURCE [TARGET]: the run's output and status into $work/NAME.PLATFORM.
run() {
  local platform=$1 name=$2
  shift 2
  local result=$work/$name.$platform status=0
  if [[ $platform == linux ]]; then
    "$linux_cli" "$@" >"$result.out" 2>"$result.err" || status=$?
  else
    "$wine_run" "$windows_cli" "$@" >"$result.out" 2>"$result.err" || status=$?
    # Lines end as Windows ends them (CR LF), and paths are as Windows writes them: Z:\tmp\...
    # is /tmp/...
    sed -i -e 's/\r$//' -e 's#Z:\\#/#g' -e 's#\\#/#g' "$result.out" "$result.err"
  fi
  echo "exit $status" >>"$result.out"
  if [[ -d $work/documents ]]; then
    mv "$work/documents" "$result.documents"
  fi
}

failed=0
compare() {
  local name=$1
  shift
  for platform in linux windows; do
    run "$platform" "$name" "$@"
  done
  local differences=
  if [[ -d $work/$name.linux.documents || -d $work/$name.windows.documents ]]; then
    differences=$(diff -r "$work/$name.linux.documents" "$work/$name.windows.documents" 2>&1 || true)
  fi
  if ! cmp -s "$work/$name.linux.out" "$work/$name.windows.out" ||
    ! cmp -s "$work/$name.linux.err" "$work/$name.windows.err" ||
    [[ -n $differences ]]; then
    echo "compare: $name differs between Linux and Windows:"
    diff "$work/$name.linux.out" "$work/$name.windows.out" | head -n 10 || true
    diff "$work/$name.linux.err" "$work/$name.windows.err" | head -n 10 || true
    head -n 10 <<<"$differences"
    failed=1
    return
  fi
  local documents
  documents=$( (find "$work/$name.linux.documents" -type f 2>/dev/null || true) | wc -l)
  printf 'compare: %-14s same: %3d documents, %3d lines of messages, %s\n' "$name" "$documents" \
    "$(wc -l <"$work/$name.linux.err")" "$(tail -n 1 "$work/$name.linux.out")"
}

# Every byte above ASCII alone and before every other byte but an apostrophe, each in a lyric of
# its own.
legacy=$work/legacy
mkdir -p "$legacy"
LC_ALL=C awk -v q="'" 'BEGIN {
  line = "karaoke.add(" q "1" q ", " q "2" q ", " q "%s" q ", " q "3" q ");\r\n"
  for (lead = 128; lead < 256; lead++) {
    printf line, sprintf("%c", lead)
    for (trail = 32; trail < 256; trail++)
      if (trail != 39) printf line, sprintf("%c%c", lead, trail)
  }
}' >"$legacy/every-byte.ksc"

for corpus in strict mixed; do
  source=${!corpus}
  compare "$corpus-flat" -a 作者 "$source" "$work/documents"
  compare "$corpus-tree" --keep-tree "$source" "$work/documents"
  compare "$corpus-lrc" -e auto -f lrc --keep-tree "$source" "$work/documents"
  compare "$corpus-ass" -e auto -f ass --ass-style 'Fontname=微软雅黑' "$source" "$work/documents"
  compare "$corpus-s2twp" -e auto --chinese s2twp "$source" "$work/documents"
  compare "$corpus-ttml" -f ttml --shift 1500 "$source" "$work/documents"
  compare "$corpus-srt" -a 作者 -f srt --shift=-2500 --apply-offset "$source" "$work/documents"
  compare "$corpus-plain" -f lrc --lrc-style plain --lrc-precision 3 --apply-offset "$source" \
    "$work/documents"
  compare "$corpus-check" --check "$source"
done
for encoding in gbk gb2312 big5 gb18030 shift_jis euc-kr windows-874 windows-1250 windows-1251 \
  windows-1252 windows-1253 windows-1254 windows-1255 windows-1256 windows-1257 windows-1258 \
  iso-8859-1 iso-8859-2 iso-8859-5 iso-8859-7 iso-8859-15 koi8-r koi8-u us-ascii; do
  compare "$encoding" -e "$encoding" "$legacy" "$work/documents"
done
# Folders as batch files and typists write them: "..", a doubled separator, a trailing one. (Paths
# in messages differ here by design, Linux keeping "x/.." as a link may need it: the run without
# any shows the rest.)
mkdir "$work/x"
compare strict-paths --keep-tree "$work/x/../strict/" "$work//documents/"
exit "$failed"
