#!/usr/bin/env bash
# The main job, end to end: installs what is missing, builds both stubs and
# the builder, makes a self-extractor from scripts/demo-sample with each stub
# (build/demo/setup64.exe, build/demo/setup.exe), runs each under Wine
# (attended, with a screenshot of the dialog, then unattended with /auto) and
# shows what was extracted and where.
#
#   scripts/demo.sh [x64|x86]     (default: both, the 64-bit one first)
#
# The 64-bit stub runs under 64-bit Wine, natively on any x86-64 machine.
# The 32-bit one needs 32-bit Wine, which on a kernel that refuses 32-bit
# programs runs only through an emulator: there it takes minutes.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
source scripts/wine-env.sh

arches=("$@")
((${#arches[@]} > 0)) || arches=(x64 x86)
for arch in "${arches[@]}"; do
  case "$arch" in
    x64|x86) ;;
    *) echo "usage: scripts/demo.sh [x64|x86]" >&2; exit 2 ;;
  esac
done

echo "demo: installing what is missing (scripts/install-deps.sh)"
scripts/install-deps.sh
# The cross builds also make the small probe through which the demo, like
# the Wine tests, waits until a window takes input before it presses a key.
builds=(host)
for arch in "${arches[@]}"; do builds+=("$([[ $arch == x64 ]] && echo win64 || echo win32)"); done
echo "demo: building the builder and the stubs (scripts/build.sh ${builds[*]}; minutes the first time)"
build_log="$ROOT/build/demo-build.log"
mkdir -p "$ROOT/build"
if ! scripts/build.sh "${builds[@]}" >"$build_log" 2>&1; then
  tail -n 30 "$build_log" >&2
  echo "demo: the build failed (whole log: $build_log)" >&2
  exit 1
fi

status=0
for arch in "${arches[@]}"; do
  if [[ $arch == x86 && "$(arcula_i386_mode)" == emulated ]]; then
    echo "demo: this machine runs 32-bit programs only under emulation: the 32-bit run is slow" \
         "(minutes for the Wine prefix the first time, then for each run)"
  fi
  python3 scripts/demo.py --arch "$arch" || status=1
done
exit $status
