#!/usr/bin/env bash
# Configures and builds both libraries with their tools, tests and demo from the same
# sources: <build>/x86 (Tidewell.dll, 32-bit) and <build>/x64 (Tidewell64.dll, x86-64).
# Building needs no Wine, so both are built on every machine; which of them the tests
# run depends on the machine (tools/test.sh).
#   tools/build.sh [build-dir] [x86|x64 ...]       (build-dir: build/; both by default)
# TIDEWELL_X86_WINE_TESTS=OFF leaves the x86 build's Wine tests unregistered (tools/test.sh
# on a machine that runs no 32-bit programs).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
[ $# -gt 0 ] && shift
arches=("$@")
[ ${#arches[@]} -gt 0 ] || arches=(x86 x64)
toolchain() { [ "$1" = x64 ] && echo "$root/cmake/mingw-x86_64.cmake" || echo "$root/cmake/mingw-i686.cmake"; }
other() { [ "$1" = x64 ] && echo x86 || echo x64; }

for arch in "${arches[@]}"; do
  cmake -S "$root" -B "$build/$arch" -DCMAKE_TOOLCHAIN_FILE="$(toolchain "$arch")" -DCMAKE_BUILD_TYPE=Release \
    -DTIDEWELL_OTHER_BIN="$build/$(other "$arch")/bin" \
    -DTIDEWELL_WINE_TESTS="$([ "$arch" = x86 ] && echo "${TIDEWELL_X86_WINE_TESTS:-ON}" || echo ON)" >/dev/null
done
# The libraries first: each build puts the other's DLL beside its tidewell-add.
for arch in "${arches[@]}"; do cmake --build "$build/$arch" -j"$(nproc)" --target Tidewell; done
for arch in "${arches[@]}"; do cmake --build "$build/$arch" -j"$(nproc)"; done
for arch in "${arches[@]}"; do
  dll=$(ls "$build/$arch/bin"/Tidewell*.dll | grep -E "/Tidewell$([ "$arch" = x64 ] && echo 64)\.dll$")
  echo "build: $arch $(basename "$dll") $(stat -c %s "$dll") bytes"
done
