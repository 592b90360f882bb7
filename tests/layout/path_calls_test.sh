#!/usr/bin/env bash
# The path-call check passes on the library's own sources and fails on a copy into which
# a path-based call has been put in a feature's folder.
set -uo pipefail
src=${1:?usage: path_calls_test.sh <src folder> <architecture.md>}
doc=${2:?usage: path_calls_test.sh <src folder> <architecture.md>}
check=$(dirname "$0")/path_calls.sh
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
failed=0

expect() {  # expect <name> <want rc 0|1> <text the output must hold> <tree>
  local out rc
  out=$(bash "$check" "$4" "$doc" 2>&1); rc=$?
  if { [ "$2" = 0 ] && [ $rc -ne 0 ]; } || { [ "$2" = 1 ] && [ $rc -eq 0 ]; } || ! grep -qF -- "$3" <<<"$out"; then
    echo "FAIL $1 (exit $rc)"; echo "$out"; failed=1
  else
    echo "ok   $1"
  fi
}

expect "the library's sources" 0 "only where the library acts" "$src"

cp -r "$src" "$work/win32"
printf '\nnamespace tidewell { void planted() { ::DeleteFileW(L"C:\\\\x"); } }\n' >>"$work/win32/remove_files/removal_worker.cpp"
expect "DeleteFileW in the file removal" 1 "remove_files/removal_worker.cpp:" "$work/win32"

cp -r "$src" "$work/wrapper"
printf '\nnamespace tidewell { void planted() { copyFile(L"a", L"b", ExistingFile::Replace); } }\n' >>"$work/wrapper/backup/backup_actions.cpp"
expect "a path wrapper in the backup's actions" 1 "backup/backup_actions.cpp:" "$work/wrapper"
exit $failed
