#!/usr/bin/env bash
# Decompression throughput and peak memory of our cabinet engine against
# cabextract and 7z, on the same cabinets, in one run.
#   bench/cab_decode.sh [CORPUS_MB]        (default 32)
# Cabinets: MSZIP made by gcab; LZX (21-bit and 15-bit windows) made by the
# project's cabinet writer. Each tool decodes every cabinet in test mode
# (nothing written) and extracts it to a tmpfs folder; the best of 3 runs
# counts. Ratios are the peer's time over ours: above 1 means we are faster.
# Both CPU time (user + system, steady on a shared machine) and wall time
# are reported; on a loaded machine the CPU ratios are the ones to trust.
# With the Windows build and Wine at hand, the stub's own 32-bit decoders
# are timed on the same cabinets beside the host's 64-bit build.
# Peak memory (maximum resident set size) comes from /usr/bin/time -v, for
# the corpus cabinet and for one 16 times smaller, to show that it does not
# grow with the cabinet.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=${BUILD_ROOT:-$here/build}
mb=${1:-32}
bench=$root/bin/cab_decode_bench
if [ ! -x "$bench" ]; then
  BUILD_ROOT=$root "$here/scripts/build.sh" --host-only >/dev/null
fi
for tool in gcab cabextract 7z python3 /usr/bin/time; do
  command -v $tool >/dev/null || { echo "cab_decode.sh: $tool is missing" >&2; exit 1; }
done
work=$(mktemp -d /dev/shm/cabbench.XXXXXX)
trap 'rm -rf "$work"' EXIT

# A deterministic corpus: English-like text, structured binary records and
# some incompressible data.
python3 - "$work/corpus" "$mb" <<'PY'
import os, random, sys
out, mb = sys.argv[1], int(sys.argv[2])
os.makedirs(out)
rng = random.Random(7)
words = [''.join(rng.choice('etaoinshrdlucmfwypvbgkqjxz') for _ in range(rng.randint(1, 10))) for _ in range(5000)]
def text(n):
    return ' '.join(rng.choices(words, k=n // 5 + 10))[:n].encode()
def records(n):
    rows = []
    size = 0
    while size < n:
        r = rng.randrange(1 << 20).to_bytes(4, 'little') + bytes([rng.randrange(4)]) * 12 + rng.choice(words).encode().ljust(16, b'\0')
        rows.append(r); size += len(r)
    return b''.join(rows)[:n]
total = mb << 20
chunks = [('text', 0.55, text), ('records', 0.30, records), ('random', 0.15, lambda n: rng.randbytes(n))]
for name, share, make in chunks:
    size = int(total * share)
    for i in range(4):
        with open(os.path.join(out, '%s%d.dat' % (name, i)), 'wb') as f:
            f.write(make(size // 4))
PY
small=$work/small
mkdir -p "$small"
for f in "$work"/corpus/*; do head -c $(( $(stat -c %s "$f") / 16 )) "$f" > "$small/$(basename "$f")"; done

(cd "$work/corpus" && gcab -cz "$work/mszip.cab" *.dat)
(cd "$small" && gcab -cz "$work/mszip-small.cab" *.dat)
"$bench" make-lzx "$work/lzx21.cab" 21 "$work"/corpus/*.dat
"$bench" make-lzx "$work/lzx15.cab" 15 "$work"/corpus/*.dat
"$bench" make-lzx "$work/lzx21-small.cab" 21 "$small"/*.dat

# Best wall and CPU time of 3 runs and the largest peak RSS, as
# "wall cpu kilobytes".
measure() {
  local best_wall=999999 best_cpu=999999 peak=0 line
  for _ in 1 2 3; do
    rm -rf "$work/out"
    mkdir -p "$work/out"
    line=$(/usr/bin/time -f "%e %U %S %M" "$@" 2>&1 >/dev/null | tail -1)
    read -r wall user sys mem <<<"$line"
    best_wall=$(python3 -c "print(min($best_wall, $wall))")
    best_cpu=$(python3 -c "print(min($best_cpu, $user + $sys))")
    [ "$mem" -gt "$peak" ] && peak=$mem
  done
  echo "$best_wall $best_cpu $peak"
}

uncompressed=$(du -cb "$work"/corpus/*.dat | tail -1 | cut -f1)
printf "corpus: %d MB uncompressed\n" $((uncompressed >> 20))
printf "%-8s %-8s %-5s %8s %8s %8s %11s %8s\n" cabinet mode time ours cabext 7z cabext/ours 7z/ours
for cab in mszip lzx21 lzx15; do
  for mode in test extract; do
    if [ $mode = test ]; then
      read -r ow oc om < <(measure "$bench" test "$work/$cab.cab" 1)
      read -r cw cc cm < <(measure cabextract -q -t "$work/$cab.cab")
      read -r sw sc sm < <(measure 7z t "$work/$cab.cab")
    else
      read -r ow oc om < <(measure "$bench" extract "$work/$cab.cab" "$work/out")
      read -r cw cc cm < <(measure cabextract -q -d "$work/out" "$work/$cab.cab")
      read -r sw sc sm < <(measure 7z x -y -o"$work/out" "$work/$cab.cab")
    fi
    python3 - "$cab" "$mode" "$uncompressed" "$ow" "$cw" "$sw" "$oc" "$cc" "$sc" <<'PY'
import sys
cab, mode, n = sys.argv[1], sys.argv[2], float(sys.argv[3])
ow, cw, sw, oc, cc, sc = (max(float(x), 0.005) for x in sys.argv[4:])
for label, o, c, s in (("cpu", oc, cc, sc), ("wall", ow, cw, sw)):
    print("%-8s %-8s %-5s %8.2f %8.2f %8.2f %11.2f %8.2f   ours %.0f MB/s" % (cab, mode, label, o, c, s, c / o, s / o, n / o / 2**20))
PY
    [ $mode = test ] && printf "%-8s peak RSS KB: ours %s, cabextract %s, 7z %s\n" "$cab" "$om" "$cm" "$sm"
  done
done
# The stub is a 32-bit program: its decoders, as the Windows build compiles
# them, under Wine (the program times itself, Wine's start left out).
win_bench=$root/bin/cab_decode_bench.exe
if [ -f "$win_bench" ] && command -v wine >/dev/null; then
  echo "test mode, seconds of the best of 3, the host's 64-bit build against the stub's 32-bit one under Wine:"
  for cab in mszip lzx21 lzx15; do
    host=$("$bench" test "$work/$cab.cab" 3 | cut -d' ' -f1)
    win=$("$here/scripts/wine-run.sh" "$win_bench" test "Z:${work//\//\\}\\$cab.cab" 3 | tr -d '\r' | tail -1 | cut -d' ' -f1)
    python3 -c "import sys; h, w, n = map(float, sys.argv[1:4]); print('  %-8s 64-bit %6.3f  32-bit %6.3f  (%.0f and %.0f MB/s)' % (sys.argv[4], h, w, n / h / 2**20, n / w / 2**20))" \
      "$host" "$win" "$uncompressed" "$cab"
  done
else
  echo "(no Windows build or no wine: the 32-bit decoders not measured)"
fi
echo "peak RSS of our test mode (KB), full corpus vs 1/16 of it:"
for cab in mszip lzx21; do
  read -r _ _ big < <(measure "$bench" test "$work/$cab.cab" 1)
  read -r _ _ little < <(measure "$bench" test "$work/$cab-small.cab" 1)
  printf "  %-8s %8s vs %8s\n" "$cab" "$big" "$little"
done
