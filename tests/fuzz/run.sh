#!/usr/bin/env bash
# Runs a package fuzzer for SECONDS (default 300) on a corpus seeded with
# packages that lumpack builds: one volume with a stub, the volumes of a
# split package, and a package with three header blocks. FUZZ_TARGET picks
# the fuzzer: pack_fuzz (default; inputs up to 8 KB) or extract_fuzz (the
# extraction loop; inputs up to 64 KB, its seeds with entries of several
# reads and inflate rounds).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-300}
work=${LUM_FUZZ_DIR:-$top/build/fuzz}
target=${FUZZ_TARGET:-pack_fuzz}
# FUZZER: a binary built before (tests/fuzz/build.sh), to skip the build.
fuzzer=${FUZZER:-$(FUZZ_TARGET=$target bash "$top/tests/fuzz/build.sh" "$work")}
max_len=8192
[ "$target" = extract_fuzz ] && max_len=65536
lumpack=${LUMPACK:-$top/build/native/tools/lumpack/lumpack}
corpus=$work/corpus-$target
mkdir -p "$corpus" "$work/seeds" "$work/artifacts"

if [ -x "$lumpack" ]; then
  s=$work/seeds
  python3 - "$s/stub.exe" <<'PY'
import sys
b = bytearray(300); b[0:2] = b"MZ"; b[256:260] = b"PE\0\0"
open(sys.argv[1], "wb").write(b)
PY
  printf 'hello, package\n' >"$s/a.txt"; seq 1 1000 >"$s/n.txt"; head -c 200 /dev/urandom >"$s/r.bin"; : >"$s/e.dat"
  seq 1 6000 >"$s/big.txt"; head -c 12000 /dev/urandom >"$s/big.bin"
  cat >"$s/p.ini" <<'INI'
[Package]
Stub = stub.exe
[Settings]
UpdateInfo = http://u/info.ini
IdentityToken = fuzz-token
[Internet]
IdentityToken = fuzz-token
[Language.English]
s0 = Fuzz
[Launch]
File = a.txt
Arguments = /x
[Files]
a.txt = a.txt
n.txt = n.txt
r.bin = r.bin
e.dat = e.dat
INI
  if [ "$target" = extract_fuzz ]; then
    # Entries past one read and one inflate round, and a folder with a file.
    printf 'big.txt = big.txt\nbig.bin = big.bin\nsub\\ =\nsub\\in.txt = a.txt\n' >>"$s/p.ini"
  fi
  "$lumpack" create "$s/p.ini" -o "$corpus/seed-one.exe" >/dev/null
  sed -e 's/^Stub = stub.exe/Stub = stub.exe\nVolumeSize = 1600/' -e '/^\[Internet\]/,/^IdentityToken/d' "$s/p.ini" >"$s/v.ini"
  "$lumpack" create "$s/v.ini" -o "$s/vol.exe" >/dev/null
  cp "$s"/vol.exe* "$corpus/"
fi

"$fuzzer" "$corpus" -max_total_time="$seconds" -max_len="$max_len" -rss_limit_mb=2048 -timeout=10 \
  -artifact_prefix="$work/artifacts/" -print_final_stats=1
