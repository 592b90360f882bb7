#!/usr/bin/env bash
# Every code of tidewell-check's catalogue is listed in docs/authoring.md, with an example
# line of its own ("error <code> [" or "warning <code> [").
#   check_codes_documented.sh <check_codes.cpp> <docs/authoring.md>
set -euo pipefail
codes=$(grep -oE '^\s*\{L"[a-z-]+", [EW],' "$1" | sed -E 's/.*L"([a-z-]+)", ([EW]),/\2 \1/')
[ -n "$codes" ] || { echo "no codes found in $1: the extraction is broken"; exit 1; }
missing=0
while read -r severity code; do
  word=error; [ "$severity" = W ] && word=warning
  grep -qF -- "\`$code\`" "$2" && grep -qF -- "$word $code [" "$2" || { echo "missing in $2: $code ($word)"; missing=1; }
done <<<"$codes"
[ "$missing" = 0 ] && echo "all $(wc -l <<<"$codes") codes are documented"
