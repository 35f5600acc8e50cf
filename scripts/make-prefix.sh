#!/usr/bin/env bash
# Creates a 32-bit Wine prefix set to a Windows version (win7 or winxp) unless
# it already exists. Safe to call from parallel tests: creation is locked.
set -uo pipefail
prefix=$1 version=${2:-win7}
export WINEDEBUG=-all WINEARCH=win32 WINEPREFIX=$prefix
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
[ -f "$prefix/.ready" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.ready" ] && exit 0
rm -rf "$prefix"
if ! wineboot -i >/dev/null 2>&1; then
  echo "make-prefix: wineboot failed for $prefix" >&2
  exit 1
fi
wineserver -w
winecfg -v "$version" >/dev/null 2>&1
wineserver -w
touch "$prefix/.ready"
