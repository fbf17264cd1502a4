#!/usr/bin/env bash
# Installs what is missing, builds what the named parts need, and runs them
# (default: all four, in this order):
#
#   host    the host tests through CTest on the Release build (build/host):
#           the unit tests, the whole test program shuffled, the tool tests
#   asan    the same tests on the Debug build under AddressSanitizer and
#           UndefinedBehaviorSanitizer (build/asan)
#   wine    the cross build (build/win32): the unit tests for the target under
#           Wine, the checks of the stub file, and the end-to-end tests that
#           drive the stub under Wine and Xvfb
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
    wine) builds+=(host win32) ;;  # the Wine tests make their inputs with build/bin's builder
    fuzz) ;;                       # scripts/fuzz.sh has a build of its own
    *) echo "usage: scripts/test.sh [host|asan|wine|fuzz]..." >&2; exit 2 ;;
  esac
  wanted[$part]=1
done

scripts/install-deps.sh
if ((${#builds[@]} > 0)); then
  # Each build once, in the order first asked for.
  mapfile -t builds < <(printf '%s\n' "${builds[@]}" | awk '!seen[$0]++')
  scripts/build.sh "${builds[@]}"
fi

status=0
if [[ -n "${wanted[host]:-}" ]]; then
  ctest --test-dir build/host --output-on-failure -j "$JOBS" || status=1
fi
if [[ -n "${wanted[asan]:-}" ]]; then
  ctest --test-dir build/asan --output-on-failure -j "$JOBS" || status=1
fi
if [[ -n "${wanted[wine]:-}" ]]; then
  source scripts/wine-env.sh
  arcula_wine_prefix
  arcula_start_xvfb
  trap 'wineserver -k 2>/dev/null || true; arcula_stop_xvfb' EXIT
  arcula_start_wineserver || true
  ctest --test-dir build/win32 --output-on-failure || status=1
fi
if [[ -n "${wanted[fuzz]:-}" ]]; then
  ARCULA_FUZZ_QUIET=1 scripts/fuzz.sh "${ARCULA_FUZZ_SECONDS:-60}" || status=1
fi
exit $status
