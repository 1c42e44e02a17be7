#!/usr/bin/env bash
# Runs the platform suites and the Windows backend's own tests against Wine's implementation
# of the API.
#
#   tests/wine/run-platform-suites.sh <mingw32 or mingw64 build folder> [GoogleTest options]
set -euo pipefail

source "$(dirname "$0")/wine-build.sh"
program=$build/tests/platform/qb_platform_suites.exe
require_built "$program" "$plugin"
# Its dialogs come and go by the dozen: no window manager to wait for.
exec "$(dirname "$0")/with-wine.sh" "$program" --gtest_color=no "${@:2}" "Z:${plugin//\//\\}"
