#!/usr/bin/env bash
# Runs every test: both plugin libraries built and checked (exports, imports, resources), the
# native tests, the same under AddressSanitizer + UndefinedBehaviorSanitizer, the threaded
# tests under ThreadSanitizer, a short run of each fuzz target, the Windows programs under
# Wine, and the Linux library in Double Commander. Installs what it needs first. Exits
# non-zero at the first failure.
#
#   tools/test-all.sh            (from the repository root; FUZZ_SECONDS=20 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
fuzz_seconds=${FUZZ_SECONDS:-20}
jobs=${JOBS:-$(nproc)}

# Each step says when it began (minutes:seconds into the run), to see where the time goes.
step() { printf '\n=== %s (at %d:%02d) ===\n' "$*" $((SECONDS / 60)) $((SECONDS % 60)); }

step "Dependencies"
tools/setup-deps.sh

# The one list of the library's exports.
mapfile -t exports < <(sed -n 's/^  X(\(Fs[A-Za-z]*\)).*/\1/p' src/plugin/export_list.h)
if [[ ${#exports[@]} -ne 20 ]]; then
  echo "src/plugin/export_list.h names ${#exports[@]} exports, not 20" >&2
  exit 1
fi

step "Formatting (clang-format, the project's .clang-format)"
unformatted=$(git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep -c 'warning:' || true)
if [[ $unformatted -ne 0 ]]; then
  git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep 'warning:' | head -20
  echo "clang-format would change $unformatted place(s)" >&2
  exit 1
fi

step "Windows builds (i686 and x86_64)"
for preset in mingw32 mingw64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
wfx=$root/build/mingw32/src/dll/Quillerbankton.wfx
wfx64=$root/build/mingw64/src/dll/Quillerbankton.wfx64

step "Exports, imports and resources of both libraries"
tools/check-pe.sh "$wfx" i386 "${exports[@]}"
tools/check-pe.sh "$wfx64" x86-64 "${exports[@]}"
python3 tests/wine/check-resources.py "$wfx" Quillerbankton.wfx
python3 tests/wine/check-resources.py "$wfx64" Quillerbankton.wfx64

step "Linux library: exactly the plugin functions exported, no C++ runtime needed"
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$jobs"
so=$root/build/linux/src/linux/Quillerbankton.wfx
defined=$(nm -D --defined-only "$so" | awk '{print $3}' | sort)
wanted=$(printf '%s\n' "${exports[@]}" | sort)
if [[ "$defined" != "$wanted" ]]; then
  diff <(echo "$wanted") <(echo "$defined") >&2 || true
  echo "$so does not export exactly the plugin functions" >&2
  exit 1
fi
if objdump -p "$so" | grep -E 'NEEDED +lib(stdc\+\+|gcc_s)' >&2; then
  echo "$so needs the C++ runtime as a shared library" >&2
  exit 1
fi

step "Native tests"
cmake --preset native -DQB_PLUGIN_PE="$wfx64" >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

step "Native tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan -DQB_PLUGIN_PE="$wfx64" >/dev/null
cmake --build --preset asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --preset asan -j "$jobs"

step "Threaded tests under ThreadSanitizer"
cmake --preset tsan -DQB_PLUGIN_PE="$wfx64" >/dev/null
cmake --build --preset tsan -j "$jobs" --target qb_threaded_tests qb_platform_suites
threaded='ThreadsTest.*:NotifyTest.*:SimEventLog*:*Thread*:SlowAccounts*:LifecycleTest.*:ColumnReadAhead*:SimAccounts.*'
# The threaded tests' own program must hold every threaded test of the whole test program.
listed() {
  "$1" --gtest_list_tests --gtest_filter="$threaded" |
    awk '/^[^ ]/ { suite = $1 } /^  / { print suite $1 }' | sort
}
if ! diff <(listed build/native/tests/qb_tests) <(listed build/tsan/tests/qb_threaded_tests) >&2; then
  echo "qb_threaded_tests (tests/CMakeLists.txt) lacks the threaded tests above" >&2
  exit 1
fi
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  build/tsan/tests/qb_threaded_tests --gtest_filter="$threaded"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  build/tsan/tests/platform/qb_platform_suites --gtest_filter='EventLogSuite.ChangeEvents*:*Thread*'

step "Fuzz targets, ${fuzz_seconds} s each, ${jobs} at a time"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
corpus=$(mktemp -d)
trap 'rm -rf "$corpus" "${wine_prefix:-}"' EXIT
ls build/fuzz/fuzz/*_fuzz | xargs -P "$jobs" -I{} bash -c '
  name=$(basename "$1")
  mkdir -p "$2/$name"
  if "$1" -max_total_time="$3" -rss_limit_mb=4096 -print_final_stats=0 "$2/$name" \
    2>"$2/$name.log"; then
    echo "$name: no failure"
  else
    tail -n 60 "$2/$name.log"
    echo "fuzz target $name failed" >&2
    exit 1
  fi' fuzz-one {} "$corpus" "$fuzz_seconds"

# Each program against each library: the 64-bit ones under wine64, the 32-bit ones in a
# 64-bit prefix (WOW64, as the 32-bit host runs on today's Windows) and in a 32-bit prefix.
# The programs of one configuration share a new prefix, set up once; each cleans up after
# itself.
step "Windows programs under Wine"
for config in "mingw64 win64" "mingw32 win64" "mingw32 win32"; do
  read -r build prefix <<<"$config"
  wine_prefix=$(mktemp -d "${TMPDIR:-/tmp}/qb-wine-$prefix.XXXXXX")
  for script in tests/wine/run-*.sh; do
    echo "--- $script: $build in a $prefix prefix ($(date +%T))"
    QB_WINE_PREFIX=$prefix QB_WINE_PREFIX_DIR=$wine_prefix "$script" "build/$build"
  done
  rm -rf "$wine_prefix"
done

# A host we did not write drives the Linux library (skipped, with a line saying so, where
# Double Commander cannot be installed).
step "Double Commander end to end"
JOBS=$jobs tests/doublecmd/run-doublecmd-test.sh

step "Offline Windows machine from a disk image (tools/offline-machine.sh)"
tests/doublecmd/run-offline-machine-test.sh

step "All tests passed"
