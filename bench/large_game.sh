#!/usr/bin/env bash
# A large game, installed from a set of volumes, against a plain copy.
#   bench/large_game.sh [GB]        (default 20; the disk needs about 2 x GB free)
# The game is generated: one archive file of max(5.1 GB, GB / 3) (larger than
# a folder holds, so it is stored in parts and joined by the installer),
# archives of 512 MB, and a few hundred small files in nested folders. Its
# bytes are a keyed stream (openssl AES-CTR): game data this size is mostly
# already-compressed archives, which no cabinet method makes smaller.
#
# Packed by "mkinstaller build --compression none" at the default volume
# size: on such data LZX and MSZIP save well under 1 % and LZX packs at
# about 0.5 MB/s wall here (hours for 20 GB), so a publisher ships this
# stored. Then, on the same disk, one after the other:
#   copy     cp -r of the game folder, then sync;
#   install  wine Setup.exe -silent into a fresh 32-bit prefix (the set's
#            volumes checked by SHA-256 as they are reached), then sync;
# the copy is removed before packing, and the game (its SHA-256 sums kept)
# before the install, against which the installed tree is checked, so that
# the peak stays near 2 x GB.
# Printed: packing time, set size and files, copy and install wall times,
# throughput of each (game bytes per second) and install / copy, with the
# machine's load before and after (the machine may be shared).
# STUB=path packs with another stub (an earlier build, to compare).
# Everything generated lives in $BENCH_SCRATCH (default build/large-game)
# and is removed at the end, also on failure.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=${BUILD_ROOT:-$here/build}
gb=${1:-20}
mk=$root/bin/mkinstaller
stub=${STUB:-$root/bin/InstallerStub.exe}
if [ ! -x "$mk" ] || [ ! -f "$stub" ]; then
  BUILD_ROOT=$root "$here/scripts/build.sh" >/dev/null
fi
for tool in wine wineserver openssl python3 /usr/bin/time; do
  command -v $tool >/dev/null || { echo "large_game.sh: $tool is missing" >&2; exit 1; }
done

scratch=${BENCH_SCRATCH:-$root/large-game}
mkdir -p "$scratch"
work=$(mktemp -d "$scratch/run.XXXXXX")
xvfb_pid=
cleanup() {  # never stops early: the scratch is tens of GB
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  if [ -d "$work/prefix" ]; then WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true; fi
  rm -rf "$work"
  rmdir "$scratch" 2>/dev/null || true
}
trap cleanup EXIT
. "$here/scripts/lib/xvfb.sh"
start_xvfb 160 199 800x600x24

need=$((gb * 2 + 2))
free=$(df -BG --output=avail "$work" | tail -1 | tr -dc 0-9)
if [ "$free" -lt "$need" ]; then
  echo "large_game.sh: $gb GB needs about $need GB free on $(df --output=target "$work" | tail -1), $free GB are" >&2
  exit 1
fi

load() { cut -d' ' -f1-3 /proc/loadavg; }
echo "machine: $(nproc) cores, load average $(load) (1, 5, 15 min) at start"

# ---- The game ---------------------------------------------------------
game=$work/game
mkdir -p "$game/Data/Archives"  # no empty folders: a cabinet carries files only
stream() {  # key size file (openssl ends on the closed pipe)
  { openssl enc -aes-128-ctr -nosalt -pass "pass:$1" -pbkdf2 -in /dev/zero 2>/dev/null || true; } | head -c "$2" >"$3"
}
total=$((gb * 1024 * 1024 * 1024))
big=$(python3 -c "print(max(int(5.1 * 2**30), $total // 3))")
stream big "$big" "$game/Data/Archives/World.pak"
left=$((total - big))
small_total=$((64 * 1024 * 1024))
[ $left -gt $small_total ] || small_total=$((left / 4))
i=0
while [ $((left - small_total)) -gt 0 ]; do
  size=$((512 * 1024 * 1024))
  [ $((left - small_total)) -lt $size ] && size=$((left - small_total))
  stream "archive$i" "$size" "$game/Data/Archives/Content$(printf %03d $i).pak"
  left=$((left - size))
  i=$((i + 1))
