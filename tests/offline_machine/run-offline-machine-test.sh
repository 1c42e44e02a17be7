#!/usr/bin/env bash
# The README's way to an offline Windows machine, followed on a stand-in for a disk image: the
# sample machine laid out as Windows XP keeps it (a SYSTEM hive whose current control set is
# not the first, .evt logs under their own file names in the disk's case, the message library
# in system32, an .evtx log that must stay unseen). tools/user/offline-machine.sh makes a machine
# folder of it, and our own host must see the same logs, records and texts there as in the
# sample machine itself. Then a table of cases changes a copy of the stand-in each (libraries
# named in the ways Windows allows, files that cannot be read, the Windows folder through a
# link, a log with "/" in its name) and checks what the script says and makes of it.
#
#   tests/offline_machine/run-offline-machine-test.sh
#
# QB_LINUX_PRESET names the build whose samplegen and wfxhost it runs (default linux); it is
# built first.
set -euo pipefail
# A command that fails without a message of ours still says where.
trap 'printf "FAIL: line %s: %s\n" "$LINENO" "$BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")/../.."
root=$PWD
work=$root/build/offline-machine-test
preset=${QB_LINUX_PRESET:-linux}
samplegen=$root/build/$preset/tools/samplegen/samplegen
wfxhost=$root/build/$preset/tools/wfxhost/wfxhost
messages=$root/build/mingw64/samples/qbsample.dll

fail() { printf 'FAIL: %s\n' "$*" >&2; exit 1; }

if ! command -v hivexregedit >/dev/null || ! command -v hivexget >/dev/null; then
  if command -v apt-get >/dev/null; then
    tools/build/apt-install.sh --may-fail libwin-hivex-perl libhivex-bin | grep '^apt-install: worked' || true
  fi
fi
if ! command -v hivexregedit >/dev/null || ! command -v hivexget >/dev/null; then
  echo "skipped: hivexregedit and hivexget (libwin-hivex-perl, libhivex-bin) are not installed"
  exit 0
fi
source tools/build/common.sh
mkdir -p "$root/build"
build_preset "$preset" -- samplegen wfxhost >"$root/build/offline-machine-build.log" 2>&1 ||
  fail "the $preset preset does not build (build/offline-machine-build.log)"

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
python3 tests/offline_machine/empty_hive.py "$windows/system32/config/system"
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
tools/user/offline-machine.sh "$windows" "$machine"

host() { "$wfxhost" --machine "$1" "${@:2}" 2>/dev/null; }
# A listing with its columns, less the line that tells how the values were fetched (timing).
columns() { host "$1" ls "$2" --columns "${@:3}" | grep -v 'values right away'; }
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

# --- Cases: one change each to a copy of the stand-in image ------------------------------------
# Most move the message library of Application's Userenv source (its records lead the log).
# Unreadable files are made so that root cannot read them either: a link that leads nowhere, a
# folder where a file is expected, a FIFO (which would also block a plain copy).
library=$messages
if [[ ! -f $library ]]; then
  library=$work/stand-in.dll
  echo 'a stand-in for the message library' >"$library"
