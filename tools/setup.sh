#!/usr/bin/env bash
# Installs what the build and the tests need on a fresh Debian 12 machine (run as root).
# Does nothing for a package that is already there, so it is cheap to call every time.
# Both builds are cross-compiled (i686 for Tidewell.dll, x86-64 for Tidewell64.dll).
# On a machine whose kernel runs no 32-bit programs, 32-bit Wine can start only through
# qemu-user-static: this installs it and registers it for i386 ELF, and says so.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"

install_missing() {
  local need=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
  done
  if [ ${#need[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
  fi
}

dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
install_missing wine wine32:i386 wine64 mingw-w64 \
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 \
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
  cmake make googletest msitools osslsigncode openssl perl

entry=/proc/sys/fs/binfmt_misc/qemu-i386
case "$("$here/runs-32bit.sh")" in
native)
  # A qemu entry left by an earlier setup would make every 32-bit program run emulated.
  if [ -f "$entry" ] && grep -q qemu-i386 "$entry"; then
    echo -1 | $SUDO tee "$entry" >/dev/null
    echo "setup: this machine runs 32-bit programs itself: the qemu entry for i386 ELF was removed"
  fi
  ;;
emulated)
  echo "setup: this machine does not run 32-bit programs: 32-bit Wine runs through qemu-user-static (slowly); the tests run the 64-bit build in full and a short 32-bit set"
  ;;
no)
  echo "setup: this machine does not run 32-bit programs: 32-bit Wine will run through qemu-user-static (slowly); the tests run the 64-bit build in full and a short 32-bit set"
  install_missing qemu-user-static
  [ -e /proc/sys/fs/binfmt_misc/register ] || $SUDO mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  # The i386 ELF magic and mask (qemu's own), with flag F: the interpreter is opened now,
  # so it works in every mount namespace.
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
    $SUDO tee /proc/sys/fs/binfmt_misc/register >/dev/null
  ;;
esac
