#!/usr/bin/env bash
# Installs every Debian package Tolvren needs to build, test and run, but only those that are missing,
# so a second call costs a second. Needs root (or sudo) and Debian 12.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libicu-dev libcli11-dev libfmt-dev opencc libopencc-data
  libgtest-dev libgmock-dev libbenchmark-dev
  clang clang-format clang-tidy libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
  xvfb xauth fonts-wqy-microhei xdotool imagemagick fonts-wine
  libass-dev ffmpeg fonts-noto-cjk
  desktop-file-utils appstream dpkg-dev file time locales
  help2man lintian man-db bash-completion gettext
  g++-mingw-w64-x86-64-posix googletest wine wine64 nsis osslsigncode icoutils zip unzip openssl
)

# Node and npm run the test-only readers of the documents; a node from elsewhere, with its own npm,
# does as well (and Debian's npm could not be installed beside it).
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
