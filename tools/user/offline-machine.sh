#!/usr/bin/env bash
# Makes a machine folder for the Linux library from the Windows folder of an offline Windows
# installation (a mounted disk image): the EventLog keys of its SYSTEM hive as a registry
# export, its logs, the message libraries its event sources name, and a machine.ini with its
# version, computer name, time zone and code page. Windows XP and Server 2003 keep .evt logs,
# which go to logs/; Vista and later keep .evtx logs below System32\winevt\Logs, which go to
# files/C/... with the WINEVT channels and publishers of the SOFTWARE hive and the providers'
# libraries (with their en-US language files and SystemResources\*.mun).
#
#   tools/user/offline-machine.sh /mnt/winxp/WINDOWS ~/winxp-machine
#
# The Windows folder is the image's %SystemRoot% (C:\<its name>) and its parent the image's
# C:\, so libraries named below either are found; other drives are not on the image.
#
# Exit status: 0 when everything was read; 3 when the folder was made but some files could not
# be read (each named on stderr: their logs are left out, their sources show the fallback
# text); 1 when no folder could be made; 2 for a wrong call.
#
# Needs hivexregedit (Debian: libwin-hivex-perl) and hivexget (libhivex-bin).
set -euo pipefail
if [[ $# -ne 2 ]]; then
  echo "usage: $0 <Windows folder of the image> <machine folder to make>" >&2
  exit 2
fi
# A link given for the Windows folder is followed: its parent must be the image's C:\.
windows=$(cd -P -- "$1" 2>/dev/null && pwd -P) || {
  echo "$1 is no folder" >&2
  exit 1
}
drive=$(dirname -- "$windows")
windows_name=${windows##*/}
out=$2
failed=0

note() { printf 'note: %s\n' "$*"; }
# What the image has but cannot be copied: one line each now, counted for the summary.
cannot_read() {
  printf 'cannot read: %s\n' "$*" >&2
  failed=$((failed + 1))
}

# --- Names as Windows finds them --------------------------------------------------------------

# The entry of folder $1 named $2 without regard to case, as on Windows (the registry's case and
# the disk's often differ). Names are compared as text: "[", "*" and "?" match only themselves.
entry_named() (
  local folder=$1 name=$2 entry base
  if [[ -e $folder/$name || -L $folder/$name ]]; then
    printf '%s\n' "$folder/$name"
    return 0
  fi
  shopt -s nullglob dotglob
  for entry in "$folder"/*; do
    base=${entry##*/}
    if [[ ${base,,} == "${name,,}" ]]; then
      printf '%s\n' "$entry"
      return 0
    fi
  done
  return 1
)

# Folder $1 followed by the parts of $2 ("system32\config\system"), each taken in the case it
# has there already. A missing part and those after it are added as named, with status 1.
walk() {
  local path=$1 part found missing=0 parts
  # shellcheck disable=SC2141 # the parts are separated by backslashes indeed
  IFS="\\" read -ra parts <<<"$2"
  for part in "${parts[@]}"; do
    [[ -z $part || $part == . ]] && continue
    if ((missing == 0)) && found=$(entry_named "$path" "$part"); then
      path=$found
    else
      missing=1
      path=$path/$part
    fi
  done
  printf '%s\n' "$path"
  return "$missing"
}

# The file the image has at $1 below its C:\ ("WINDOWS\system32\x.dll"); empty when missing.
on_image() {
  local path
  if path=$(walk "$drive" "$1"); then printf '%s\n' "$path"; fi
}

# Where a file the registry names lies. Sets `wanted` (its path below C:\ where the plugin will
# look: %SystemRoot% is C:\Windows there) and `found` (the image's file, empty when it has none);
# status 1 with `why` set when the name leads to no place on the image.
map_name() {
  local name=${1//\//\\} image rest
  wanted='' found='' why=''
  if [[ $name == *[[:cntrl:]]* ]]; then
    why="has control characters"
  elif [[ \\$name\\ == *\\..\\* ]]; then
    # ".." could lead out of the image, and out of files/ on our side.
    why="has \"..\" in it"
  fi
  [[ -z $why ]] || return 1
  rest=${name#*%\\}
  shopt -s nocasematch
  case $name in
    %systemroot%\\* | %windir%\\*) wanted="Windows\\$rest" image="$windows_name\\$rest" ;;
    %systemdrive%\\*) wanted=$rest image=$rest ;;
    %programfiles%\\*) wanted="Program Files\\$rest" image="$program_files\\$rest" ;;
    c:\\*) wanted=${name:3} image=${name:3} ;;
    [a-z]:\\* | \\\\*) why="is on another drive than C: (only C: is on the image)" ;;
    *%*%*) why="names a variable the plugin does not expand" ;;
    *\\* | *:*) why="is no full path" ;;
    *)
      # A bare name: Windows looks in system32, then in the Windows folder.
      wanted="Windows\\system32\\$name" image="$windows_name\\system32\\$name"
      if [[ -z $(on_image "$image") ]]; then
        wanted="Windows\\$name" image="$windows_name\\$name"
      fi
      ;;
  esac
  shopt -u nocasematch
  [[ -z $why ]] || return 1
  found=$(on_image "$image")
}

