# What the build and test scripts share; sourced with the repository root as the current
# folder.
#
#   build_preset <preset> [-D...]... [-- target...]
#       configures the preset (again, with the given cache settings) and builds it, or only the
#       targets named after "--"; each tree is built once however many steps ask for it
#   step <title>          a heading that says when in the run the step began
#   plugin_exports <preset>  the plugin's export names as that build read them, a line each

jobs=${JOBS:-$(nproc)}

build_preset() {
  local preset=$1
  shift
  local settings=() targets=()
  while [[ $# -gt 0 ]]; do
    if [[ $1 == -- ]]; then
      shift
      targets=(--target "$@")
      break
    fi
    settings+=("$1")
    shift
  done
  cmake --preset "$preset" "${settings[@]}" >/dev/null
  cmake --build --preset "$preset" -j "$jobs" "${targets[@]}"
}

step() { printf '\n=== %s (at %d:%02d) ===\n' "$*" $((SECONDS / 60)) $((SECONDS % 60)); }

plugin_exports() {
  local file=build/$1/plugin_exports.txt
  [[ -f $file ]] || { echo "no $file: configure the $1 preset first" >&2; return 1; }
  cat "$file"
}
