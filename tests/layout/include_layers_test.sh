#!/usr/bin/env bash
# The include check passes on the library's own sources and fails on copies of them
# into which an upward include or a circle of includes has been put back.
set -uo pipefail
src=${1:?usage: include_layers_test.sh <src folder>}
check=$(dirname "$0")/include_layers.sh
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
failed=0

expect() {  # expect <name> <want rc 0|1> <text the output must hold> <tree>
  local out rc
  out=$(bash "$check" "$4" 2>&1); rc=$?
  if { [ "$2" = 0 ] && [ $rc -ne 0 ]; } || { [ "$2" = 1 ] && [ $rc -eq 0 ]; } || ! grep -qF -- "$3" <<<"$out"; then
    echo "FAIL $1 (exit $rc)"; echo "$out"; failed=1
  else
    echo "ok   $1"
  fi
}

expect "the library's sources" 0 "runs downwards" "$src"

cp -r "$src" "$work/upward"
echo '#include "undo/journal.h"' >>"$work/upward/win/paths.h"
expect "the Windows layer including the undo engine" 1 "src/win (layer 1) includes src/undo (layer 2)" "$work/upward"

cp -r "$src" "$work/cycle"
echo '#include "msi/session.h"' >>"$work/cycle/undo/journal.h"
echo '#include "undo/journal.h"' >>"$work/cycle/msi/session.h"
expect "the undo engine and the session layer including each other" 1 "cycle:" "$work/cycle"

cp -r "$src" "$work/unknown"
mkdir "$work/unknown/extra"; echo '#include "common/text.h"' >"$work/unknown/extra/x.cpp"
expect "a folder without a layer" 1 "has no layer yet" "$work/unknown"

[ $failed -eq 0 ] && echo "3 planted faults caught, the sources pass"
exit $failed
