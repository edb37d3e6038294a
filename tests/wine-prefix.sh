#!/usr/bin/env bash
# boot BUILD [LOCALE]: make (once) and start the build tree's Wine prefix
# for that locale (default zh_CN.UTF-8), its server and services detached
# from our output, so that ctest does not wait on them. stop BUILD [LOCALE]:
# stop that prefix's server, and no other. path BUILD [LOCALE]: the prefix.
# The locale sets Wine's ANSI code page; each locale has its own prefix, so
# that locales run side by side (zh_CN's is the plain "wineprefix").
set -u
action=$1 build=$2 locale=${3:-zh_CN.UTF-8}
lang=${locale%%.*}
prefix=$(readlink -m "$build")/wineprefix
[ "$lang" = zh_CN ] || prefix=$prefix-$lang
if [ "$action" = path ]; then echo "$prefix"; exit 0; fi
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=$locale
case "$action" in
  boot)
    # Wine links the profile's Desktop, Documents... to $HOME, as a stock
    # Wine has them and as Windows users move profile folders: kept so, with
    # a home of the build tree's own, so that the tests' files stay in it.
    export HOME=$prefix-home
    mkdir -p "$HOME"
    wineserver -p 120 </dev/null >/dev/null 2>&1
    wineboot -i </dev/null >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 1; }
    # The dialogs ask for "宋体" (SimSun), which Wine does not ship: draw
    # it with the WenQuanYi font the machine has.
    for face in "宋体" SimSun "新宋体" NSimSun; do
      wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ \
        /d "WenQuanYi Micro Hei" /f </dev/null >/dev/null 2>&1
    done
    ;;
  stop)
    wineserver -k </dev/null >/dev/null 2>&1 || true ;;
esac
exit 0
