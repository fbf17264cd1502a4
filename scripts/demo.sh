#!/usr/bin/env bash
# The main job, end to end: installs what is missing, builds the stub and the
# builder, makes build/demo/setup.exe from scripts/demo-sample, runs it under
# Wine (attended, with a screenshot of the dialog, then unattended with
# /auto) and shows what was extracted and where.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

scripts/install-deps.sh
scripts/build.sh host >/dev/null
exec python3 scripts/demo.py
