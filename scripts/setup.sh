#!/usr/bin/env bash
# Installs every tool the build and the tests need, from Debian packages, and
# makes 32-bit Windows programs runnable under Wine on this machine: nothing
# extra where the kernel runs 32-bit Linux programs, qemu's i386 user
# emulator registered with binfmt_misc where it refuses them.
# Safe to run again, and quick when everything is in place.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/lib/x86-mode.sh"
. "$here/scripts/lib/apt-resilient.sh"

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive

install_packages() {
  local stamp=/var/tmp/.installer-setup-done-v3
  if [ -f "$stamp" ] && command -v wine >/dev/null && command -v i686-w64-mingw32-g++ >/dev/null \
     && command -v cabextract >/dev/null && command -v gcab >/dev/null && command -v xvfb-run >/dev/null \
     && command -v ccache >/dev/null && command -v makensis >/dev/null && command -v dpkg-shlibdeps >/dev/null; then
    echo "setup: tools already installed"
    return
  fi
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  apt_update_resilient
  # fonts-ipafont-gothic: a Japanese font for Wine, so that the language test's
  # pages and screenshots show Japanese texts rather than empty boxes.
  apt_install_resilient \
    cmake make g++ clang llvm libclang-rt-14-dev googletest ccache \
    g++-mingw-w64-i686 binutils-mingw-w64-i686 \
    wine wine32:i386 wine64 \
    cabextract gcab p7zip-full wimtools xz-utils gzip \
    xvfb xauth xdotool imagemagick osslsigncode openssl \
    python3 ca-certificates libxml2-utils time \
    dpkg-dev file nsis \
    fonts-ipafont-gothic || exit 1
  # The static, thread-free runtime: the stub must not depend on winpthread.
  if update-alternatives --list i686-w64-mingw32-g++ >/dev/null 2>&1; then
    $SUDO update-alternatives --set i686-w64-mingw32-g++ /usr/bin/i686-w64-mingw32-g++-win32 || true
    $SUDO update-alternatives --set i686-w64-mingw32-gcc /usr/bin/i686-w64-mingw32-gcc-win32 || true
  fi
  $SUDO touch "$stamp"
}

# The Debian mirror and keyring this machine already uses for its release,
# read from its apt sources (deb822 files or one-line entries).
machine_mirror() {
  local codename=$1 f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v want="$codename" '
      function flush() {
        if (uri != "" && suites ~ ("(^| )" want "( |$)")) { print uri "|" key; found = 1; exit }
        uri = ""; suites = ""; key = ""
      }
      /^[[:space:]]*$/ { flush(); next }
      /^URIs:/ { uri = $2 }
      /^Suites:/ { suites = $0; sub(/^Suites:[[:space:]]*/, "", suites) }
      /^Signed-By:/ { key = $2 }
      END { if (!found) flush() }' "$f"
  done | head -n 1 | grep . && return
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -n "s/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\?\([^[:space:]]\+\)[[:space:]]\+$codename[[:space:]].*/\2|/p" "$f"
  done | head -n 1
}

# Fetches qemu-user from the release's backports with a private apt
# configuration (its own sources list, lists and cache), so the machine's
# own sources stay as they are, and installs it.
install_emulator() {
  local codename mirror key dir
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  IFS='|' read -r mirror key <<<"$(machine_mirror "$codename")" || true
  if [ -z "${mirror:-}" ]; then
    echo "setup: no Debian mirror for '$codename' in the apt sources; cannot fetch the i386 emulator" >&2
    return 1
  fi
  key=${key:-/usr/share/keyrings/debian-archive-keyring.gpg}
  dir=/var/tmp/installer-apt-backports
  $SUDO mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial" "$dir/debs"
  echo "deb [signed-by=$key] $mirror $codename-backports main" | $SUDO tee "$dir/sources.list" >/dev/null
  local opts=(-o "Dir::Etc::SourceList=$dir/sources.list" -o "Dir::Etc::SourceParts=/dev/null"
              -o "Dir::State::Lists=$dir/lists" -o "Dir::Cache=$dir/cache" -o "APT::Architectures::=amd64")
  echo "setup: fetching qemu-user from $codename-backports"
  $SUDO apt-get "${opts[@]}" update -q
  (cd "$dir/debs" && $SUDO rm -f ./*.deb && $SUDO apt-get "${opts[@]}" download qemu-user)
  $SUDO apt-get install -y -q --no-install-recommends "$dir"/debs/qemu-user_*.deb
}

# The emulator binary and its major version ("" and 0 when none).
emulator_path() {
  local p
  for p in /usr/bin/qemu-i386 /usr/bin/qemu-i386-static; do
    [ -x "$p" ] && { echo "$p"; return; }
  done
}
emulator_major() {
  local p; p=$(emulator_path)
  [ -n "$p" ] || { echo 0; return; }
  qemu_major_of "$("$p" --version 2>/dev/null | head -n 1)"
}

# Registers the emulator for i386 ELF executables and shared objects (the
# magic and mask of qemu's own binfmt configuration for i386). Flag F opens
# the interpreter now, so it works inside any mount namespace later.
register_emulator() {
  local binfmt=${X86_BINFMT_ENTRY%/*}
  if [ ! -e "$binfmt/register" ]; then
    $SUDO mount -t binfmt_misc binfmt_misc "$binfmt"
  fi
  [ -e "$X86_BINFMT_ENTRY" ] && echo -1 | $SUDO tee "$X86_BINFMT_ENTRY" >/dev/null
  printf '%s' ":qemu-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$(emulator_path):F" \
    | $SUDO tee "$binfmt/register" >/dev/null
}

# An i386 entry left from elsewhere must not shadow a kernel that runs 32-bit
# code itself: look with the entry disabled, and drop it if so.
drop_needless_entry() {
  [ -e "$X86_BINFMT_ENTRY" ] || return 0
  echo 0 | $SUDO tee "$X86_BINFMT_ENTRY" >/dev/null
  if [ "$(x86_mode)" = native ]; then
    echo -1 | $SUDO tee "$X86_BINFMT_ENTRY" >/dev/null
    echo "setup: removed an i386 emulator entry; this kernel runs 32-bit programs itself"
  else
    echo 1 | $SUDO tee "$X86_BINFMT_ENTRY" >/dev/null
  fi
}

ensure_32bit_programs() {
  drop_needless_entry
  local mode action
  mode=$(x86_mode)
  action=$(x86_setup_action "$mode" "$(emulator_major)")
  case "$action" in
    install) install_emulator; register_emulator ;;
    register) register_emulator ;;
  esac
  mode=$(x86_mode)
  if [ "$mode" = none ]; then
    echo "setup: 32-bit programs cannot run here: the kernel refuses them and the i386 emulator could not be registered (binfmt_misc needs root)" >&2
    exit 1
  fi
  x86_describe "$mode" | sed 's/^/setup: /'
}

install_packages
ensure_32bit_programs
echo "setup: done"
