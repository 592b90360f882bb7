#!/usr/bin/env bash
# Builds a Release build with the benchmark and prints every figure of docs/performance.md
# as a ratio of two things measured side by side in this one run under Wine. Not run by
# CI: the figures depend on the machine, and nothing here passes or fails.
#   tools/bench.sh [build-dir] [--runs N] [figure ...]     (build-dir: build-bench/)
# It measures the build that the machine runs natively: the 32-bit one where the machine
# runs 32-bit programs, else (or with TIDEWELL_64_ONLY=1) the 64-bit one, in
# <build-dir>/x86 or <build-dir>/x64.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=x64
[ "${TIDEWELL_64_ONLY:-0}" != 1 ] && [ "$("$root/tools/runs-32bit.sh")" = native ] && arch=x86
toolchain=$root/cmake/mingw-x86_64.cmake; [ $arch = x86 ] && toolchain=$root/cmake/mingw-i686.cmake
build=$(realpath -m "${1:-$root/build-bench}")/$arch
[ $# -gt 0 ] && shift
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DTIDEWELL_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target Tidewell NoopAction TestActions tidewell_bench >/dev/null
"$root/tools/wine-prefix.sh" create "$build"
"$root/tools/wine-prefix.sh" start "$build"
export TIDEWELL_TREE=$build
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
wine=wine; [ $arch = x64 ] && wine=$wine64

echo "build: $arch"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $("$wine64" --version)"
"$root/tools/wine-run.sh" "$build/bin/tidewell_bench.exe" "$@"

# Installer calls per row: Wine's relay trace of every call into msi.dll during an
# installation whose removal action reads 2,000 rows, less one with 1,000 rows. Calls
# that return into the benchmark program itself (its image sits at 0x00400000, or
# 0x140000000 in the 64-bit build: building
# the package) are not counted.
figures=$(echo " $* " | sed -E 's/ --runs +[0-9]+ / /')
if [ -z "${figures// /}" ] || [[ "$figures" == *" rows "* ]]; then
  export WINEPREFIX="$build/wineprefix"
  relay() {
    WINEDEBUG=+relay "$root/tools/wine-run.sh" "$build/bin/tidewell_bench.exe" rows-only "$1" 2>&1 >/dev/null |
      grep ':Call msi\.' | grep -vcE 'ret=(004|0*140)' || true
  }
  "$wine" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d 'msi.*' /f >/dev/null 2>&1
  thousand=$(relay 1000)
  twoThousand=$(relay 2000)
  "$wine" reg delete 'HKCU\Software\Wine\Debug' /v RelayInclude /f >/dev/null 2>&1
  awk -v a="$thousand" -v b="$twoThousand" \
    'BEGIN { printf "%-34s %6.1f   installer calls per row (relay trace: %d calls with 1,000 rows, %d with 2,000)\n", "installer calls per row", (b - a) / 1000, a, b }'
fi
