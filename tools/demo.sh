#!/usr/bin/env bash
# Builds the library and runs the demo: a package that carries the freshly built library
# is installed, uninstalled and rolled back under Wine, and the demo prints what was there
# before, what the library did (from the MSI log) and what is there after.
# The demo runs the build that the machine runs natively: the 32-bit Tidewell.dll where
# the machine runs 32-bit programs, else Tidewell64.dll (TIDEWELL_64_ONLY=1 chooses it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${TIDEWELL_BUILD:-$root/build}")
"$root/tools/setup.sh"
arch=x64
[ "${TIDEWELL_64_ONLY:-0}" != 1 ] && [ "$("$root/tools/runs-32bit.sh")" = native ] && arch=x86
echo "demo: the $arch build ($([ $arch = x86 ] && echo Tidewell.dll || echo Tidewell64.dll))"
"$root/tools/build.sh" "$build" "$arch"
trap '"$root/tools/wine-prefix.sh" stop "$build/$arch"' EXIT
TIDEWELL_TREE="$build/$arch" "$root/tools/wine-run.sh" "$build/$arch/bin/tidewell_demo.exe" "$@"
