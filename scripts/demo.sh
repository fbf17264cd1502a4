#!/usr/bin/env bash
# The main job, end to end: installs what is missing, builds the stub and the
# builder, makes build/demo/setup.exe from scripts/demo-sample, runs it under
# Wine (attended, with a screenshot of the dialog, then unattended with
# /auto) and shows what was extracted and where.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

scripts/install-deps.sh
# The cross build also makes the small probe through which the demo, like the
# Wine tests, waits until a window takes input before it presses a key.
scripts/build.sh host win32 >/dev/null
export ARCULA_WINDOW_PROBE="$ROOT/build/win32/tests/window_probe.exe"
exec python3 scripts/demo.py
