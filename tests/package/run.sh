#!/usr/bin/env bash
# Package gate: builds the Debian package from the release preset and holds it to lintian (any
# error or warning fails it; information tags are shown and pass). Then installs the package as a
# user would, checks on the installed system what it promises (programs, manual pages,
# completion, launcher, help without a display) and removes it again, also when a check fails.
# Needs root or sudo; a machine that already has tolvren installed keeps it and skips that part.
#   tests/package/run.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
fail() { echo "package gate FAILED: $*" >&2; exit 1; }
started=$SECONDS

# The package's folders take their modes from the build tree; lintian wants 0755.
umask 022
# Warnings are errors here, as in the developer build: the optimiser of a release build sees
# things a debug build does not.
cmake --preset release -DTOLVREN_WERROR=ON >/dev/null
cmake --build --preset release -j"$(nproc)"
rm -f build/release/tolvren_*.deb
(cd build/release && cpack -G DEB >cpack.log 2>&1) || { cat build/release/cpack.log; fail "cpack"; }
deb=$(echo "$PWD"/build/release/tolvren_*.deb)
version=$(dpkg-deb -f "$deb" Version)

# lintian run as root says so on stderr; that line is no finding.
lintian --display-info --fail-on error,warning "$deb" 2> >(grep -v 'root privileges' >&2) ||
  fail "lintian reports errors or warnings (above)"
latest=$(dpkg-parsechangelog -l packaging/changelog -S Version)
[[ $latest == "$version" ]] || fail "packaging/changelog's latest entry is $latest, the package $version"
metainfo=src/ui/packaging/io.github.tolvren.Tolvren.metainfo.xml
grep -q "<release version=\"$version\"" "$metainfo" || fail "$metainfo has no release $version"
echo "lintian: no error, no warning in $(basename "$deb")"

if dpkg-query -W -f='${Status}' tolvren 2>/dev/null | grep -q 'install ok installed'; then
  echo "tolvren is installed on this machine already: left as it is, install checks skipped"
  exit 0
fi
sudo_cmd=()
[[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
work=$(mktemp -d "${TMPDIR:-/tmp}/tolvren-package-XXXXXX")
installed=0
cleanup() {
  ((installed)) && "${sudo_cmd[@]}" apt-get purge -y -qq tolvren >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

installed=1
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get install"; }

[[ $(tolvren-cli --version) == "tolvren-cli $version" ]] || fail "tolvren-cli --version"
tolvren-cli -q examples "$work/out" || fail "tolvren-cli on the examples: exit status $?"
compgen -G "$work/out/*.kmc" >/dev/null || fail "tolvren-cli wrote no document"

# QApplication aborts without a display; --help and --version must not need one.
help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM tolvren --help) ||
  fail "tolvren --help without a display: exit status $?"
[[ $help == "Usage: tolvren "* ]] || fail "tolvren --help printed: $help"
[[ $(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM tolvren --version) == "tolvren $version" ]] ||
  fail "tolvren --version without a display"
status=0
QT_QPA_PLATFORM=offscreen tolvren --no-such-option 2>/dev/null || status=$?
((status == 2)) || fail "tolvren --no-such-option: exit status $status, expected 2"

if grep -qs '^path-exclude=/usr/share/man' /etc/dpkg/dpkg.cfg.d/*; then
  echo "dpkg leaves manual pages out on this machine: man -w not checked"
else
  for page in tolvren-cli tolvren; do
    [[ $(man -w "$page") == "/usr/share/man/man1/$page.1.gz" ]] || fail "man -w $page"
  done
fi

# bash-completion finds the completion by the command's name, as at a prompt.
completions=$(bash -c '
  source /usr/share/bash-completion/bash_completion
  _completion_loader tolvren-cli
  fn=$(complete -p tolvren-cli | sed -E "s/.* -F ([^ ]+) .*/\1/")
  complete_at() {
    COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}; COMPREPLY=()
    "$fn" tolvren-cli "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
    echo "${COMPREPLY[*]}"
  }
  complete_at tolvren-cli --for
  complete_at tolvren-cli --ch
  complete_at tolvren-cli --format ""
') || fail "the bash completion of tolvren-cli did not load"
[[ $completions == $'--format\n--check --chinese\nkmc xml lrc ass ttml srt' ]] || fail "bash completion gave: $completions"

# File managers offer a program on a folder through the MIME cache that the desktop entries make.
desktop=/usr/share/applications/io.github.tolvren.Tolvren.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
grep -q '^inode/directory=.*io\.github\.tolvren\.Tolvren\.desktop' \
  /usr/share/applications/mimeinfo.cache || fail "Tolvren is not offered on folders"
appstreamcli validate --no-net /usr/share/metainfo/io.github.tolvren.Tolvren.metainfo.xml \
  >"$work/appstream.log" 2>&1 || { cat "$work/appstream.log"; fail "appstreamcli validate"; }

"${sudo_cmd[@]}" apt-get purge -y -qq tolvren >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get purge"; }
installed=0
[[ ! -e /usr/bin/tolvren-cli && ! -e /usr/share/doc/tolvren ]] || fail "files left after purge"
echo "package: built, lintian clean, installed, checked and purged in $((SECONDS - started)) s"
