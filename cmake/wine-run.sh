#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's private prefix, with
# the Chinese locale so that the ANSI code page is 936 (TARN_WINE_LOCALE
# names another, for the tests that the code page must not matter to).
set -u
build=${TARN_BUILD_DIR:-}
if [ -z "$build" ]; then
  # The program lives somewhere under the build tree; its cache marks the top.
  d=$(cd "$(dirname "$1")" && pwd)
  while [ "$d" != / ] && [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done
  build=$d
fi
export WINEPREFIX="$build/wineprefix"
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=${TARN_WINE_LOCALE:-zh_CN.UTF-8}
exec wine "$@"
