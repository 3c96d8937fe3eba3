#!/usr/bin/env bash
# The Windows dialog's wiring as a person uses it: tolvren.exe under wine in a real X server
# (Xvfb), driven by the keyboard (xdotool), read back by a small probe (Probe.cpp, built here) that
# asks the window what it shows. What the window decides is the dialog controller's, tested in
# tests/dialog on both platforms; this proves that keys, the folder dialog, the bar and the
# registry reach it. One wine prefix, one wineserver, one X server, all thrown away at the end:
#   tests/windialog/run.sh BUILD_DIR [--screenshots DIR]
# BUILD_DIR is the Windows build (cmake --preset windows). Checked:
# 0. --help on standard output, an unknown option a usage error (status 2) on standard error.
# 1. Without settings the window opens empty with the source box focused; the folder dialog
#    opens from 浏览 and, cancelled, changes nothing; chosen, it gives the source and its kmc
#    folder; Tab goes from box to box, the target and the author are typed, TTML is chosen in the
#    format list (the shift box enabled, the LRC style not), Enter starts; the documents are
#    those that tolvren-cli.exe of the same build writes, byte for byte; the bar
#    ends with the final text; 详情… lists the problems and Ctrl+C copies them; the About box
#    opens from the system menu and on F1.
# 2. Esc closes the idle window, and the choices are in HKCU\Software\Tolvren.
# 3. tolvren.exe FOLDER (with "..", and a trailing backslash as a batch file writes it): the
#    source clean, its kmc folder the target, the author and the format as kept; Enter starts,
#    Alt+T stops the run: the documents written are exactly the ones the bar reports.
# 4. ASS chosen by keys: ASS 选项… opens its window, Esc closes it.
# With --screenshots, PNGs of the idle window, ASS chosen and its options window, a run with
# problems (its tooltip shown), the problem list, the About box, the system menu and a start
# refused (the bar short, the box whole) go to DIR, and the idle window at 144 DPI.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
fail() { echo "windialog test FAILED: $*" >&2; exit 1; }
started=$SECONDS

