#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the trees, then the
# native unit tests and, under Wine, the Windows tests and the end-to-end
# scenarios. Extra arguments go to every ctest run (e.g. -L unit).
#
# The Windows tests run in the 32-bit tree (build/win, the shipped stub) when
# this machine can execute 32-bit programs. Where the kernel cannot (no IA32
# emulation), the 32-bit Wine cannot start: the 32-bit tree is still built,
# and the same tests run in the 64-bit tree (build/win64) under a 64-bit Wine.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/tools/bootstrap.sh" || exit 1

# Why 32-bit programs cannot run here, or nothing when they can: the 32-bit
# dynamic loader (installed with wine32:i386) is itself a 32-bit program.
i386_blocker() {
  local loader=/lib/ld-linux.so.2 out rc=0
  if [ ! -e "$loader" ]; then
    echo "there is no 32-bit C library ($loader is missing)"
    return
  fi
  out=$("$loader" --version 2>&1 </dev/null) || rc=$?
  if [ "$rc" = 0 ]; then return; fi
  if [ "$rc" = 126 ] || grep -qi 'exec format error' <<<"$out"; then
    echo "this kernel cannot execute 32-bit programs ($loader: Exec format error)"
  else
    echo "the 32-bit loader $loader fails (status $rc)"
  fi
}
blocker=$(i386_blocker)

if [ -z "$blocker" ]; then
  bash "$top/tools/build.sh" || exit 1
else
  bash "$top/tools/build.sh" --win64 || exit 1
fi
status=0
ctest --test-dir "$top/build/native" --output-on-failure -j 2 "$@" || status=1
if [ -z "$blocker" ]; then
  ctest --test-dir "$top/build/win" --output-on-failure "$@" || status=1
else
  echo "32-bit Windows tests not run: $blocker; running them in the 64-bit tree build/win64 instead"
  ctest --test-dir "$top/build/win64" --output-on-failure -E '^stub_image_' "$@" || status=1
  # The shipped stub's own checks (size budget, header, protections) read the
  # 32-bit file and need no Wine.
  ctest --test-dir "$top/build/win" --output-on-failure -R '^stub_image_' "$@" || status=1
fi
exit $status
