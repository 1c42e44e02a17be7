#!/usr/bin/env bash
# Runs the integration test of the 64-bit plugin library under Wine: the library as the host
# loads it, its event log imports redirected to a simulated event log service.
#
#   tests/wine/run-plugin-test.sh <mingw64 build folder>
set -euo pipefail

if [[ $# -ne 1 ]]; then
  echo "usage: $0 <mingw64 build folder>" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
program=$build/tests/wine/qb_wine_plugin_test.exe
plugin=$build/src/platform/win32/Quillerbankton.wfx64
messages=$build/tests/wine/qb_test_messages.dll
for file in "$program" "$plugin" "$messages"; do
  if [[ ! -f "$file" ]]; then
    echo "run-plugin-test: FAIL: $file does not exist (build the mingw64 preset first)" >&2
    exit 1
  fi
done
exec "$(dirname "$0")/with-wine.sh" "$program" "Z:${plugin//\//\\}" "Z:${messages//\//\\}"
