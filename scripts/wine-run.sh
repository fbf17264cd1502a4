#!/usr/bin/env bash
# Runs one Windows program under the project's Wine prefix of its processor
# (CTest's emulator for the cross builds) and passes its exit status through.
#
#   scripts/wine-run.sh x86|x64 PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
arcula_wine_arch "$1"
shift
arcula_wine_prefix
exec "$ARCULA_WINE" "$@"
