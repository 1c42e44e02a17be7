#!/usr/bin/env bash
# Runs the checks of the Windows backend's user interface against Wine's implementation of the
# API (run-platform-suites.sh runs the suites of the other services).
#
#   tests/wine/run-platform-tests.sh <mingw32 or mingw64 build folder>
set -euo pipefail

source "$(dirname "$0")/wine-build.sh"
program=$build/tests/wine/qb_wine_platform_test.exe
require_built "$program" "$plugin"
exec "$(dirname "$0")/with-wine.sh" "$program"
