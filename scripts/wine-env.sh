# Sourced by the scripts that run Windows programs under Wine. Two prefixes
# of the project's own, one per stub: build/wineprefix (32-bit only, for
# arcula-sfx.exe) and build/wineprefix64 (64-bit, for arcula-sfx64.exe);
# no debug chatter, no window manager wait.
#
# Some kernels refuse every 32-bit x86 Linux program, 32-bit Wine included.
# 64-bit Wine runs natively on every x86-64 machine; the 32-bit side runs
# there only through an emulator registered with the kernel (see
# arcula_register_i386_emulator), and then slowly.
ARCULA_ROOT="${ARCULA_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# The 64-bit server serves both kinds of prefix, and runs natively where
# 32-bit programs do not.
export WINESERVER=/usr/lib/wine/wineserver64
ARCULA_I386_BINFMT=/proc/sys/fs/binfmt_misc/qemu-i386

# Points the Wine variables at the prefix and loader of one stub's
# processor: x86 or x64 (the default). ARCULA_WINE is the loader to run
# programs with: the `wine` script picks the 32-bit loader whenever the
# 32-bit part is installed, so the 64-bit one is called by its path.
arcula_wine_arch() {
  case "${1:-x64}" in
    x86)
      export ARCULA_WINE_ARCH=x86 WINEARCH=win32 WINEPREFIX="$ARCULA_ROOT/build/wineprefix"
      export WINELOADER=/usr/lib/wine/wine ARCULA_WINE=/usr/lib/wine/wine ;;
    x64)
      export ARCULA_WINE_ARCH=x64 WINEARCH=win64 WINEPREFIX="$ARCULA_ROOT/build/wineprefix64"
      export WINELOADER=/usr/lib/wine/wine64 ARCULA_WINE=/usr/lib/wine/wine64 ;;
    *) echo "wine-env: unknown processor '$1' (x86 or x64)" >&2; return 2 ;;
  esac
}

# How this machine runs 32-bit x86 Linux programs: "native", "emulated"
# (through the registered emulator) or "none". The kernel is asked with the
# emulator's entry switched off for the moment, so that a machine that
# registered it once still tells the truth. A caller that asked already
# passes the answer on in ARCULA_I386_MODE: asking again while a 32-bit
# program starts would make it fail.
arcula_i386_mode() {
  if [[ -n "${ARCULA_I386_MODE:-}" ]]; then echo "$ARCULA_I386_MODE"; return 0; fi
  local probe=/lib/ld-linux.so.2 entry_on=0 mode=none
  if [[ -f "$ARCULA_I386_BINFMT" ]] && head -1 "$ARCULA_I386_BINFMT" | grep -qx enabled; then
    entry_on=1
    # Without the right to switch it off, the kernel's answer cannot be told
    # from the emulator's.
    if [[ ! -w "$ARCULA_I386_BINFMT" ]]; then echo emulated; return 0; fi
    echo 0 >"$ARCULA_I386_BINFMT"
  fi
  if [[ -x "$probe" ]] && "$probe" --version >/dev/null 2>&1; then mode=native; fi
  if ((entry_on)); then
    echo 1 >"$ARCULA_I386_BINFMT"
    [[ $mode == native ]] || mode=emulated
  fi
  echo "$mode"
}

# Registers qemu's i386 emulator for 32-bit x86 programs (executables and
# shared objects). The F flag opens the emulator now, so that it serves
# every later program wherever it runs. Needs root.
arcula_register_i386_emulator() {
  local binfmt=/proc/sys/fs/binfmt_misc
  [[ -f "$binfmt/register" ]] || mount -t binfmt_misc binfmt_misc "$binfmt"
  if [[ -f "$ARCULA_I386_BINFMT" ]]; then
    echo 1 >"$ARCULA_I386_BINFMT"
    return 0
  fi
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386-static:F" >"$binfmt/register"
}

# Runs a command with the emulator switched off, where there is one and we
# may switch it: a 64-bit prefix made meanwhile then leaves out its 32-bit
# side (which would take minutes, emulated) instead of setting it up.
arcula_without_i386_emulator() {
  if [[ -f "$ARCULA_I386_BINFMT" && -w "$ARCULA_I386_BINFMT" ]] &&
     head -1 "$ARCULA_I386_BINFMT" | grep -qx enabled; then
    echo 0 >"$ARCULA_I386_BINFMT"
    local status=0
    "$@" || status=$?
    echo 1 >"$ARCULA_I386_BINFMT"
    return $status
  fi
  "$@"
}

# Creates the current prefix once (seconds natively, minutes emulated);
# later calls return at once.
arcula_wine_prefix() {
  [[ -n "${ARCULA_WINE_ARCH:-}" ]] || arcula_wine_arch x64
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [[ ! -f "$WINEPREFIX/.arcula-ready" ]]; then
      if [[ $ARCULA_WINE_ARCH == x64 ]]; then
        arcula_without_i386_emulator _arcula_make_prefix
      else
        _arcula_make_prefix
      fi
      touch "$WINEPREFIX/.arcula-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}

_arcula_make_prefix() {
  "$ARCULA_WINE" wineboot --init >/dev/null 2>&1 || true
  "$WINESERVER" -w
  # Without a window manager Wine waits 2 s whenever a window closes.
  "$ARCULA_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  "$WINESERVER" -w
}

# One persistent wineserver for the run: a launch then costs ~40 ms, not ~0.6 s.
# Wine's background programs (services, the desktop) start with the first
# program of a session and inherit its output handles; started here by a
# throw-away program, they hold /dev/null instead of a pipe that a caller
# such as CTest would wait on for ever. Returns 1 when a server was already
# running (then it is not ours to stop).
arcula_start_wineserver() {
  "$WINESERVER" -p >/dev/null 2>&1 || return 1
  "$ARCULA_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

arcula_stop_wineserver() {
  "$WINESERVER" -k 2>/dev/null || true
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
