#!/usr/bin/env bash
# Runs the smoke test of the 64-bit plugin library under Wine: loads it as the host does.
#
#   tests/wine/run-smoke.sh <mingw64 build folder>
set -euo pipefail

if [[ $# -ne 1 ]]; then
  echo "usage: $0 <mingw64 build folder>" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
smoke=$build/tests/wine/qb_wine_smoke.exe
plugin=$build/src/platform/win32/Quillerbankton.wfx64
for file in "$smoke" "$plugin"; do
  if [[ ! -f "$file" ]]; then
    echo "run-smoke: FAIL: $file does not exist (build the mingw64 preset first)" >&2
    exit 1
  fi
done
exec "$(dirname "$0")/with-wine.sh" "$smoke" "Z:${plugin//\//\\}"
