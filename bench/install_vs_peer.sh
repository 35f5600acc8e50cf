#!/usr/bin/env bash
# A whole install of a game-like payload, ours against NSIS's, in one run.
#   bench/install_vs_peer.sh [SIZE_MB]        (default 320; try 20 first)
# The payload (bench/make_game_payload.py: real 32-bit PE files, textures,
# audio, level data, text, already-compressed data, thousands of files in
# nested folders) is packed three ways:
#   ours       mkinstaller build at its default compression, minimal cfg
#   nsis-zlib  makensis, SetCompressor zlib
#   nsis-lzma  makensis, SetCompressor /SOLID lzma
# Each installer then installs the same files to C:\BenchGame silently
# (ours: -silent, NSIS: /S) under Wine, each time into a fresh copy of one
# freshly made 32-bit prefix; three rounds, the three installers interleaved
# in every round. Every installed tree is compared with the payload. Printed:
# installer size, packing time, install wall time (median and best of three)
# and the ratios ours / peer (below 1: we are smaller or faster), with the
# machine load before and after (the machine may be shared).
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
declare -A pack size
pack[ours]=$(seconds "$mk" build --stub "$stub" --cfg "$work/ours/src/cfg" --files "$payload" \
  --define 'InstallPath=C:\BenchGame' -o "$work/ours.exe")

for kind in zlib lzma; do
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
kinds="ours nsis-zlib nsis-lzma"
for k in $kinds; do size[$k]=$(stat -c %s "$work/$k.exe"); done

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
    args=(/S)
    [ $k = ours ] && args=(-silent)
    t=$(WINEPREFIX=$prefix seconds sh -c 'wine "$0" "$@"; rc=$?; wineserver -w; exit $rc' "$work/$k.exe" "${args[@]}")
    target=$prefix/drive_c/BenchGame
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
print("%-10s %14s %9s %12s %10s  %s" % ("installer", "size (bytes)", "pack (s)", "install (s)", "best (s)", "runs"))
for k in kinds:
    print("%-10s %14d %9.1f %12.2f %10.2f  %s" % (k, size[k], pack[k], med[k], min(runs[k]),
                                                 " ".join("%.2f" % t for t in runs[k])))
for peer in kinds[1:]:
    print("ours / %-9s size %.3f  pack time %.2f  install time %.3f (median), %.3f (best)" % (
        peer, size["ours"] / size[peer], pack["ours"] / pack[peer], med["ours"] / med[peer],
        min(runs["ours"]) / min(runs[peer])))
PY
echo "machine: load average $(load) (1, 5, 15 min) at the end"
