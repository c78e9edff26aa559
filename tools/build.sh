#!/usr/bin/env bash
# Configures and builds the trees: build/native (Linux) and build/win (i686
# MinGW-w64, the shipped stub); with --win64 also build/win64 (x86_64
# MinGW-w64, the same sources for running the Windows tests under a 64-bit
# Wine). Called by tools/test.sh and tools/demo.sh.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=${LUM_JOBS:-$(nproc)}
win64=0
if [ "${1:-}" = --win64 ]; then win64=1; fi
cmake -S "$top" -B "$top/build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$top/build/native" -j "$jobs"
cmake -S "$top" -B "$top/build/win" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" \
  -DLUM_NATIVE_BUILD_DIR="$top/build/native" >/dev/null
cmake --build "$top/build/win" -j "$jobs"
if [ "$win64" = 1 ]; then
  cmake -S "$top" -B "$top/build/win64" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-x86_64.cmake" \
    -DLUM_NATIVE_BUILD_DIR="$top/build/native" >/dev/null
  cmake --build "$top/build/win64" -j "$jobs"
fi
