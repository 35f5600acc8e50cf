#!/usr/bin/env bash
# Makes docs/welcome.png, the README's picture of the setup wizard: packs the
# sample game with the built stub, runs it under Wine on a virtual display,
# waits for the welcome page with ui_driver.exe, photographs the page and
# cancels the run. Needs both targets built (scripts/build.sh).
#   OUT     the picture to write (default docs/welcome.png)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=${BUILD_ROOT:-$here/build}
bin=$root/bin
out=${OUT:-$here/docs/welcome.png}
work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

. "$here/scripts/lib/xvfb.sh"
start_xvfb 130 149

mkdir -p "$work/files"
cp -a "$here/examples/sample-game/files/." "$work/files/"
cp "$bin/StarCourier.exe" "$work/files/"
TZ=UTC "$bin/mkinstaller" build --stub "$bin/InstallerStub.exe" --cfg "$here/examples/sample-game/cfg" \
  --files "$work/files" -o "$work/Setup.exe" >/dev/null

# Welcome page: list it, wait for the picture, then Cancel, Yes, Exit.
cat >"$work/script.txt" <<'SCRIPT'
page Welcome
list
pause welcome
click 2
box
answer 6
page Setup Cancelled
click 2
gone
SCRIPT
winpath() { echo "Z:$1" | tr / '\\'; }
WINEPREFIX=${WINEPREFIX:-$root/wine/win7} "$here/scripts/wine-run.sh" "$bin/ui_driver.exe" \
  "$(winpath "$work/out.txt")" "$(winpath "$work/script.txt")" "$(winpath "$work/Setup.exe")" >/dev/null 2>&1 &
driver=$!
for _ in $(seq 1 600); do
  grep -q '^PAUSE welcome' "$work/out.txt" 2>/dev/null && break
  sleep 0.2
done
# The page's client area: "W x y w h client-x client-y client-w client-h caption".
read -r _ _ _ _ _ cx cy cw ch _ < <(grep '^W ' "$work/out.txt")
mkdir -p "$(dirname "$out")"
import -window root -crop "${cw}x${ch}+${cx}+${cy}" +repage "$out"
touch "$work/out.txt.welcome.go"
wait $driver || true
echo "wrote $out (${cw}x${ch})"
