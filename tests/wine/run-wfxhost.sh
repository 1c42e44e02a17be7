#!/usr/bin/env bash
# Runs the Windows build of wfxhost under Wine against the real plugin: the root
# listing must show the logs of Wine's registry, each as a folder, and a missing log must
# be reported as such.
#
#   tests/wine/run-wfxhost.sh <mingw32 or mingw64 build folder>
set -euo pipefail

source "$(dirname "$0")/wine-build.sh"
host=$build/tools/wfxhost/wfxhost.exe
require_built "$host" "$plugin"
here=$(dirname "$0")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The plugin writes its language folder beside itself: give it a folder of its own.
cp "$plugin" "$work/"
winplugin="Z:${work//\//\\}\\$(basename "$plugin")"

output=$("$here/with-wine.sh" "$host" --plugin "$winplugin" ls '\' 2>&1 | tr -d '\r') || {
  echo "$output"
  echo "run-wfxhost: FAIL: listing the root failed" >&2
  exit 1
}
echo "$output"
for log in Application System; do
  if ! grep -Eq "^d.* ${log}\$" <<<"$output"; then
    echo "run-wfxhost: FAIL: the root does not list the folder $log" >&2
    exit 1
  fi
done
if "$here/with-wine.sh" "$host" --plugin "$winplugin" ls '\NoSuchLog' >"$work/missing.txt" 2>&1; then
  cat "$work/missing.txt"
  echo "run-wfxhost: FAIL: a missing log was listed" >&2
  exit 1
fi
grep -q "ERROR_PATH_NOT_FOUND" "$work/missing.txt" || {
  cat "$work/missing.txt"
  echo "run-wfxhost: FAIL: a missing log was not reported as ERROR_PATH_NOT_FOUND" >&2
  exit 1
}
echo "run-wfxhost: PASS"
