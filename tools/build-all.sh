#!/usr/bin/env bash
# The main job: installs what is needed, builds both plugin libraries, the native tools and
# the sample machine, shows the plugin at work on that machine through wfxhost, and packs
# the installable archive.
#
#   tools/build-all.sh        (from anywhere; outputs in build/ and dist/)
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/build/common.sh
root=$PWD
version=1.0.0

step "Dependencies"
tools/build/setup-deps.sh

step "Plugin libraries (32-bit and 64-bit) and the sample message library"
build_preset mingw32
build_preset mingw64
wfx=$root/build/mingw32/src/dll/Quillerbankton.wfx
wfx64=$root/build/mingw64/src/dll/Quillerbankton.wfx64

step "Native tools"
build_preset native -DQB_PLUGIN_PE="$wfx64" -- wfxhost samplegen

step "Sample machine"
machine=$root/build/sample-machine
rm -rf "$machine"
build/native/tools/samplegen/samplegen samples/description.txt "$machine" \
  build/mingw64/samples/qbsample.dll
# Windows 10: .evtx logs and channels, with the provider libraries samplegen writes itself.
rm -rf "$root/build/sample-machine-win10"
build/native/tools/samplegen/samplegen samples/description-win10.txt "$root/build/sample-machine-win10"

host=(build/native/tools/wfxhost/wfxhost --machine "$machine" --plugin-resources "$wfx64")
step "wfxhost: the root of the plugin"
"${host[@]}" ls '\'
step "wfxhost: the newest records of the System log, with their columns"
"${host[@]}" ls '\System' --limit 12 --columns
step "wfxhost: the icon of each of them"
"${host[@]}" icons '\System' | sed -n '1,12p'
record=$("${host[@]}" ls '\System' --limit 1 | sed -n 's/.*\(\[[0-9]*\] .*\)$/\1/p')
step "wfxhost: the text of ${record}"
"${host[@]}" cat "\\System\\${record}"
step "wfxhost: the record viewer on ${record}"
"${host[@]}" open "\\System\\${record}"
step "wfxhost: the properties of the System log"
"${host[@]}" properties '\System'

step "Installable archive"
mkdir -p dist
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$wfx" "$wfx64" resources/package/pluginst.inf "$stage/"
cp resources/package/readme.txt "$stage/readme.txt"
archive=$root/dist/Quillerbankton-$version.zip
rm -f "$archive"
(cd "$stage" && zip -q -X "$archive" Quillerbankton.wfx Quillerbankton.wfx64 pluginst.inf readme.txt)
unzip -l "$archive"
echo "Built: $archive"
