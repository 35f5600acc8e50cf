#!/usr/bin/env bash
# Runs a Windows program under Wine in a 32-bit prefix of this build's own,
# silencing Wine's logging, and returns the program's exit code.
#   WINEPREFIX   the prefix to use (default: $BUILD_ROOT/wine/win7, made on demand)
#   WINE_TIMEOUT seconds before the program is killed (default 300), times
#   WINE_TIMEOUT_SCALE (default: 1, or 5 where 32-bit code runs emulated)
#   WINE_EXTRA_DLLOVERRIDES  more library overrides after ours, as Wine spells
#                them ("version,uxtheme=n,b": those names native first, as
#                Windows searches for them)
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/lib/x86-mode.sh"
: "${WINE_TIMEOUT_SCALE:=$(x86_timeout_scale "$(x86_mode)")}"
root=${BUILD_ROOT:-$here/build}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${WINE_EXTRA_DLLOVERRIDES:+;$WINE_EXTRA_DLLOVERRIDES}"
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX=$root/wine/win7
fi
"$here/scripts/make-prefix.sh" "$WINEPREFIX" "${WINE_VERSION:-win7}" || exit 97
# The program's output goes through a file: Wine's background services
# inherit the program's handles and can outlive it, and a pipe held open by
# them would keep the caller waiting.
out=$(mktemp)
timeout -k 10 "$(( ${WINE_TIMEOUT:-300} * WINE_TIMEOUT_SCALE ))" wine "$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
rm -f "$out"
# Let every write of the program's children land before the caller looks,
# unless the server is persistent for the test run (it would never exit).
[ -n "${WINE_PERSISTENT_SERVER:-}" ] || wineserver -w 2>/dev/null || true
exit $rc
