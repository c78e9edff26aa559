#!/usr/bin/env bash
# The main job: builds everything and runs the stub under Wine, showing the
# trace it writes to the debug channel.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/tools/bootstrap.sh"
bash "$top/tools/build.sh" >/dev/null
win="$top/build/win"
. "$top/tests/kit/wineenv.sh"
lum_prepare "$win" >/dev/null
trap 'wine "$win/tracecat.exe" --stop >/dev/null 2>&1; lum_cleanup "$win"' EXIT
trace="$win/demo-trace.txt"
rm -f "$trace" "$trace.pieces"
wine "$win/tracecat.exe" "$(winepath -w "$trace")" >/dev/null 2>&1 &
for _ in $(seq 1 100); do [ -f "$trace" ] && break; sleep 0.1; done
set +e
wine "$win/stub.exe" /demo >/dev/null 2>&1
code=$?
set -e
wine "$win/tracecat.exe" --stop >/dev/null 2>&1
sleep 0.3
echo "stub.exe: $(stat -c %s "$win/stub.exe") bytes, exit code $code"
echo "--- trace ---"
tr -d '\r' <"$trace"
