#!/usr/bin/env bash
# Runs one Windows program under Wine in a fresh, throwaway Wine prefix and exits with the
# program's status.
#
#   tests/wine/with-wine.sh <program.exe> [arguments...]
#
# QB_WINE_BITS (64 or 32, default 64) picks the loader: wine64 for 64-bit programs, wine for
# 32-bit ones. QB_WINE_PREFIX (win64 or win32, default win64) is the kind of prefix: a 32-bit
# program in a 64-bit prefix is a WOW64 process, as the 32-bit host is on 64-bit Windows.
# WINE may name the loader instead. QB_WINE_PREFIX_DIR names a folder to use as the prefix
# instead of a new one: it is set up on first use and kept, so that a series of programs pays
# for Wine's prefix set-up once (its owner removes it). The program runs under
# xvfb-run when that is installed, since windows and message boxes need a display; the
# programs of this folder close any message box they see and report it instead of hanging.
# Arguments that are Unix paths must be given as Windows paths (drive Z: is the Unix root).
set -euo pipefail

if [[ $# -lt 1 ]]; then
  echo "usage: $0 <program.exe> [arguments...]" >&2
  exit 2
fi
bits=${QB_WINE_BITS:-64}
prefix_kind=${QB_WINE_PREFIX:-win64}
case "$bits/$prefix_kind" in
  64/win64 | 32/win64 | 32/win32) ;;
  *)
    echo "with-wine: FAIL: a $bits-bit program cannot run in a $prefix_kind prefix" >&2
    exit 2
    ;;
esac
if [[ $bits == 64 ]]; then
  wine=${WINE:-/usr/lib/wine/wine64}
else
  wine=${WINE:-/usr/lib/wine/wine}
fi
# Every failure says which program ran how.
label="$(basename "$1") ($bits-bit, ${prefix_kind} prefix)"
if [[ ! -x "$wine" ]]; then
  echo "with-wine: FAIL: $label: no Wine loader at $wine (tools/build/setup-deps.sh installs it)" >&2
  exit 1
fi
wineserver=$(dirname "$wine")/wineserver

if [[ -n ${QB_WINE_PREFIX_DIR:-} ]]; then
  prefix=$(cd "$QB_WINE_PREFIX_DIR" && pwd)
  keep_prefix=1
else
  prefix=$(mktemp -d "${TMPDIR:-/tmp}/qb-wine.XXXXXX")
  keep_prefix=0
fi
# Wine keeps the server's socket folder of a prefix under the temporary folder, named after
# the prefix's device and inode numbers.
server_folder=$(printf 'server-%x-%x' "$(stat -c %d "$prefix")" "$(stat -c %i "$prefix")")
cleanup() {
  # The prefix's wineserver would otherwise keep running and keep files open.
  WINEPREFIX=$prefix "$wineserver" -k 2>/dev/null || true
  [[ $keep_prefix == 1 ]] || rm -rf "$prefix"
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
export WINEARCH=$prefix_kind
# The programs check that they run as the prefix makes them run.
export QB_WINE_PREFIX=$prefix_kind
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINESERVER=$wineserver

# A program still running after QB_WINE_TIME_LIMIT seconds (default 300) is stopped, and the
# backtraces of its threads are printed first, so that a hang says where it hung. Stop the
# prefix's Wine processes before the display goes away, so that none of them complains about
# the lost connection.
export QB_WINE_TIME_LIMIT=${QB_WINE_TIME_LIMIT:-300}
run=(bash -c '"$@" &
  program=$!
  deadline=$((SECONDS + QB_WINE_TIME_LIMIT))
  while kill -0 $program 2>/dev/null && ((SECONDS < deadline)); do sleep 0.2; done
  if kill -0 $program 2>/dev/null; then
    echo "with-wine: $(basename "$2") still runs after $QB_WINE_TIME_LIMIT s; its threads:" >&2
    timeout 120 "$1" winedbg --command "bt all" 2>&1 | tr -d "\r" |
      awk -v name="$(basename "$2")" "/^Backtracing for thread/ { show = index(tolower(\$0), tolower(name)) > 0 } show" |
      head -n 400 >&2
    kill $program 2>/dev/null
    status=124
  else
    wait $program
    status=$?
  fi
  "$WINESERVER" -k 2>/dev/null; exit $status' with-wine "$wine" "$@")
if command -v xvfb-run >/dev/null; then
  run=(xvfb-run -a "${run[@]}")
fi
# Setting up a new prefix takes a while, and now and then Wine's set-up never finishes (its
# device service waits forever): set it up on its own, under a time limit, and start afresh
# once when it hangs. Setting up a prefix without 32-bit Wine reports a missing syswow64
# rundll32.exe; that is harmless. The programs' windows are not handed to a window manager:
# there is none under xvfb-run, and Wine waits two seconds for its answer whenever a managed
# window is hidden or destroyed (the dialog test takes 7 s instead of 80 s).
boot=(bash -c '"$1" wineboot -i &&
  "$1" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /t REG_SZ /d N /f >/dev/null
  status=$?; "$WINESERVER" -k 2>/dev/null; exit $status' with-wine "$wine")
if command -v xvfb-run >/dev/null; then
  boot=(xvfb-run -a "${boot[@]}")
fi
attempt=1
while [[ ! -f $prefix/system.reg ]]; do
  if timeout 240 "${boot[@]}" && [[ -f $prefix/system.reg ]]; then
    break
  fi
  WINEPREFIX=$prefix "$wineserver" -k 2>/dev/null || true
  if [[ $attempt -eq 2 ]]; then
    echo "with-wine: FAIL: $label: setting up the Wine prefix did not finish" >&2
    exit 1
  fi
  echo "with-wine: $label: setting up the Wine prefix did not finish; once more" >&2
  # The same folder (its server socket folder is named after it), emptied.
  find "$prefix" -mindepth 1 -delete
  attempt=2
done

status=0
# The outer limit only guards against the display or the watcher hanging.
timeout $((QB_WINE_TIME_LIMIT + 300)) "${run[@]}" || status=$?
if [[ $status -ne 0 ]]; then
  echo "with-wine: FAIL: $label exited with status $status" >&2
fi
exit $status
