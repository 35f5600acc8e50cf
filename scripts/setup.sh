#!/usr/bin/env bash
# Installs every tool the build and the tests need, from Debian packages.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi

stamp=/var/tmp/.installer-setup-done-v1
if [ -f "$stamp" ] && command -v wine >/dev/null && command -v i686-w64-mingw32-g++ >/dev/null \
   && command -v cabextract >/dev/null && command -v gcab >/dev/null && command -v xvfb-run >/dev/null; then
  echo "setup: tools already installed"
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends \
  cmake make g++ clang llvm libclang-rt-14-dev googletest \
  g++-mingw-w64-i686 binutils-mingw-w64-i686 \
  wine wine32:i386 wine64 \
  cabextract gcab p7zip-full wimtools xz-utils gzip \
  xvfb xauth xdotool imagemagick osslsigncode openssl \
  python3 ca-certificates libxml2-utils time

# The static, thread-free runtime: the stub must not depend on winpthread.
if update-alternatives --list i686-w64-mingw32-g++ >/dev/null 2>&1; then
  $SUDO update-alternatives --set i686-w64-mingw32-g++ /usr/bin/i686-w64-mingw32-g++-win32 || true
  $SUDO update-alternatives --set i686-w64-mingw32-gcc /usr/bin/i686-w64-mingw32-gcc-win32 || true
fi

touch "$stamp"
echo "setup: done"
