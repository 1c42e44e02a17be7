#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine, skipping what is there:
# CMake and Ninja, GCC and Clang (libFuzzer, sanitizers), MinGW-w64 for both targets,
# GoogleTest, Google Benchmark, Wine (64-bit, and 32-bit through the i386 architecture), Xvfb,
# Python 3 and zip.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang clang-format libclang-rt-14-dev git libicu-dev
  googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine64 wine32:i386 xvfb xauth python3 zip
)

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  sudo=(sudo)
fi
# 32-bit Windows programs run under Wine's i386 build.
added_i386=false
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
  added_i386=true
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [[ ${#missing[@]} -eq 0 && $added_i386 == false ]]; then
  exit 0
fi

echo "setup-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq "${missing[@]}"
