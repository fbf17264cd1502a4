# Sourced by the scripts that run Windows programs under Wine: one prefix of
# the project's own (32-bit only), no debug chatter, no window manager wait.
ARCULA_ROOT="${ARCULA_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export WINEPREFIX="${WINEPREFIX:-$ARCULA_ROOT/build/wineprefix}"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Creates the prefix once (5-7 s); later calls return at once.
arcula_wine_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [[ ! -f "$WINEPREFIX/.arcula-ready" ]]; then
      wineboot --init >/dev/null 2>&1 || true
      wineserver -w
      # Without a window manager Wine waits 2 s whenever a window closes.
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
      wineserver -w
      touch "$WINEPREFIX/.arcula-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}

# One persistent wineserver for the run: a launch then costs ~40 ms, not ~0.6 s.
# Wine's background programs (services, the desktop) start with the first
# program of a session and inherit its output handles; started here by a
# throw-away program, they hold /dev/null instead of a pipe that a caller
# such as CTest would wait on for ever. Returns 1 when a server was already
# running (then it is not ours to stop).
arcula_start_wineserver() {
  wineserver -p >/dev/null 2>&1 || return 1
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# One X server for the run, unless a display is already there.
arcula_start_xvfb() {
  if [[ -n "${DISPLAY:-}" ]] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local display=":$((90 + RANDOM % 100))"
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  ARCULA_XVFB_PID=$!
  export DISPLAY="$display"
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
  echo "Xvfb did not start" >&2
  return 1
}

arcula_stop_xvfb() {
  if [[ -n "${ARCULA_XVFB_PID:-}" ]]; then kill "$ARCULA_XVFB_PID" 2>/dev/null || true; fi
}
