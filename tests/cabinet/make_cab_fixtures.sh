#!/usr/bin/env bash
# Makes the cabinets that the cabinet tests of both targets extract: a
# generated tree (many files, empty files, nested folders, a file of several
# megabytes, files that straddle data blocks) packed by gcab stored (-c) and
# MSZIP (-cz), and a manifest of what cabextract gives for each:
#   OUTDIR/<cabinet>  and  OUTDIR/MANIFEST.txt ("cabinet md5 size name" lines)
set -euo pipefail
out=${1:?usage: make_cab_fixtures.sh OUTDIR}
for tool in gcab cabextract python3 md5sum; do
  command -v $tool >/dev/null || { echo "make_cab_fixtures: $tool is missing" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tree"
python3 - "$work/tree" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(20240611)
words = [''.join(rng.choice('etaoinshrdlucmfw') for _ in range(rng.randint(1, 9))) for _ in range(700)]
def text(n):
    # Words average 5 characters plus a separator.
    picked = rng.choices(words, k=n // 4 + 16)
    return ' '.join(picked)[:n].encode()
def put(rel, data):
    path = os.path.join(root, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f: f.write(data)
put('big/several-megabytes.txt', text(3_500_000))
put('big/random.bin', rng.randbytes(700_000))
for n in (32767, 32768, 32769, 65535, 65536, 98305):
    put('straddle/%d.txt' % n, text(n))
for i in range(150):
    put('many/d%02d/f%03d.txt' % (i % 12, i), text(rng.randint(0, 5000)))
for i in range(5):
    put('empty/e%d.dat' % i, b'')
put('nested/a/b/c/d/e/deep.txt', text(1234))
PY
cd "$work/tree"
files=$(find . -type f | sed 's|^\./||' | LC_ALL=C sort)
mkdir -p "$out"
: > "$out/MANIFEST.tmp"
for kind in stored mszip; do
  cab=gcab-$kind.cab
  if [ $kind = stored ]; then gcab -c "$out/$cab" $files; else gcab -cz "$out/$cab" $files; fi
  rm -rf "$work/ref"
  cabextract -q -d "$work/ref" "$out/$cab"
  python3 - "$work/ref" "$cab" >> "$out/MANIFEST.tmp" <<'PY'
import hashlib, os, sys
ref, cab = sys.argv[1], sys.argv[2]
for folder, _, names in sorted(os.walk(ref)):
    for name in sorted(names):
        path = os.path.join(folder, name)
        data = open(path, 'rb').read()
        rel = os.path.relpath(path, ref).replace('/', '\\')
        print(cab, hashlib.md5(data).hexdigest(), len(data), rel)
PY
done
mv "$out/MANIFEST.tmp" "$out/MANIFEST.txt"
