#!/usr/bin/env bash
# Builds a Release build with the benchmark and prints every figure of docs/performance.md
# as a ratio of two things measured side by side in this one run under Wine. Not run by
# CI: the figures depend on the machine, and nothing here passes or fails.
#   tools/bench.sh [build-dir] [--runs N] [figure ...]     (build-dir: build-bench/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-bench}")
[ $# -gt 0 ] && shift
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DTIDEWELL_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target Tidewell NoopAction TestActions tidewell_bench >/dev/null
"$root/tools/wine-prefix.sh" create "$build"
"$root/tools/wine-prefix.sh" start "$build"
export TIDEWELL_BUILD=$build

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(wine --version)"
"$root/tools/wine-run.sh" "$build/bin/tidewell_bench.exe" "$@"

# Installer calls per row: Wine's relay trace of every call into msi.dll during an
# installation whose removal action reads 2,000 rows, less one with 1,000 rows. Calls
# that return into the benchmark program itself (its image sits at 0x00400000: building
# the package) are not counted.
figures=$(echo " $* " | sed -E 's/ --runs +[0-9]+ / /')
if [ -z "${figures// /}" ] || [[ "$figures" == *" rows "* ]]; then
  export WINEPREFIX="$build/wineprefix"
  relay() {
    WINEDEBUG=+relay "$root/tools/wine-run.sh" "$build/bin/tidewell_bench.exe" rows-only "$1" 2>&1 >/dev/null |
      grep ':Call msi\.' | grep -vc 'ret=004' || true
  }
  wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d 'msi.*' /f >/dev/null 2>&1
  thousand=$(relay 1000)
  twoThousand=$(relay 2000)
  wine reg delete 'HKCU\Software\Wine\Debug' /v RelayInclude /f >/dev/null 2>&1
  awk -v a="$thousand" -v b="$twoThousand" \
    'BEGIN { printf "%-34s %6.1f   installer calls per row (relay trace: %d calls with 1,000 rows, %d with 2,000)\n", "installer calls per row", (b - a) / 1000, a, b }'
fi
