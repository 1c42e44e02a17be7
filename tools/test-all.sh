#!/usr/bin/env bash
# Runs every test, step by step; installs what it needs first. Exits non-zero at the first
# failure. Each step builds what it needs (a tree is built once however many steps use it),
# so any step runs alone:
#
#   tools/test-all.sh                  every step, in the order of --list
#   tools/test-all.sh native asan      those steps only
#   tools/test-all.sh --list           the steps, with what each checks
#
# FUZZ_SECONDS (default 20) is each fuzz target's run; JOBS the parallel jobs (default nproc).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/build/common.sh
root=$PWD
fuzz_seconds=${FUZZ_SECONDS:-20}

wfx=$root/build/mingw32/src/dll/Quillerbankton.wfx
wfx64=$root/build/mingw64/src/dll/Quillerbankton.wfx64

# The native trees read the plugin's own resources from a built .wfx64 when there is one.
plugin_pe_setting() {
  if [[ -f $wfx64 ]]; then echo "-DQB_PLUGIN_PE=$wfx64"; else echo "-DQB_PLUGIN_PE="; fi
}

describe_format="every C++ file as clang-format (the project's .clang-format) would leave it"
step_format() {
  local unformatted
  unformatted=$(git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep 'warning:' || true)
  if [[ -n $unformatted ]]; then
    head -20 <<<"$unformatted"
    echo "clang-format would change $(grep -c . <<<"$unformatted") place(s)" >&2
    return 1
  fi
}

describe_windows="both Windows builds (i686 and x86_64): the libraries, wfxhost.exe, the Wine test programs"
step_windows() {
  build_preset mingw32
  build_preset mingw64
}

describe_pe="both libraries: machine type, exactly the plugin's exports, system imports only, resources byte for byte"
step_pe() {
  build_preset mingw32 -- quillerbankton
  build_preset mingw64 -- quillerbankton
  local exports
  mapfile -t exports < <(plugin_exports mingw64)
  tests/dll/check-pe.sh "$wfx" i386 "${exports[@]}"
  tests/dll/check-pe.sh "$wfx64" x86-64 "${exports[@]}"
  python3 tests/dll/check-resources.py "$wfx" Quillerbankton.wfx
  python3 tests/dll/check-resources.py "$wfx64" Quillerbankton.wfx64
}

describe_linux="the Linux library (native tree): exactly the plugin's exports, no shared C++ runtime"
step_linux() {
  build_preset native "$(plugin_pe_setting)" -- quillerbankton_linux
  local so=$root/build/native/src/linux/Quillerbankton.wfx defined wanted
  defined=$(nm -D --defined-only "$so" | awk '{print $3}' | sort)
  wanted=$(plugin_exports native | sort)
  if [[ "$defined" != "$wanted" ]]; then
    diff <(echo "$wanted") <(echo "$defined") >&2 || true
    echo "$so does not export exactly the plugin functions" >&2
    return 1
  fi
  if objdump -p "$so" | grep -E 'NEEDED +lib(stdc\+\+|gcc_s)' >&2; then
    echo "$so needs the C++ runtime as a shared library" >&2
    return 1
  fi
}

describe_native="the native tests through CTest (GoogleTest, the platform suites on the sim, the scripts' tests), the benchmarks built"
step_native() {
  build_preset native "$(plugin_pe_setting)"
  ctest --preset native -j "$jobs"
}

describe_asan="the native tests under AddressSanitizer and UndefinedBehaviorSanitizer (clang)"
step_asan() {
  build_preset asan "$(plugin_pe_setting)"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --preset asan -j "$jobs"
}

describe_tsan="the tests labelled threaded, built and run under ThreadSanitizer"
step_tsan() {
  build_preset tsan "$(plugin_pe_setting)"
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --preset tsan -L threaded -j "$jobs"
}

