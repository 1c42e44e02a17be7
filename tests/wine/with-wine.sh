#!/usr/bin/env bash
# Runs one Windows program under Wine in a fresh, throwaway Wine prefix and exits with the
# program's status.
#
#   tests/wine/with-wine.sh <program.exe> [arguments...]
#
# WINE may name the wine64 loader (default /usr/lib/wine/wine64). The program runs under
# xvfb-run when that is installed, since windows and message boxes need a display; the
# programs of this folder close any message box they see and report it instead of hanging.
# Arguments that are Unix paths must be given as Windows paths (drive Z: is the Unix root).
set -euo pipefail

if [[ $# -lt 1 ]]; then
  echo "usage: $0 <program.exe> [arguments...]" >&2
  exit 2
fi
wine=${WINE:-/usr/lib/wine/wine64}
if [[ ! -x "$wine" ]]; then
  echo "with-wine: FAIL: no Wine loader at $wine" >&2
  exit 1
fi
wineserver=$(dirname "$wine")/wineserver

prefix=$(mktemp -d "${TMPDIR:-/tmp}/qb-wine.XXXXXX")
# Wine keeps the server's socket folder of a prefix under the temporary folder, named after
# the prefix's device and inode numbers.
server_folder=$(printf 'server-%x-%x' "$(stat -c %d "$prefix")" "$(stat -c %i "$prefix")")
cleanup() {
  # The prefix's wineserver would otherwise keep running and keep files open.
  WINEPREFIX=$prefix "$wineserver" -k 2>/dev/null || true
  rm -rf "$prefix"
  local folder
  for folder in "${TMPDIR:-/tmp}"/wine-*/"$server_folder" /tmp/.wine-"$(id -u)"/"$server_folder"; do
    if [[ -d "$folder" ]]; then
      rm -rf "$folder"
      rmdir "$(dirname "$folder")" 2>/dev/null || true
    fi
  done
}
trap cleanup EXIT

export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINESERVER=$wineserver

# Stop the prefix's Wine processes before the display goes away, so that none of them
# complains about the lost connection.
run=(bash -c '"$@"; status=$?; "$WINESERVER" -k 2>/dev/null; exit $status' with-wine "$wine" "$@")
if command -v xvfb-run >/dev/null; then
  run=(xvfb-run -a "${run[@]}")
fi
# The first program in a new prefix also sets the prefix up, which takes a while. Setting up
# a prefix without 32-bit Wine reports a missing syswow64 rundll32.exe; that is harmless.
timeout 600 "${run[@]}"
