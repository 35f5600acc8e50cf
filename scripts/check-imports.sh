#!/usr/bin/env bash
# Fails when a shipped program imports a library that the system would look
# for beside the program (its own folder comes first for every name that is
# not one of the system's known libraries). Allowed: the known libraries of
# Windows 7 and later that the programs use, and the common controls, which
# the programs' manifest resolves to the system's side-by-side copy.
#   check-imports.sh PROGRAM.exe...
# Prints each program's imports; names every import that is not allowed.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: check-imports.sh PROGRAM.exe..." >&2; exit 2; }
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
allowed=" advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll "
allowed+="shell32.dll user32.dll "
status=0
for program in "$@"; do
  dump=$("$objdump" -p "$program") || { echo "check-imports: cannot read $program" >&2; exit 2; }
  # Plain and delay-load imports alike.
  names=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: *//p' | tr 'A-Z' 'a-z' | tr -d '\r' | sort -u)
  echo "$(basename "$program"): $(echo $names)"
  [ -n "$names" ] || { echo "check-imports: no import table in $program" >&2; status=1; }
  for name in $names; do
    case "$allowed" in
      *" $name "*) ;;
      *) echo "$(basename "$program"): imports $name, which is looked for beside the program first" >&2; status=1 ;;
    esac
  done
done
exit $status
