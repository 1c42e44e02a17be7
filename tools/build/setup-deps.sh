#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine, skipping what is there:
# CMake and Ninja, GCC and Clang (libFuzzer, sanitizers), MinGW-w64 for both targets,
# GoogleTest, Google Benchmark, Wine (64-bit, and 32-bit through the i386 architecture), Xvfb,
# Python 3 and zip, and the independent readers the tests compare with (evtxexport, evtexport,
# the hivex tools). tools/build/apt-install.sh does the installing (a mirror mid-sync included).
set -euo pipefail
cd "$(dirname "$0")/../.."

packages=(
  cmake ninja-build g++ clang clang-format libclang-rt-14-dev git libicu-dev
  googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine64 wine32:i386 xvfb xauth python3 zip
  libevtx-utils libevt-utils libwin-hivex-perl libhivex-bin
)

# 32-bit Windows programs run under Wine's i386 build.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  if [[ $(id -u) -ne 0 ]]; then sudo dpkg --add-architecture i386; else dpkg --add-architecture i386; fi
fi
exec tools/build/apt-install.sh "${packages[@]}"
