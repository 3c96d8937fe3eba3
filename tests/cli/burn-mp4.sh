#!/usr/bin/env bash
# The README's way to a karaoke video: a song's ASS burned over its audio on a colour canvas into
# an MP4, with a generated tone for the audio, a small frame and the fastest encoder. The MP4 must
# hold H.264 video and AAC audio as long as the audio, and its frames the lyrics: the title card,
# the countdown swept in its own red, a line swept in the KTV blue.
#   tests/cli/burn-mp4.sh TOLVREN_CLI [SHOTS_DIR]   with SHOTS_DIR: larger frames, kept as PNG
set -euo pipefail
cli=$(realpath "$1")
shots=${2:+$(realpath "$2")}
cd "$(dirname "$0")/../.."
work=$(mktemp -d "${TMPDIR:-/tmp}/tolvren-burn-XXXXXX")
trap 'rm -rf "$work"' EXIT

"$cli" -q -f ass tests/data/examples/karaoke.ksc "$work"
cd "$work"
ffmpeg -v error -f lavfi -i sine=frequency=440:duration=16 song.wav
size=320x180
[[ -n $shots ]] && size=960x540
# The README's command, at $size and 10 frames a second, ultrafast.
ffmpeg -v error -f lavfi -i "color=c=black:s=$size:r=10" -i song.wav -vf ass=karaoke.ass \
  -shortest -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac song.mp4

fail() {
  echo "burn-mp4: $*" >&2
  exit 1
}
streams=$(ffprobe -v error -show_entries stream=codec_type,codec_name -of csv=p=0 song.mp4 |
  sort | tr '\n' ' ')
[[ $streams == "aac,audio h264,video " ]] || fail "streams: $streams"
duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 song.mp4)
awk -v d="$duration" 'BEGIN { exit !(d > 15.5 && d < 17) }' || fail "$duration s long"

# stats SECONDS CROP: the largest Y, Cb and Cr of the frame there (black is 16, 128, 128; white
# raises Y, the blue Cb, the red Cr).
stats() {
  ffmpeg -v error -ss "$1" -i song.mp4 -frames:v 1 -vf "crop=$2,signalstats,metadata=print:file=-" \
    -f null - | sed -n 's/.*signalstats\.\([YUV]MAX\)=\([0-9]*\).*/\1=\2/p' | head -n 3 | tr '\n' ' '
}
# expect SECONDS CROP WHAT CONDITION: the frame there holds what the condition on those says.
expect() {
  local YMAX=0 UMAX=0 VMAX=0 seen
  seen=$(stats "$1" "$2")
  eval "local $seen"
  (($4)) || fail "$1 s, $3: $seen"
}
lower=iw:ih/2:0:ih/2
expect 3 iw:ih:0:0 "the title card in blue" 'UMAX > 170'
expect 11.5 "$lower" "the countdown in red, the next line in white" 'VMAX > 200 && YMAX > 200'
expect 15 "$lower" "a line swept in blue, no red" 'UMAX > 170 && VMAX < 160 && YMAX > 200'

if [[ -n $shots ]]; then
  mkdir -p "$shots"
  for at in 3 7 11.5 15; do
    ffmpeg -v error -y -ss "$at" -i song.mp4 -frames:v 1 "$shots/mp4-$at.png"
  done
fi
echo "burn-mp4: song.mp4 ($streams$duration s) shows the lyrics"
