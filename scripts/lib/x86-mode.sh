# How this machine runs 32-bit x86 Linux programs, which is what Wine's
# 32-bit parts are. Sourced by setup.sh, test.sh and quickstart.sh.
#
#   native    the kernel runs them itself
#   emulated  qemu's i386 user emulator runs them, registered with binfmt_misc
#   none      nothing runs them yet
#
# Some kernels of this machine kind refuse 32-bit programs ("Exec format
# error") and their processors cannot enter 32-bit mode from user space, so
# the only way Wine's 32-bit loader runs there is under the emulator. Where
# the kernel runs them natively the emulator must never be registered: an
# i386 binfmt entry takes precedence over the kernel's own loader.

# The 32-bit loader to ask; tests point it at a stand-in.
: "${X86_LOADER:=/lib/ld-linux.so.2}"
# qemu's binfmt entry for i386; tests point it elsewhere.
: "${X86_BINFMT_ENTRY:=/proc/sys/fs/binfmt_misc/qemu-i386}"

# The mode for the first line the loader printed to "--version" with
# QEMU_VERSION=1 in its environment: the real loader ignores the variable,
# the emulator answers it instead of running the program.
x86_mode_of() {
  case "$1" in
    "ld.so "*) echo native ;;
    "qemu-i386 version "*) echo emulated ;;
    *) echo none ;;
  esac
}

x86_mode() {
  local line
  line=$(QEMU_VERSION=1 "$X86_LOADER" --version 2>&1 </dev/null | head -n 1) || true
  x86_mode_of "$line"
}

# The major version in "qemu-i386 version 10.0.2 (Debian ...)", 0 if none.
qemu_major_of() {
  local v
  v=$(printf '%s\n' "$1" | sed -n 's/^qemu-i386 version \([0-9][0-9]*\)\..*/\1/p' | head -n 1)
  echo "${v:-0}"
}

# Older emulators make every Wine process spend half a minute starting and
# wineboot fails under them.
QEMU_MIN_MAJOR=9

# What setup has to do, from the mode and the major version of the emulator
# installed (0 when there is none):
#   nothing    32-bit programs run, natively or under a good emulator
#   install    fetch a recent emulator, then register it
#   register   a recent emulator is installed but not registered
x86_setup_action() {
  local mode=$1 major=$2
  case "$mode" in
    native) echo nothing ;;
    emulated) if [ "$major" -ge $QEMU_MIN_MAJOR ]; then echo nothing; else echo install; fi ;;
    *) if [ "$major" -ge $QEMU_MIN_MAJOR ]; then echo register; else echo install; fi ;;
  esac
}

# Wine runs take this many times longer when emulated (CPU-heavy code runs
# about five times slower; starting a program about the same as native with
# a persistent server).
x86_timeout_scale() {
  if [ "$1" = emulated ]; then echo 5; else echo 1; fi
}

# One line for the logs of test.sh and quickstart.sh.
x86_describe() {
  case "$1" in
    native) echo "32-bit programs: native" ;;
    emulated) echo "32-bit programs: emulated ($(QEMU_VERSION=1 "$X86_LOADER" --version 2>&1 </dev/null | head -n 1)); Wine timeouts x$(x86_timeout_scale emulated)" ;;
    *) echo "32-bit programs: cannot run (run scripts/setup.sh as root)" ;;
  esac
}
