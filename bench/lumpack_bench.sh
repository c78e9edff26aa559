#!/usr/bin/env bash
# lumpack create on a generated payload: throughput in MB/s of input and the
# compression ratio. A figure to compare, never a pass/fail test.
#   bench/lumpack_bench.sh [MB] [LUMPACK]
# The payload mixes what setups carry: text (compresses well), program-like
# bytes (somewhat) and random data (not at all, stored).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
mb=${1:-64}
lumpack=${2:-${LUMPACK:-$top/build/native/tools/lumpack/lumpack}}
[ -x "$lumpack" ] || { echo "no lumpack at $lumpack (build the native tree first)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/payload"

python3 - "$work" "$mb" <<'PY'
import os, random, sys
work, mb = sys.argv[1], int(sys.argv[2])
total = mb * 1024 * 1024
rng = random.Random(1)
b = bytearray(300); b[0:2] = b"MZ"; b[256:260] = b"PE\0\0"
b += bytes(60000 - len(b))
open(os.path.join(work, "stub.exe"), "wb").write(b)
words = [w.encode() for w in "install setup file folder version update launcher package entry volume data the of and to".split()]
def text(n):
    out = bytearray()
    while len(out) < n:
        out += b" ".join(rng.choice(words) for _ in range(12)) + b"\r\n"
    return bytes(out[:n])
def code(n):  # short repeats with noise, like machine code and tables
    out = bytearray()
    while len(out) < n:
        chunk = rng.randbytes(rng.randint(4, 24))
        out += chunk * rng.randint(1, 4)
    return bytes(out[:n])
parts = [("text", text, 0.4), ("code", code, 0.4), ("random", rng.randbytes, 0.2)]
with open(os.path.join(work, "bench.ini"), "w") as ini:
    ini.write("[Package]\nStub = stub.exe\n[Files]\n")
    for kind, make, share in parts:
        size = int(total * share)
        files = 4
        for i in range(files):
            name = f"{kind}{i}.bin"
            with open(os.path.join(work, "payload", name), "wb") as f:
                left = size // files
                while left:
                    n = min(left, 1 << 20)
                    f.write(make(n)); left -= n
            ini.write(f"{name} = payload/{name}\n")
PY

input=$(du -cb "$work"/payload/* | tail -1 | cut -f1)
start=$(date +%s.%N)
"$lumpack" create "$work/bench.ini" -o "$work/bench.exe" >/dev/null
end=$(date +%s.%N)
output=$(( $(stat -c %s "$work/bench.exe") - 60000 ))
python3 - "$input" "$output" "$start" "$end" <<'PY'
import sys
inp, out, t0, t1 = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4])
secs = t1 - t0
print(f"lumpack create: {inp / 1048576:.1f} MB in {secs:.2f} s = {inp / 1048576 / secs:.1f} MB/s of input")
print(f"package (without stub): {out / 1048576:.1f} MB, compression ratio {inp / out:.2f} : 1 ({100.0 * out / inp:.1f} % of input)")
PY
