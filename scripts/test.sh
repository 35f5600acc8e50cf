#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds both targets, makes
# fresh Wine prefixes for this run, then runs the host tests, the Windows
# tests under Wine and the end-to-end tests of real installers.
#   scripts/test.sh --sanitize   the host unit tests alone, built with ASan
#                                and UBSan in $BUILD_ROOT/host-asan (no Wine):
#                                memory and undefined-behaviour faults that
#                                pass unnoticed in the plain build
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_ROOT=${BUILD_ROOT:-$here/build}
jobs=${JOBS:-$(nproc)}
sanitize=0
for arg in "$@"; do
  case "$arg" in
    --sanitize) sanitize=1 ;;
    *) echo "test.sh: unknown option '$arg'" >&2; exit 2 ;;
  esac
done

"$here/scripts/setup.sh"

if [ $sanitize = 1 ]; then
  HOST_TARGET=host_tests "$here/scripts/build.sh" --host-only --sanitize
  echo "== host tests with ASan and UBSan =="
  # Any report fails the test that made it; leaks count as well.
  export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  exec ctest --test-dir "$BUILD_ROOT/host-asan" -L host --output-on-failure -j "$jobs" --timeout 1800
fi
. "$here/scripts/lib/x86-mode.sh"
mode=$(x86_mode)
x86_describe "$mode"
# Every Wine run's limit, and each Wine test's, stretches by this factor.
export WINE_TIMEOUT_SCALE=$(x86_timeout_scale "$mode")
"$here/scripts/build.sh"

# One prefix per Windows version for the end-to-end tests, and one each for
# the Windows unit tests, which run beside them: an end-to-end test checks
# that an install touched nothing outside its folder, and the unit tests'
# scratch files in a shared prefix would look like the installer's. Each
# takes ~25 s to make.
prefixes="win7 winxp units-win7 units-winxp"
rm -rf "$BUILD_ROOT/wine"
for p in $prefixes; do
  "$here/scripts/make-prefix.sh" "$BUILD_ROOT/wine/$p" "${p#units-}" &
done
wait
# A persistent server per prefix saves the start-up of one for every program
# the tests run; wine-run.sh then need not wait for the server to exit.
for p in $prefixes; do
  WINEPREFIX=$BUILD_ROOT/wine/$p wineserver -p
done
export WINE_PERSISTENT_SERVER=1

# Message boxes and pages need a display; tests that run without one say so.
. "$here/scripts/lib/xvfb.sh"
start_xvfb 91 120
cleanup() {
  for p in $prefixes; do WINEPREFIX=$BUILD_ROOT/wine/$p wineserver -k 2>/dev/null; done
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  true
}
trap cleanup EXIT

# The two runs go side by side: most of either is Wine starting programs and
# waiting for windows, and one run alone leaves a processor idle near its
# end. The Windows run's report follows the host run's.
status=0
win_log=$BUILD_ROOT/win-tests.log
WINEPREFIX=$BUILD_ROOT/wine/units-win7 \
  ctest --test-dir "$BUILD_ROOT/win" --output-on-failure -j "$jobs" \
  --timeout $((600 * WINE_TIMEOUT_SCALE)) >"$win_log" 2>&1 &
win_pid=$!
echo "== host tests and end-to-end tests under Wine =="
ctest --test-dir "$BUILD_ROOT/host" --output-on-failure -j "$jobs" \
  --timeout $((900 * WINE_TIMEOUT_SCALE)) || status=1
wait $win_pid || status=1
echo "== Windows tests under Wine =="
cat "$win_log"
exit $status