describe_fuzz="each libFuzzer target for FUZZ_SECONDS (built in the asan tree), JOBS at a time"
step_fuzz() {
  build_preset asan "$(plugin_pe_setting)"
  local corpus
  corpus=$(mktemp -d)
  # The .evtx readers start from real files: each one's header and first chunk, which keeps
  # the inputs small enough for many runs a second.
  mkdir -p "$corpus/evtx-seeds"
  local file
  for file in ../shared/evtx/*/*.evtx; do
    [[ -f $file ]] && head -c 69632 "$file" >"$corpus/evtx-seeds/$(basename "$file")"
  done
  local status=0
  ls build/asan/fuzz/*_fuzz | xargs -P "$jobs" -I{} bash -c '
    name=$(basename "$1")
    mkdir -p "$2/$name"
    seeds=fuzz/seeds/$name
    [[ -d $seeds ]] || seeds=
    [[ $name == evtx_* || $name == channel_* ]] && seeds="$seeds $2/evtx-seeds"
    if "$1" -max_total_time="$3" -rss_limit_mb=4096 -print_final_stats=0 "$2/$name" $seeds \
      2>"$2/$name.log"; then
      echo "$name: no failure"
    else
      tail -n 60 "$2/$name.log"
      echo "fuzz target $name failed" >&2
      exit 1
    fi' fuzz-one {} "$corpus" "$fuzz_seconds" || status=$?
  rm -rf "$corpus"
  return "$status"
}

# Each program against each library: the 64-bit ones under wine64, the 32-bit ones in a 64-bit
# prefix (WOW64, as the 32-bit host runs on today's Windows) and in a 32-bit prefix. The
# programs of one configuration share a new prefix, set up once.
describe_wine="the Windows programs under Wine, each build in each kind of prefix"
step_wine() {
  build_preset mingw32
  build_preset mingw64
  local config build prefix wine_prefix script
  local configs=("mingw64 win64" "mingw32 win64" "mingw32 win32")
  # Some kernels (virtual machines built without IA-32 emulation) cannot start a 32-bit
  # program at all: the 32-bit runs are then impossible here, which is said, not hidden.
  if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "NOT RUN: this machine's kernel cannot start 32-bit programs ($(/usr/lib/wine/wine --version 2>&1 | head -n 1));" \
      "the 32-bit builds were not run under Wine (neither WOW64 nor a 32-bit prefix)"
    configs=("mingw64 win64")
  fi
  for config in "${configs[@]}"; do
    read -r build prefix <<<"$config"
    wine_prefix=$(mktemp -d "${TMPDIR:-/tmp}/qb-wine-$prefix.XXXXXX")
    for script in tests/wine/run-*.sh; do
      echo "--- $script: $build in a $prefix prefix ($(date +%T))"
      QB_WINE_PREFIX=$prefix QB_WINE_PREFIX_DIR=$wine_prefix "$script" "build/$build" ||
        { rm -rf "$wine_prefix"; return 1; }
    done
    rm -rf "$wine_prefix"
  done
}

# A host we did not write drives the Linux library (skipped, with a line saying so, where
# Double Commander cannot be installed).
describe_doublecmd="Double Commander drives the Linux library end to end"
step_doublecmd() {
  QB_LINUX_PRESET=native JOBS=$jobs tests/doublecmd/run-doublecmd-test.sh
}

describe_offline="tools/user/offline-machine.sh followed on a stand-in disk image"
step_offline() {
  QB_LINUX_PRESET=native tests/offline_machine/run-offline-machine-test.sh
}

steps=(format windows pe linux native asan tsan fuzz wine doublecmd offline)

if [[ ${1:-} == --list ]]; then
  for s in "${steps[@]}"; do
    description=describe_$s
    printf '%-10s %s\n' "$s" "${!description}"
  done
  exit 0
fi
chosen=("$@")
[[ ${#chosen[@]} -gt 0 ]] || chosen=("${steps[@]}")
for s in "${chosen[@]}"; do
  if ! declare -F "step_$s" >/dev/null; then
    echo "test-all: no step \"$s\" (tools/test-all.sh --list names them)" >&2
    exit 2
  fi
done

step "Dependencies"
tools/build/setup-deps.sh
# Steps run in the order of the list, whatever the order they were named in.
for s in "${steps[@]}"; do
  for c in "${chosen[@]}"; do
    if [[ $c == "$s" ]]; then
      description=describe_$s
      step "$s: ${!description}"
      "step_$s"
    fi
  done
done
step "All tests passed"
