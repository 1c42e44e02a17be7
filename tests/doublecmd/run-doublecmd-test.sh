#!/usr/bin/env bash
# Double Commander end to end: the Linux library in a host we did not write. Builds the library
# and the sample machine, starts Double Commander under an X server of its own with a config
# folder of its own, and checks through Double Commander what a user would see: the root lists
# the sample's logs, a log's properties come as the plugin's message, a log lists its records
# with the four custom columns filled, F5 copies a record out as its UTF-16 text, F5 again asks
# before overwriting, F3 opens the viewer on it, and Double Commander exits with status 0. Then,
# started anew on the Windows 10 sample, a channel's folder lists its records with their columns
# and F5 copies one out with its event XML. What Double Commander shows is read through its own
# commands that copy names and file details to the clipboard (bound to keys in shortcuts.scf),
# not from pixels.
#
#   tests/doublecmd/run-doublecmd-test.sh
#
# QB_DC_SCREENSHOTS=docs also writes the README's screenshots there (default: the work folder).
# QB_DC_LOG picks the log to open (default: Security, whose records fill every column).
# Skipped, with status 0, when Double Commander cannot be installed.
set -euo pipefail
# A command that fails without a message of ours still says where.
trap 'printf "FAIL: line %s: %s\n" "$LINENO" "$BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")/../.."
root=$PWD
here=$root/tests/doublecmd
log_name=${QB_DC_LOG:-Security}
jobs=${JOBS:-2}
work=$root/build/doublecmd-e2e
shots=${QB_DC_SCREENSHOTS:-$work/screenshots}
[[ $shots = /* ]] || shots=$root/$shots

say() { printf '%s\n' "$*"; }
fail() {
  printf 'FAIL: %s\n' "$*" >&2
  [[ -s $work/doublecmd.log ]] && { say "--- last lines of Double Commander's output" >&2; tail -n 20 "$work/doublecmd.log" >&2; }
  exit 1
}

# --- Tools ---------------------------------------------------------------------------------
tools=(doublecmd Xvfb xdotool import xclip iconv)
missing() { local t; for t in "${tools[@]}"; do command -v "$t" >/dev/null || return 0; done; return 1; }
if missing && { [[ $(id -u) -eq 0 ]] || command -v sudo >/dev/null; } && command -v apt-get >/dev/null; then
  say "Installing Double Commander, Xvfb, xdotool, ImageMagick and xclip"
  tools/build/apt-install.sh --may-fail --no-install-recommends doublecmd-qt xvfb xdotool imagemagick xclip \
    >"${TMPDIR:-/tmp}/qb-doublecmd-apt.log" 2>&1
  grep '^apt-install: worked around' "${TMPDIR:-/tmp}/qb-doublecmd-apt.log" || true
fi
if ! command -v doublecmd >/dev/null; then
  say "skipped: Double Commander (doublecmd-qt) is not installed and could not be installed"
  exit 0
fi
for t in "${tools[@]}"; do
  command -v "$t" >/dev/null || fail "$t is missing (install xvfb, xdotool, imagemagick, xclip)"
done

# --- Builds --------------------------------------------------------------------------------
# The Linux library with samplegen and wfxhost (our own host, linked with the plugin), from the
# preset QB_LINUX_PRESET (default linux; the test command passes native, whose tree it builds
# anyway).
preset=${QB_LINUX_PRESET:-linux}
say "Building the Linux library, samplegen and wfxhost (preset $preset)"
mkdir -p "$root/build"
build_log=$root/build/doublecmd-e2e-build.log
source tools/build/common.sh
build_preset "$preset" -- quillerbankton_linux samplegen wfxhost >"$build_log" 2>&1 || {
  tail -n 40 "$build_log" >&2
  fail "the $preset preset does not build (all of it in $build_log)"
}
library=$root/build/$preset/src/linux/Quillerbankton.wfx
samplegen=$root/build/$preset/tools/samplegen/samplegen
wfxhost=$root/build/$preset/tools/wfxhost/wfxhost
[[ -f $library ]] || fail "the build made no $library"

# The plugin beside its machine folder, found there as "machine" with no settings file.
rm -rf "$work"
mkdir -p "$work/plugin" "$work/config" "$work/local" "$shots"
cp "$library" "$work/plugin/"
messages=$root/build/mingw64/samples/qbsample.dll
if [[ -f $messages ]]; then
  "$samplegen" samples/description.txt "$work/plugin/machine" "$messages" >/dev/null
else
  say "note: no $messages (MinGW build): the records show their fallback texts"
  "$samplegen" samples/description.txt "$work/plugin/machine" >/dev/null
fi
machine=$work/plugin/machine

# Our own host on the same machine folder tells what Double Commander should show.
host() { "$wfxhost" --machine "$machine" "$@" 2>/dev/null; }
# The names of a listing, without wfxhost's flags, size and time columns.
host_names() {
  local listing
  listing=$(host ls "$1") || fail "wfxhost cannot list $1"
  sed -E 's/^[^ ]+ +[0-9]+ +[^ ]+ +//' <<<"$listing" | LC_ALL=C sort
}

sed -e "s|@WFX@|$work/plugin/Quillerbankton.wfx|" -e "s|@LEFT@|$work/local/|" \
  -e "s|@RIGHT@|$work/local/|" "$here/config/doublecmd.xml" >"$work/config/doublecmd.xml"
sed -e "s|@LOG@|$log_name|" "$here/config/shortcuts.scf" >"$work/config/shortcuts.scf"

# --- X server and Double Commander -----------------------------------------------------------
xvfb_pid=
dc_pid=
# Ends a process of ours: asked first, killed when it has not gone within 5 seconds.
stop() {
  local pid=$1 i
  kill "$pid" 2>/dev/null || return 0
  for i in $(seq 25); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
cleanup() {
  # Double Commander first, so that it does not outlive its display.
  [[ -n $dc_pid ]] && stop "$dc_pid"
  [[ -n $xvfb_pid ]] && stop "$xvfb_pid"
  return 0
}
trap cleanup EXIT

# Runs "$@" until it succeeds, at most $1 seconds.
within() {
  local seconds=$1 deadline
  shift
  deadline=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

# The X server picks a free display and writes its number to fd 3 once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
within 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=:$(head -n 1 "$work/display")

window_named() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
press() { xdotool key --delay 80 "$@"; }
start_dc() {
  started=$SECONDS
  doublecmd --config-dir="$work/config" >"$work/doublecmd.log" 2>&1 &
  dc_pid=$!
  within 30 window_named '^Double Commander' || fail "Double Commander showed no window"
  # Without a window manager keys reach Double Commander only after a click into a panel.
  xdotool mousemove 300 700 click 1
  sleep 0.5
}
exit_dc() {
  press ctrl+q
  exited() { ! kill -0 "$dc_pid" 2>/dev/null; }
  within 20 exited || fail "Double Commander did not exit"
  local status=0
  wait "$dc_pid" || status=$?
  dc_pid=
  [[ $status -eq 0 ]] || fail "Double Commander exited with status $status"
  say "ok: Double Commander exited with status 0 ($((SECONDS - started)) s with it running)"
}
start_dc

# What a key bound to a clipboard command puts there: the clipboard holds a marker before.
clip_after() {
  local marker="qb-marker-$RANDOM"
  printf "%s" "$marker" | xclip -selection clipboard -i >/dev/null 2>&1
  press "$@"
  # The clipboard's text as Double Commander gives it may end in a NUL: dropped.
  clip_text() { xclip -selection clipboard -o 2>/dev/null | tr -d '\0'; }
  clip_changed() { [[ $(clip_text) != "$marker" ]]; }
  within 15 clip_changed || fail "nothing reached the clipboard after $*"
  clip_text
}
shot() { import -window root "$shots/$1"; }

# --- The root: the sample's logs -------------------------------------------------------------
press ctrl+1
sleep 1
expected=$(host_names '\')
[[ -n $expected ]] || fail "wfxhost lists no logs in the sample machine"
# Marking all leaves "..' out; names come one a line.
shown=$(clip_after ctrl+5 ctrl+3 | tr -d '\r' | LC_ALL=C sort)
press ctrl+6
if [[ $shown != "$expected" ]]; then
  fail "the root shows"$'\n'"$shown"$'\n'"where the sample has"$'\n'"$expected"
fi
say "ok: the root lists the sample's logs: $(tr '\n' ',' <<<"$shown" | sed 's/,$//; s/,/, /g')"
shot doublecmd-root.png

# Properties of the log: the plugin's text in Double Commander's message box, whose title is
# the one the plugin gives through the host's request callback.
on_log=
for _ in $(seq 10); do
  [[ $(clip_after ctrl+3 | tr -d '\r') == "$log_name" ]] && { on_log=1; break; }
  press Down
done
[[ -n $on_log ]] || fail "the caret never reached the folder $log_name"
press ctrl+8
within 10 window_named '^Quillerbankton$' || fail "properties of $log_name showed no message of the plugin"
sleep 0.5
shot doublecmd-properties.png
press Return
gone() { ! window_named '^Quillerbankton$'; }
within 10 gone || fail "the properties message did not close"
say "ok: properties of $log_name come as the plugin's message"

# --- A folder of records: its listing, the first record's columns, F5 copies it as its text ----
# Ctrl+2 goes to the folder ($1, as wfxhost names it) of the log named $3; screenshots are named
# after $2. Leaves first, copy, text and the d_* columns.
check_folder() {
  local folder=$1 shots_as=$2 root_key=$3 expected count shown details
  press ctrl+2
  sleep 1
  press ctrl+7
  expected=$(host_names "$folder")
  count=$(wc -l <<<"$expected")
  shown=$(clip_after ctrl+5 ctrl+3 | tr -d '\r' | LC_ALL=C sort)
  press ctrl+6
  [[ $shown == "$expected" ]] || {
    diff <(echo "$expected") <(echo "$shown") | grep '^>' | head -n 10 >&2 || true
    shot "doublecmd-$shots_as-failed.png"
    fail "$folder does not list the $count records wfxhost lists"
  }
  say "ok: $folder lists its $count records"

  # The first record, with the caret on it: its name and all shown columns, tab-separated.
  first=$(clip_after ctrl+3 | tr -d '\r')
  details=$(clip_after ctrl+4 | tr -d '\r')
  IFS=$'\t' read -r d_name d_account d_category d_code d_description <<<"$details"
  [[ $d_name == "$first" ]] || fail "file details name '$d_name', the caret is on '$first'"
  [[ -n $d_account && -n $d_category && -n $d_description ]] ||
    fail "a column of '$first' is empty: '$details'"
  [[ $d_code =~ ^[0-9]+$ ]] || fail "the code of '$first' is '$d_code'"
  say "ok: $first: account '$d_account', category '$d_category', code $d_code, description '${d_description:0:50}...'"
  # Let the worker thread fill the visible rows before the picture.
  sleep 1
  shot "doublecmd-$shots_as.png"

  copy=$work/local/$first
  rm -f "$copy"
  host copy "$folder\\$first" "$work/expected.txt" --overwrite >/dev/null ||
    fail "wfxhost could not copy '$first'"
  press F5
  within 10 window_named '^Copy file' || fail "F5 showed no copy dialog"
  sleep 0.5
  if [[ $shots_as == log ]]; then shot doublecmd-copy.png; else shot "doublecmd-$shots_as-copy.png"; fi
  press Return
  within 15 copied || {
    [[ -f $copy ]] || fail "F5 wrote no '$copy'"
    diff <(iconv -f UTF-16 -t UTF-8 "$work/expected.txt") <(iconv -f UTF-16 -t UTF-8 "$copy") >&2 || true
    fail "the copy of '$first' differs from the text wfxhost copies"
  }
  # The rendition's own marks, from the columns Double Commander showed for the same record.
  text=$(iconv -f UTF-16 -t UTF-8 "$copy" | tr -d '\r')
  [[ $(head -c 2 "$copy" | od -An -tx1 | tr -d ' ') == fffe ]] || fail "the copy has no UTF-16 LE byte-order mark"
  has_line "Root Key:" "$root_key"
  has_line "Event ID:" "$d_code"
  has_line "Event Category:" "$d_category"
  has_line "Record Number:" "$(sed -E 's/^\[([0-9]+)\].*/\1/' <<<"$first")"
  has_line "User Name:" "$d_account"
  # The column shows the description on one line: compared with the copy's lines joined.
  local flat
  flat=$(tr '\n' ' ' <<<"$text" | tr -s ' ')
  grep -qF -- "$(tr -s ' ' <<<"${d_description:0:40}")" <<<"$flat" ||
    fail "the copy lacks the description Double Commander shows"
  say "ok: F5 copied '$first' as its UTF-16 text ($(stat -c %s "$copy") bytes, as wfxhost copies it)"
}
copied() { [[ -f $copy ]] && cmp -s "$copy" "$work/expected.txt"; }
has_line() { grep -qxF -- "$(printf '%-28s%s' "$1" "$2")" <<<"$text" || fail "the copy has no line '$1 $2'"; }
check_folder "\\$log_name" log "$log_name"

# --- F5 again: Double Commander asks, and overwriting calls the plugin again -------------------
printf 'stale' >"$copy"
press F5
within 10 window_named '^Copy file' || fail "the second F5 showed no copy dialog"
sleep 0.5
press Return
within 10 window_named 'Waiting for user response' || fail "no overwrite question for an existing file"
[[ $(cat "$copy") == stale ]] || fail "the file was replaced before the answer"
say "ok: F5 on the same record asks before overwriting"
press Return # the question's first button: Overwrite
within 15 copied || fail "answering Overwrite did not write the record's text again"
say "ok: Overwrite writes the record's text again"

# --- F3: Double Commander's viewer on the record's text --------------------------------------
press F3
within 15 window_named "$(sed 's/[][\.^$*+?(){}|]/\\&/g' <<<"$first")\$" ||
  fail "F3 opened no viewer on '$first'"
say "ok: F3 opens Double Commander's viewer on '$first'"
# The viewer has the keys now: a click on the panel's tab gives them back for the exit key.
xdotool mousemove 40 111 click 1
sleep 0.5

exit_dc

# --- A channel of a Windows 10 machine: its folder, a record's columns, its copy with the XML ---
# The same plugin on the Windows 10 sample, Double Commander started anew.
rm -rf "$machine"
"$samplegen" samples/description-win10.txt "$machine" >/dev/null ||
  fail "samplegen could not make the Windows 10 sample"
# The first channel, depth first, that has records.
channel_with_records() {
  local folder=$1 listing sub
  listing=$(host ls "$folder") || return 1
  if grep -q '^-' <<<"$listing"; then
    printf '%s\n' "$folder"
    return 0
  fi
  while IFS= read -r sub; do
    channel_with_records "$folder\\$sub" && return 0
  done < <(sed -nE 's/^d[^ ]* +[0-9]+ +[^ ]+ +//p' <<<"$listing")
  return 1
}
channel=$(channel_with_records '\Applications and Services Logs') ||
  fail "wfxhost shows no channel with records in the Windows 10 sample"
# Double Commander's path: "/" between the folders (a "\" would be lost as sed's escape), the
# whole quoted (Double Commander drops the spaces of an unquoted parameter).
dc_path=${channel#'\'}
sed -e "s|<Param>wfx://Quillerbankton/@LOG@</Param>|<Param>\"wfx://Quillerbankton/${dc_path//\\//}\"</Param>|" \
  "$here/config/shortcuts.scf" >"$work/config/shortcuts.scf"
grep -q 'Services Logs' "$work/config/shortcuts.scf" || fail "the channel's path is not in shortcuts.scf"
# The channel's own name: its folders joined by "/", Microsoft\Windows\ standing for
# "Microsoft-Windows-".
channel_name=${channel#'\Applications and Services Logs\'}
[[ $channel_name == 'Microsoft\Windows\'* ]] && channel_name=Microsoft-Windows-${channel_name#'Microsoft\Windows\'}
channel_name=${channel_name//\\//}
start_dc
check_folder "$channel" channel "$channel_name"
grep -qE '^Event XML: *$' <<<"$text" || fail "the copy of '$first' has no event XML"
grep -q '^<Event xmlns=' <<<"$text" || fail "the copy of '$first' has no <Event> element"
say "ok: the copy of '$first' ends with its event XML"
exit_dc
say "screenshots: $shots"
