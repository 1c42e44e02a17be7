#!/usr/bin/env bash
# Runs the dialog test of the plugin library under Wine: a host window calls FsExecuteFileW
# while a second thread plays the user, reading, clicking and typing in each dialog. With
# --screenshots the program saves a PNG picture of each dialog into that folder. Prints how
# long the run took.
#
#   tests/wine/run-dialog-test.sh <mingw32 or mingw64 build folder> [--screenshots <folder>]
set -euo pipefail

if [[ $# -ne 1 && ! ($# -eq 3 && $2 == --screenshots) ]]; then
  echo "usage: $0 <mingw build folder> [--screenshots <folder>]" >&2
  exit 2
fi
source "$(dirname "$0")/wine-build.sh"
program=$build/tests/wine/dialogs/qb_wine_dialog_test.exe
messages=$build/tests/wine/qb_test_messages.dll
require_built "$program" "$messages" "$plugin"
arguments=("Z:${plugin//\//\\}" "Z:${messages//\//\\}")
if [[ $# -eq 3 ]]; then
  mkdir -p "$3"
  shots=$(cd "$3" && pwd)
  rm -f "$shots"/{viewer-bytes,viewer-words,log-properties,clear-confirmation,settings}.png
  arguments+=(--screenshots "Z:${shots//\//\\}")
fi
started=$(date +%s%N)
status=0
"$(dirname "$0")/with-wine.sh" "$program" "${arguments[@]}" || status=$?
tenths=$((($(date +%s%N) - started) / 100000000))
echo "run-dialog-test: the run took $((tenths / 10)).$((tenths % 10)) s, Wine's start included"
exit $status
