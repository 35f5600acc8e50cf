#!/usr/bin/env bash
# A whole install of a game-like payload, ours against NSIS's and against a
# plain copy, in one run.
#   bench/install_vs_peer.sh [SIZE_MB]        (default 320; try 20 first)
# The payload (bench/make_game_payload.py: real 32-bit PE files, textures,
# audio, level data, text, already-compressed data, thousands of files in
# nested folders) is packed these ways:
#   ours          mkinstaller build at its defaults (LZX, folders of 16 MB)
#   ours-1folder  the same with --folder-size 2G: files\ as one folder, as
#                 before folders were bounded (its size is the reference)
#   ours-stored   mkinstaller build --compression none: the floor of our own
#   ours-nohash   ours without its file-hash record (as installers were before
#                 they carried one): no manifest is written, the cost of it
#   nsis-zlib     makensis, SetCompressor zlib
#   nsis-lzma     makensis, SetCompressor /SOLID lzma
# and `copy` copies the payload into the prefix (cp -r, no Wine): the floor
# of any installer. Each installer then installs the same files to
# C:\BenchGame silently (ours: -silent, NSIS: /S) under Wine, each time into a
# fresh copy of one freshly made 32-bit prefix; three rounds, all interleaved
# in every round. Every installed tree is compared with the payload. Printed:
# installer size, packing time, install wall time (median and best of three)
# and the ratios with the goals (also as the median of each round's ratio),
# with the machine load before and after (the machine may be shared).
# KINDS="ours nsis-zlib" runs a subset (ours first); ROUNDS=N more rounds.
# Scratch lives in /dev/shm (or $BENCH_SCRATCH) and is removed at the end.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=${BUILD_ROOT:-$here/build}
mb=${1:-320}
rounds=${ROUNDS:-3}
mk=$root/bin/mkinstaller
stub=$root/bin/InstallerStub.exe
if [ ! -x "$mk" ] || [ ! -f "$stub" ]; then
  BUILD_ROOT=$root "$here/scripts/build.sh" >/dev/null
fi
for tool in makensis wine wineserver python3 /usr/bin/time; do
  command -v $tool >/dev/null || { echo "install_vs_peer.sh: $tool is missing" >&2; exit 1; }
done

scratch=${BENCH_SCRATCH:-/dev/shm}
work=$(mktemp -d "$scratch/installbench.XXXXXX")
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  for p in "$work"/prefix-*; do
    [ -d "$p" ] && WINEPREFIX=$p wineserver -k 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
# The installers show no window, but Wine's user32 wants a display.
. "$here/scripts/lib/xvfb.sh"
start_xvfb 160 199 800x600x24

load() { cut -d' ' -f1-3 /proc/loadavg; }
echo "machine: $(nproc) cores, load average $(load) (1, 5, 15 min) at start"
echo "payload: ${mb} MB"
payload=$work/payload
python3 "$here/bench/make_game_payload.py" "$payload" "$mb" | sed 's/^/  /'
echo "  $(du -sb "$payload" | cut -f1) bytes, $(find "$payload" -type d | wc -l) folders"

seconds() {  # command...: runs it, prints its wall time in seconds
  local t=$work/time.txt
  /usr/bin/time -f %e -o "$t" "$@" >"$work/last.log" 2>&1 || { cat "$work/last.log" >&2; return 1; }
  cat "$t"
}

# Ours: the cfg mkinstaller init writes, with only the install log left.
mkdir -p "$work/ours"
"$mk" init "$work/ours/src" --name BenchGame --publisher Bench >/dev/null
cat >"$work/ours/src/cfg/install.xml" <<'XML'
<?xml version="1.0" encoding="utf-8"?>
<InstallConfig>
  <InstallLog>%InstallPath%\Uninstall\install.log</InstallLog>
</InstallConfig>
XML
kinds=${KINDS:-ours ours-nohash ours-1folder ours-stored copy nsis-zlib nsis-lzma}
has() { case " $kinds " in *" $1 "*) return 0 ;; esac; return 1; }
declare -A pack size
for k in ours ours-1folder ours-stored; do
  has $k || continue
  extra=()
  [ $k = ours-1folder ] && extra=(--folder-size 2G)
  [ $k = ours-stored ] && extra=(--compression none)
  pack[$k]=$(seconds "$mk" build --stub "$stub" --cfg "$work/ours/src/cfg" --files "$payload" \
    --define 'InstallPath=C:\BenchGame' "${extra[@]}" -o "$work/$k.exe")
done
if has ours-nohash; then
  # The record chain rewritten without record 4 (the file hashes).
  python3 - "$work/ours.exe" "$work/ours-nohash.exe" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
