#!/usr/bin/env bash
# Makes a delay-import library for one system library (cmake/DelayImports.cmake).
#   make-delay-import-library.sh PREFIX DEF DLL OUT
# dlltool --output-delaylib of binutils 2.40 puts the delayed address and
# name tables into .idata$N sections, which the linker merges with the
# ordinary import table: every delayed call then jumps to address 0. The
# sections are renamed into .dlydata (cmake/delay-imports.ld keeps them
# whole through --gc-sections), named after the library (each library's
# tables stay together) with a letter that keeps the head object's part
# first, the functions' parts in the middle and the tail's terminators last
# (the linker sorts them by name, and each function's parts carry its
# number), so both tables stay parallel and contiguous.
set -euo pipefail
prefix=$1 def=$2 dll=$3 out=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$prefix-dlltool" -k -d "$def" --dllname "$dll" --output-delaylib "$work/plain.a"
cd "$work"
members=$("$prefix-ar" t plain.a)
"$prefix-ar" x plain.a
for member in $members; do
  # The function's own number too: the linker does not keep the order of
  # sections of equal names, and the two tables must list the functions in
  # the same order.
  case $member in *_h.o) part=a ;; *_t.o) part=c ;; *) part=b${member##*_s} part=${part%.o} ;; esac
  renames=()
  for n in 2 4 5 6 7; do renames+=(--rename-section ".idata\$$n=.dlydata\$${dll%.dll}_$n$part"); done
  "$prefix-objcopy" "${renames[@]}" "$member"
done
rm -f "$out"
"$prefix-ar" rcs "$out" $members
