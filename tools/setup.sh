#!/usr/bin/env bash
# Installs what the build and the tests need on a fresh Debian 12 machine (run as root).
# Does nothing for a package that is already there, so it is cheap to call every time.
set -euo pipefail

need=()
dpkg --print-foreign-architectures | grep -qx i386 || { dpkg --add-architecture i386; NEED_UPDATE=1; }
for p in wine wine32:i386 wine64 mingw-w64 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix \
         cmake make googletest msitools binutils-mingw-w64-i686 osslsigncode openssl perl; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
