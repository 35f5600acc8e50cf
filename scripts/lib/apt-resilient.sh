# Package installation that survives a flaky mirror. A mirror in the middle
# of a sync serves one index with the wrong size ("Mirror sync in progress?")
# and apt-get update then fails as a whole although every other index loaded;
# with such a partial set, the 32-bit twins of some libraries may not resolve
# (the 64-bit ones have newer candidates in an index the 32-bit one lacks),
# while asking for the release's own versions (-t CODENAME) does. Sourced.
#   apt_update_resilient              tries the update again, then goes on
#                                     with the indexes it has
#   apt_install_resilient PACKAGE...  installs; retries with the release as
#                                     target; else one message naming the
#                                     packages and apt's reason, and fails
# Tests set APT_GET to a stand-in and APT_RETRY_DELAY to 0.
APT_GET=${APT_GET:-apt-get}
APT_RETRIES=${APT_RETRIES:-3}
APT_RETRY_DELAY=${APT_RETRY_DELAY:-10}

apt_release() {
  if [ -n "${APT_RELEASE:-}" ]; then echo "$APT_RELEASE"; return; fi
  (. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-bookworm}") || echo bookworm
}

apt_update_resilient() {
  local try
  for try in $(seq 1 "$APT_RETRIES"); do
    ${SUDO:-} "$APT_GET" update -q && return 0
    echo "setup: a package index could not be downloaded (try $try of $APT_RETRIES)" >&2
    [ "$try" -lt "$APT_RETRIES" ] && sleep "$APT_RETRY_DELAY"
  done
  echo "setup: going on with the package indexes that did download" >&2
  return 0
}

# The names apt-get could not install, read from its output: unknown
# packages and the ones whose dependencies it could not resolve.
apt_unresolved_names() {  # log
  sed -n -e 's/^E: Unable to locate package \([^ ]*\).*/\1/p' \
         -e 's/^E: Package .\([^ ]*\). has no installation candidate.*/\1/p' \
         -e 's/^ \{1,\}\([^ ]\{1,\}\) : Depends: .*/\1/p' "$1" | sort -u | tr '\n' ' ' | sed 's/ $//'
}

apt_install_resilient() {
  local release log attempt status
  release=$(apt_release)
  log=$(mktemp)
  # The plain request; the release as target; the same once more after a
  # fresh update, for a download that failed on the way.
  for attempt in plain target retarget; do
    case $attempt in
      plain) ${SUDO:-} "$APT_GET" install -y -q --no-install-recommends "$@" 2>&1 | tee "$log" ;;
      target)
        echo "setup: the install did not go through; trying again with '$release' as the target release" >&2
        ${SUDO:-} "$APT_GET" install -y -q --no-install-recommends -t "$release" "$@" 2>&1 | tee "$log" ;;
      retarget)
        grep -q '^E: Failed to fetch\|^E: Unable to fetch' "$log" || break
        echo "setup: a package download failed; updating the indexes and trying once more" >&2
        sleep "$APT_RETRY_DELAY"
        apt_update_resilient
        ${SUDO:-} "$APT_GET" install -y -q --no-install-recommends -t "$release" "$@" 2>&1 | tee "$log" ;;
    esac
    status=${PIPESTATUS[0]}
    if [ "$status" = 0 ]; then rm -f "$log"; return 0; fi
  done
  local names reason
  names=$(apt_unresolved_names "$log")
  reason=$(grep '^E: ' "$log" | head -n 3 | sed 's/^E: //' | tr '\n' ' ' | sed 's/ $//')
  echo "setup: cannot install the tools from Debian's packages${names:+: $names could not be installed}${reason:+ (apt-get: $reason)}; check the machine's apt sources and network, then run scripts/setup.sh again" >&2
  rm -f "$log"
  return 1
}
