#!/usr/bin/env bash
# Configures and builds one configuration (native, win32, win32-release,
# fuzz, release) or native, win32 and fuzz, into build/<config> (or
# $BUILD_ROOT/<config>).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
build_one() {
  local cfg=$1 dir="${BUILD_ROOT:-$root/build}/$1"
  local args=(-G Ninja -S "$root" -B "$dir")
  # Several work trees and configurations share one compiler cache.
  if command -v ccache >/dev/null 2>&1; then
    args+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  case "$cfg" in
    native)  args+=(-DTARN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug) ;;
    win32)   args+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    # The programs as shipped: the shell and tarnmake.exe, small and stripped.
    win32-release) args+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=MinSizeRel
                          -DTARN_TESTS=OFF -DTARN_SHIP=ON -DTARN_MINGW_THREADS=win32) ;;
    fuzz)    args+=(-DTARN_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    release) args+=(-DTARN_TESTS=OFF -DCMAKE_BUILD_TYPE=Release) ;;
    *) echo "unknown configuration $cfg" >&2; exit 2 ;;
  esac
  # Configured every time, so that a build folder takes what this script now says.
  cmake "${args[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs"
}
if [ $# -eq 0 ]; then set -- native win32 fuzz; fi
for cfg in "$@"; do build_one "$cfg"; done
