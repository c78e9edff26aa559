#!/usr/bin/env bash
# The Wine environment of the Windows tests and the demo.
#   wineenv.sh prepare BUILD   make the private prefix (once), start Xvfb when
#                              there is no display, warm up the wineserver
#   wineenv.sh cleanup BUILD   stop the wineserver and our Xvfb
#   source wineenv.sh; lum_wine_env BUILD   export the variables only
set -u

lum_wine_env() {
  local build
  build=$(cd "$1" && pwd)
  export LUM_BUILD_DIR="$build"
  export WINEPREFIX="$build/wineprefix"
  export WINEARCH=win32
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
      # a pipe open and make the caller wait.
      wineboot -i >"$build/wineboot.log" 2>&1
      wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >>"$build/wineboot.log" 2>&1
      wineserver -w
      touch "$WINEPREFIX/.lum-ready"
    fi
  ) 9>"$build/wineprefix.lock"
}

lum_prepare() {
  local build=$1
  lum_wine_env "$build"
  lum_start_xvfb "$build" || return 1
  lum_make_prefix "$build"
  # Warm the server up with its output away from any pipe. A server that is
  # already running (from a run moments ago) makes it fail, which is fine.
  wineserver -p 30 >/dev/null 2>&1 </dev/null || true
  wine cmd /c exit >/dev/null 2>&1 </dev/null
  echo "prefix: $WINEPREFIX display: $DISPLAY"
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
