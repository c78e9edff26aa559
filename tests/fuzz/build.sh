#!/usr/bin/env bash
# Builds the package fuzzers (clang, libFuzzer, ASan + UBSan) into OUT
# (default build/fuzz): pack_fuzz (package reader and entry decoder) and
# extract_fuzz (the whole extraction loop). Not part of the default build.
# Prints the path of the one named by FUZZ_TARGET (default pack_fuzz).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:-$top/build/fuzz}
mkdir -p "$out"
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I"$top/src")
core=(
  "$top"/src/package/{PackX,PackXScramble,PackXCluster,PackFile,PackEntry,ZLibOpen}.cpp
  "$top"/src/sys/{LSUB,Utils,UtilsScramble}.cpp
)
clang++ "${flags[@]}" "$top/tests/fuzz/PackFuzz.cpp" "${core[@]}" -lz -o "$out/pack_fuzz"
clang++ "${flags[@]}" "$top/tests/fuzz/ExtractFuzz.cpp" "${core[@]}" \
  "$top"/src/package/UnPack.cpp "$top"/src/sys/{Files,LWriteln,UrlMask}.cpp "$top"/src/ui/LProgBar.cpp \
  -lz -o "$out/extract_fuzz"
echo "$out/${FUZZ_TARGET:-pack_fuzz}"
