#!/usr/bin/env bash
# The long round trip, too slow for the unit tests: a payload of more than
# 100 MB with executables goes into one LZX-21 folder at the default level,
# and the cabinet is read back by cabextract and by the project's own
# cabinet engine, entry by entry against the sources.
#
#   bench/lzx_compress_long.sh [MB] [LEVEL]     default: 120 MB, level 3
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=${BUILD_ROOT:-$here/build}
bench=$root/bin/lzx_compress_bench
if [ ! -x "$bench" ]; then "$here/scripts/build.sh" --host-only >/dev/null; fi
size_mb=${1:-120}
level=${2:-3}

work=$(mktemp -d "${TMPDIR:-/tmp}/lzxlong.XXXXXX")
trap 'rm -rf "$work"' EXIT
. "$here/bench/lzx_compress_payload.sh"
make_payload "$work/payload" "$size_mb" "$bench"
echo "payload: $payload_bytes bytes, $((exe_bytes / 1048576)) MB of executables"

"$bench" compress "$work/payload" "$work/long.cab" --level "$level"
cabextract -q -t "$work/long.cab" > "$work/cabextract.log" || { cat "$work/cabextract.log"; exit 1; }
mkdir "$work/x"
cabextract -q -d "$work/x" "$work/long.cab"
diff -r "$work/payload" "$work/x" > /dev/null && echo "cabextract: every entry identical"
"$bench" verify "$work/long.cab" "$work/payload"
echo "long round trip: PASSED"
