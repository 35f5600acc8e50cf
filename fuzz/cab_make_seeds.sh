#!/usr/bin/env bash
# Makes the seed inputs of the cabinet fuzz targets in fuzz/seeds/:
#   cab/         small cabinets: stored and MSZIP (gcab), LZX (our writer)
#   mszip/, lzx_decode/, quantum/
#                the data blocks of those cabinets in the decoder targets'
#                input form (window byte, then [out size][in size][bytes])
# Needs gcab and a host build of cab_decode_bench (BUILD_ROOT as for build.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=${BUILD_ROOT:-$here/build}
bench=$root/bin/cab_decode_bench
seeds=$here/fuzz/seeds
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in/sub" "$seeds"/{cab,mszip,lzx_decode,quantum}
python3 - "$work/in" <<'PY'
import os, random, sys
rng = random.Random(3)
d = sys.argv[1]
words = [b'alpha', b'beta', b'gamma', b'delta', b'\xe8\x10\x00\x00\x00']
open(os.path.join(d, 'a.txt'), 'wb').write(b' '.join(rng.choice(words) for _ in range(9000)))
open(os.path.join(d, 'sub', 'b.bin'), 'wb').write(rng.randbytes(3000))
open(os.path.join(d, 'empty'), 'wb').write(b'')
PY
(cd "$work/in" && gcab -c "$seeds/cab/stored.cab" a.txt sub/b.bin empty && gcab -cz "$seeds/cab/mszip.cab" a.txt sub/b.bin empty)
"$bench" make-lzx "$seeds/cab/lzx15.cab" 15 "$work/in/a.txt" "$work/in/sub/b.bin"
"$bench" make-lzx "$seeds/cab/lzx21.cab" 21 "$work/in/a.txt"
python3 - "$seeds" <<'PY'
import os, struct, sys
seeds = sys.argv[1]
def blocks(path):
    b = open(path, 'rb').read()
    folders, flags = struct.unpack_from('<H', b, 26)[0], struct.unpack_from('<H', b, 30)[0]
    at, dres = 36, 0
    if flags & 4:
        hres, fres, dres = struct.unpack_from('<HBB', b, 36)
        at += 4 + hres
    for f in range(folders):
        off, n, typ = struct.unpack_from('<IHH', b, at + 8 * f)
        out = []
        for _ in range(n):
            _, cb, ub = struct.unpack_from('<IHH', b, off)
            data = b[off + 8 + dres: off + 8 + dres + cb]
            out.append(struct.pack('<HH', ub, cb) + data)
            off += 8 + dres + cb
        yield typ, b''.join(out)
for name in os.listdir(os.path.join(seeds, 'cab')):
    for i, (typ, frames) in enumerate(blocks(os.path.join(seeds, 'cab', name))):
        kind = typ & 15
        if kind == 1:
            open(os.path.join(seeds, 'mszip', name + '.%d' % i), 'wb').write(frames)
        elif kind == 3:
            open(os.path.join(seeds, 'lzx_decode', name + '.%d' % i), 'wb').write(bytes([((typ >> 8) - 15) % 7]) + frames)
# Quantum has no encoder here: a few frames of patterned bytes to start from.
for w in (0, 8, 11):
    body = bytes((i * 37 + w) & 0xFF for i in range(600))
    open(os.path.join(seeds, 'quantum', 'pattern%d' % w), 'wb').write(bytes([w]) + struct.pack('<HH', 2000, len(body)) + body)
PY
du -sh "$seeds"/*
