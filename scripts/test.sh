#!/usr/bin/env bash
# Installs what is missing, builds what the named parts need, and runs them
# (default: all four, in this order):
#
#   host    the host tests through CTest on the Release build (build/host):
#           the unit tests, the whole test program shuffled, the tool tests,
#           the fuzz targets replaying their kept finds and seeds
#   asan    the same tests on the Debug build under AddressSanitizer and
#           UndefinedBehaviorSanitizer (build/asan)
#   wine    the cross builds (build/win64, build/win32): for each stub, the unit
#           tests for its target under Wine, the checks of the stub file, and
#           the end-to-end scenarios that drive the stub under Wine and Xvfb.
#           The 64-bit stub runs everything under 64-bit Wine on any machine.
#           The 32-bit stub runs everything where the kernel runs 32-bit
#           programs; where they run only emulated, its file checks, unit
#           tests and a smoke set of scenarios (the whole set would take
#           hours). The run says which case applied.
#   fuzz    a short fuzzing run (ARCULA_FUZZ_SECONDS, default 60 s per target)
#
#   scripts/test.sh [host|asan|wine|fuzz]...
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
JOBS="$(nproc)"

(($# > 0)) || set -- host asan wine fuzz
declare -A wanted=()
builds=()
for part in "$@"; do
  case "$part" in
    host) builds+=(host) ;;
    asan) builds+=(asan) ;;
    wine) builds+=(host win64 win32) ;;  # the Wine tests make their inputs with build/bin's builder
    fuzz) ;;                       # scripts/fuzz.sh has a build of its own
    *) echo "usage: scripts/test.sh [host|asan|wine|fuzz]..." >&2; exit 2 ;;
  esac
  wanted[$part]=1
done

scripts/install-deps.sh
if [[ -n "${wanted[wine]:-}" ]]; then
  source scripts/wine-env.sh
  export ARCULA_I386_MODE="$(arcula_i386_mode)"
  # The 64-bit prefix first, in seconds, while no 32-bit program runs (its
  # making switches the emulator off for a moment). Emulated, the 32-bit one
  # takes many minutes: it is made in the background meanwhile, and the
  # 32-bit tests wait for it (on the prefix's lock).
  (arcula_wine_arch x64 && arcula_wine_prefix)
  if [[ $ARCULA_I386_MODE == emulated ]]; then
    echo "test.sh: making the 32-bit Wine prefix in the background (emulated: minutes)"
    (arcula_wine_arch x86 && arcula_wine_prefix) </dev/null >/dev/null 2>&1 &
  fi
fi
if ((${#builds[@]} > 0)); then
  # Each build once, in the order first asked for.
  mapfile -t builds < <(printf '%s\n' "${builds[@]}" | awk '!seen[$0]++')
  scripts/build.sh "${builds[@]}"
fi

# The Wine tests of one stub (x86 or x64) through CTest on its cross build,
# in that processor's prefix, under a wineserver of the run's own.
run_wine_tests() {  # arch, build folder, ctest arguments...
  local arch="$1" dir="$2"
  shift 2
  (
    arcula_wine_arch "$arch"
    echo "test.sh: Wine prefix for $arch: $WINEPREFIX"
    arcula_wine_prefix
    trap 'arcula_stop_wineserver' EXIT
    arcula_start_wineserver || true
    ctest --test-dir "$dir" --output-on-failure "$@"
  )
}

status=0
if [[ -n "${wanted[host]:-}" ]]; then
  ctest --test-dir build/host --output-on-failure -j "$JOBS" || status=1
fi
if [[ -n "${wanted[asan]:-}" ]]; then
  ctest --test-dir build/asan --output-on-failure -j "$JOBS" || status=1
fi
if [[ -n "${wanted[wine]:-}" ]]; then
  arcula_start_xvfb
  trap 'arcula_stop_xvfb' EXIT
  i386_mode="$ARCULA_I386_MODE"
  echo "test.sh: the 64-bit stub: every Wine test, under 64-bit Wine"
  run_wine_tests x64 build/win64 -LE smoke || status=1
  case "$i386_mode" in
    native)
      echo "test.sh: this machine runs 32-bit programs: the 32-bit stub runs every Wine test too"
      run_wine_tests x86 build/win32 -LE smoke || status=1 ;;
    emulated)
      echo "test.sh: this machine runs 32-bit programs only under emulation: the 32-bit stub runs" \
           "its file checks, its unit tests and the smoke set, not every scenario"
      run_wine_tests x86 build/win32 -L 'file|unit|smoke' || status=1 ;;
    *)
      echo "test.sh: CUT SHORT: this machine cannot run 32-bit programs (no emulator registered):" \
           "the 32-bit stub was not tested under Wine" >&2
      status=1 ;;
  esac
fi
if [[ -n "${wanted[fuzz]:-}" ]]; then
  ARCULA_FUZZ_QUIET=1 scripts/fuzz.sh "${ARCULA_FUZZ_SECONDS:-60}" || status=1
fi
exit $status
