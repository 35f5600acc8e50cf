#!/usr/bin/env bash
# Extraction of a cabinet of several LZX folders, one folder at a time
# against several at once (one per processor), with cabextract extracting
# the same cabinet in the same run, and the outputs compared byte for byte.
#   bench/cab_folders.sh [CORPUS_MB] [FOLDER_MB]      (default 64, 8)
# Output goes to a tmpfs folder; the best wall time of 3 runs counts. The
# machine's load average is printed before and after: on a shared machine
# the ratios between the rows are what to read.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=${BUILD_ROOT:-$here/build}
mb=${1:-64}
folder_mb=${2:-8}
bench=$root/bin/cab_decode_bench
[ -x "$bench" ] || BUILD_ROOT=$root "$here/scripts/build.sh" --host-only >/dev/null
for tool in cabextract python3 /usr/bin/time; do
  command -v $tool >/dev/null || { echo "cab_folders.sh: $tool is missing" >&2; exit 1; }
done
work=$(mktemp -d /dev/shm/cabfolders.XXXXXX)
trap 'rm -rf "$work"' EXIT

# A deterministic game-like corpus: text, structured records and some
# incompressible data, in files of 1 to 8 MB.
python3 - "$work/corpus" "$mb" <<'PY'
import os, random, sys
out, mb = sys.argv[1], int(sys.argv[2])
os.makedirs(out)
rng = random.Random(11)
words = [''.join(rng.choice('etaoinshrdlucmfwypvbgkqjxz') for _ in range(rng.randint(1, 10))) for _ in range(5000)]
def text(n): return ' '.join(rng.choices(words, k=n // 5 + 10))[:n].encode()
def records(n):
    rows, size = [], 0
    while size < n:
        r = rng.randrange(1 << 20).to_bytes(4, 'little') + bytes([rng.randrange(4)]) * 12 + rng.choice(words).encode().ljust(16, b'\0')
        rows.append(r); size += len(r)
    return b''.join(rows)[:n]
left, i = mb << 20, 0
while left > 0:
    n = min(left, rng.randint(1, 8) << 20)
    make = (text, text, records, lambda k: rng.randbytes(k))[i % 4]
    with open(os.path.join(out, 'f%03d.dat' % i), 'wb') as f:
        f.write(make(n))
    left -= n; i += 1
PY
"$bench" make-lzx-folders "$work/game.cab" 21 "$folder_mb" "$work"/corpus/*.dat
threads=$(nproc)
echo "corpus: $mb MB in $(ls "$work/corpus" | wc -l) files, LZX 21, folders of about $folder_mb MB; cabinet $(( $(stat -c %s "$work/game.cab") >> 20 )) MB; $threads processors"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

best() {  # command...: best wall seconds of 3, output checked against the corpus
  local b=999999 t
  for _ in 1 2 3; do
    rm -rf "$work/out"; mkdir -p "$work/out"
    /usr/bin/time -f "%e" -o "$work/time" "$@" >/dev/null 2>&1
    t=$(tail -1 "$work/time")
    diff -r "$work/corpus" "$work/out" >/dev/null || { echo "cab_folders.sh: output differs: $*" >&2; exit 1; }
    b=$(python3 -c "print(min($b, $t))")
  done
  echo "$b"
}
one=$(best "$bench" extract "$work/game.cab" "$work/out" 1)
many=$(best "$bench" extract "$work/game.cab" "$work/out" "$threads")
peer=$(best cabextract -q -d "$work/out" "$work/game.cab")
python3 - "$mb" "$one" "$many" "$peer" "$threads" <<'PY'
import sys
mb, one, many, peer, n = int(sys.argv[1]), *(max(float(x), 0.005) for x in sys.argv[2:5]), sys.argv[5]
print("%-22s %8s %8s %12s" % ("extract (wall, best 3)", "seconds", "MB/s", "cabext/this"))
for label, t in (("ours, 1 folder at once", one), ("ours, %s at once" % n, many), ("cabextract", peer)):
    print("%-22s %8.2f %8.0f %12.2f" % (label, t, mb / t, peer / t))
print("speed-up of %s folders at once over 1: %.2f" % (n, one / many))
PY
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
