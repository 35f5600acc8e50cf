#!/usr/bin/env bash
# The stub's size (and the uninstaller's, which every installer that
# registers an uninstall also carries) and the ten largest contributors to
# the stub, beside a peer's installer stubs (NSIS's, from Debian's nsis
# package, when installed).
#   bench/stub_size.sh
# Contributors come from the link map the stub's build writes: every input
# section that reached the executable, summed by object file (archive members
# named as archive(member)). Sizes are before stripping and file alignment,
# so they add up to a little more than the file's size.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=${BUILD_ROOT:-$here/build}
stub=$root/bin/InstallerStub.exe
map=$root/bin/InstallerStub.map
if [ ! -f "$stub" ] || [ ! -f "$map" ]; then
  BUILD_ROOT=$root "$here/scripts/build.sh" --win-only >/dev/null
fi

size=$(stat -c %s "$stub")
echo "InstallerStub.exe: $size bytes ($((size / 1024)) KB)"
if [ -f "$root/bin/Uninstall.exe" ]; then
  usize=$(stat -c %s "$root/bin/Uninstall.exe")
  echo "Uninstall.exe: $usize bytes ($((usize / 1024)) KB)"
fi
i686-w64-mingw32-objdump -h "$stub" | while read -r _ name hex _; do
  case "$name" in .*) printf "  section %-8s %8d bytes\n" "$name" "$((16#$hex))" ;; esac
done

echo "largest contributors (bytes in the image, by object):"
python3 - "$map" <<'PY'
import re, sys, collections
totals = collections.Counter()
pending = None
in_image = False
for line in open(sys.argv[1], errors="replace"):
    if line.startswith("Linker script and memory map"):
        in_image = True
        continue
    if not in_image:
        continue
    m = re.match(r"^ (\.\S+)\s*$", line)
    if m:
        pending = m.group(1)
        continue
    m = re.match(r"^ (\.\S+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$", line)
    if m and (m.group(1) or pending):
        size = int(m.group(3), 16)
        obj = m.group(4).strip()
        if size and not obj.startswith("load address"):
            obj = re.sub(r"^.*/", "", obj)
            totals[obj] += size
    pending = None
for obj, size in totals.most_common(10):
    print(f"  {size:8d}  {obj}")
PY

peer=/usr/share/nsis/Stubs
if [ -d "$peer" ]; then
  echo "peer stubs ($peer):"
  for f in "$peer"/*-x86-unicode "$peer"/*-x86-ansi; do
    [ -f "$f" ] && printf "  %8d  %s\n" "$(stat -c %s "$f")" "$(basename "$f")"
  done
  true
else
  echo "peer stubs: not installed (apt-get install nsis)"
fi
