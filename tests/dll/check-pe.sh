#!/usr/bin/env bash
# Checks a built plugin library before it ships: its machine type, that it exports exactly
# the given undecorated names, and that it imports nothing but Windows system libraries
# (the host loads it into its own process, where no compiler runtime may be assumed).
#
#   tests/dll/check-pe.sh <dll> <i386|x86-64> <export name>...
#
# OBJDUMP may name the objdump to use; by default the MinGW one of the machine type.
set -euo pipefail

usage() {
  echo "usage: $0 <dll> <i386|x86-64> <export name>..." >&2
  exit 2
}

[[ $# -ge 3 ]] || usage
dll=$1
machine=$2
shift 2
expected_exports=("$@")

case "$machine" in
  i386) format=pei-i386 default_objdump=i686-w64-mingw32-objdump ;;
  x86-64) format=pei-x86-64 default_objdump=x86_64-w64-mingw32-objdump ;;
  *) usage ;;
esac
objdump=${OBJDUMP:-$default_objdump}

if [[ ! -f "$dll" ]]; then
  echo "check-pe: FAIL: $dll does not exist" >&2
  exit 1
fi
if ! command -v "$objdump" >/dev/null; then
  echo "check-pe: FAIL: $objdump not found" >&2
  exit 1
fi

dump=$("$objdump" -p "$dll") || {
  echo "check-pe: FAIL: $objdump cannot read $dll" >&2
  exit 1
}

failures=0
fail() {
  echo "check-pe: FAIL: $dll: $*" >&2
  failures=$((failures + 1))
}

# Machine type, from the file format objdump recognised.
actual_format=$(sed -n 's/.*file format \(.*\)$/\1/p' <<<"$dump" | head -n 1)
if [[ "$actual_format" != "$format" ]]; then
  fail "machine type is '${actual_format:-unknown}', expected $format ($machine)"
fi

# The export name table: the entries of the first "[Ordinal/Name Pointer] Table" block.
actual_exports=$(awk '
  /^\[Ordinal\/Name Pointer\] Table/ { if (!done) { inside = 1; next } }
  inside && /^[[:space:]]*$/ { inside = 0; done = 1; next }
  inside && match($0, /\[[[:space:]]*[0-9]+\][[:space:]]+/) { print substr($0, RSTART + RLENGTH) }
' <<<"$dump" | sort)
wanted_exports=$(printf '%s\n' "${expected_exports[@]}" | sort)
if [[ "$actual_exports" != "$wanted_exports" ]]; then
  fail "export names differ from the expected ones"
  diff <(echo "$wanted_exports") <(echo "$actual_exports") |
    sed -n 's/^< /  missing:    /p; s/^> /  unexpected: /p' >&2 || true
fi

# Imported libraries, compared without regard to case as Windows does.
mapfile -t imports < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump")
if [[ ${#imports[@]} -eq 0 ]]; then
  fail "imports no library at all (expected at least KERNEL32.dll)"
fi
for library in "${imports[@]}"; do
  name=${library,,}
  case "$name" in
    kernel32.dll | msvcrt.dll | advapi32.dll | user32.dll | gdi32.dll | shell32.dll | \
      comctl32.dll | ole32.dll | oleaut32.dll | comdlg32.dll | api-ms-win-*.dll) ;;
    *) fail "imports $library, which is not a Windows system library" ;;
  esac
done

if [[ $failures -ne 0 ]]; then
  exit 1
fi
echo "check-pe: OK: $dll ($format; exports: ${expected_exports[*]}; imports: ${imports[*]})"
