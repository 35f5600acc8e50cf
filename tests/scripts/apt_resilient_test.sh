#!/usr/bin/env bash
# The set-up's package installation against a mirror that misbehaves, with a
# stand-in apt-get that answers as the real one did on such days: an index
# of the wrong size, 32-bit libraries that resolve only with the release as
# target, a package download that fails once, and a request that cannot be
# met at all.
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
expect() {  # what, got, want
  if [ "$2" = "$3" ]; then passed=$((passed + 1)); else
    failed=$((failed + 1)); echo "FAIL: $1: got '$2', want '$3'"; fi
}

# The stand-in logs each call's words and fails the Nth update and the calls
# its scenario names.
cat >"$work/apt-get" <<'STANDIN'
#!/usr/bin/env bash
echo "$*" >>"$CALLS"
n=$(wc -l <"$CALLS")
case "$SCENARIO:$1" in
  sync:update|flaky-update:update)
    if [ "$SCENARIO" = sync ] || [ "$(grep -c '^update' "$CALLS")" -lt 3 ]; then
      echo "E: Failed to fetch http://mirror/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
      exit 100
    fi ;;
  sync:install)
    case " $* " in *" -t bookworm "*) exit 0 ;; esac
    echo " wine32:i386 : Depends: libwine:i386 (= 8.0~repack-4) but it is not going to be installed"
    echo "E: Unable to correct problems, you have held broken packages."
    exit 100 ;;
  download:install)
    if [ "$(grep -c '^install' "$CALLS")" -lt 3 ]; then
      echo "E: Failed to fetch http://mirror/pool/main/w/wine/libwine_8.0_i386.deb  Connection failed"
      exit 100
    fi ;;
  broken:install)
    echo " wine32:i386 : Depends: libwine:i386 (= 8.0~repack-4) but it is not going to be installed"
    echo "E: Unable to locate package nsis"
    echo "E: Unable to correct problems, you have held broken packages."
    exit 100 ;;
esac
exit 0
STANDIN
chmod +x "$work/apt-get"

run() {  # scenario -> sets rc, calls, err
  : >"$work/calls"
  rc=0
  err=$(CALLS=$work/calls SCENARIO=$1 APT_GET=$work/apt-get APT_RETRY_DELAY=0 APT_RELEASE=bookworm SUDO= \
    bash -c ". '$here/scripts/lib/apt-resilient.sh'; apt_update_resilient && apt_install_resilient wine32:i386 nsis" \
    2>&1 >/dev/null) || rc=$?
  calls=$(cut -d' ' -f1 "$work/calls" | tr '\n' ' ' | sed 's/ $//')
}

#  scenario       exit  calls in order
while read -r scenario want_rc want_calls; do
  run "$scenario"
  expect "$scenario: exit code" "$rc" "$want_rc"
  expect "$scenario: calls" "$calls" "${want_calls//,/ }"
done <<'TABLE'
healthy       0  update,install
flaky-update  0  update,update,update,install
sync          0  update,update,update,install,install
download      0  update,install,install,update,install
broken        1  update,install,install
TABLE

run sync
expect "sync: second install targets the release" "$(sed -n 5p "$work/calls" | grep -c -- '-t bookworm')" 1
run broken
expect "broken: one message naming the packages" \
  "$(grep -c "setup: cannot install the tools from Debian's packages: nsis wine32:i386 could not be installed" <<<"$err")" 1

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
