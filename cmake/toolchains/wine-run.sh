#!/bin/sh
# Runs a Windows program under wine for CTest and the build:
#   wine-run.sh [--prefix DIR] PROGRAM.exe [ARGUMENT...]
# The prefix is WINEPREFIX if set, else DIR; a missing one is made first (64-bit, without the
# Mono and Gecko downloads that no test needs). One wineserver serves every program of a stage:
# it is started persistent, so each program starts in a fraction of a second instead of one,
# and it ends by itself TOLVREN_WINE_LINGER seconds (default 60) after the last program exits, or
# at once with `WINEPREFIX=... wineserver -k`. The program's exit status is this script's.
set -eu

default_prefix=
if [ "${1-}" = --prefix ]; then
    default_prefix=$2
    shift 2
fi
WINEPREFIX=${WINEPREFIX:-$default_prefix}
if [ -z "$WINEPREFIX" ]; then
    echo "wine-run.sh: no prefix: set WINEPREFIX or pass --prefix DIR" >&2
    exit 2
fi
export WINEPREFIX
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

mkdir -p "$WINEPREFIX"
# Programs that CTest starts side by side wait here for the one that makes the prefix and starts
# the server. The server and wine's own services are started with their output going nowhere:
# they outlive this program, and a pipe they held open would keep CTest waiting for its end (and
# the lock, were it theirs, every later program). A new prefix is made under a server of its own
# that ends with it: under the server that made it, every later program would start wine's
# services anew, and they would pile up until the server runs out of file handles.
(
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot --init >/dev/null 2>&1 </dev/null 9<&-
        wineserver -k >/dev/null 2>&1 </dev/null 9<&- || true
        wineserver -w 9<&- || true
    fi
    if wineserver -p"${TOLVREN_WINE_LINGER:-60}" >/dev/null 2>&1 </dev/null 9<&-; then
        wineboot >/dev/null 2>&1 </dev/null 9<&-
    fi
) 9<"$WINEPREFIX"

exec wine "$@"
