#!/usr/bin/env bash
# Runs the integration test of the plugin library under Wine: the library as the host
# loads it, its event log imports redirected to a simulated event log service.
#
#   tests/wine/run-plugin-test.sh <mingw32 or mingw64 build folder>
set -euo pipefail

source "$(dirname "$0")/wine-build.sh"
program=$build/tests/wine/qb_wine_plugin_test.exe
messages=$build/tests/wine/qb_test_messages.dll
require_built "$program" "$messages" "$plugin"
exec "$(dirname "$0")/with-wine.sh" "$program" "Z:${plugin//\//\\}" "Z:${messages//\//\\}"
