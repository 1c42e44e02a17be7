#!/usr/bin/env bash
# tools/build/apt-install.sh against a stand-in apt-get: a mirror mid-sync (one index that cannot be
# fetched) gets its suite pinned low for the install; a clean update installs with no pin; a
# failed install fails unless --may-fail.
set -euo pipefail
script=$(cd "$(dirname "$0")/../.." && pwd)/tools/build/apt-install.sh
fake=$(mktemp -d)
trap 'rm -rf "$fake"' EXIT

cat >"$fake/dpkg-query" <<'FAKE'
#!/bin/sh
exit 1
FAKE
cat >"$fake/id" <<'FAKE'
#!/bin/sh
echo 0
FAKE
cat >"$fake/apt-get" <<'FAKE'
#!/usr/bin/env bash
case " $* " in
  *" update "*)
    if [[ $FAKE_MODE == midsync ]]; then
      echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 1.2.3.4 80]" >&2
      exit 100
    fi ;;
  *" install "*)
    echo "install $*" >>"$FAKE_LOG"
    for a in "$@"; do
      [[ $a == Dir::Etc::PreferencesParts=* ]] && cat "${a#*=}"/*.pref >>"$FAKE_LOG"
    done
    [[ $FAKE_MODE == broken ]] && exit 100 ;;
esac
exit 0
FAKE
cat >"$fake/sleep" <<'FAKE'
#!/bin/sh
FAKE
chmod +x "$fake"/*

failures=0
check() { # name mode expected-status grep-pattern-in-log [options...]
  local name=$1 mode=$2 want=$3 pattern=$4 status=0
  shift 4
  : >"$fake/log"
  PATH=$fake:$PATH FAKE_MODE=$mode FAKE_LOG=$fake/log "$script" "$@" wine32:i386 >"$fake/out" 2>&1 || status=$?
  if [[ $status -ne $want ]] || ! grep -qE -- "$pattern" "$fake/log" "$fake/out"; then
    echo "FAIL: $name: status $status (want $want), no '$pattern' in:"; cat "$fake/out" "$fake/log"
    failures=$((failures + 1))
  fi
}
check "mid-sync index pinned low" midsync 0 'Pin: release n=bookworm-security'
check "mid-sync told in one line" midsync 0 '^apt-install: worked around .*bookworm-security'
check "clean update, no pin" clean 0 '^install [^=]*wine32:i386$'
check "failed install fails" broken 1 'install '
check "failed install may fail" broken 0 'could not install' --may-fail
[[ $failures -eq 0 ]] && echo "apt-install: all cases pass"
exit $((failures > 0))