signature = b"!zelkoninstallersig!"
end = data.rindex(signature)
records, at = [], end
while at > 0:
    length, kind = struct.unpack_from("<II", data, at - 8)
    records.append((kind, data[at - 8 - length:at - 8]))
    at -= 8 + length
out = b"".join(body + struct.pack("<II", len(body), kind) for kind, body in reversed(records) if kind != 4)
open(sys.argv[2], "wb").write(out + data[end:])
PY
  pack[ours-nohash]=${pack[ours]}
fi
if has copy; then pack[copy]=0; size[copy]=$(du -sb "$payload" | cut -f1); fi

for kind in zlib lzma; do
  has nsis-$kind || continue
  compressor=zlib
  [ $kind = lzma ] && compressor="/SOLID lzma"
  cat >"$work/nsis-$kind.nsi" <<NSI
Unicode true
SetCompressor $compressor
Name "BenchGame"
OutFile "$work/nsis-$kind.exe"
InstallDir "C:\\BenchGame"
RequestExecutionLevel user
SilentInstall silent
Section
  SetOutPath "\$INSTDIR"
  File /r "$payload/*"
SectionEnd
NSI
  pack[nsis-$kind]=$(seconds makensis -V1 "$work/nsis-$kind.nsi")
done
for k in $kinds; do [ $k = copy ] || size[$k]=$(stat -c %s "$work/$k.exe"); done

# One fresh prefix made once; every install gets a copy of it.
export WINEDEBUG=-all WINEARCH=win32
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
"$here/scripts/make-prefix.sh" "$work/template" win7
declare -A times
for round in $(seq 1 "$rounds"); do
  for k in $kinds; do
    prefix=$work/prefix-$k
    rm -rf "$prefix"
    cp -a "$work/template" "$prefix"
    target=$prefix/drive_c/BenchGame
    if [ $k = copy ]; then
      t=$(seconds cp -r "$payload" "$target")
    else
      args=(/S)
      case $k in ours*) args=(-silent) ;; esac
      t=$(WINEPREFIX=$prefix seconds sh -c 'wine "$0" "$@"; rc=$?; wineserver -w; exit $rc' "$work/$k.exe" "${args[@]}")
    fi
    if ! diff -rq -x Uninstall "$payload" "$target" >"$work/diff.txt"; then
      echo "install_vs_peer.sh: $k installed a different tree (round $round):" >&2
      head -20 "$work/diff.txt" >&2
      exit 1
    fi
    times[$k]="${times[$k]:-} $t"
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
  done
done

python3 - "$kinds" <<PY
import statistics, sys
kinds = sys.argv[1].split()
size = {$(for k in $kinds; do printf '"%s": %s, ' "$k" "${size[$k]}"; done)}
pack = {$(for k in $kinds; do printf '"%s": %s, ' "$k" "${pack[$k]}"; done)}
runs = {$(for k in $kinds; do printf '"%s": [%s], ' "$k" "$(echo ${times[$k]} | tr ' ' ',')"; done)}
med = {k: statistics.median(v) for k, v in runs.items()}
print("%-13s %14s %9s %12s %10s  %s" % ("installer", "size (bytes)", "pack (s)", "install (s)", "best (s)", "runs"))
for k in kinds:
    print("%-13s %14d %9.1f %12.2f %10.2f  %s" % (k, size[k], pack[k], med[k], min(runs[k]),
                                                 " ".join("%.2f" % t for t in runs[k])))
def ratio(what, a, b, goal=None):
    if a in kinds and b in kinds:
        va = what[a] if what is not runs else med[a]
        vb = what[b] if what is not runs else med[b]
        line = "  %s / %s %s %.3f" % (a, b, names[id(what)], va / vb)
        if what is runs:
            # A shared machine's speed drifts within a run; the two kinds'
            # runs of one round are neighbours and drift less apart.
            paired = statistics.median(x / max(y, 0.01) for x, y in zip(runs[a], runs[b]))
            line += " (median), %.3f (best), %.3f (median of rounds)" % (min(runs[a]) / min(runs[b]), paired)
        print(line + ("   goal %s" % goal if goal else ""))
names = {id(size): "size", id(pack): "pack time", id(runs): "install time"}
print("ratios:")
ratio(runs, "ours", "nsis-zlib", "<= 0.6")
ratio(runs, "ours", "ours-stored", "<= 1.15")
ratio(runs, "ours", "ours-nohash", "<= 1.05")
ratio(size, "ours", "ours-1folder", "<= 1.01")
ratio(runs, "ours", "ours-1folder")
ratio(runs, "ours", "copy")
ratio(runs, "ours-stored", "copy")
for peer in ("nsis-zlib", "nsis-lzma"):
    ratio(size, "ours", peer)
    ratio(pack, "ours", peer)
    ratio(runs, "ours", peer)
PY
echo "machine: load average $(load) (1, 5, 15 min) at the end"
