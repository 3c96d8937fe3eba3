#!/usr/bin/env bash
# Makes Tolvren's Windows installer and its portable zip from a folder of built programs:
#   packaging/windows/make-installer.sh --version VERSION --programs DIR --output DIR
# DIR holds tolvren-cli.exe, and tolvren.exe (the dialog) once there is one; every file in it is
# shipped. Each program must carry a version resource of VERSION (tolvren_add_version_resource in
# CMake; --skip-version-check lets a test make an "older" installer from today's programs). Beside
# the programs go Tolvren's licence and the notices of the code linked into them,
# taken from Debian's copyright files of the packages that code came from.
# Writes OUTPUT/Tolvren-VERSION-setup.exe and OUTPUT/Tolvren-VERSION-portable.zip, both with the
# same files. With TOLVREN_SIGN_PKCS12 set, the programs, the uninstaller and the installer are
# signed (sign.sh says how); without it nothing is.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
die() { echo "make-installer.sh: $*" >&2; exit 1; }

version= programs= output= check_versions=1
while (($#)); do
    case $1 in
    --version) version=${2-} ;;
    --programs) programs=${2-} ;;
    --output) output=${2-} ;;
    --skip-version-check) check_versions=0; shift; continue ;;
    *) die "unknown argument $1 (--version VERSION --programs DIR --output DIR [--skip-version-check])" ;;
    esac
    shift 2 || die "$1 needs a value"
done
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || die "--version must be three numbers, not '$version'"
[[ -f $programs/tolvren-cli.exe ]] || die "no tolvren-cli.exe in '$programs'"
[[ -n $output ]] || die "--output is missing"
for tool in makensis zip icotool wrestool x86_64-w64-mingw32-strip; do
    command -v "$tool" >/dev/null || die "$tool is missing: scripts/setup.sh installs it"
done
mkdir -p "$output"
output=$(cd "$output" && pwd)

name=Tolvren-$version
work=$output/installer-work
stage=$work/$name
rm -rf "$work"
mkdir -p "$stage/licenses"
cp -R "$programs/." "$stage/"

# Text for Notepad: CR LF line ends, and a UTF-8 byte-order mark where a text is not plain ASCII.
as_windows_text() {
    if LC_ALL=C grep -q '[^[:print:][:space:]]' "$1"; then printf '\xef\xbb\xbf'; fi
    sed 's/\r*$/\r/' "$1"
}
as_windows_text "$root/LICENSE" >"$stage/LICENSE.txt"

notice() { # FILE PACKAGE WHAT
    local copyright=/usr/share/doc/$2/copyright packaged
    [[ -f $copyright ]] || die "$copyright is missing: install $2"
    packaged=$(dpkg-query -W -f='${Version}' "$2")
    {
        printf '%s\n\nThe notice below is Debian'\''s copyright file of the package %s %s, which the\n' \
            "$3" "$2" "$packaged"
        printf 'programs were built with.\n\n'
        cat "$copyright"
    } >"$work/notice"
    as_windows_text "$work/notice" >"$stage/licenses/$1"
}
notice CLI11.txt libcli11-dev "CLI11, which reads tolvren-cli's command line, is compiled into tolvren-cli.exe."
notice fmt.txt libfmt-dev "{fmt}, the text formatting library, is compiled into the programs."
notice OpenCC.txt libopencc-data "OpenCC's dictionaries, which --chinese converts with, are compiled into the programs."
notice MinGW-w64.txt mingw-w64-common \
    "The MinGW-w64 runtime and its winpthreads library are linked into every program."
notice GCC-runtime.txt gcc-mingw-w64-base \
    "libstdc++ and libgcc, GCC's runtime libraries, are linked into every program under the GCC Runtime Library Exception printed below."
rm -f "$work/notice"

# Programs without their symbols; each must say its version where Explorer shows it.
for exe in "$stage"/*.exe; do
    x86_64-w64-mingw32-strip "$exe"
    ((check_versions)) || continue
    product_version=$(wrestool -x --raw --type=16 "$exe" 2>/dev/null | strings -el |
        grep -A1 '^ProductVersion$' | tail -n 1) || true
    [[ $product_version == "$version" ]] ||
        die "$(basename "$exe") has no version resource of $version (it says '${product_version}')"
done

signing=()
if [[ -n ${TOLVREN_SIGN_PKCS12:-} ]]; then
    "$here/sign.sh" "$stage"/*.exe
    signing=("-DSIGN=$here/sign.sh")
    echo "make-installer.sh: signing with $TOLVREN_SIGN_PKCS12"
fi
dialog=()
[[ -f $stage/tolvren.exe ]] && dialog=(-DHAVE_DIALOG)

# The installer's file lists: what it puts in place is exactly what the uninstaller takes away.
# NSIS would read $ and ` in a name as its own, and quotes would end the name early.
LC_ALL=C grep -q '[$`'\''"]' <(find "$stage") && die "a path under $stage holds \$, \`, ' or \""
list=$work/files.nsh
{
    echo '!macro TOLVREN_INSTALL_FILES'
    while IFS= read -r dir; do
        echo "  SetOutPath \"\$INSTDIR${dir:1}\""
        find "$stage/$dir" -maxdepth 1 -type f -printf '%P\n' | LC_ALL=C sort |
            while IFS= read -r file; do echo "  File \"$stage${dir:1}/$file\""; done
    done < <(cd "$stage" && find . -type d | LC_ALL=C sort)
    echo '!macroend'
    echo '!macro TOLVREN_UNINSTALL_FILES'
    (cd "$stage" && find . -type f | LC_ALL=C sort) |
        while IFS= read -r file; do echo "  Delete \"\$INSTDIR${file:1}\""; done
    (cd "$stage" && find . -mindepth 1 -type d | LC_ALL=C sort -r) |
        while IFS= read -r dir; do echo "  RMDir \"\$INSTDIR${dir:1}\""; done
    echo '!macroend'
} >"$list.tmp"
# Folders in Windows' form inside the installer: \ instead of /.
sed -E '/^  (SetOutPath|Delete|RMDir) /s#/#\\#g' "$list.tmp" >"$list"
rm -f "$list.tmp"

icotool -c -o "$work/tolvren.ico" "$root"/src/ui/resources/tolvren-{16,32,48}.png

installer=$output/$name-setup.exe
zip=$output/$name-portable.zip
rm -f "$installer" "$zip"
makensis -V2 -WX -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" -DFILE_LIST="$list" \
    -DICON="$work/tolvren.ico" -DOUTFILE="$installer" "${dialog[@]}" "${signing[@]}" \
    "$here/tolvren.nsi" >"$work/makensis.log" 2>&1 || { cat "$work/makensis.log" >&2; die "makensis failed"; }
(cd "$work" && zip -q -X -r -9 "$zip" "$name")
echo "make-installer.sh: $installer ($(stat -c %s "$installer") bytes), $zip ($(stat -c %s "$zip") bytes)"
