#!/usr/bin/env bash
# Installs every Debian package that the builds and all tests need.
# Idempotent: a machine that already has them only pays for the checks.
# Both Wines: the 32-bit one (wine32:i386) runs the 32-bit Windows tree where
# the kernel can execute 32-bit programs, the 64-bit one (wine64, with the
# x86_64 MinGW-w64 compiler) runs the 64-bit tree where it cannot.
set -euo pipefail

packages=(
  cmake g++ make googletest zlib1g-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-tools libz-mingw-w64-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine32:i386 wine64
  xvfb x11-utils x11-apps xdotool imagemagick
  python3 osslsigncode clang locales
  libgnutls30:i386 openssl libssl-dev curl nsis
)

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi

missing() {
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_update=1
fi

todo=$(missing)
if [ -n "$todo" ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  # shellcheck disable=SC2086
  $SUDO apt-get install -y -qq --no-install-recommends $todo
fi
