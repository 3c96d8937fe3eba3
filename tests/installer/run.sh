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
#    the upgrade first meets a running tolvren-cli.exe and must stop, changing nothing.
# 2. For the current user alone, with PATH, into a folder of /D= with Chinese in its name.
# 3. For the current user, without PATH and without the context menu; removed with the user's
#    settings, as asked.
# With the dialog, "用 Tolvren 转换" is on folders' context menu in the mode's hive (1, 2).
# Each is removed again with its Apps & features entry's UninstallString /S. A PATH of over 1,024
# characters stands in both hives throughout and must come back exactly. The newer installer is
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

work=$(mktemp -d "${TMPDIR:-/tmp}/tolvren-installer-XXXXXX")
export WINEPREFIX=$work/prefix
# A fresh prefix costs ten seconds; a copy of one that no install has touched (TOLVREN_WINE_TEMPLATE,
# the test stage's own) two.
if [[ -n ${TOLVREN_WINE_TEMPLATE:-} && -f $TOLVREN_WINE_TEMPLATE/system.reg ]]; then
    cp -a "$TOLVREN_WINE_TEMPLATE" "$WINEPREFIX"
fi
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
win() { "$root/cmake/toolchains/wine-run.sh" "$@"; }
unix_path() { # C:\a\b -> the file in the prefix
    local path=${1//\\//}
    printf '%s/drive_c%s' "$WINEPREFIX" "${path#C:}"
}

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
win cmd /c exit 2>/dev/null # the prefix, made here and now
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
        $(entry QuietUninstallString) == "\"$dir\\uninstall.exe\" /$2 /S" ]] ||
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

# Runs the UninstallString the entry gives, silently, and waits for the uninstaller's copy of
# itself, which does the work after the program started here has returned.
uninstall() { # ROOT_KEY WHEN [OPTION...]
    local command program
    command=$(reg_value "$1\\$uninstall_key" UninstallString)
    [[ $command =~ ^\"([^\"]+)\"\ (.*)$ ]] || fail "$2: UninstallString is '$command'"
    program=${BASH_REMATCH[1]}
    win "$program" ${BASH_REMATCH[2]} /S "${@:3}" || fail "$2: the uninstaller failed"
    for _ in $(seq 100); do
        [[ ! -e $(unix_path "$program") ]] && ! reg_values "$1\\$uninstall_key" >/dev/null && return
        sleep 0.3
    done
    fail "$2: the uninstaller did not finish within 30 s"
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
exec 7>&-
wait "$debugger" || true
((status == 2)) || fail "the upgrade over a running tolvren-cli.exe: status $status, expected 2"
[[ $(reg_value "HKLM\\$uninstall_key" DisplayVersion) == "$old_version" && -f $(unix_path "$all_dir")/stale.txt ]] ||
    fail "the upgrade that met a running program changed the install"

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
