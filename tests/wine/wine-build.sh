# Sourced by the run-*.sh scripts: the MinGW build folder given as $1, the plugin library it
# holds (Quillerbankton.wfx64 of the 64-bit build, Quillerbankton.wfx of the 32-bit one), and
# the bitness that with-wine.sh runs the build's programs with.
#
# Sets: build (absolute), plugin (absolute), QB_WINE_BITS (64 or 32, exported).
if [[ $# -lt 1 ]]; then
  echo "usage: $0 <mingw build folder> ..." >&2
  exit 2
fi
build=$(cd "$1" && pwd)
if [[ -f $build/src/dll/Quillerbankton.wfx64 ]]; then
  plugin=$build/src/dll/Quillerbankton.wfx64
  export QB_WINE_BITS=64
else
  plugin=$build/src/dll/Quillerbankton.wfx
  export QB_WINE_BITS=32
fi
# Checks that the build made the given files; a failure names the build.
require_built() {
  local file
  for file in "$@"; do
    if [[ ! -f "$file" ]]; then
      echo "$(basename "$0"): FAIL: $file does not exist (build the mingw32 or mingw64 preset first)" >&2
      exit 1
    fi
  done
}