# Copies $1 to $2 when it is a file that can be read; otherwise sets `why` and gives status 1.
# Only regular files are copied: a pipe would block the copy, a device never end it.
copy_file() {
  local error
  if [[ -L $1 && ! -e $1 ]]; then
    why="$1 is a link that leads nowhere"
  elif [[ -d $1 ]]; then
    why="$1 is a folder"
  elif [[ ! -f $1 ]]; then
    why="$1 is no regular file"
  elif ! error=$(cp -- "$1" "$2" 2>&1); then
    rm -f -- "$2"
    why="$1: ${error##*: }"
  else
    return 0
  fi
  return 1
}

# --- The registry -----------------------------------------------------------------------------

hive=$(on_image "$windows_name\\system32\\config\\system")
[[ -f $hive ]] || {
  echo "no system32/config/system hive below $windows" >&2
  exit 1
}
# A value of the hive as hivexget prints it; empty when it is missing.
value() { hivexget "$hive" "$1" "$2" 2>/dev/null || true; }

# %ProgramFiles% of the image, which its SOFTWARE hive names (a localized Windows has its own).
program_files='Program Files'
software=$(on_image "$windows_name\\system32\\config\\software")
# A value of the SOFTWARE hive; empty when it or the hive is missing.
soft_value() {
  if [[ -f $software ]]; then hivexget "$software" "$1" "$2" 2>/dev/null || true; fi
}
dir=$(soft_value '\Microsoft\Windows\CurrentVersion' ProgramFilesDir)
[[ ${dir,,} == c:\\?* ]] && program_files=${dir:3}
# The version: Windows 10 and 11 say 10 in CurrentMajorVersionNumber, Vista to 8.1 "6.x" in
# CurrentVersion. Without either (XP's hive says "5.1"; no hive at all) it is XP's 5.
os_major=$(soft_value '\Microsoft\Windows NT\CurrentVersion' CurrentMajorVersionNumber)
if ! [[ $os_major =~ ^[0-9]+$ ]] || ((os_major < 6)); then
  os_major=$(soft_value '\Microsoft\Windows NT\CurrentVersion' CurrentVersion)
  os_major=${os_major%%.*}
  [[ $os_major =~ ^[0-9]+$ ]] || os_major=5
fi
modern=$((os_major >= 6))

# CurrentControlSet is no key of the hive: Select\Current names the control set it stands for.
current=$(value '\Select' Current)
[[ $current =~ ^[0-9]+$ ]] || {
  echo "$hive has no Select\\Current" >&2
  exit 1
}
set=$(printf 'ControlSet%03d' "$current")
key="\\$set\\Services\\Eventlog"

mkdir -p "$out/logs" "$out/files/C/Windows"
# The export names the control set; the machine folder's registry has CurrentControlSet.
hivexregedit --export --prefix 'HKEY_LOCAL_MACHINE\SYSTEM' "$hive" "$key" |
  sed "/^\[/s/^\[HKEY_LOCAL_MACHINE\\\\SYSTEM\\\\$set\\\\/[HKEY_LOCAL_MACHINE\\\\SYSTEM\\\\CurrentControlSet\\\\/" \
    >"$out/registry.reg"

# The keys below EventLog: logs, and their event sources one level further down.
mapfile -t keys < <(
  sed -n 's/^\[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Eventlog\\\(.*\)\]$/\1/Ip' \
    "$out/registry.reg"
)

