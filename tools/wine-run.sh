#!/usr/bin/env bash
# Runs a Windows program of the build under the build's Wine prefix. Programs in the
# build's bin folder are started as C:\tidewell\<name> from that folder, so that their
# own paths and the current folder are ordinary Windows paths inside the prefix.
# The prefix is made on first use, and one wineserver is kept alive between programs
# (without it every program pays seconds of start-up); tools/wine-prefix.sh stop ends it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${TIDEWELL_BUILD:-$here/../build}
"$here/wine-prefix.sh" start "$build" >/dev/null
export WINEPREFIX="$build/wineprefix" WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
exe=$1; shift
cd "$WINEPREFIX/drive_c/tidewell"
exec wine "C:\\tidewell\\$(basename "$exe")" "$@"
