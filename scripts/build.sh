#!/usr/bin/env bash
# Configures (once) and builds both targets incrementally.
#   host: Linux, g++ (or clang with --sanitize): unit tests, mkinstaller
#   win:  i686 mingw-w64: InstallerStub.exe and the Windows test programs
# Products land in $BUILD_ROOT/bin (default build/bin).
# Options: --host-only, --win-only, --sanitize (host with clang ASan/UBSan),
#          --release (no debug info)
# HOST_TARGET=name builds only that target of the host (scripts/test.sh
# --sanitize builds host_tests, the programs of the host unit tests).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=${BUILD_ROOT:-$here/build}
case "$root" in /*) ;; *) root=$here/$root ;; esac
jobs=${JOBS:-$(nproc)}
# Cache hits across work trees and build folders: paths inside the tree are
# hashed relative to it.
export CCACHE_BASEDIR=$here CCACHE_NOHASHDIR=true

do_host=1 do_win=1 sanitize=0 type=RelWithDebInfo
for arg in "$@"; do
  case "$arg" in
    --host-only) do_win=0 ;;
    --win-only) do_host=0 ;;
    --sanitize) sanitize=1 ;;
    --release) type=Release ;;
    *) echo "build.sh: unknown option '$arg'" >&2; exit 2 ;;
  esac
done

mkdir -p "$root/bin"

configure() {  # dir, extra args...
  local dir=$1; shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE=$type -DBIN_DIR="$root/bin" "$@" >/dev/null
  fi
}

if [ $do_host = 1 ]; then
  if [ $sanitize = 1 ]; then
    configure "$root/host-asan" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DINSTALLER_SANITIZE=ON -DBIN_DIR="$root/bin-asan"
    cmake --build "$root/host-asan" -j "$jobs" ${HOST_TARGET:+--target "$HOST_TARGET"}
  else
    configure "$root/host"
    cmake --build "$root/host" -j "$jobs" ${HOST_TARGET:+--target "$HOST_TARGET"}
  fi
fi
if [ $do_win = 1 ]; then
  configure "$root/win" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-i686-mingw.cmake"
  cmake --build "$root/win" -j "$jobs"
fi
