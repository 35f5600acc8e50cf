#!/usr/bin/env bash
# Reading speed of the XML reader on a generated 1 MB configuration-like
# document, beside libxml2's streaming reader (xmllint --stream) on the same
# file in the same run.
#   bench/xml.sh [MB] [RUNS]        (defaults: 1 MB, 5 runs; best run counts)
# Ours is timed inside xml_bench (text, plain binary, packed binary); the
# peer is timed as a whole process, so its figure includes start-up, which a
# run of /bin/true subtracts. CPU time (user + system) is the figure to trust
# on a loaded machine; the ratio is the peer's CPU time over ours (above 1
# means we are faster).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=${BUILD_ROOT:-$here/build}
mb=${1:-1}
runs=${2:-5}
bench=$root/bin/xml_bench
if [ ! -x "$bench" ]; then
  BUILD_ROOT=$root "$here/scripts/build.sh" --host-only >/dev/null
fi
work=$(mktemp -d /dev/shm/xmlbench.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$work"' EXIT

ours=$("$bench" "$work" "$mb" "$runs")
echo "$ours"
ours_cpu=$(echo "$ours" | awk '$1 == "text" { sub("best_cpu_ms=", "", $5); print $5 }')

# Best CPU milliseconds of a command over $runs runs.
best_cpu_ms() {
  local best=
  for _ in $(seq "$runs"); do
    local t
    /usr/bin/time -f "%U %S" -o "$work/time" "$@" >/dev/null 2>&1
    t=$(tail -1 "$work/time" | awk '{ printf "%.1f", ($1 + $2) * 1000 }')
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  echo "$best"
}

if command -v xmllint >/dev/null && [ -x /usr/bin/time ]; then
  base=$(best_cpu_ms /bin/true)
  peer=$(best_cpu_ms xmllint --stream --noout "$work/bench.xml")
  peer_net=$(awk -v p="$peer" -v b="$base" 'BEGIN { v = p - b; if (v < 0) v = 0; printf "%.1f", v }')
  echo "xmllint --stream cpu_ms=$peer (start-up ~$base)"
  awk -v p="$peer_net" -v o="$ours_cpu" \
    'BEGIN { if (o > 0) printf "ratio xmllint/ours (cpu, text form) = %.2f\n", p / o }'
  echo "note: time(1) counts in 10 ms steps; use MB=8 or more for a finer ratio"
else
  echo "xmllint or /usr/bin/time not installed (libxml2-utils, time): no peer figure"
fi
