# Starts a virtual display when there is none, for the Windows programs that
# need one (message boxes and pages; Wine's user32 wants one even when no
# window shows). Sourced; sets DISPLAY and xvfb_pid (empty when nothing was
# started; the caller kills it when done).
#   start_xvfb FIRST LAST [SCREEN]   the first free display number in the range
start_xvfb() {
  xvfb_pid=
  [ -z "${DISPLAY:-}" ] || return 0
  command -v Xvfb >/dev/null || return 0
  local n
  for n in $(seq "$1" "$2"); do
    if [ ! -e /tmp/.X$n-lock ]; then
      Xvfb :$n -screen 0 "${3:-1024x768x24}" -nolisten tcp >/dev/null 2>&1 &
      xvfb_pid=$!
      export DISPLAY=:$n
      sleep 1
      return 0
    fi
  done
}
