#!/usr/bin/env bash
# Fails when a source file includes a header of a higher layer.
#   check-layers.sh ROOT LAYER...   (lowest layer first)
# The layers are the top-level folders of ROOT in build order; a file in one
# of them may include headers of its own folder and of the folders named
# before it. Folders not named (tests, bench, fuzz) are not checked, and an
# include of a folder that is not a layer is left alone. Every upward include
# is printed as FILE:LINE so that it can be found at once.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: check-layers.sh ROOT LAYER..." >&2; exit 2; }
root=$1; shift
layers="$*"
cd "$root"
existing=()
for layer in "$@"; do [ -d "$layer" ] && existing+=("$layer"); done
[ ${#existing[@]} -gt 0 ] || { echo "check-layers: no layer folder under $root" >&2; exit 2; }
status=0
find "${existing[@]}" -type f \( -name '*.h' -o -name '*.cpp' \) | sort | xargs awk -v layers="$layers" '
  BEGIN { n = split(layers, order, " "); for (i = 1; i <= n; i++) rank[order[i]] = i }
  /^[ \t]*#[ \t]*include[ \t]*"/ {
    split(FILENAME, own, "/")
    match($0, /"[^"]*"/); header = substr($0, RSTART + 1, RLENGTH - 2)
    split(header, target, "/")
    if ((target[1] in rank) && index(header, "/") && rank[target[1]] > rank[own[1]]) {
      printf "%s:%d: layer %s includes %s of the higher layer %s\n", FILENAME, FNR, own[1], header, target[1]
      bad = 1
    }
  }
  END { exit bad }' || status=1
exit $status