fi
lib() { mkdir -p "$(dirname "$image/$1")" && cp "$library" "$image/$1"; }
decoy() { mkdir -p "$(dirname "$image/$1")" && echo decoy >"$image/$1"; }
dangling() { ln -s /nowhere/at/all "$image/$1"; }
folder() { mkdir -p "$image/$1"; }
fifo() { rm "$image/$1" && mkfifo "$image/$1"; }
via_link() { mkdir "$case/elsewhere" && ln -s "$image/WINDOWS" "$case/elsewhere/WIN" && start=$_; }
# A log of that name, its file a copy of Application's, Userenv one of its sources.
log_key() {
  local file=${1//[\/_]/}.evt key="[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Services\\Eventlog\\$1"
  cp "$sample/logs/Application.evt" "$image/WINDOWS/system32/config/$file"
  regs+="$key]"$'\n'"\"File\"=str(2):\"%SystemRoot%\\\\system32\\\\config\\\\$file\""$'\n\n'
  regs+="$key\\Userenv]"$'\n''"EventMessageFile"=str(2):"%SystemRoot%\\System32\\qbsample.dll"'$'\n\n'
}
# A SOFTWARE hive that puts %ProgramFiles% elsewhere, as a localized Windows does.
software() {
  local hive=$image/WINDOWS/system32/config/software k
  python3 tests/offline_machine/empty_hive.py "$hive"
  {
    echo 'Windows Registry Editor Version 5.00'
    for k in Microsoft Microsoft\\Windows Microsoft\\Windows\\CurrentVersion; do
      printf '\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\%s]\n' "$k"
    done
    printf '"ProgramFilesDir"="%s"\n' "${1//\\/\\\\}"
  } >"$case/software.reg"
  hivexregedit --merge --prefix 'HKEY_LOCAL_MACHINE\SOFTWARE' "$hive" "$case/software.reg"
}

# Userenv's records in log $2 of machine $1 show $3: "text" (their descriptions) or "fallback";
# or the root does not list the log ("absent").
records_show() {
  local line
  if [[ $3 == absent ]]; then
    line=$(host "$1" ls "\\" | sed -E 's/^[^ ]+ +[0-9]+ +[^ ]+ +//')
    if grep -qxF "$2" <<<"$line"; then return 1; fi
    return 0
  fi
  [[ $3 == text && ! -f $messages ]] && return 0 # the stand-in has no texts
  line=$(columns "$1" "\\$2" --limit 50 | awk '/\] Userenv\./ && !n++')
  if [[ $3 == fallback ]]; then
    [[ $line == *"Not found the description"* ]]
  else
    [[ -n $line && $line != *"Not found the description"* ]]
  fi
}
# The first file below machine folder $1 at $2 or below it, without regard to case as the
# plugin sees them.
in_machine() {
  (cd "$1" && find . ! -type d | cut -c3- |
    awk -v w="${2,,}" '{ n = tolower($0) } n == w || index(n, w "/") == 1 { print; exit }')
}

# case | Userenv's EventMessageFile | changes | status | output has (ERE) | machine has (!: has
# not) | what Userenv's records show in a log
cases=$(
  cat <<'CASES'
%windir% | %windir%\system32\qbwindir.dll | lib WINDOWS/system32/qbwindir.dll | 0 | - | files/C/Windows/system32/qbwindir.dll | Application text
C:\WINDOWS | C:\WINDOWS\System32\QbDrive.dll | lib WINDOWS/system32/QBDRIVE.DLL | 0 | - | files/C/Windows/System32/QbDrive.dll | Application text
bare name in system32 | qbbare.dll | lib WINDOWS/system32/QBBARE.DLL; decoy WINDOWS/qbbare.dll | 0 | - | files/C/Windows/system32/qbbare.dll | Application text
bare name in the Windows folder | qbbare.dll | lib WINDOWS/QbBare.dll | 0 | - | files/C/Windows/qbbare.dll | Application text
C:\Program Files | C:\Program Files\QB App\qbapp.dll | lib program files/qb app/QBAPP.DLL | 0 | - | files/C/Program Files/QB App/qbapp.dll | Application text
%ProgramFiles% localized | %ProgramFiles%\QB App\qbpf.dll | software C:\Programme; lib Programme/QB App/qbpf.dll | 0 | - | files/C/Program Files/QB App/qbpf.dll | Application text
another drive | D:\Apps\qbd.dll | - | 0 | library D:.Apps.qbd.dll .*another drive | !files/D | Application fallback
[ * ? in a name | %SystemRoot%\system32\q[x]*?.dll | lib WINDOWS/system32/Q[X]*?.DLL; decoy WINDOWS/system32/qxyz.dll | 0 | - | files/C/Windows/system32/q[x]*?.dll | Application text
library a link to nowhere | %SystemRoot%\system32\qbgone.dll | dangling WINDOWS/system32/qbgone.dll | 3 | cannot read: library .*qbgone.dll.* leads nowhere | !files/C/Windows/system32/qbgone.dll | Application fallback
library a folder | %SystemRoot%\system32\qbdir.dll | folder WINDOWS/system32/qbdir.dll | 3 | cannot read: library .*qbdir.dll is a folder | !files/C/Windows/system32/qbdir.dll | Application fallback
log file a FIFO | - | fifo WINDOWS/system32/config/SecEvent.Evt | 3 | cannot read: log Security: .*no regular file \(left out | !logs/Security.evt | Security absent
Windows folder through a link | C:\Program Files\QB App\qbapp.dll | lib Program Files/QB App/qbapp.dll; via_link | 0 | : 4 log\(s\), | files/C/Program Files/QB App/qbapp.dll | Application text
log with "/" | - | log_key Qb/Slash | 0 | log Qb/Slash: shown as Qb_Slash | logs/Qb_Slash.evt | Qb_Slash text
log with "/", its other name taken | - | log_key Qb/Slash; log_key Qb_Slash | 0 | log Qb/Slash: left out | logs/Qb_Slash.evt | Qb/Slash absent
CASES
)

while IFS=$'\t' read -r name value changes status output has records; do
  case=$work/case
  rm -rf "$case"
  mkdir "$case"
  image=$case/image
  cp -a "$work/image" "$image"
  start=$image/WINDOWS
  regs=
  if [[ $value != - ]]; then
    regs="[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Services\\Eventlog\\Application\\Userenv]"
    regs+=$'\n'"\"EventMessageFile\"=str(2):\"${value//\\/\\\\}\""$'\n\n'
  fi
  IFS=';' read -ra steps <<<"$changes"
  for step in "${steps[@]}"; do
    step=${step# }
    [[ $step == - ]] || "${step%% *}" "${step#* }"
  done
  if [[ -n $regs ]]; then
    printf 'Windows Registry Editor Version 5.00\n\n%s' "$regs" >"$case/case.reg"
    hivexregedit --merge --prefix 'HKEY_LOCAL_MACHINE\SYSTEM' --encoding utf-16le \
      "$image/WINDOWS/system32/config/system" "$case/case.reg"
  fi

  got=0
  timeout 120 tools/user/offline-machine.sh "$start" "$case/machine" >"$case/output" 2>&1 || got=$?
  said=$'\n'$(cat "$case/output")
  [[ $got == "$status" ]] || fail "$name: exit status $got, not $status:$said"
  [[ $status != 3 ]] || grep -q 'could not be read (named above)' "$case/output" ||
    fail "$name: no summary of what could not be read:$said"
  [[ $output == - ]] || grep -Eq -- "$output" "$case/output" || fail "$name: nothing says '$output':$said"
  found=$(in_machine "$case/machine" "${has#!}")
  if [[ $has == !* ]]; then
    [[ -z $found ]] || fail "$name: the machine folder has $found"
  else
    [[ -n $found ]] || fail "$name: the machine folder has no $has"
    [[ $has != files/* ]] || cmp -s "$library" "$case/machine/$found" || fail "$name: $found is not the library"
  fi
  [[ $records == - ]] || records_show "$case/machine" "${records% *}" "${records##* }" ||
    fail "$name: Userenv's records in ${records% *}: not $records"
  echo "ok: $name"
done <<<"${cases//' | '/$'\t'}"

# --- Windows 10: a stand-in made of the Windows 10 sample --------------------------------------
# The sample's files at their places below the image's C:\, a SYSTEM hive with its EventLog keys
# (ControlSet001 the current set), a SOFTWARE hive with its WINEVT keys and the version Windows
# 10 gives. Beside them what only an image has: a library's SystemResources\*.mun and the log
# file of a channel no key names. The folder made of it must hold the sample's files byte for
# byte, its registry keys, and show what the sample shows.
w10=$work/w10
"$samplegen" samples/description-win10.txt "$w10/sample" >/dev/null
image10=$w10/image
mkdir -p "$image10"
cp -a "$w10/sample/files/C/." "$image10/"
config10=$image10/Windows/System32/config
logs10=$image10/Windows/System32/winevt/Logs
mkdir -p "$config10" "$image10/Windows/SystemResources"
cp "$image10/Windows/System32/services.exe" "$image10/Windows/SystemResources/services.exe.mun"
cp "$logs10/Microsoft-Windows-WMI-Activity%4Operational.evtx" "$logs10/Qb-Removed%4Operational.evtx"
python3 tests/offline_machine/empty_hive.py "$config10/SYSTEM"
python3 tests/offline_machine/empty_hive.py "$config10/SOFTWARE"
# The sample's export split by hive; hivexregedit takes no comments.
part() { grep -v '^;' "$w10/sample/registry.reg" | awk -v p="[HKEY_LOCAL_MACHINE\\$1\\" '/^\[/ { k = index($0, p) == 1 } k'; }
{
  printf 'Windows Registry Editor Version 5.00\n\n'
  printf '[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\n"Current"=dword:00000001\n\n'
  for k in ControlSet001 ControlSet001\\Services ControlSet001\\Control \
    ControlSet001\\Control\\ComputerName ControlSet001\\Control\\ComputerName\\ComputerName; do
    printf '[HKEY_LOCAL_MACHINE\\SYSTEM\\%s]\n' "$k"
    [[ $k != *ComputerName\\ComputerName ]] || printf '"ComputerName"="DESKTOP-QB10"\n'
    echo
  done
  part SYSTEM | sed 's/\\CurrentControlSet\\/\\ControlSet001\\/'
} >"$w10/system.reg"
{
  printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes]\n\n'
  part SOFTWARE
  printf '\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT]\n\n'
  printf '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n'
  printf '"CurrentVersion"="6.3"\n"CurrentMajorVersionNumber"=dword:0000000a\n'
} >"$w10/software.reg"
hivexregedit --merge --prefix 'HKEY_LOCAL_MACHINE\SYSTEM' --encoding utf-16le "$config10/SYSTEM" "$w10/system.reg"
hivexregedit --merge --prefix 'HKEY_LOCAL_MACHINE\SOFTWARE' --encoding utf-16le "$config10/SOFTWARE" "$w10/software.reg"

made10=$w10/machine
tools/user/offline-machine.sh "$image10/Windows" "$made10" >"$w10/output" 2>&1 ||
  fail "Windows 10: exit status $?:"$'\n'"$(cat "$w10/output")"
grep -q 'Windows 10$' "$w10/output" || fail "Windows 10: the summary names no Windows 10: $(cat "$w10/output")"
grep -qx 'OsMajorVersion=10' "$made10/machine.ini" || fail "Windows 10: machine.ini has no OsMajorVersion=10"
grep -qx 'ComputerName=DESKTOP-QB10' "$made10/machine.ini" || fail "Windows 10: machine.ini has no computer name"
# Every file of the sample, byte for byte, and what only the image had.
(cd "$w10/sample/files" && find . -type f) | while IFS= read -r file; do
  cmp -s "$w10/sample/files/$file" "$made10/files/$file" || fail "Windows 10: files/$file differs or is missing"
done
for file in C/Windows/SystemResources/services.exe.mun C/Windows/System32/winevt/Logs/Qb-Removed%4Operational.evtx \
  C/Windows/System32/en-US/schedsvc.dll.mui; do
  [[ -f $made10/files/$file ]] || fail "Windows 10: files/$file was not copied"
done
echo "ok: Windows 10: $(cd "$made10/files" && find . -type f | wc -l) files, the sample's byte for byte"
# The registry keys: the sample's EventLog and WINEVT keys, no more, no fewer (case aside).
keys() { grep '^\[' "$1" | grep -iE 'Services\\EventLog|\\WINEVT' | tr '[:upper:]' '[:lower:]' | sort; }
diff <(keys "$w10/sample/registry.reg") <(keys "$made10/registry.reg") >"$w10/keys.diff" ||
  fail "Windows 10: the registry keys differ:"$'\n'"$(cat "$w10/keys.diff")"
echo "ok: Windows 10: $(keys "$made10/registry.reg" | wc -l) registry keys, the sample's"
cp "$w10/sample/machine.ini" "$made10/machine.ini" # the accounts, as a user would add them
root10=$(host "$made10" ls '\')
[[ $root10 == "$(host "$w10/sample" ls '\')" ]] || fail "Windows 10: the made machine's root differs:"$'\n'"$root10"
while IFS= read -r log; do
  [[ -n $log ]] || continue
  [[ $(columns "$made10" "\\$log") == "$(columns "$w10/sample" "\\$log")" ]] ||
    fail "Windows 10: the $log log and its columns differ from the sample's"
done < <(sed -E 's/^[^ ]+ +[0-9]+ +[^ ]+ +//' <<<"$root10")
echo "ok: Windows 10: the root and its $(grep -c . <<<"$root10") logs as in the sample"
