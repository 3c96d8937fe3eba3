#!/usr/bin/env bash
# Installer gate: makes installers from a folder of Windows programs and puts them through what a
# Windows user and a packager do, under wine in a throwaway prefix:
#   tests/installer/run.sh [--stand-in] PROGRAM_DIR
# PROGRAM_DIR holds tolvren-cli.exe (and tolvren.exe once the dialog exists), built for the
# project's version. --stand-in: the programs are stand-ins that only answer --version, so the
# installed tolvren-cli.exe is not asked to convert anything.
#
# 1. For all users (the default for an administrator, which wine's user is), with PATH, an older
#    build with a file of its own, then an upgrade over it, while a user's file sits in the folder;
#    the upgrade, and the silent uninstall, first meet a running tolvren-cli.exe and must stop,
#    changing nothing. Over the newer install the older setup asks (and No keeps it) or, silent,
#    refuses with its own status. In a real X server (Xvfb), in English and in Chinese, the labels
#    of the setup's and the uninstaller's components fit their lists, read back by a small probe
#    (Probe.cpp, built here).
# 2. For the current user alone, with PATH, into a folder of /D= with Chinese in its name.
# 3. For the current user, without PATH and without the context menu; removed with the user's
#    settings, as asked.
# With the dialog, "用 Tolvren 转换" is on folders' context menu in the mode's hive (1, 2).
# Each is removed again with its Apps & features entry's QuietUninstallString, which returns with
# the uninstall's status once Tolvren is removed (its uninstaller a moment later). A PATH of over
# 1,024 characters stands in both hives throughout and must come back exactly. The newer installer is
# signed with a throwaway self-signed certificate made here, which proves the signing hook.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
fail() { echo "installer gate FAILED: $*" >&2; exit 1; }
started=$SECONDS