done
# A few hundred small files (most files of a game are small), 256 KB each.
n=0
while [ $left -gt 0 ]; do
  size=$((256 * 1024))
  [ $left -lt $size ] && size=$left
  dir=$game/Data/Level$((n % 16))/Part$((n % 7))
  mkdir -p "$dir"
  stream "small$n" "$size" "$dir/asset$n.dat"
  left=$((left - size))
  n=$((n + 1))
done
game_bytes=$(du -sb "$game" | cut -f1)
game_files=$(find "$game" -type f | wc -l)
echo "game: $game_bytes bytes in $game_files files, the largest $big bytes"

seconds() {  # command...: runs it, prints its wall time in seconds
  local t=$work/time.txt
  /usr/bin/time -f "%e %U %S" -o "$t" "$@" >"$work/last.log" 2>&1 || { cat "$work/last.log" >&2; return 1; }
  read -r wall user sys <"$t"
  echo "processor: $user s user, $sys s system" >>"$work/cpu.txt"
  echo "$wall"
}

# ---- A plain copy on the same disk ------------------------------------
sync
copy=$(seconds sh -c 'cp -r "$0" "$1" && sync' "$game" "$work/copy")
rm -rf "$work/copy"
sync

# ---- Pack -------------------------------------------------------------
src=$work/src
"$mk" init "$src" --name LargeGame --publisher Bench >/dev/null
cat >"$src/cfg/install.xml" <<'XML'
<?xml version="1.0" encoding="utf-8"?>
<InstallConfig>
  <InstallLog>%InstallPath%\Uninstall\install.log</InstallLog>
</InstallConfig>
XML
mkdir -p "$work/set"
pack=$(seconds "$mk" build --stub "$stub" --cfg "$src/cfg" --files "$game" --compression none \
  --define 'InstallPath=C:\LargeGame' -o "$work/set/LargeGameSetup.exe")
set_bytes=$(du -sb "$work/set" | cut -f1)
set_files=$(ls "$work/set" | wc -l)
largest_volume=$(stat -c %s "$work/set"/* | sort -n | tail -1)
echo "pack: $pack s; set: $set_bytes bytes in $set_files files (the largest $largest_volume bytes)"

# ---- Install, on the same disk ----------------------------------------
(cd "$game" && find . -type f -print0 | sort -z | xargs -0 sha256sum) >"$work/game.sha256"
rm -rf "$game"
sync

export WINEDEBUG=-all WINEARCH=win32
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
"$here/scripts/make-prefix.sh" "$work/prefix" win7 >/dev/null
sync
echo "copy: $copy s"
install=$(WINEPREFIX=$work/prefix seconds sh -c 'wine "$0" -silent; rc=$?; wineserver -w; sync; exit $rc' \
  "$work/set/LargeGameSetup.exe")
echo "install: $install s ($(tail -1 "$work/cpu.txt"))"
target=$work/prefix/drive_c/LargeGame
installed_files=$(cd "$target" && find . -type f -not -path './Uninstall/*' | wc -l)
if ! (cd "$target" && sha256sum --quiet -c "$work/game.sha256") >"$work/diff.txt" 2>&1 ||
   [ "$installed_files" -ne "$game_files" ]; then
  echo "large_game.sh: the installed tree differs from the game ($installed_files files for $game_files):" >&2
  head -20 "$work/diff.txt" >&2
  exit 1
fi
file_lines=$(grep -c '<File>' "$target/Uninstall/install.log" || true)

python3 - "$game_bytes" "$copy" "$install" <<'PY'
import sys
size, copy, install = int(sys.argv[1]), float(sys.argv[2]), float(sys.argv[3])
mb = size / 1e6
print("copy:    %8.1f s  %7.1f MB/s" % (copy, mb / copy))
print("install: %8.1f s  %7.1f MB/s" % (install, mb / install))
print("install throughput / copy throughput: %.3f (goal: at least 0.8)" % (copy / install))
PY
echo "install log: $file_lines File lines for $game_files files"
echo "machine: load average $(load) (1, 5, 15 min) at the end"
