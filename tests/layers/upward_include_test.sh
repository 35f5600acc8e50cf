#!/usr/bin/env bash
# The layer check on a tree that breaks the order on purpose: it must fail
# and name the file and line of the upward include.
#   upward_include_test.sh CHECK_SCRIPT LAYER...
set -u
check=$1; shift
here=$(cd "$(dirname "$0")" && pwd)
if out=$("$check" "$here/upward" "$@"); then
  echo "the layer check passed a tree with an upward include"
  exit 1
fi
expected="config/reads_run_state.h:5: layer config includes driver/run_state.h of the higher layer driver"
if [ "$out" != "$expected" ]; then
  printf 'unexpected report:\n%s\nexpected:\n%s\n' "$out" "$expected"
  exit 1
fi
echo "$out"
