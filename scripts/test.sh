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

# Prefixes for the whole run, one per Windows version: for the Windows unit
# tests, and for each lane of the end-to-end tests (tests/e2e/CMakeLists.txt):
# the three run side by side, and an end-to-end test checks that an install
# touched nothing outside its folder, which another's scratch files would
# spoil. Making a prefix takes ~25 s; the copies of the first two, seconds.
rm -rf "$BUILD_ROOT/wine"
"$here/scripts/make-prefix.sh" "$BUILD_ROOT/wine/win7" win7 &
"$here/scripts/make-prefix.sh" "$BUILD_ROOT/wine/winxp" winxp &
wait
prefixes="win7 winxp"
for lane in lane1 lane2; do
  mkdir -p "$BUILD_ROOT/wine/$lane"
  for v in win7 winxp; do
    cp -a "$BUILD_ROOT/wine/$v" "$BUILD_ROOT/wine/$lane/$v"
    prefixes="$prefixes $lane/$v"
  done
done
# A persistent server per prefix saves the start-up of one for every program
# the tests run; wine-run.sh then need not wait for the server to exit.
for p in $prefixes; do
  WINEPREFIX=$BUILD_ROOT/wine/$p wineserver -p
done
export WINE_PERSISTENT_SERVER=1

# Message boxes and pages need a display; tests that run without one say so.
# The second lane of end-to-end tests gets one of its own.
. "$here/scripts/lib/xvfb.sh"
start_xvfb 91 120
xvfb_pids=$xvfb_pid
run_display=${DISPLAY:-}
unset DISPLAY
start_xvfb 121 150
xvfb_pids="$xvfb_pids $xvfb_pid"
export E2E_LANE2_DISPLAY=${DISPLAY:-$run_display}
if [ -n "$run_display" ]; then export DISPLAY=$run_display; else unset DISPLAY; fi
cleanup() {
  for p in $prefixes; do WINEPREFIX=$BUILD_ROOT/wine/$p wineserver -k 2>/dev/null; done
  for pid in $xvfb_pids; do kill "$pid" 2>/dev/null; done
  true
}
trap cleanup EXIT

# The two runs go side by side: most of either is Wine starting programs and
# waiting for windows, and one run alone leaves a processor idle near its
# end. The Windows run's report follows the host run's.
status=0
win_log=$BUILD_ROOT/win-tests.log
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