stand_in=0
[[ ${1:-} == --stand-in ]] && { stand_in=1; shift; }
[[ $# -eq 1 && -f $1/tolvren-cli.exe ]] || fail "usage: tests/installer/run.sh [--stand-in] PROGRAM_DIR (with tolvren-cli.exe)"
programs=$(cd "$1" && pwd)
dialog=0
[[ -f $programs/tolvren.exe ]] && dialog=1
shortcut="Tolvren 命令行.lnk"
((dialog)) && shortcut=Tolvren.lnk
version=$(sed -n 's/^project(Tolvren VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
old_version=0.0.0
[[ $version != "$old_version" ]] || fail "the project's version is $old_version, the older build's"

for tool in Xvfb xdotool x86_64-w64-mingw32-g++-posix; do
    command -v $tool >/dev/null || fail "$tool is missing: scripts/setup.sh installs it"
done
work=$(mktemp -d "${TMPDIR:-/tmp}/tolvren-installer-XXXXXX")
export WINEPREFIX=$work/prefix
# A fresh prefix costs ten seconds; a copy of one that no install has touched (TOLVREN_WINE_TEMPLATE,
# the test stage's own) two.
if [[ -n ${TOLVREN_WINE_TEMPLATE:-} && -f $TOLVREN_WINE_TEMPLATE/system.reg ]]; then
    cp -a "$TOLVREN_WINE_TEMPLATE" "$WINEPREFIX"
fi
xvfb=
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
win() { "$root/cmake/toolchains/wine-run.sh" "$@"; }
unix_path() { # C:\a\b -> the file in the prefix
    local path=${1//\\//}
    printf '%s/drive_c%s' "$WINEPREFIX" "${path#C:}"
}

# --- The X server and the probe, made while the installers are.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
x86_64-w64-mingw32-g++-posix -std=c++20 -O1 -Wall -Wextra -Werror -static \
    tests/installer/Probe.cpp -o "$work/probe.exe" &
compiling=$!

# --- The installers: an older unsigned one with a file of its own, and today's, signed.
mkdir -p "$work/old-programs" "$work/sign"
cp -R "$programs/." "$work/old-programs/"
echo "only the older build ships this" >"$work/old-programs/stale.txt"
packaging/windows/make-installer.sh --version "$old_version" --programs "$work/old-programs" \
    --output "$work/old" --skip-version-check >/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tolvren test signing" \
    -keyout "$work/sign/key.pem" -out "$work/sign/cert.pem" 2>/dev/null
openssl pkcs12 -export -passout pass: -inkey "$work/sign/key.pem" -in "$work/sign/cert.pem" \
    -out "$work/sign/test.pfx"
TOLVREN_SIGN_PKCS12=$work/sign/test.pfx packaging/windows/make-installer.sh --version "$version" \
    --programs "$programs" --output "$work/new" >/dev/null
old_setup=$work/old/Tolvren-$old_version-setup.exe
new_setup=$work/new/Tolvren-$version-setup.exe
for zip in "$work"/{old,new}/Tolvren-*-portable.zip; do
    listing=$(unzip -Z1 "$zip")
    grep -qx "Tolvren-[0-9.]*/tolvren-cli.exe" <<<"$listing" || fail "$zip holds no tolvren-cli.exe"
    grep -qx "Tolvren-[0-9.]*/licenses/GCC-runtime.txt" <<<"$listing" || fail "$zip holds no notices"
done
signed() { osslsigncode verify -CAfile "$work/sign/cert.pem" -in "$1" 2>&1 | grep '^Signature verification: ok' >/dev/null; }
signed "$new_setup" || fail "the signed installer does not verify"
! signed "$old_setup" || fail "the installer made without a certificate is signed"
echo "installers made in $((SECONDS - started)) s: $(stat -c %s "$new_setup") bytes"

# --- The registry, read through reg export: reg query's output to a pipe loses every character
# outside the console's code page, and the folders here are Chinese.
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvren'
env_all='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
env_user='HKCU\Environment'
reg_values() { # KEY: prints its NAME=VALUE lines (@ for the default); status 1 when it does not exist
    local file=$work/export.reg line name data hex sections=0
    rm -f "$file"
    win reg export "$1" "Z:${file//\//\\}" /y >/dev/null 2>&1 || return 1
    iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | sed -e ':a' -e '/\\$/{N;s/\\\n *//;ba}' |
        while IFS= read -r line; do
            # The export goes on with the key's subkeys, each under its own [heading].
            [[ $line == \[* ]] && { ((++sections == 1)) || break; }
            [[ $line =~ ^(\"([^\"]*)\"|@)=(.*)$ ]] || continue
            name=${BASH_REMATCH[2]:-@} data=${BASH_REMATCH[3]}
            case $data in
            \"*) data=${data:1:-1} data=${data//\\\"/\"} data=${data//\\\\/\\} ;;
            dword:*) data=$((16#${data#dword:})) ;;
            hex\(2\):*)
                hex=${data#hex(2):} hex=${hex//,/}
                data=$(printf "$(sed 's/../\\x&/g' <<<"$hex")" | iconv -f UTF-16LE -t UTF-8 | tr -d '\0') ;;
            esac
            printf '%s=%s\n' "$name" "$data"
        done
}
reg_value() { reg_values "$1" | sed -n "s/^$2=//Ip"; } # names are case-blind
set_path() { win reg add "$1" /v Path /t REG_EXPAND_SZ /d "$2" /f >/dev/null 2>&1 || fail "reg add $1"; }

# A long PATH for each hive, with entries that look like ours but are not.
long_path() {
    local entries=("%SystemRoot%\\system32" "%SystemRoot%" "C:\\Program Files\\Tolvren-old"
        "C:\\Program Files\\Tolvren\\bin" "C:\\歌曲 工具\\Tolvren 2") i
    for i in $(seq -w 1 60); do entries+=("C:\\Tools\\$1 工具 $i\\bin"); done
    (IFS=';' && echo "${entries[*]}")
}
wait "$compiling" || fail "the probe did not build"
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
[[ -s $work/display ]] || fail "Xvfb did not start"
DISPLAY=:$(cat "$work/display")
export DISPLAY
win cmd /c exit 2>/dev/null # the prefix, made here and now
# The bench has no SimSun: Chinese pages are drawn with the CJK font that is there.
fonts='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
win reg add "$fonts" /v 宋体 /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
win reg add "$fonts" /v SimSun /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
path_all=$(long_path system)
path_user=$(long_path user)
((${#path_all} > 1024 && ${#path_user} > 1024)) || fail "the test's PATH is not long enough"
set_path "$env_all" "$path_all"
set_path "$env_user" "$path_user"
echo "prefix ready in $((SECONDS - started)) s; PATH ${#path_all} and ${#path_user} characters"

expect_path() { # HIVE_KEY EXPECTED WHEN
    local now
    now=$(reg_value "$1" Path)
    [[ $now == "$2" ]] || fail "$3: PATH of $1 is not as it should be:
  expected: $2
  found:    $now"
}

# Runs the program as installed: its version, and once it is the real one, a small conversion of
# a folder with a nested, Chinese-named copy of the worked example.
check_program() { # INSTALL_DIR (Windows)
    local out
    out=$(win "$1\\tolvren-cli.exe" --version | tr -d '\r') || fail "$1\\tolvren-cli.exe --version"
    [[ $out == "tolvren-cli $version" ]] || fail "tolvren-cli --version printed '$out'"
    ((stand_in)) && return
    local examples=$root/tests/data/examples songs=$work/songs out_dir=$work/converted author
    rm -rf "$songs" "$out_dir"
    mkdir -p "$songs/子目录"
    cp "$examples/worked-example.ksc" "$songs/"
    cp "$examples/worked-example.ksc" "$songs/子目录/示例.ksc"
    author=$(sed -n 's/^author=//p' "$examples/worked-example.options")
    win "$1\\tolvren-cli.exe" --author "$author" "Z:${songs//\//\\}" "Z:${out_dir//\//\\}" >/dev/null ||
        fail "the installed tolvren-cli.exe did not convert the folder"
    for document in worked-example.kmc 示例.kmc; do
        cmp -s "$examples/worked-example.kmc" "$out_dir/$document" || fail "$document is not as expected"
    done
}

# Checks what an install left, against what the staged package holds.
check_installed() { # ROOT_KEY MODE DIR SHORTCUT_DIR VERSION STAGE WHEN
    local key=$1\\$uninstall_key dir=$3 values unix
    values=$(reg_values "$key") || fail "$7: no Apps & features entry in $1"
    entry() { sed -n "s/^$1=//p" <<<"$values"; }
    [[ $(entry DisplayName) == Tolvren && $(entry DisplayVersion) == "$5" &&
        $(entry Publisher) == "Tolvren developers" && $(entry InstallLocation) == "$dir" ]] ||
        fail "$7: the entry is not as it should be:"$'\n'"$values"
    [[ $(entry UninstallString) == "\"$dir\\uninstall.exe\" /$2" &&
        $(entry QuietUninstallString) == "\"$dir\\uninstall.exe\" /$2 /S _?=$dir" ]] ||
        fail "$7: the entry's uninstall strings are not as they should be"
    (($(entry EstimatedSize) > 0)) || fail "$7: no EstimatedSize"
    [[ -f $(unix_path "$(entry DisplayIcon | sed 's/,0$//')") ]] || fail "$7: DisplayIcon names no file"
    unix=$(unix_path "$dir")
    diff <(cd "$6" && find . -type f | sort) <(cd "$unix" && find . -type f ! -name uninstall.exe ! -name my-song.ksc | sort) ||
        fail "$7: the installed files differ from the package's (above)"
    [[ -f "$4/$shortcut" ]] || fail "$7: no Start menu entry in $4"
    if ((dialog)); then
        context_menu "$1" "$dir" || fail "$7: no context menu entry for folders in $1"
    fi
}

# "用 Tolvren 转换" on a folder and on its background: the dialog with the folder, quoted.
verbs='Software\Classes\Directory\shell\Tolvren Software\Classes\Directory\Background\shell\Tolvren'
context_menu() { # ROOT_KEY DIR: the entries are there and start DIR's tolvren.exe
    local verb argument=%1
    for verb in $verbs; do
        [[ $(reg_value "$1\\$verb" @) == "用 Tolvren 转换" &&
            $(reg_value "$1\\$verb\\command" @) == "\"$2\\tolvren.exe\" \"$argument\"" ]] || return 1
        argument=%V
    done
}
no_context_menu() { # ROOT_KEY WHEN
    local verb
    for verb in $verbs; do
        ! reg_values "$1\\$verb" >/dev/null || fail "$2: a context menu entry is left in $1"
    done
}

# Runs the QuietUninstallString the entry gives, as a package manager does: its status is the
# uninstall's, and when it returns, the uninstall is over.
quiet_uninstall() { # ROOT_KEY [OPTION...]: the status
    local command
    command=$(reg_value "$1\\$uninstall_key" QuietUninstallString)
    [[ $command =~ ^\"([^\"]+)\"\ (.*)$ ]] || fail "QuietUninstallString is '$command'"
    # _?= takes the rest of the line, blanks and all: as words, which wine joins with one blank.
    # shellcheck disable=SC2086
    win "${BASH_REMATCH[1]}" "${@:2}" ${BASH_REMATCH[2]}
}
# A running program cannot delete itself: the uninstaller's own file goes a moment after it ended.
uninstall() { # ROOT_KEY WHEN [OPTION...]
    local dir status=0
    dir=$(unix_path "$(reg_value "$1\\$uninstall_key" InstallLocation)")
    quiet_uninstall "$1" "${@:3}" || status=$?
    ((status == 0)) || fail "$2: the uninstaller's status is $status"
    [[ ! -e $dir/tolvren-cli.exe ]] && ! reg_values "$1\\$uninstall_key" >/dev/null ||
        fail "$2: the uninstaller returned before it was done"
    for _ in $(seq 50); do
        [[ ! -e $dir/uninstall.exe ]] && return
        sleep 0.2
    done
    fail "$2: the uninstaller is left in the folder"
}

# Starts a setup or an uninstaller with its pages in the language of LOCALE, in the background.
interactive() { # LOCALE PROGRAM [OPTION...]
    env LC_ALL="$1" "$root/cmake/toolchains/wine-run.sh" "${@:2}" 2>/dev/null &
    started_program=$!
}
# Waits until a window of the program is shown (there is one window at a time).
shown() {
    timeout 60 xdotool search --sync --onlyvisible --name Tolvren >/dev/null || fail "no window came"
    sleep 0.5 # and ready for keys
}
components() { win "$work/probe.exe" | tr -d '\r'; }
# Waits for the program interactive started; its status is in $status.
wait_for_program() {
    status=0
    wait "$started_program" || status=$?
}
no_entry() { ! reg_values "$1\\$uninstall_key" >/dev/null || fail "$2: an entry is left in $1"; }

all_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
user_menu=$(echo "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs)
all_dir='C:\Program Files\Tolvren'

# --- 1. For all users: an older build, then the upgrade.
win "$old_setup" /S /AddToPath || fail "the older build's silent install: status $?"
check_installed HKLM AllUsers "$all_dir" "$all_menu" "$old_version" "$work/old/installer-work/Tolvren-$old_version" \
    "older build"
no_entry HKCU "older build"
expect_path "$env_all" "$path_all;$all_dir" "older build"
echo "a user's song" >"$(unix_path "$all_dir")/my-song.ksc"
win reg add 'HKCU\Software\Tolvren' /v Author /d 作者 /f >/dev/null 2>&1 || fail "reg add a setting"

# A running tolvren-cli.exe: winedbg holds it at its first instruction while its input is open.
mkfifo "$work/hold"
win winedbg "$all_dir\\tolvren-cli.exe" <"$work/hold" >"$work/winedbg.log" 2>&1 &
debugger=$!
exec 7>"$work/hold"
for _ in $(seq 100); do grep -q 'Wine-dbg>' "$work/winedbg.log" && break; sleep 0.2; done
grep -q 'Wine-dbg>' "$work/winedbg.log" || fail "winedbg did not start tolvren-cli.exe"
status=0
# Not handed on: wine's own processes, started for the installer, would keep the pipe open.
win "$new_setup" /S /AllUsers 7>&- || status=$?
uninstalling=0
quiet_uninstall HKLM 7>&- || uninstalling=$?
exec 7>&-
wait "$debugger" || true
((status == 2)) || fail "the upgrade over a running tolvren-cli.exe: status $status, expected 2"
((uninstalling == 2)) || fail "the silent uninstall beside a running tolvren-cli.exe: status $uninstalling, expected 2"
[[ $(reg_value "HKLM\\$uninstall_key" DisplayVersion) == "$old_version" && -f $(unix_path "$all_dir")/stale.txt ]] ||
    fail "the upgrade or the uninstall that met a running program changed the install"

win "$new_setup" /S /AllUsers || fail "the upgrade: status $?"
check_installed HKLM AllUsers "$all_dir" "$all_menu" "$version" "$work/new/installer-work/Tolvren-$version" upgrade
no_entry HKCU upgrade
[[ -f $(unix_path "$all_dir")/my-song.ksc ]] || fail "the upgrade removed the user's file"
expect_path "$env_all" "$path_all;$all_dir" upgrade
expect_path "$env_user" "$path_user" upgrade
for file in "$(unix_path "$all_dir")"/{tolvren-cli.exe,uninstall.exe}; do
    signed "$file" || fail "$(basename "$file") as installed is not signed"
done
check_program "$all_dir"

# An older setup over the newer install: asked, No (the default) keeps it; silent, it refuses,
# with 1638 on Windows, which wine hands on as a POSIX status, its low byte.
newer_installed=$((1638 & 255))
interactive C.UTF-8 "$old_setup"
shown # the question, before any page
xdotool key Return
timeout 30 tail --pid="$started_program" -f /dev/null || fail "the older setup did not ask"
wait_for_program
((status == newer_installed)) || fail "the older setup, told No: status $status, expected 1638"
status=0
win "$old_setup" /S || status=$?
((status == newer_installed)) || fail "the older setup, silent: status $status, expected 1638"
[[ $(reg_value "HKLM\\$uninstall_key" DisplayVersion) == "$version" ]] ||
    fail "an older setup replaced the newer install"

# Every component's label fits its list, in both languages, in the setup (past its welcome,
# licence and mode pages) and in the uninstaller (past its confirmation).
for locale in C.UTF-8 zh_CN.UTF-8; do
    interactive $locale "$new_setup"
    shown
    xdotool key Return sleep 0.5 key Return sleep 0.5 key Return
    [[ $(components) == fits ]] || fail "a label of the setup's components is cut off ($locale)"
    xdotool key Escape sleep 0.5 key Return # and yes, quit
    wait_for_program
    # In place, as the silent uninstall runs it, so that its end can be waited for.
    # shellcheck disable=SC2086
    interactive $locale "$(unix_path "$all_dir")/uninstall.exe" _?=$all_dir
    shown
    xdotool key Return
    [[ $(components) == fits ]] || fail "a label of the uninstaller's components is cut off ($locale)"
    xdotool key Escape
    wait_for_program
done
[[ $(reg_value "HKLM\\$uninstall_key" DisplayVersion) == "$version" ]] ||
    fail "the setup or the uninstaller that was cancelled changed the install"
echo "the older setup kept out, the labels checked ($((SECONDS - started)) s so far)"

uninstall HKLM "uninstall for all users"
[[ $(cd "$(unix_path "$all_dir")" && echo *) == my-song.ksc ]] || fail "the uninstaller left files of ours or took the user's"
[[ ! -e "$all_menu/$shortcut" ]] || fail "the uninstaller left the Start menu entry"
no_context_menu HKLM "uninstall for all users"
expect_path "$env_all" "$path_all" "uninstall for all users"
[[ $(reg_value 'HKCU\Software\Tolvren' Author) == 作者 ]] || fail "the user's settings did not survive"
echo "for all users: installed, upgraded and uninstalled ($((SECONDS - started)) s so far)"

# --- 2. For the current user alone, into a folder of their choice, with PATH.
user_dir='C:\歌曲 工具\Tolvren'
# /D= takes the rest of the command line as it stands, unquoted, as a user types it; wine quotes an
# argument with a blank, so the folder goes in as words that wine joins with one blank each.
# shellcheck disable=SC2086
win "$new_setup" /S /CurrentUser /AddToPath /D=$user_dir || fail "the install for the current user: status $?"
check_installed HKCU CurrentUser "$user_dir" "$user_menu" "$version" "$work/new/installer-work/Tolvren-$version" \
    "current user"
no_entry HKLM "current user"
expect_path "$env_user" "$path_user;$user_dir" "current user"
expect_path "$env_all" "$path_all" "current user"
check_program "$user_dir"
uninstall HKCU "uninstall for the current user"
[[ ! -e $(unix_path "$user_dir") ]] || fail "the uninstaller left $user_dir"
[[ ! -e "$user_menu/$shortcut" ]] || fail "the uninstaller left the user's Start menu entry"
no_context_menu HKCU "uninstall for the current user"
expect_path "$env_user" "$path_user" "uninstall for the current user"

# --- 3. For the current user, not on PATH, not on the context menu; the settings removed as asked.
win "$new_setup" /S /CurrentUser /NoContextMenu || fail "the install without PATH: status $?"
user_dir=$(reg_value "HKCU\\$uninstall_key" InstallLocation)
[[ $user_dir == 'C:\users\'*'\AppData\Local\Programs\Tolvren' ]] || fail "the user's default folder is $user_dir"
expect_path "$env_user" "$path_user" "install without PATH"
no_context_menu HKCU "install without the context menu"
uninstall HKCU "uninstall without PATH" /RemoveSettings
[[ ! -e $(unix_path "$user_dir") ]] || fail "the uninstaller left $user_dir"
! reg_values 'HKCU\Software\Tolvren' >/dev/null || fail "/RemoveSettings left the user's settings"

((stand_in)) && echo "stand-in programs: the conversion by the installed tolvren-cli.exe was not tried"
echo "installer: every check passed in $((SECONDS - started)) s"
