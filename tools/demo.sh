#!/usr/bin/env bash
# Builds the library and runs the demo: a package that carries the freshly built
# Tidewell.dll is installed, uninstalled and rolled back under Wine, and the demo prints
# what was there before, what the library did (from the MSI log) and what is there after.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TIDEWELL_BUILD:-$root/build}
"$root/tools/setup.sh"
"$root/tools/build.sh" "$build"
trap '"$root/tools/wine-prefix.sh" stop "$build"' EXIT
TIDEWELL_BUILD="$build" "$root/tools/wine-run.sh" "$build/bin/tidewell_demo.exe" "$@"
