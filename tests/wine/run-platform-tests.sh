#!/usr/bin/env bash
# Runs the checks of the Windows backend against Wine's implementation of the API.
#
#   tests/wine/run-platform-tests.sh <mingw64 build folder>
set -euo pipefail

if [[ $# -ne 1 ]]; then
  echo "usage: $0 <mingw64 build folder>" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
program=$build/tests/wine/qb_wine_platform_test.exe
plugin=$build/src/platform/win32/Quillerbankton.wfx64
for file in "$program" "$plugin"; do
  if [[ ! -f "$file" ]]; then
    echo "run-platform-tests: FAIL: $file does not exist (build the mingw64 preset first)" >&2
    exit 1
  fi
done
exec "$(dirname "$0")/with-wine.sh" "$program" "Z:${plugin//\//\\}"
