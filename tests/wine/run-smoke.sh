#!/usr/bin/env bash
# Runs the smoke test of the plugin library under Wine: loads it as the host does.
#
#   tests/wine/run-smoke.sh <mingw32 or mingw64 build folder>
set -euo pipefail

source "$(dirname "$0")/wine-build.sh"
smoke=$build/tests/wine/qb_wine_smoke.exe
require_built "$smoke" "$plugin"
exec "$(dirname "$0")/with-wine.sh" "$smoke" "Z:${plugin//\//\\}"
