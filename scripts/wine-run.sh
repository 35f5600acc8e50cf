#!/usr/bin/env bash
# Runs a Windows program under Wine in a 32-bit prefix of this build's own,
# silencing Wine's logging, and returns the program's exit code.
#   WINEPREFIX   the prefix to use (default: $BUILD_ROOT/wine/win7, made on demand)
#   WINE_TIMEOUT seconds before the program is killed (default 300)
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=${BUILD_ROOT:-$here/build}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX=$root/wine/win7
fi
"$here/scripts/make-prefix.sh" "$WINEPREFIX" "${WINE_VERSION:-win7}" || exit 97
timeout -k 10 "${WINE_TIMEOUT:-300}" wine "$@"
rc=$?
wineserver -w 2>/dev/null || true
exit $rc
