#!/usr/bin/env bash
# Whether this machine runs 32-bit x86 Linux programs, which 32-bit Wine needs: found out
# by starting one (the 32-bit loader, from libc6:i386). Prints one word:
#   native    the kernel runs them
#   emulated  they run only through qemu-user-static registered for i386 ELF (slow:
#             one to two minutes for each 32-bit Wine process)
#   no        they do not run
# A registered qemu entry takes precedence over the kernel, so as root the entry is
# switched off for the moment of the probe; without root it cannot be, and a machine
# with the entry counts as emulated.
set -uo pipefail
loader=/lib/ld-linux.so.2
entry=/proc/sys/fs/binfmt_misc/qemu-i386
probe() { "$loader" --version >/dev/null 2>&1; }

if [ ! -e "$loader" ]; then echo no; exit 0; fi
if [ -f "$entry" ] && head -1 "$entry" | grep -qx enabled; then
  if [ -w "$entry" ] && echo 0 >"$entry" 2>/dev/null; then
    probe && answer=native || answer=emulated
    echo 1 >"$entry"
    echo "$answer"
  else
    echo emulated
  fi
  exit 0
fi
probe && echo native || echo no
