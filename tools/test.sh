#!/usr/bin/env bash
# Runs every test: installs what is missing, builds both trees, then the
# native unit tests and, under Wine, the Windows tests and the end-to-end
# scenarios. Extra arguments go to both ctest runs (e.g. -L unit).
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/tools/bootstrap.sh" || exit 1
bash "$top/tools/build.sh" || exit 1
status=0
ctest --test-dir "$top/build/native" --output-on-failure -j 2 "$@" || status=1
ctest --test-dir "$top/build/win" --output-on-failure "$@" || status=1
exit $status
