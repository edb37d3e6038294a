#!/usr/bin/env bash
# Brings a Debian machine to the state the builds and tests need.
# Idempotent: does nothing when everything is already there. Runs as root.
set -euo pipefail

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then SUDO=sudo; else
      echo "deps: run as root (or install sudo)" >&2; exit 1; fi
  else SUDO=; fi
}

PKGS=(
  build-essential cmake ninja-build pkg-config
  g++-mingw-w64-i686 binutils-mingw-w64-i686 gcc-mingw-w64-i686
  zlib1g-dev libz-mingw-w64-dev libdeflate-dev
  wine wine32:i386 xvfb x11-utils xdotool imagemagick
  googletest libgtest-dev libgmock-dev libcli11-dev
  clang libclang-rt-14-dev
  locales zip unzip time python3 ccache
  liblnk-utils nsis fonts-wqy-microhei
  osslsigncode openssl
)

missing=()
arch_ok=1
dpkg --print-foreign-architectures | grep -qx i386 || arch_ok=0
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

locale_ok=1
locale -a 2>/dev/null | grep -qix 'zh_CN.utf8' || locale_ok=0

if [ "${#missing[@]}" -eq 0 ] && [ "$arch_ok" -eq 1 ] && [ "$locale_ok" -eq 1 ]; then
  echo "deps: all present"
  exit 0
fi

need_root
export DEBIAN_FRONTEND=noninteractive
if [ "$arch_ok" -eq 0 ]; then
  $SUDO dpkg --add-architecture i386
fi
if [ "${#missing[@]}" -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ "$locale_ok" -eq 0 ]; then
  # Wine takes the ANSI code page from the locale: zh_CN gives 936.
  if ! grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'zh_CN.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen zh_CN.UTF-8 >/dev/null
fi
echo "deps: done"
