#!/usr/bin/env bash
# The Wine environment of the Windows tests and the demo.
#   wineenv.sh prepare BUILD   make the private prefix (once), start Xvfb when
#                              there is no display, warm up the wineserver
#   wineenv.sh cleanup BUILD   stop the wineserver and our Xvfb
#   source wineenv.sh; lum_wine_env BUILD   export the variables only
# The tree's Wine architecture comes from BUILD/wine-arch (written by CMake):
# win32 for the 32-bit tree, win64 for the 64-bit one. LUM_WINE is the
# launcher that runs a Windows program of that tree.
set -u

# The 64-bit Wine loader. Debian's /usr/bin/wine takes the 32-bit loader
# whenever wine32 is installed, even where the kernel cannot run it, so the
# 64-bit tree names its loader directly.
lum_wine64_loader() {
  local l
  for l in /usr/lib/wine/wine64 /usr/lib64/wine/wine64 "$(command -v wine64 2>/dev/null)"; do
    if [ -n "$l" ] && [ -x "$l" ]; then echo "$l"; return 0; fi
  done
  echo wine64
}

lum_wine_env() {
  local build arch=win32
  build=$(cd "$1" && pwd)
  export LUM_BUILD_DIR="$build"
  export WINEPREFIX="$build/wineprefix"
  if [ -f "$build/wine-arch" ] && [ "$(tr -d ' \n' <"$build/wine-arch")" = win64 ]; then arch=win64; fi
  export WINEARCH=$arch
  if [ "$arch" = win64 ]; then
    LUM_WINE=$(lum_wine64_loader)
    # New processes are started through the same loader.
    export WINELOADER="$LUM_WINE"
  else
    LUM_WINE=wine
  fi
  export LUM_WINE
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  # WinINet honours the proxy variables; tests talk to loopback only.
  unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY
  export no_proxy="127.0.0.1,localhost"
  if [ -z "${DISPLAY:-}" ] && [ -f "$build/xvfb.display" ]; then
    export DISPLAY=":$(cat "$build/xvfb.display")"
  fi
}

lum_start_xvfb() {
  local build=$1
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  if [ -f "$build/xvfb.pid" ] && kill -0 "$(cat "$build/xvfb.pid")" 2>/dev/null; then
    export DISPLAY=":$(cat "$build/xvfb.display")"
    return 0
  fi
  rm -f "$build/xvfb.display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$build/xvfb.display" \
    >"$build/xvfb.log" 2>&1 </dev/null &
  echo $! >"$build/xvfb.pid"
  local i
  for i in $(seq 1 100); do
    [ -s "$build/xvfb.display" ] && break
    sleep 0.1
  done
  [ -s "$build/xvfb.display" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$(tr -d '\n' <"$build/xvfb.display")"
  echo "${DISPLAY#:}" >"$build/xvfb.display"
}

lum_make_prefix() {
  local build=$1
  mkdir -p "$build"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.lum-ready" ]; then
      rm -rf "$WINEPREFIX"
      # Output to a file, never a pipe: the wineserver this starts would keep
      # a pipe open and make the caller wait. A prefix that Wine could not
      # make or write to is never marked ready.
      "$LUM_WINE" wineboot -i >"$build/wineboot.log" 2>&1 &&
        "$LUM_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
          >>"$build/wineboot.log" 2>&1
      status=$?
      wineserver -w
      if [ "$status" != 0 ]; then
        echo "Wine could not make the prefix $WINEPREFIX with $LUM_WINE (status $status):" >&2
        tail -n 5 "$build/wineboot.log" >&2
        exit 1
      fi
      touch "$WINEPREFIX/.lum-ready"
    fi
  ) 9>"$build/wineprefix.lock"
}

lum_prepare() {
  local build=$1
  lum_wine_env "$build"
  lum_start_xvfb "$build" || return 1
  lum_make_prefix "$build" || return 1
  # Warm the server up with its output away from any pipe. A server that is
  # already running (from a run moments ago) makes it fail, which is fine.
  wineserver -p 30 >/dev/null 2>&1 </dev/null || true
  # Wine must really start a program: a loader that cannot run (a 32-bit one
  # on a kernel without 32-bit support exits 126) fails the preparation.
  local status=0
  "$LUM_WINE" cmd /c exit >/dev/null 2>&1 </dev/null || status=$?
  if [ "$status" != 0 ]; then
    echo "Wine cannot start a program: '$LUM_WINE cmd /c exit' exited $status ($WINEARCH prefix $WINEPREFIX)" >&2
    return 1
  fi
  echo "prefix: $WINEPREFIX ($WINEARCH, $LUM_WINE) display: $DISPLAY"
}

lum_cleanup() {
  local build=$1
  lum_wine_env "$build"
  wineserver -k >/dev/null 2>&1 || true
  if [ -f "$build/xvfb.pid" ]; then
    kill "$(cat "$build/xvfb.pid")" 2>/dev/null || true
    rm -f "$build/xvfb.pid" "$build/xvfb.display"
  fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  case "${1:-}" in
    prepare) lum_prepare "$2" ;;
    cleanup) lum_cleanup "$2" ;;
    *) echo "usage: $0 prepare|cleanup BUILD" >&2; exit 2 ;;
  esac
fi
