#!/usr/bin/env bash
# The README's way to an offline Windows machine, followed on a stand-in for a disk image: the
# sample machine laid out as Windows XP keeps it (a SYSTEM hive whose current control set is
# not the first, .evt logs under their own file names in the disk's case, the message library
# in system32, an .evtx log that must stay unseen). tools/offline-machine.sh makes a machine
# folder of it, and our own host must see the same logs, records and texts there as in the
# sample machine itself.
#
#   tests/doublecmd/run-offline-machine-test.sh   (after the linux preset is built)
set -euo pipefail
# A command that fails without a message of ours still says where.
trap 'printf "FAIL: line %s: %s\n" "$LINENO" "$BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")/../.."
root=$PWD
work=$root/build/offline-machine-test
samplegen=$root/build/linux/tools/samplegen/samplegen
wfxhost=$root/build/linux/tools/wfxhost/wfxhost
messages=$root/build/mingw64/samples/qbsample.dll

fail() { printf 'FAIL: %s\n' "$*" >&2; exit 1; }

if ! command -v hivexregedit >/dev/null || ! command -v hivexget >/dev/null; then
  if command -v apt-get >/dev/null; then
    tools/apt-install.sh --may-fail libwin-hivex-perl libhivex-bin | grep '^apt-install: worked' || true
  fi
fi
if ! command -v hivexregedit >/dev/null || ! command -v hivexget >/dev/null; then
  echo "skipped: hivexregedit and hivexget (libwin-hivex-perl, libhivex-bin) are not installed"
  exit 0
fi
[[ -x $samplegen && -x $wfxhost ]] || fail "build the linux preset first"

rm -rf "$work"
mkdir -p "$work"
sample=$work/sample
if [[ -f $messages ]]; then
  "$samplegen" samples/description.txt "$sample" "$messages" >/dev/null
else
  "$samplegen" samples/description.txt "$sample" >/dev/null
fi

# --- The stand-in image ------------------------------------------------------------------------
windows=$work/image/WINDOWS
mkdir -p "$windows/system32/config" "$windows/system32/winevt/Logs"
# The hive: ControlSet001 an old set with no logs, ControlSet002 the current one (Select).
python3 tests/doublecmd/empty_hive.py "$windows/system32/config/system"
{
  echo 'Windows Registry Editor Version 5.00'
  echo
  for k in Select ControlSet001 ControlSet001\\Services ControlSet001\\Services\\Eventlog \
    ControlSet002 ControlSet002\\Services ControlSet002\\Control \
    ControlSet002\\Control\\ComputerName ControlSet002\\Control\\ComputerName\\ComputerName \
    ControlSet002\\Control\\TimeZoneInformation ControlSet002\\Control\\Nls \
    ControlSet002\\Control\\Nls\\CodePage; do
    echo "[HKEY_LOCAL_MACHINE\\SYSTEM\\$k]"
    case $k in
      Select) echo '"Current"=dword:00000002' ;;
      *ComputerName\\ComputerName) echo '"ComputerName"="WS-ACCOUNTING"' ;;
      # Central European time: 60 minutes east of UTC.
      *TimeZoneInformation) echo '"ActiveTimeBias"=dword:ffffffc4' ;;
      *CodePage) echo '"ACP"="1252"' ;;
    esac
    echo
  done
  # hivexregedit takes no comments between values.
  grep -v '^;' samples/machine/registry.reg | tail -n +2 |
    sed 's/\\CurrentControlSet\\/\\ControlSet002\\/'
  echo
  # A log whose file is an .evtx (as on Vista and later): left out.
  echo '[HKEY_LOCAL_MACHINE\SYSTEM\ControlSet002\Services\Eventlog\Setup]'
  echo '"File"="%SystemRoot%\\System32\\winevt\\Logs\\Setup.evtx"'
} >"$work/hive.reg"
# Strings go into the hive as UTF-16, as Windows keeps them.
hivexregedit --merge --prefix 'HKEY_LOCAL_MACHINE\SYSTEM' --encoding utf-16le \
  "$windows/system32/config/system" "$work/hive.reg"

# Each log under the file name its File value gives, in another case than the registry's.
while IFS= read -r line; do
  log=${line%%=*}
  file=${line#*=}
  cp "$sample/logs/$log.evt" "$windows/system32/config/$file"
done <<'EOF'
Application=APPEVENT.EVT
Security=SecEvent.Evt
System=sysevent.evt
QbSample=QbSample.Evt
EOF
[[ -f $messages ]] && cp "$messages" "$windows/system32/QBSAMPLE.DLL"
# What Vista and later keep: not read.
cp "$sample/logs/System.evt" "$windows/system32/winevt/Logs/Setup.evtx"

# --- The README's tool, and what our own host sees --------------------------------------------
machine=$work/machine
tools/offline-machine.sh "$windows" "$machine"

host() { "$wfxhost" --machine "$1" "${@:2}" 2>/dev/null; }
# A listing with its columns, less the line that tells how the values were fetched (timing).
columns() { host "$1" ls "$2" --columns | grep -v 'values right away'; }
grep -qx 'ComputerName=WS-ACCOUNTING' "$machine/machine.ini" || fail "machine.ini has no computer name"
grep -qx 'UtcOffsetMinutes=60' "$machine/machine.ini" || fail "machine.ini has no UTC offset of 60"
[[ -z $(find "$machine" -iname '*.evtx') ]] || fail "an .evtx file went into the machine folder"
# Accounts are the user's to add, as the README says: the sample's, as a user would list them.
sed -n '/^\[Accounts\]/,$p' "$sample/machine.ini" >>"$machine/machine.ini"

root_made=$(host "$machine" ls '\')
[[ $root_made == "$(host "$sample" ls '\')" ]] || fail "the made machine's root differs:"$'\n'"$root_made"
echo "ok: the made machine lists the sample's logs: $(sed -E 's/^[^ ]+ +[0-9]+ +[^ ]+ +//' <<<"$root_made" | paste -sd, -)"

# The folders as the root names them (a log may show a display name from its library).
while IFS= read -r log; do
  made=$(columns "$machine" "\\$log")
  [[ -n $made && $made == "$(columns "$sample" "\\$log")" ]] ||
    fail "the $log log and its columns differ from the sample's"
  # The whole listing is read (no head): a closed pipe would fail the host under pipefail.
  first=$(host "$sample" ls "\\$log" | sed -nE '1s/^[^ ]+ +[0-9]+ +[^ ]+ +//p')
  rm -f "$work/sample.txt" "$work/made.txt" # a copy does not replace a file unasked
  host "$sample" copy "\\$log\\$first" "$work/sample.txt" >/dev/null
  host "$machine" copy "\\$log\\$first" "$work/made.txt" >/dev/null
  cmp -s "$work/sample.txt" "$work/made.txt" || fail "the text of \\$log\\$first differs"
  echo "ok: $log: $(wc -l <<<"$made") lines of listing and columns, and the text of '$first', as in the sample"
done < <(sed -E 's/^[^ ]+ +[0-9]+ +[^ ]+ +//' <<<"$root_made")
