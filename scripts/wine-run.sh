#!/usr/bin/env bash
# Runs one Windows program under the project's Wine prefix (CTest's emulator
# for the cross build) and passes its exit status through.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
arcula_wine_prefix
exec wine "$@"
