#!/usr/bin/env bash
# Manages the Wine prefix that the tests and the demo run in.
# Prefix chores run under wine64, which needs no 32-bit support from the machine.
#   wine-prefix.sh create <build-dir>   make the prefix once (64-bit, no host-root drive,
#                                       D: a second local drive, N: a network-typed drive,
#                                       C:\tidewell pointing at the build's bin folder)
#   wine-prefix.sh start  <build-dir>   keep one wineserver alive for fast test programs
#   wine-prefix.sh stop   <build-dir>   stop that wineserver
set -euo pipefail
cmd=$1
build=$(cd "$2" && pwd)
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Debian keeps the 64-bit loader out of PATH.
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
unset DISPLAY

# Whether a wineserver for this prefix is up: its socket sits in a folder named after
# the prefix's device and inode (the folder above it varies between Wine builds).
server_running() {
  local id
  id=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
  compgen -G "/tmp/*wine*/$id/socket" >/dev/null || compgen -G "/tmp/.wine-$(id -u)/$id/socket" >/dev/null
}

detached() { ( exec </dev/null >/dev/null 2>&1; "$@" ) ; }

case "$cmd" in
create)
  [ -f "$WINEPREFIX/.tidewell-ready" ] && exit 0
  rm -rf "$WINEPREFIX"
  mkdir -p "$build/bin" "$build/drives/d" "$build/drives/n"
  WINEARCH=win64 detached "$wine64" wineboot -i
  wineserver -w
  rm -f "$WINEPREFIX/dosdevices/z:"
  ln -sfn "$build/drives/d" "$WINEPREFIX/dosdevices/d:"
  ln -sfn "$build/drives/n" "$WINEPREFIX/dosdevices/n:"
  ln -sfn "$build/bin" "$WINEPREFIX/drive_c/tidewell"
  "$wine64" reg add 'HKLM\Software\Wine\Drives' /v n: /d network /f /reg:64 >/dev/null 2>&1
  wineserver -k || true
  wineserver -w || true
  touch "$WINEPREFIX/.tidewell-ready"
  ;;
start)
  "$0" create "$build"
  # A running server answers -p by exiting at once; only the first start costs anything.
  if ! server_running; then
    detached wineserver -p
    detached "$wine64" cmd /c exit
  fi
  ;;
stop)
  wineserver -k 2>/dev/null || true
  ;;
*) echo "usage: $0 create|start|stop <build-dir>" >&2; exit 2 ;;
esac
