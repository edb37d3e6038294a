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

# Wine takes the ANSI code page from the locale: zh_CN gives 936, en_US 1252,
# ja_JP 932, pl_PL 1250; the end-to-end tests run in each.
LOCALES=(zh_CN.UTF-8 en_US.UTF-8 ja_JP.UTF-8 pl_PL.UTF-8)
locale_ok=1
for l in "${LOCALES[@]}"; do
  locale -a 2>/dev/null | grep -qix "${l%.UTF-8}.utf8" || locale_ok=0
done

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
  # A mirror in mid-sync fails one list now and then: try again, then go on
  # with the lists there are; only a package that cannot be had is fatal.
  for try in 1 2 3; do
    $SUDO apt-get update -qq && break
    echo "deps: apt-get update failed (try $try of 3)" >&2
    [ "$try" -lt 3 ] && sleep 10
  done
  install() { $SUDO apt-get install -y -qq --no-install-recommends "$@" "${missing[@]}"; }
  if ! install; then
    # A list that failed (say the i386 one of the security suite) leaves the
    # two halves of a multi-arch package at different versions; the
    # release's own lists are whole for every architecture.
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    echo "deps: retrying from the release's own lists (-t $codename)" >&2
    if [ -z "$codename" ] || ! install -t "$codename"; then
      echo "deps: could not install: ${missing[*]} (see apt-get's message above)" >&2
      exit 1
    fi
  fi
fi
if [ "$locale_ok" -eq 0 ]; then
  for l in "${LOCALES[@]}"; do
    if ! grep -q "^$l UTF-8" /etc/locale.gen 2>/dev/null; then
      echo "$l UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    fi
  done
  $SUDO locale-gen >/dev/null
fi
echo "deps: done"
