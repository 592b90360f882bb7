#!/usr/bin/env bash
# Builds the library and runs every test (unit and package tests under Wine).
# Installs what is missing first (tools/setup.sh). Extra arguments go to ctest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TIDEWELL_BUILD:-$root/build}
"$root/tools/setup.sh"
"$root/tools/build.sh" "$build"
trap '"$root/tools/wine-prefix.sh" stop "$build"' EXIT
"$root/tools/wine-prefix.sh" start "$build"
cd "$build"
ctest --output-on-failure "$@"
