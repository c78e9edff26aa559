#!/usr/bin/env bash
# Configures and builds both trees: build/native (Linux) and build/win
# (i686 MinGW-w64). Called by tools/test.sh and tools/demo.sh.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=${LUM_JOBS:-$(nproc)}
cmake -S "$top" -B "$top/build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$top/build/native" -j "$jobs"
cmake -S "$top" -B "$top/build/win" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" \
  -DLUM_NATIVE_BUILD_DIR="$top/build/native" >/dev/null
cmake --build "$top/build/win" -j "$jobs"
