#!/usr/bin/env bash
# Compression of a game-like payload by the cabinet writer's LZX (21-bit
# window) beside gzip -9, xz -6 and wimlib's LZX, in one run: size, size
# against gzip -9, and speed in MB/s of processor time and of wall time (the
# machine may be shared; processor time is what the compressor costs).
#
#   bench/lzx_compress.sh [--threads "N..."] [MB] [LEVEL...]
#                        default: 1 and 2 threads, 100 MB, levels 1 3 4 5
#
# Each level runs once per thread count; the cabinets of one level must be
# byte-identical whatever the thread count (the script stops otherwise).
# The payload: real 32-bit Windows executables and DLLs (mingw-w64's runtime
# DLLs and Wine's PE builds) for about 40%, and generated textures (BMP),
# audio (WAV), text (XML, strings, scripts), meshes and already-compressed
# data for the rest. The default-level cabinet is checked with cabextract and
# with the project's own cabinet engine. The peers run on one thread;
# compare processor-time speeds, and wall time only with the load average
# printed beside each run (the machine may be shared).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=${BUILD_ROOT:-$here/build}
bench=$root/bin/lzx_compress_bench
if [ ! -x "$bench" ]; then "$here/scripts/build.sh" --host-only >/dev/null; fi
thread_counts="1 2"
if [ "${1:-}" = --threads ]; then thread_counts=$2; shift 2; fi
size_mb=${1:-100}
shift || true
levels=${*:-1 3 4 5}

work=$(mktemp -d "${TMPDIR:-/tmp}/lzxbench.XXXXXX")
trap 'rm -rf "$work"' EXIT
payload=$work/payload
. "$here/bench/lzx_compress_payload.sh"
make_payload "$payload" "$size_mb" "$bench"
input=$payload_bytes
echo "payload: $input bytes in $(find "$payload" -type f | wc -l) files, $((exe_bytes / 1048576)) MB of it executables"

echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
tar --sort=name -cf "$work/payload.tar" -C "$payload" .

results=$work/results
: > "$results"
# measure LABEL OUTPUT-FILE COMMAND...: records size, processor and wall time.
measure() {
  local label=$1 out=$2
  shift 2
  /usr/bin/time -f "%U %S %e" -o "$work/time" "$@"
  read -r user sys wall < "$work/time"
  echo "$label $(stat -c %s "$out") $(awk -v a="$user" -v b="$sys" 'BEGIN {print a + b}') $wall" >> "$results"
}
echo "peers: load $(cut -d' ' -f1 /proc/loadavg)"
measure "gzip -9" "$work/p.gz" sh -c "gzip -9 -c '$work/payload.tar' > '$work/p.gz'"
measure "xz -6" "$work/p.xz" sh -c "xz -6 -T1 -c '$work/payload.tar' > '$work/p.xz'"
if command -v wimlib-imagex >/dev/null; then
  measure "wimlib LZX (32K chunks)" "$work/p.wim" \
    wimlib-imagex capture "$payload" "$work/p.wim" --compress=LZX --threads=1 --no-acls >/dev/null 2>&1
  measure "wimlib LZX (2M chunks)" "$work/p2.wim" \
    wimlib-imagex capture "$payload" "$work/p2.wim" --compress=LZX --chunk-size=2M --threads=1 --no-acls >/dev/null 2>&1
fi
for level in $levels; do
  first=
  for t in $thread_counts; do
    cab=$work/lzx$level-t$t.cab
    line=$("$bench" compress "$payload" "$cab" --level "$level" --threads "$t")
    echo "  level $level, $t threads: $line (load $(cut -d' ' -f1 /proc/loadavg))"
    out=$(echo "$line" | sed 's/.*output=\([0-9]*\).*/\1/')
    cpu=$(echo "$line" | sed 's/.*cpu=\([0-9.]*\).*/\1/')
    wall=$(echo "$line" | sed 's/.*wall=\([0-9.]*\).*/\1/')
    echo "cab LZX-21 level $level ${t}T $out $cpu $wall" >> "$results"
    if [ -z "$first" ]; then
      first=$cab
      cp "$cab" "$work/lzx$level.cab"
    else
      cmp -s "$first" "$cab" || { echo "level $level: output differs with $t threads" >&2; exit 1; }
      rm -f "$cab"
    fi
  done
  rm -f "$first"
done
line=$("$bench" compress "$payload" "$work/mszip.cab" --method mszip)
echo "cab MSZIP $(echo "$line" | sed 's/.*output=\([0-9]*\) cpu=\([0-9.]*\) wall=\([0-9.]*\).*/\1 \2 \3/')" >> "$results"

# The default level's cabinet must read back.
default=$(echo "$levels" | tr ' ' '\n' | grep -x 3 || echo "$levels" | awk '{print $1}')
cabextract -q -t "$work/lzx$default.cab" >/dev/null && echo "cabextract -t: level $default cabinet OK"
"$bench" verify "$work/lzx$default.cab" "$payload"

echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
gzip_size=$(awk '$1 == "gzip" {print $3}' "$results")
wim_size=$(awk '$1 == "wimlib" && $3 == "(2M" {print $5}' "$results")
echo
printf '%-28s %12s %8s %9s %9s %9s %9s\n' method bytes "% input" "vs gzip" "vs wim2M" "MB/s cpu" "MB/s wall"
# Labels have spaces: the last three fields are size, cpu and wall.
awk -v input="$input" -v gz="$gzip_size" -v wim="${wim_size:-0}" '{
  n = NF; wall = $n; cpu = $(n - 1); size = $(n - 2); label = $1;
  for (i = 2; i <= n - 3; i++) label = label " " $i;
  ratio = "-";
  if (wim > 0) ratio = sprintf("%.4f", size / wim);
  printf "%-28s %12d %7.2f%% %8.2f%% %9s %9.2f %9.2f\n", label, size, 100 * size / input, 100 * size / gz,
         ratio, input / 1048576 / (cpu > 0 ? cpu : 0.01), input / 1048576 / (wall > 0 ? wall : 0.01)
}' "$results"