[[ $# -ge 1 && -f $1/src/ui/win32/tolvren.exe ]] ||
    fail "usage: tests/windialog/run.sh BUILD_DIR [--screenshots DIR] (a Windows build with tolvren.exe)"
build=$(cd "$1" && pwd)
shots=
if [[ ${2:-} == --screenshots ]]; then
    mkdir -p "${3:?--screenshots needs a folder}"
    shots=$(cd "$3" && pwd)
fi
dialog=$build/src/ui/win32/tolvren.exe
cli=$build/src/cli/tolvren-cli.exe
for tool in Xvfb xdotool x86_64-w64-mingw32-g++-posix; do
    command -v $tool >/dev/null || fail "$tool is missing: scripts/setup.sh installs it"
done
[[ -z $shots ]] || command -v import >/dev/null || fail "import (ImageMagick) is missing"

# Names on the command line and in the file system are UTF-8 to wine only in a UTF-8 locale.
export LC_ALL=C.UTF-8
work=$(mktemp -d "${TMPDIR:-/tmp}/tolvren-windialog-XXXXXX")
export WINEPREFIX=$work/prefix
app= xvfb=
cleanup() {
    [[ -z $app ]] || kill "$app" 2>/dev/null || true
    wineserver -k >/dev/null 2>&1 || true
    [[ -z $xvfb ]] || kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

win() { "$root/cmake/toolchains/wine-run.sh" "$@"; }
probe() { win "$work/probe.exe" "$@" | tr -d '\r'; }
winpath() { local path=${1//\//\\}; printf 'Z:%s' "$path"; }
title='Tolvren 批量转换器'
ms() { date +%s%3N; }

# --- The X server, the probe and the prefix, side by side.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
x86_64-w64-mingw32-g++-posix -std=c++20 -O1 -Wall -Wextra -Werror -municode -static -DUNICODE \
    -D_UNICODE -Isrc/ui/win32 tests/windialog/Probe.cpp -o "$work/probe.exe" &
compiling=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
[[ -s $work/display ]] || fail "Xvfb did not start"
# Before wine's first program: its desktop process may start with it, and one started without a
# display would leave every window of the prefix without one.
export DISPLAY=:$(cat "$work/display")
win cmd /c exit 2>/dev/null
wait "$compiling" || fail "the probe did not build"
# The bench has no SimSun: the window's font is drawn with the CJK font that is there. Without a
# window manager wine draws the windows' frames itself.
fonts='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
win reg add "$fonts" /v 宋体 /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
win reg add "$fonts" /v SimSun /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
win reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
echo "prefix and X server ready in $((SECONDS - started)) s"

# --- The corpus: scripts with Chinese names in nested folders, one of them converted with a
# warning, and one whose document cannot be written (a folder stands in its place).
songs=$work/songs
examples=$root/tests/data/examples
i=0
for folder in 流行 老歌 流行/粤语 儿歌; do
    mkdir -p "$songs/$folder"
    for n in $(seq -w 1 ${TOLVREN_WINDIALOG_FILES:-25}); do
        for example in worked-example song-gbk lyric-lines timing; do
            cp "$examples/$example.ksc" "$songs/$folder/${folder//\//-} $n $example.ksc"
            i=$((i + 1))
        done
    done
done
cp "$examples/invalid-gbk.ksc" "$songs/坏字节.ksc"
cp "$examples/worked-example.ksc" "$songs/blocked.ksc"
count=$((i + 2))
author=Tolvren
blocked() { mkdir -p "$1/blocked.ttml"; }
blocked "$work/cli"
before=$(ms)
win "$cli" -q -a "$author" -f ttml "$(winpath "$songs")" "$(winpath "$work/cli")" >/dev/null 2>&1 || true
cli_ms=$(($(ms) - before))
[[ $(find "$work/cli" -name '*.ttml' -type f | wc -l) -eq $((count - 1)) ]] ||
    fail "tolvren-cli.exe did not write the reference documents"

start_dialog() {
    win "$dialog" "$@" >/dev/null 2>&1 &
    app=$!
    probe window "$title" || fail "the window did not open"
}
closed() { # waits for the program to end
    for _ in $(seq 200); do kill -0 "$app" 2>/dev/null || { app=; return 0; }; sleep 0.05; done
    fail "the window did not close"
}
expect() { [[ $2 == "$3" ]] || fail "$1: expected '$3', found '$2'"; }
shot() { [[ -z $shots ]] || { sleep 0.5; import -window root "$shots/$1.png"; }; } # once painted
reg_value() { # NAME: a value under HKCU\Software\Tolvren
    win reg query 'HKCU\Software\Tolvren' /v "$1" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$1 *REG_SZ *//p"
}
same_documents() { # FOLDER: each document there is the CLI's
    local document
    while IFS= read -r document; do
        cmp -s "$document" "$work/cli/${document#"$1"/}" || fail "${document#"$1"/} differs from the CLI's"
    done < <(find "$1" -name '*.ttml' -type f)
}

# --- 0. The command line, without a window.
win "$dialog" --help >"$work/help" 2>/dev/null || fail "--help did not succeed"
head -n 1 "$work/help" | grep -q '^Usage: tolvren.exe \[OPTION\]... \[FOLDER\]' ||
    fail "--help printed no usage"
status=0
win "$dialog" --bogus >/dev/null 2>"$work/usage" || status=$?
expect "status of an unknown option" "$status" 2
grep -q "unrecognized option '--bogus'" "$work/usage" || fail "no usage error for --bogus"

# --- 1. The first start: empty, the source chosen in the folder dialog, the rest typed.
start_dialog
expect "focus at start" "$(probe focus)" "source 0 0"
expect "KMC at start" "$(probe text format)" "KMC"
expect "the shift at start" "$(probe state shift)" "unchecked disabled"
expect "Stop at start" "$(probe state stop)" "unchecked disabled"
expect "encoding at start" "$(probe text encoding)" "GBK"
shot idle
xdotool key shift+Tab shift+Tab space # 浏览 beside the source box
probe window 请选择文件夹... || fail "浏览 opened no folder dialog"
xdotool key Escape
probe gone 请选择文件夹... || fail "Esc did not close the folder dialog"
expect "the source after a cancelled folder dialog" "$(probe text source)" ""
xdotool key space
probe window 请选择文件夹... || fail "浏览 opened no folder dialog again"
xdotool type --delay 2 "$(winpath "$songs")" # the dialog's name box takes a whole path
xdotool key Return
probe gone 请选择文件夹... || fail "the folder dialog did not take the folder"
expect "the source chosen" "$(probe text source)" "$(winpath "$songs")"
expect "the target proposed" "$(probe text target)" "$(winpath "$songs")\\kmc"
out=$work/out
blocked "$out"
xdotool key Tab Tab Tab # past 浏览 beside the target box and the source box
xdotool type --delay 2 "$(winpath "$out")"
xdotool key Tab
xdotool type --delay 2 "$author"
xdotool key Tab t # the format list: the first entry that starts with T
expect "the format chosen" "$(probe text format)" "TTML"
expect "the shift for TTML" "$(probe state shift)" "unchecked enabled"
expect "the LRC style for TTML" "$(probe state lrc-style)" "unchecked disabled"
before=$(ms)
xdotool key Return
final=$(probe wait-idle) || fail "the run did not end"
dialog_ms=$(($(ms) - before))
expect "the final text" "$final" "$count/$count  100% 完成（1 个文件失败）"
diff <(cd "$work/cli" && find . -type f | sort) <(cd "$out" && find . -type f | sort) >/dev/null ||
    fail "the dialog and the CLI wrote different documents"
same_documents "$out"
elapsed=$(probe text elapsed)
echo "a run of $count files: the dialog ${dialog_ms} ms from Enter until idle (its own count: $elapsed), tolvren-cli.exe ${cli_ms} ms with wine's start"
if [[ -n $shots ]]; then
    read -r x y w h < <(probe rect bar)
    xdotool mousemove $((x + w / 2)) $((y + h / 2))
    sleep 1.5 # the tooltip's own delay
    shot run-with-problems
fi
xdotool key alt+d
probe window 转换中的问题 || fail "详情… opened no list"
shot problem-list
xdotool key ctrl+c # nothing selected: every problem
copied=$(probe clipboard) || fail "Ctrl+C put nothing on the clipboard"
expect "the copied heading" "$(head -n 1 <<<"$copied")" $'源路径\t目标路径\t原因'
grep -q $'blocked.ksc\t.*blocked.ttml\t' <<<"$copied" || fail "the copied list has no row for blocked.ksc"
xdotool key Escape
probe gone 转换中的问题 || fail "Esc did not close the list"
# About: from the system menu's own entry, and on F1.
xdotool key alt+space
probe menu || fail "Alt+Space opened no system menu"
shot system-menu
# The last entry, 关于 Tolvren(&A)...; its A would open wine's own entry, "About Wine", first.
xdotool key Up Return
probe window '关于 Tolvren' || fail "the system menu's entry opened no About box"
shot about
xdotool key Return
probe gone '关于 Tolvren' || fail "Enter did not close the About box"
xdotool key F1
probe window '关于 Tolvren' || fail "F1 opened no About box"
xdotool key Escape
probe gone '关于 Tolvren' || fail "Esc did not close the About box"

# --- 2. Esc closes the idle window; the choices are kept.
xdotool key Escape
closed
expect "kept source" "$(reg_value SourceDir)" "$(winpath "$songs")"
expect "kept author" "$(reg_value Author)" "$author"
expect "kept format" "$(reg_value Format)" "ttml"

# --- 3. A folder on the command line, as a batch file writes it: started, then stopped.
start_dialog "$(winpath "$songs")\\流行\\..\\"
expect "FOLDER as source" "$(probe text source)" "$(winpath "$songs")"
expect "FOLDER\\kmc as target" "$(probe text target)" "$(winpath "$songs")\\kmc"
expect "kept author with FOLDER" "$(probe text author)" "$author"
xdotool key Return
probe wait-text elapsed >/dev/null || fail "the run showed no file done"
xdotool key alt+t
final=$(probe wait-idle) || fail "the stopped run did not end"
[[ $final =~ ^([0-9]+)/$count\ +[0-9]+%\ 停止 ]] ||
    fail "the run was not stopped (the bar says '$final'): make the corpus larger"
next=${BASH_REMATCH[1]}
written=$(find "$songs/kmc" -name '*.ttml' -type f | wc -l)
((written == next - 1)) || fail "the bar says '$final' but $written documents were written"
same_documents "$songs/kmc"
echo "stopped after $((next - 1)) of $count files: exactly those documents are there"
xdotool key Escape
closed

# --- 4. ASS chosen in the format list by its first letter: ASS 选项… (past the disabled LRC
# style) opens the ASS window, and Esc closes it.
start_dialog
xdotool key Tab Tab Tab a
expect "the format chosen" "$(probe text format)" "ASS"
expect "ASS 选项… for ASS" "$(probe state ass)" "unchecked enabled"
shot ass-chosen
xdotool key Tab space
probe window 'ASS 选项' || fail "ASS 选项… opened no window"
shot ass-options
xdotool key Escape
probe gone 'ASS 选项' || fail "Esc did not close the ASS window"
xdotool key Escape
closed

if [[ -n $shots ]]; then
    start_dialog
    xdotool type --delay 2 'Z:\no\such\folder\with\a\name\longer\than\the\bar\is\wide'
    xdotool key Return
    sleep 1
    shot refused
    xdotool key Return Escape
    closed
    win reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
    start_dialog
    shot idle-144dpi
    xdotool key Escape
    closed
    echo "screenshots in $shots"
fi
echo "windialog: every check passed in $((SECONDS - started)) s"