# Renames the key of log $1 in registry.reg, and the keys below it, to $2; drops them when $2 is
# empty. The log names come from this export, so its key lines have them in the same case.
edit_log_key() {
  # Through the environment: awk -v would read the backslashes as escapes.
  prefix="HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Eventlog\\" log=$1 new=$2 \
    LC_ALL=C awk '
    BEGIN {
      p = length(ENVIRON["prefix"]); old = toupper(ENVIRON["prefix"] ENVIRON["log"])
      n = length(old); new = ENVIRON["new"]
    }
    /^\[/ {
      after = substr($0, n + 2, 1)
      ours = toupper(substr($0, 2, n)) == old && (after == "]" || after == "\\")
      drop = ours && new == ""
      if (ours && !drop) $0 = substr($0, 1, p + 1) new substr($0, n + 2)
    }
    !drop' "$out/registry.reg" >"$out/registry.reg.new"
  mv "$out/registry.reg.new" "$out/registry.reg"
}

# --- Logs -------------------------------------------------------------------------------------

# Copies image file $1 to files/C/$2 ("Windows\System32\x.dll"), in the case of a folder already
# there. Status 0 also when it is there already; 1 with `why` set when it cannot be read.
copy_to_files() {
  local target
  target=$(walk "$out/files/C" "$2") && return 0
  mkdir -p -- "$(dirname -- "$target")"
  copy_file "$1" "$target"
}

# Copies the file of log $1 to logs/$2.evt (Vista and later: its .evtx to where its File value
# puts it below files/C). Status 1 when the log is to be left out with its key, as the plugin
# would otherwise list it empty: an .evtx log on XP, or a file that cannot be had. A log the
# image has no file for keeps its key (listed empty, as there is nothing of it to show).
copy_log() {
  local log=$1 file
  file=$(value "$key\\$log" File)
  if [[ ${file,,} == *.evtx ]] && ((!modern)); then
    note "log $log is an .evtx log (Windows Vista and later), on Windows $os_major: not shown"
    return 1
  fi
  if [[ ${file,,} == *.evtx ]]; then
    if ! map_name "$file"; then
      note "log $log: its file $file $why: left out, with its registry key"
      return 1
    fi
    [[ -n $found ]] || { note "log $log: no file $file on the image"; return 0; }
    if ! copy_to_files "$found" "$wanted"; then
      cannot_read "log $log: $why (left out, with its registry key)"
      return 1
    fi
    logs=$((logs + 1))
    return 0
  fi
  if [[ -n $file ]] && ! map_name "$file"; then
    note "log $log: its file $file $why: left out, with its registry key"
    return 1
  fi
  if [[ -z $found ]]; then
    note "log $log: no file ${file:-named} on the image"
    return 0
  fi
  if ! copy_file "$found" "$out/logs/$2.evt"; then
    cannot_read "log $log: $why (left out, with its registry key)"
    return 1
  fi
  logs=$((logs + 1))
}

# Names as they are in the registry, lowered: a log renamed below must not take another's.
declare -A taken=()
for log in "${keys[@]}"; do
  [[ $log == *\\* ]] || taken[${log,,}]=1
done

logs=0
declare -A kept=() # the logs shown, by their names in the hive
for log in "${keys[@]}"; do
  [[ $log == *\\* ]] && continue
  # logs/<log>.evt gives the log its name, and the plugin's paths take "/" as a separator (its
  # hosts do): a "/" is shown as "_", as in record names, and the key renamed alike so that
  # the log keeps its sources and settings.
  shown=${log//\//_}
  if [[ $shown != "$log" ]]; then
    if [[ -n ${taken[${shown,,}]:-} ]]; then
      note "log $log: left out, with its registry key: \"/\" cannot be in a file name, and $shown is another log's name"
      edit_log_key "$log" ''
      continue
    fi
    taken[${shown,,}]=1
    note "log $log: shown as $shown, as \"/\" cannot be in a file name"
  fi
  found=''
  if ! copy_log "$log" "$shown"; then
    edit_log_key "$log" ''
    # A file an earlier run left would bring the log back.
    rm -f -- "$out/logs/$shown.evt"
    continue
  fi
  [[ $shown == "$log" ]] || edit_log_key "$log" "$shown"
  kept[$log]=1
done

# --- Message libraries ------------------------------------------------------------------------

# Copies message library $1, as source $2 names it, to where the plugin looks for it. With $3
# set, a library the image lacks is passed over in silence (a language file that may be absent).
copy_library() {
  local target
  if ! map_name "$1"; then
    [[ -n ${3:-} ]] || note "library $1 ($2) $why: not copied"
    return 0
  fi
  if [[ -z $found ]]; then
    [[ -n ${3:-} ]] || note "library $1 ($2) is not on the image"
    return 0
  fi
  # There already when another source names it in another way (case, or %windir%...).
  target=$(walk "$out/files/C" "$wanted") && return 0
  mkdir -p -- "$(dirname -- "$target")"
  if copy_file "$found" "$target"; then
    libraries=$((libraries + 1))
  else
    cannot_read "library $1 ($2): $why"
  fi
}

# Since Vista a library's texts may lie in its language file (<dir>\en-US\<file>.mui) and, since
# Windows 10 1903, its resources in SystemResources\<file>.mun: copied beside it when there.
copy_library_files() {
  copy_library "$1" "$2"
  ((modern)) || return 0
  local name=${1//\//\\} base dir=''
  base=${name##*\\}
  [[ $name == *\\* ]] && dir=${name%\\*}\\
  copy_library "${dir}en-US\\$base.mui" "language file of $base" quiet
  copy_library "%SystemRoot%\\SystemResources\\$base.mun" "resources of $base" quiet
}

libraries=0
declare -A named=()
for source in "${keys[@]}"; do
  log=${source%%\\*}
  [[ $source == "$log"\\* && ${source#*\\} != *\\* && -n ${kept[$log]:-} ]] || continue
  for name in EventMessageFile CategoryMessageFile ParameterMessageFile; do
    IFS=';' read -ra files <<<"$(value "$key\\$source" "$name")"
    for file in "${files[@]}"; do
      # Each once: most sources share a few libraries.
      [[ -n $file && -z ${named[${file,,}]:-} ]] || continue
      named[${file,,}]=1
      copy_library_files "$file" "source ${source#*\\} of $log"
    done
  done
done

# --- Channels and publishers (Vista and later) -------------------------------------------------

channels=0
if ((modern)) && [[ -f $software ]]; then
  winevt='\Microsoft\Windows\CurrentVersion\WINEVT'
  # The keys go into registry.reg below the EventLog keys, without the export's header line.
  if ! hivexregedit --export --prefix 'HKEY_LOCAL_MACHINE\SOFTWARE' "$software" "$winevt" \
    >"$out/winevt.reg" 2>/dev/null; then
    note "the SOFTWARE hive has no WINEVT key: no channels"
    : >"$out/winevt.reg"
  fi
  tail -n +2 "$out/winevt.reg" >>"$out/registry.reg"
  # The channels' files: the File value of each, where it names one.
  mapfile -t channel_keys < <(
    sed -n 's/^\[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Channels\\\([^\\]*\)\]$/\1/Ip' \
      "$out/winevt.reg"
  )
  for channel in "${channel_keys[@]}"; do
    file=$(soft_value "$winevt\\Channels\\$channel" File)
    [[ -n $file ]] || continue
    if ! map_name "$file"; then
      note "channel $channel: its file $file $why: not copied"
    elif [[ -n $found ]]; then
      if copy_to_files "$found" "$wanted"; then
        channels=$((channels + 1))
      else
        cannot_read "channel $channel: $why"
      fi
    fi
  done
  # The providers' libraries: the manifest, the messages, the parameters.
  mapfile -t publishers < <(
    sed -n 's/^\[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Publishers\\\([^\\]*\)\]$/\1/Ip' \
      "$out/winevt.reg"
  )
  for publisher in "${publishers[@]}"; do
    for name in ResourceFileName MessageFileName ParameterFileName; do
      file=$(soft_value "$winevt\\Publishers\\$publisher" "$name")
      [[ -n $file && -z ${named[${file,,}]:-} ]] || continue
      named[${file,,}]=1
      copy_library_files "$file" "provider $publisher"
    done
  done
  rm -f -- "$out/winevt.reg"
fi
# The log files of winevt\Logs that no key named (channels of providers since removed, ...).
if ((modern)); then
  logs_folder=$(on_image "$windows_name\\System32\\winevt\\Logs")
  if [[ -d $logs_folder ]]; then
    for file in "$logs_folder"/*; do
      [[ ${file,,} == *.evtx ]] || continue
      copy_to_files "$file" "Windows\\System32\\winevt\\Logs\\${file##*/}" ||
        cannot_read "log file $file: $why"
    done
  fi
fi

# --- machine.ini ------------------------------------------------------------------------------

# What machine.ini can take from the hive; accounts are not looked up (see the README).
computer=$(value "\\$set\\Control\\ComputerName\\ComputerName" ComputerName)
bias=$(value "\\$set\\Control\\TimeZoneInformation" ActiveTimeBias)
[[ -n $bias ]] || bias=$(value "\\$set\\Control\\TimeZoneInformation" Bias)
codepage=$(value "\\$set\\Control\\Nls\\CodePage" ACP)
{
  echo "; Made by tools/user/offline-machine.sh from $windows"
  echo "[Machine]"
  echo "OsMajorVersion=$os_major"
  [[ -n $computer ]] && echo "ComputerName=$computer"
  # The bias is minutes west of UTC (hivexget prints it signed; unsigned, it is wrapped back).
  if [[ $bias =~ ^-?[0-9]+$ ]]; then
    ((bias >= 2 ** 31)) && bias=$((bias - 2 ** 32))
    echo "UtcOffsetMinutes=$((-bias))"
  fi
  [[ $codepage == 1252 ]] && echo "AnsiCodePage=1252"
  true
} >"$out/machine.ini"

echo "$out: $logs log(s), $channels channel file(s), $libraries message librar$([[ $libraries -eq 1 ]] && echo y || echo ies), control set $set, Windows $os_major"
if ((failed > 0)); then
  echo "$failed file(s) could not be read (named above); the folder holds the rest" >&2
  exit 3
fi
