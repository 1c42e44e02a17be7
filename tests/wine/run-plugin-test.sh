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
# A real .evtx file for a channel's log, copied beside the program where the clone has it.
real=$(dirname "$0")/../../../shared/evtx/omerbenamram-evtx/E_Windows_system32_winevt_logs_Microsoft-Windows-CAPI2%4Operational.evtx
args=("Z:${plugin//\//\\}" "Z:${messages//\//\\}")
if [[ -f $real ]] && cp "$real" "$build/tests/wine/capi2-operational.evtx" 2>/dev/null; then
  copy=$build/tests/wine/capi2-operational.evtx
  args+=("Z:${copy//\//\\}")
fi
exec "$(dirname "$0")/with-wine.sh" "$program" "${args[@]}"
