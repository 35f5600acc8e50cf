#!/usr/bin/env bash
# The setup's answer to "how do 32-bit programs run here", with the loader's
# possible answers simulated by stand-ins: a machine of the other kind is
# rarely at hand, and a wrong answer either breaks Wine (no emulator where the
# kernel refuses 32-bit code) or slows every run (an emulator shadowing a
# kernel that runs it natively).
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
. "$here/scripts/lib/x86-mode.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

expect() {  # what, got, want
  if [ "$2" = "$3" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $1: got '$2', want '$3'"
  fi
}

# Stand-in loaders: what each kind of machine answers to
# "QEMU_VERSION=1 /lib/ld-linux.so.2 --version".
stand_in() {  # name, shell body
  printf '#!/bin/sh\n%s\n' "$2" >"$work/$1"
  chmod +x "$work/$1"
}
stand_in native 'echo "ld.so (Debian GLIBC 2.36-9+deb12u4) stable release version 2.36."; echo "Copyright"'
stand_in emulated '[ -n "$QEMU_VERSION" ] && { echo "qemu-i386 version 10.0.2 (Debian 1:10.0.2+ds-2~bpo12+1)"; exit 0; }; echo "ld.so (Debian GLIBC 2.36) stable release version 2.36."'
stand_in refused 'echo "/lib/ld-linux.so.2: cannot execute binary file: Exec format error" >&2; exit 126'
printf '\177ELF\001\001\001' >"$work/not-runnable"; chmod +x "$work/not-runnable"

#            loader          mode      scale
while read -r loader mode scale; do
  got=$(X86_LOADER=$work/$loader x86_mode)
  expect "mode with the $loader loader" "$got" "$mode"
  expect "timeout scale with the $loader loader" "$(x86_timeout_scale "$got")" "$scale"
done <<'TABLE'
native          native    1
emulated        emulated  5
refused         none      1
not-runnable    none      1
missing         none      1
TABLE

#  mode      emulator-major  action
while read -r mode major action; do
  expect "setup action for $mode with emulator $major" "$(x86_setup_action "$mode" "$major")" "$action"
done <<'TABLE'
native    0   nothing
native    10  nothing
emulated  10  nothing
emulated  9   nothing
emulated  7   install
none      0   install
none      7   install
none      10  register
TABLE

expect "major of a backports emulator" "$(qemu_major_of 'qemu-i386 version 10.0.2 (Debian 1:10.0.2+ds-2~bpo12+1)')" 10
expect "major of bookworm's emulator" "$(qemu_major_of 'qemu-i386 version 7.2.19 (Debian 1:7.2+dfsg-7+deb12u13)')" 7
expect "major of no answer" "$(qemu_major_of '')" 0

echo "this machine: $(x86_describe "$(x86_mode)")"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
