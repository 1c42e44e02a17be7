#!/usr/bin/env bash
# Makes a machine folder for the Linux library from the Windows folder of an offline Windows
# XP or Server 2003 installation (a mounted disk image): the EventLog keys of its SYSTEM hive
# as a registry export, its .evt logs, the message libraries its event sources name, and a
# machine.ini with its computer name, time zone and code page.
#
#   tools/offline-machine.sh /mnt/winxp/WINDOWS ~/winxp-machine
#
# Needs hivexregedit (Debian: libwin-hivex-perl) and hivexget (libhivex-bin). The .evtx logs of
# Vista and later are not read: such a machine gives a folder without logs.
set -euo pipefail
if [[ $# -ne 2 ]]; then
  echo "usage: $0 <Windows folder of the image> <machine folder to make>" >&2
  exit 2
fi
windows=${1%/}
out=$2

# A path below the Windows folder ("system32\config\AppEvent.Evt"), found whatever the case of
# its names on the image (the registry's case and the disk's often differ); empty when missing.
on_image() {
  local path=$windows part found
  local IFS='\'
  for part in $1; do
    [[ -z $part ]] && continue
    found=$(find "$path" -mindepth 1 -maxdepth 1 -iname "$part" -print -quit 2>/dev/null)
    [[ -n $found ]] || return 0
    path=$found
  done
  printf '%s\n' "$path"
}
# A value of the hive as hivexget prints it; empty when it is missing.
value() { hivexget "$hive" "$1" "$2" 2>/dev/null || true; }
# "%SystemRoot%\x\y" -> "x\y"; other forms (another drive, a bare name) give nothing.
below_system_root() {
  local text=$1
  shopt -s nocasematch
  if [[ $text == %systemroot%\\* ]]; then printf '%s\n' "${text:13}"; fi
  shopt -u nocasematch
}

hive=$(on_image 'system32\config\system')
[[ -n $hive ]] || { echo "no system32/config/system hive below $windows" >&2; exit 1; }

# CurrentControlSet is no key of the hive: Select\Current names the control set it stands for.
current=$(value '\Select' Current)
[[ $current =~ ^[0-9]+$ ]] || { echo "$hive has no Select\\Current" >&2; exit 1; }
set=$(printf 'ControlSet%03d' "$current")
key="\\$set\\Services\\Eventlog"

mkdir -p "$out/logs" "$out/files/C/Windows"
# The export names the control set; the machine folder's registry has CurrentControlSet.
hivexregedit --export --prefix 'HKEY_LOCAL_MACHINE\SYSTEM' "$hive" "$key" |
  sed "/^\[/s/^\[HKEY_LOCAL_MACHINE\\\\SYSTEM\\\\$set\\\\/[HKEY_LOCAL_MACHINE\\\\SYSTEM\\\\CurrentControlSet\\\\/" \
    >"$out/registry.reg"

# The keys below EventLog: logs, and their event sources one level further down.
subkeys() {
  sed -n 's/^\[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Eventlog\\\(.*\)\]$/\1/Ip' \
    "$out/registry.reg"
}

logs=0
unreadable=()
while IFS= read -r log; do
  [[ $log == *\\* ]] && continue
  file=$(below_system_root "$(value "$key\\$log" File)")
  # A log of Vista and later kept only as .evtx is none the plugin can read.
  if [[ ${file,,} == *.evtx ]]; then
    echo "note: log $log is an .evtx log (Windows Vista and later): not shown"
    unreadable+=("$log")
    continue
  fi
  found=${file:+$(on_image "$file")}
  if [[ -z $found ]]; then
    echo "note: log $log: no file ${file:-named} on the image"
    continue
  fi
  cp "$found" "$out/logs/$log.evt"
  logs=$((logs + 1))
done < <(subkeys)

# Their keys go too: a log the registry names is listed even without a file.
for log in "${unreadable[@]}"; do
  # Through the environment: awk -v would read the backslashes as escapes.
  key="[hkey_local_machine\\system\\currentcontrolset\\services\\eventlog\\${log,,}" awk '
    BEGIN { key = ENVIRON["key"] }
    /^\[/ { line = tolower($0); skip = (line == key "]" || index(line, key "\\") == 1) }
    !skip' "$out/registry.reg" >"$out/registry.reg.new"
  mv "$out/registry.reg.new" "$out/registry.reg"
done

libraries=0
while IFS= read -r source; do
  [[ $source == *\\* ]] || continue
  for name in EventMessageFile CategoryMessageFile ParameterMessageFile; do
    IFS=';' read -ra files <<<"$(value "$key\\$source" "$name")"
    for file in "${files[@]}"; do
      relative=$(below_system_root "$file")
      [[ -n $relative ]] || continue
      target=$out/files/C/Windows/${relative//\\//}
      [[ -e $target ]] && continue
      found=$(on_image "$relative")
      [[ -n $found ]] || continue
      mkdir -p "$(dirname "$target")"
      cp "$found" "$target"
      libraries=$((libraries + 1))
    done
  done
done < <(subkeys)

# What machine.ini can take from the hive; accounts are not looked up (see the README).
computer=$(value "\\$set\\Control\\ComputerName\\ComputerName" ComputerName)
bias=$(value "\\$set\\Control\\TimeZoneInformation" ActiveTimeBias)
[[ -n $bias ]] || bias=$(value "\\$set\\Control\\TimeZoneInformation" Bias)
codepage=$(value "\\$set\\Control\\Nls\\CodePage" ACP)
{
  echo "; Made by tools/offline-machine.sh from $windows"
  echo "[Machine]"
  echo "OsMajorVersion=5"
  [[ -n $computer ]] && echo "ComputerName=$computer"
  # The bias is minutes west of UTC (hivexget prints it signed; unsigned, it is wrapped back).
  if [[ $bias =~ ^-?[0-9]+$ ]]; then
    ((bias >= 2 ** 31)) && bias=$((bias - 2 ** 32))
    echo "UtcOffsetMinutes=$((-bias))"
  fi
  [[ $codepage == 1252 ]] && echo "AnsiCodePage=1252"
  true
} >"$out/machine.ini"

echo "$out: $logs log(s), $libraries message librar$([[ $libraries -eq 1 ]] && echo y || echo ies), control set $set"
