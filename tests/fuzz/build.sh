#!/usr/bin/env bash
# Builds the package fuzzer (clang, libFuzzer, ASan + UBSan) into
# build/fuzz/pack_fuzz. Not part of the default build.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:-$top/build/fuzz}
mkdir -p "$out"
srcs=(
  "$top/tests/fuzz/PackFuzz.cpp"
  "$top"/src/package/{PackX,PackXScramble,PackXCluster,PackFile,PackEntry,ZLibOpen}.cpp
  "$top"/src/sys/{LSUB,Utils,UtilsScramble}.cpp
)
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$top/src" "${srcs[@]}" -lz -o "$out/pack_fuzz"
echo "$out/pack_fuzz"
