#!/usr/bin/env bash
# Builds the Debian package of mkinstaller with CPack: the tool, the installer
# stub, the uninstaller (when the Windows target builds one) and the manual
# page, for installation on a build machine without this source tree.
# Builds both targets first (the stub comes from the Windows build) and prints
# the package's path ($BUILD_ROOT/host/package/mkinstaller_VERSION_ARCH.deb).
#   --check   then installs the package into a scratch root with dpkg and packs
#             an installer with the installed tool, without --stub
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_ROOT=${BUILD_ROOT:-$here/build}
check=0
for arg in "$@"; do
  case "$arg" in
    --check) check=1 ;;
    *) echo "package.sh: unknown option '$arg'" >&2; exit 2 ;;
  esac
done

"$here/scripts/build.sh" >/dev/null
rm -rf "$BUILD_ROOT/host/package"
(cd "$BUILD_ROOT/host" && cpack -G DEB >/dev/null 2>&1) || { echo "package.sh: cpack failed" >&2; exit 1; }
deb=$(ls "$BUILD_ROOT"/host/package/mkinstaller_*.deb)
echo "$deb"
[ $check = 1 ] || exit 0

# A scratch root with a dpkg database of its own: the package installs there
# as it would on a clean machine, without touching this one.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
# Its database knows none of the system's libraries, hence --force-depends.
if ! dpkg --root="$root" --force-depends --force-not-root --force-script-chrootless -i "$deb" >"$root/dpkg.log" 2>&1; then
  cat "$root/dpkg.log" >&2
  exit 1
fi
dpkg --root="$root" -L mkinstaller
tool=$root/usr/bin/mkinstaller
stub=$root/usr/share/mkinstaller/InstallerStub.exe
# The packaged uninstaller when the package has one; else the stub stands in.
uninstaller=(--with-uninstaller)
[ -f "$root/usr/share/mkinstaller/Uninstall.exe" ] || uninstaller=(--uninstaller "$stub")
"$tool" init "$root/work/game" --name "Package Check" >/dev/null
"$tool" check "$root/work/game/cfg" --files "$root/work/game/files" "${uninstaller[@]}"
"$tool" build --cfg "$root/work/game/cfg" --files "$root/work/game/files" "${uninstaller[@]}" \
  -o "$root/work/Setup.exe"
cmp -n "$(stat -c %s "$stub")" "$stub" "$root/work/Setup.exe"
echo "package check: installed into a scratch root; the installed tool packed an installer with the installed stub"
