#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs one or all
# of them for a time budget each.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     default: 60 s, every *_fuzz target
# Corpora persist in fuzz/corpus/<target>/ inside the build folder; findings
# land in the build folder's fuzz/findings/<target>/.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=${BUILD_ROOT:-$here/build}
seconds=${1:-60}
shift || true
dir=$root/fuzz
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DINSTALLER_FUZZ=ON -DINSTALLER_TESTS=OFF \
    -DINSTALLER_SANITIZE=ON -DBIN_DIR="$dir/bin" >/dev/null
fi
cmake --build "$dir" -j "$(nproc)"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$here"/fuzz/*_fuzz.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
status=0
for t in "${targets[@]}"; do
  corpus=$dir/corpus/$t findings=$dir/findings/$t
  mkdir -p "$corpus" "$findings"
  seeds=$here/fuzz/seeds/${t%_fuzz}
  echo "== $t for ${seconds}s =="
  args=("$corpus")
  [ -d "$seeds" ] && args+=("$seeds")
  if ! "$dir/bin/$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
       -artifact_prefix="$findings/" -print_final_stats=1 "${args[@]}"; then
    status=1
  fi
done
exit $status
