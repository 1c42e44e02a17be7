#!/usr/bin/env bash
# Installs the named Debian packages that are not installed yet, robust against a mirror that
# is part-way through a sync: the package lists are fetched again up to three times, and when
# one index still cannot be fetched the others are used, with the suite of the missing index
# pinned low for this install, so that both architectures take versions they both have (an
# i386 index that lags the amd64 one would otherwise leave multi-arch libraries at two versions
# and apt with "held broken packages"). One line says what was worked around.
#
#   tools/build/apt-install.sh [--may-fail] [--no-install-recommends] package...
#
# --may-fail: a failed install is reported and the script exits 0 (the caller checks for the
# tools it needs and skips its test without them). Needs root or sudo.
set -euo pipefail

may_fail=false
install_options=()
while [[ ${1:-} == --* ]]; do
  case $1 in
    --may-fail) may_fail=true ;;
    --no-install-recommends) install_options+=("$1") ;;
    *) echo "apt-install: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
[[ $# -gt 0 ]] || exit 0

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  sudo=(sudo)
fi

missing=()
for p in "$@"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -gt 0 ]] || exit 0

# The suites whose index could not be fetched, from apt-get update's messages
# ("Failed to fetch http://host/debian-security/dists/bookworm-security/main/binary-i386/...").
failed_suites() { sed -n 's|.*Failed to fetch [^ ]*/dists/\([^/ ]*\)/.*|\1|p' "$1" | sort -u; }

export DEBIAN_FRONTEND=noninteractive
update_log=$(mktemp)
pins=$(mktemp -d)
trap 'rm -rf "$update_log" "$pins"' EXIT
for attempt in 1 2 3; do
  if "${sudo[@]}" apt-get update -qq -o Acquire::Retries=3 >"$update_log" 2>&1 &&
    ! grep -q 'Failed to fetch' "$update_log"; then
    break
  fi
  [[ $attempt -lt 3 ]] && sleep $((attempt * 5))
done
mapfile -t suites < <(failed_suites "$update_log")

apt_options=()
if [[ ${#suites[@]} -gt 0 ]]; then
  # The machine's own preferences stay; ours is added for this install only.
  if compgen -G '/etc/apt/preferences.d/*' >/dev/null; then
    cp /etc/apt/preferences.d/* "$pins/"
  fi
  for suite in "${suites[@]}"; do
    printf 'Package: *\nPin: release n=%s\nPin-Priority: 100\n\n' "$suite" >>"$pins/qb-lagging-mirror.pref"
  done
  apt_options=(-o "Dir::Etc::PreferencesParts=$pins")
  echo "apt-install: worked around an index that could not be fetched (${suites[*]}): installing with that suite pinned low so both architectures take the same versions"
elif grep -q . "$update_log"; then
  cat "$update_log" >&2
fi

echo "apt-install: installing ${missing[*]}"
if ! "${sudo[@]}" apt-get install -y -qq "${apt_options[@]}" "${install_options[@]}" "${missing[@]}"; then
  if $may_fail; then
    echo "apt-install: could not install ${missing[*]}" >&2
    exit 0
  fi
  exit 1
fi
