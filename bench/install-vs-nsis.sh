#!/usr/bin/env bash
# install-vs-nsis.sh [--size MB]: installs the benchmark corpus under Wine
# through the real installer (the test driver clicking through the wizard,
# on Xvfb) and, in the same run, through an NSIS installer of the same tree
# in silent mode. Reports the install page's time (Next on the path page to
# the finish page) against the NSIS silent install's wall time, and the
# installer's peak memory against twice the largest file plus 64 MB.
# Goals (reported, not asserted): that time at most NSIS's; that memory
# within the limit.
set -euo pipefail
size=100
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size=$2; shift 2 ;;
    --size=*) size=${1#--size=}; shift ;;
    *) echo "usage: install-vs-nsis.sh [--size MB]" >&2; exit 2 ;;
  esac
done
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/bench/out
. "$root/bench/common.sh"

echo "== win32 build (the shell and the driver)"
BUILD_ROOT=$build bash "$root/scripts/build.sh" win32 >"$out/build-win32.log" 2>&1 ||
  { tail -n 30 "$out/build-win32.log"; exit 1; }
win32=$build/win32
shell=$win32/src/TarnSetupShell.exe
driver=$win32/tests/e2e_driver.exe

echo "== installers"
"$tarnmake" build "$corpus/setup.ini" --ui "$corpus/ui.ini" --shell "$shell" -o "$out/tarn-setup.exe" \
  >"$out/tarn-build.log" 2>&1
nsis_silent_installer "$out/nsis-setup.exe"

export WINEPREFIX=$win32/wineprefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=zh_CN.UTF-8
bash "$root/tests/wine-prefix.sh" boot "$win32"
n=90
while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:$n
finish() {
  wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$WINEPREFIX/drive_c/bench-nsis" "$WINEPREFIX/drive_c/bench-tarn"
}
trap finish EXIT
sleep 1
d() { wine "$driver" "$@"; }
rm -rf "$WINEPREFIX/drive_c/bench-nsis" "$WINEPREFIX/drive_c/bench-tarn"
mkdir -p "$WINEPREFIX/drive_c/bench-tarn"
# Both read their installer from a warm page cache.
cat "$out/tarn-setup.exe" "$out/nsis-setup.exe" > /dev/null

echo "== NSIS silent install"
timed nsis wine "$out/nsis-setup.exe" /S

echo "== Tarn Setup through the wizard"
/usr/bin/time -v -o "$out/tarn.tv" wine "$out/tarn-setup.exe" >"$out/tarn.log" 2>&1 &
setup=$!
d wait "欢迎" 120000
d click "欢迎" 12324
d wait "软件许可证协议"
d click "软件许可证协议" 1019
sleep 0.3
d click "软件许可证协议" 12324
d wait "选择安装路径"
d settext "选择安装路径" 1003 'C:\bench-tarn'
ms=$(d clickwait "选择安装路径" 12324 "完成安装" 1200000 | tr -d '\r')
echo "$ms" | awk '{ print $1 / 1000 }' > "$out/tarn.time"
d click "完成安装" 12325
wait "$setup"
awk -F': ' '/Maximum resident set size/ { print $2 }' "$out/tarn.tv" > "$out/tarn.rss"

check_tree() {  # both installs hold the corpus
  local a b
  a=$(cd "$corpus/files" && find . -type f | wc -l)
  b=$(cd "$1" && find . -type f ! -name Unistall.tsu | wc -l)
  [ "$a" = "$b" ] || echo "warning: $1 holds $b files, the corpus $a"
}
check_tree "$WINEPREFIX/drive_c/bench-nsis"
check_tree "$WINEPREFIX/drive_c/bench-tarn"

largest=$(find "$corpus/files" -type f -printf '%s\n' | sort -n | tail -1)
python3 - "$out" "$largest" "$size" "$(nproc)" <<'PY'
import sys
out, largest, size, cores = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
val = lambda n, ext: float(open("%s/%s.%s" % (out, n, ext)).read().strip())
tt, tn = val("tarn", "time"), val("nsis", "time")
rss = val("tarn", "rss")
limit = (2 * largest + (64 << 20)) / 1024
print()
print("corpus %s MB, largest file %.1f MB, %s cores, under Wine" % (size, largest / 2**20, cores))
print("install  Tarn Setup install page %6.2f s   NSIS silent %6.2f s   tarn/nsis %.2f  (goal <= 1)"
      % (tt, tn, tt / tn))
print("memory   Tarn Setup peak %7.1f MB   NSIS peak %7.1f MB   limit %.1f MB  (%s)"
      % (rss / 1024, val("nsis", "rss") / 1024, limit / 1024, "within" if rss <= limit else "OVER"))
PY
