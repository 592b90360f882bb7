#!/usr/bin/env bash
# Checks the direction of the library's includes: a folder of src/ may include its own
# headers, common code, and folders of a lower layer, never a folder above it or beside
# it; folders that include each other in a circle are named as a cycle.
#   include_layers.sh <src folder>
set -uo pipefail
src=${1:?usage: include_layers.sh <src folder>}

# The layers, lowest first (docs/architecture.md draws the same map).
declare -A layer=(
  [common]=0
  [win]=1
  [undo]=2 [msi]=2
  [remove_files]=3 [remove_registry]=3 [move_files]=3 [backup]=3 [cleanup_prompt]=3
  [exports]=4
)

status=0
declare -A edges=()
for dir in "$src"/*/; do
  from=$(basename "$dir")
  if [ -z "${layer[$from]+x}" ]; then
    echo "src/$from: a folder that has no layer yet (add it to tests/layout/include_layers.sh and docs/architecture.md)"
    status=1
    continue
  fi
  while IFS=: read -r file _ to; do
    [ "$to" = "$from" ] && continue
    edges["$from $to"]=1
    if [ -z "${layer[$to]+x}" ]; then
      echo "${file#"$src"/}: includes \"$to/\", which is not a folder of the library"
      status=1
    elif [ "${layer[$to]}" -ge "${layer[$from]}" ]; then
      echo "${file#"$src"/}: src/$from (layer ${layer[$from]}) includes src/$to (layer ${layer[$to]}): includes run downwards only"
      status=1
    fi
  done < <(grep -rHoE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[a-z_]+/' "$dir" --include='*.h' --include='*.cpp' |
           sed -E 's/^([^:]+):.*"([a-z_]+)\/$/\1:x:\2/')
done

# Cycles between folders, whatever their layers (a depth-first search over the edges).
declare -A state=()
cycle_found=0
visit() {
  local node=$1 path=$2 edge to
  state[$node]=open
  for edge in "${!edges[@]}"; do
    [ "${edge%% *}" = "$node" ] || continue
    to=${edge#* }
    if [ "${state[$to]:-}" = open ]; then
      echo "cycle: ${path} -> ${to}"
      cycle_found=1
    elif [ -z "${state[$to]:-}" ]; then
      visit "$to" "$path -> $to"
    fi
  done
  state[$node]=done
}
for node in "${!layer[@]}"; do
  [ -z "${state[$node]:-}" ] && visit "$node" "$node"
done
[ $cycle_found -eq 0 ] || status=1

[ $status -eq 0 ] && echo "include layers: every include of $src runs downwards"
exit $status
