#!/usr/bin/env bash
# Runs a Windows program of a build under that build's Wine prefix. Programs in the
# build's bin folder are started as C:\tidewell\<name> from that folder, so that their
# own paths and the current folder are ordinary Windows paths inside the prefix.
# A 64-bit program runs under wine64, a 32-bit one under wine (which needs a machine that
# runs 32-bit programs, or qemu). The build is TIDEWELL_TREE (one of build/x86, build/x64).
# The prefix is made on first use, and one wineserver is kept alive between programs
# (without it every program pays seconds of start-up); tools/wine-prefix.sh stop ends it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tree=${TIDEWELL_TREE:?TIDEWELL_TREE names the build folder (build/x86 or build/x64)}
"$here/wine-prefix.sh" start "$tree" >/dev/null
export WINEPREFIX="$tree/wineprefix" WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
exe=$1; shift
# The machine field of the PE header: 8664 is x86-64.
pe=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$exe" | tr -d ' ')
# Debian keeps the 64-bit loader out of PATH.
loader=wine; [ "$machine" = 8664 ] && loader=$(command -v wine64 || echo /usr/lib/wine/wine64)
cd "$WINEPREFIX/drive_c/tidewell"
exec "$loader" "C:\\tidewell\\$(basename "$exe")" "$@"
