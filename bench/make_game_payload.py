#!/usr/bin/env python3
"""Writes a deterministic game-like payload for install benchmarks.

    make_game_payload.py OUT_DIR SIZE_MB

The same size always gives the same bytes. Shares of the payload:
  35% real 32-bit PE files (Wine's i386 DLLs and programs from Debian),
  23% textures (smooth RGBA with low-entropy noise, and block-coded ones that
      barely compress),
  15% 16-bit stereo WAV audio (smooth waveform, noisy low bytes),
   8% level data (text maps, XML entity lists, binary navigation records),
   4% localised text,
   2% interface icons (small files),
  13% already-compressed data (zlib-packed archives, video-like noise).
Files sit in nested folders; a 320 MB payload has about 4500.
"""
import glob
import math
import os
import random
import sys
import zlib

PE_DIRS = ["/usr/lib/i386-linux-gnu/wine/i386-windows", "/usr/i686-w64-mingw32/lib",
           "/usr/lib/gcc/i686-w64-mingw32"]


def main():
    out, mb = sys.argv[1], int(sys.argv[2])
    total = mb << 20
    rng = random.Random(20261209)
    os.makedirs(out, exist_ok=True)
    count = 0

    def put(rel, data):
        nonlocal count
        path = os.path.join(out, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        count += 1

    # Real PE files, largest ones left out so that many distinct files fit.
    budget = int(total * 0.35)
    pes = []
    for d in PE_DIRS:
        for p in sorted(glob.glob(os.path.join(d, "**", "*"), recursive=True)):
            if p.lower().endswith((".dll", ".exe")) and os.path.isfile(p):
                pes.append(p)
    if not pes:
        sys.exit("make_game_payload: no 32-bit PE files found (apt-get install wine32)")
    limit = max(budget // 12, 256 << 10)
    used = 0
    for i, p in enumerate(pes):
        size = os.path.getsize(p)
        if size > limit or used + size > budget:
            continue
        name = os.path.basename(p)
        folder = "bin" if i % 3 == 0 else "bin/plugins/%s" % name[0].lower()
        with open(p, "rb") as f:
            put("%s/%s" % (folder, name), f.read())
        used += size

    # Textures: 64 KB to 1 MB RGBA images.
    ramps = [bytes((x * k // 8 + s) & 255 for x in range(4096)) for k, s in
             [(1, 0), (2, 30), (3, 90), (5, 7), (8, 200), (13, 55)]]
    narrow = [bytes(b >> shift for b in range(256)) for shift in (5, 6, 7)]
    budget, used, n = int(total * 0.23), 0, 0
    while used < budget:
        side = rng.choice([64, 64, 64, 128, 128, 128, 256, 256, 512])
        pixels = side * side
        img = bytearray(pixels * 4)
        if rng.random() < 0.3:
            # Block-coded: mostly noise, a little structure.
            img[:] = rng.randbytes(len(img))
            img[3::16] = bytes(len(img[3::16]))
        else:
            ramp = rng.choice(ramps)
            start = rng.randrange(len(ramp) - side)
            row = ramp[start:start + side]
            img[0::4] = row * side
            img[1::4] = rng.randbytes(pixels).translate(rng.choice(narrow))
            img[2::4] = bytes(reversed(row)) * side
            img[3::4] = b"\xff" * pixels
        header = bytes([0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, side & 255, side >> 8, side & 255, side >> 8, 32, 8])
        zone, group = n % 12, (n // 12) % 9
        put("data/textures/zone%02d/set%d/tex_%05d.tga" % (zone, group, n), header + bytes(img))
        used += len(img) + len(header)
        n += 1

    # Interface icons: many small images, partly noise.
    budget, used, n = int(total * 0.02), 0, 0
    while used < budget:
        side = rng.choice([16, 24, 32, 48])
        data = bytes(rng.choice(ramps)[:side * 4]) * (side // 2) + rng.randbytes(side * side * 2)
        put("data/ui/%s/icon_%05d.bmp" % (["hud", "menu", "items", "skills"][n % 4], n), data)
        used += len(data)
        n += 1

    # Audio: 44.1 kHz stereo 16-bit; high bytes from a smooth wave, low bytes noise.
    waves = []
    for f in (110.0, 220.0, 330.0, 440.0, 523.0, 660.0):
        waves.append(bytes(int(96 + 60 * math.sin(2 * math.pi * f * t / 44100) +
                               20 * math.sin(2 * math.pi * f * 2.7 * t / 44100)) & 255
                           for t in range(44100)))
    budget, used, n = int(total * 0.15), 0, 0
    while used < budget:
        samples = rng.randrange(20000, 250000) * 2
        wave = rng.choice(waves)
        reps = samples // len(wave) + 2
        start = rng.randrange(len(wave))
        pcm = bytearray(samples * 2)
        pcm[1::2] = (wave * reps)[start:start + samples]
        pcm[0::2] = rng.randbytes(samples)
        header = (b"RIFF" + (36 + len(pcm)).to_bytes(4, "little") + b"WAVEfmt " +
                  (16).to_bytes(4, "little") + (1).to_bytes(2, "little") + (2).to_bytes(2, "little") +
                  (44100).to_bytes(4, "little") + (176400).to_bytes(4, "little") +
                  (4).to_bytes(2, "little") + (16).to_bytes(2, "little") + b"data" +
                  len(pcm).to_bytes(4, "little"))
        kind = ["ambient", "voice/en", "voice/de", "voice/fr", "sfx/weapons", "sfx/ui", "music"][n % 7]
        put("data/sound/%s/snd_%05d.wav" % (kind, n), header + bytes(pcm))
        used += len(pcm) + len(header)
        n += 1

    # Words for text and level data.
    letters = "etaoinshrdlucmfwypvbgkqjxz"
    words = ["".join(rng.choice(letters) for _ in range(rng.randint(2, 10))) for _ in range(6000)]

    def text(size):
        return " ".join(rng.choices(words, k=size // 5 + 10))[:size]

    # Levels: a tile map, an entity list and navigation records per level.
    budget, used, n = int(total * 0.08), 0, 0
    tiles = ".#~^=TtwWsS"
    while used < budget:
        w, h = rng.choice([(64, 64), (128, 96), (256, 128)])
        grid = "\n".join("".join(rng.choices(tiles, weights=[40, 8, 5, 3, 3, 2, 2, 1, 1, 1, 1], k=w))
                         for _ in range(h)).encode()
        entities = "".join(
            '  <Entity class="%s" x="%d" y="%d" angle="%d" name="%s_%d"/>\n' %
            (rng.choice(words[:40]), rng.randrange(w * 32), rng.randrange(h * 32), rng.randrange(360),
             rng.choice(words), i) for i in range(rng.randrange(50, 600)))
        entities = ('<?xml version="1.0"?>\n<Level>\n' + entities + "</Level>\n").encode()
        nav = b"".join(rng.randrange(w).to_bytes(2, "little") + rng.randrange(h).to_bytes(2, "little") +
                       bytes([rng.randrange(8), 0, 0, 0]) for _ in range(rng.randrange(500, 4000)))
        base = "data/levels/act%d/level_%03d" % (n % 5, n)
        put(base + "/map.txt", grid)
        put(base + "/entities.xml", entities)
        put(base + "/nav.bin", nav)
        script = text(rng.randrange(1000, 8000)).replace(" ", "\n", 40).encode()
        put(base + "/script.lua", script)
        used += len(grid) + len(entities) + len(nav) + len(script)
        n += 1

    # Localised text.
    budget, used, n = int(total * 0.04), 0, 0
    while used < budget:
        data = text(rng.randrange(1000, 40000)).encode()
        put("data/text/%s/strings_%04d.txt" % (["en", "de", "fr", "es", "it", "pl"][n % 6], n), data)
        used += len(data)
        n += 1

    # Already compressed: zlib-packed archives and video-like noise.
    budget, used, n = int(total * 0.13), 0, 0
    while used < budget:
        if n % 3 == 0:
            data = rng.randbytes(rng.randrange(1 << 20, 6 << 20))
            put("movies/clip_%03d.vid" % n, data)
        else:
            parts = [zlib.compress(text(rng.randrange(10000, 200000)).encode(), 6) for _ in range(rng.randrange(4, 20))]
            data = b"PAK1" + len(parts).to_bytes(4, "little") + b"".join(parts)
            put("data/packs/pack_%03d.pak" % n, data)
        used += len(data)
        n += 1

    readme = text(3000).encode()
    put("readme.txt", readme)
    print("%d files" % count)


if __name__ == "__main__":
    main()
