#!/usr/bin/env bash
# Fails when a shipped program imports a library that is loaded before its
# first line runs, other than kernel32, advapi32 and msvcrt: such a library,
# and every library it imports in turn, is looked for beside the program
# first unless it is one of the system's known libraries (Wine's user32, for
# one, imports version.dll). The other system libraries are delay-loaded
# after the search is limited to the system folder (cmake/DelayImports.cmake).
#   check-imports.sh PROGRAM.exe...
# Prints each program's imports; names every import that is not allowed.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: check-imports.sh PROGRAM.exe..." >&2; exit 2; }
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
allowed=" advapi32.dll kernel32.dll msvcrt.dll "
status=0
for program in "$@"; do
  dump=$("$objdump" -p "$program") || { echo "check-imports: cannot read $program" >&2; exit 2; }
    names=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: *//p' | tr 'A-Z' 'a-z' | tr -d '\r' | sort -u)
  echo "$(basename "$program"): $(echo $names)"
  [ -n "$names" ] || { echo "check-imports: no import table in $program" >&2; status=1; }
  for name in $names; do
    case "$allowed" in
      *" $name "*) ;;
      *) echo "$(basename "$program"): imports $name, loaded before its first line (only kernel32, advapi32 and msvcrt may be)" >&2; status=1 ;;
    esac
  done
done
exit $status
