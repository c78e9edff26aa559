#!/usr/bin/env bash
# The main job: builds everything, packs the demo package with lumpack and
# runs it under Wine (inside Xvfb when there is no display): the launcher
# extracts it and the sample engine installs it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/tools/bootstrap.sh"
bash "$top/tools/build.sh" >/dev/null
win="$top/build/win"
. "$top/tests/kit/wineenv.sh"
lum_prepare "$win" >/dev/null
trap 'lum_cleanup "$win"' EXIT
python3 "$top/tools/demo.py"
