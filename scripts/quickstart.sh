#!/usr/bin/env bash
# The main job on the bundled sample game: install the tools, build the stub
# and the authoring tool, pack examples/sample-game into an installer, install
# it silently under Wine in a prefix of its own, and show what landed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_ROOT=${BUILD_ROOT:-$here/build}
bin=$BUILD_ROOT/bin
out=$BUILD_ROOT/sample

"$here/scripts/setup.sh"
. "$here/scripts/lib/x86-mode.sh"
x86_describe "$(x86_mode)"
"$here/scripts/build.sh"

echo "== packing the sample game =="
rm -rf "$out"
mkdir -p "$out/files"
cp -r "$here/examples/sample-game/files/." "$out/files/"
cp "$bin/StarCourier.exe" "$out/files/"
# The uninstaller goes where the configuration's UninstallCmd names it.
"$bin/mkinstaller" check "$here/examples/sample-game/cfg" --files "$out/files" --uninstaller "$bin/Uninstall.exe"
"$bin/mkinstaller" build --stub "$bin/InstallerStub.exe" --cfg "$here/examples/sample-game/cfg" \
  --files "$out/files" --uninstaller "$bin/Uninstall.exe" -o "$out/StarCourierSetup.exe"
"$bin/mkinstaller" list "$out/StarCourierSetup.exe"

echo "== installing it silently under Wine =="
export WINEPREFIX=$out/wineprefix
set +e
"$here/scripts/wine-run.sh" "$out/StarCourierSetup.exe" -silent
code=$?
set -e
echo "installer exit code: $code"
target="$WINEPREFIX/drive_c/Program Files/Zelkon Games/Star Courier"
if [ -d "$target" ]; then
  echo "installed files:"
  (cd "$target" && find . -type f | sort)
  if [ -f "$target/Uninstall/install.log" ]; then
    echo "install log:"
    tr -d '\r' < "$target/Uninstall/install.log"
  fi
fi
WINEDEBUG=-all wine reg query 'HKLM\SOFTWARE\Zelkon Games\Star Courier' 2>/dev/null || true
exit $code
