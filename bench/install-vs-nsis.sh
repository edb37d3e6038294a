#!/usr/bin/env bash
# install-vs-nsis.sh [--size MB] [--corpus synthetic|python|include|all] [--rounds N]:
# installs the benchmark corpus under Wine through the real installer (the
# test driver clicking through the wizard, on Xvfb) and through an NSIS
# installer of the same tree in silent mode, taking turns for N rounds
# (default 5), each into an emptied folder of one prefix. Reports the median
# of the per-round ratios of the install page's time (Next on the path page
# to the finish page) to the NSIS silent install's wall time, with min and
# max, and the installer's peak memory against twice the largest file plus
# 64 MB. Goals (reported, not asserted): the ratio at most 1; memory within
# the limit.
set -euo pipefail
args=("$@")
size=100 rounds=5
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size=$2; shift 2 ;;
    --size=*) size=${1#--size=}; shift ;;
    --corpus) corpus_kind=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    *) echo "usage: install-vs-nsis.sh [--size MB] [--corpus synthetic|python|include|all] [--rounds N]" >&2; exit 2 ;;
  esac
done
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/bench/out/wizard
. "$root/bench/common.sh"

echo "== win32 builds (the shipped shell, and the test driver)"
BUILD_ROOT=$build bash "$root/scripts/build.sh" win32 win32-release >"$out/build-win32.log" 2>&1 ||
  { tail -n 30 "$out/build-win32.log"; exit 1; }
win32=$build/win32
shell=$build/win32-release/src/TarnSetupShell.exe
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
# Both read their installer from a warm page cache.
cat "$out/tarn-setup.exe" "$out/nsis-setup.exe" > /dev/null
rm -f "$out/tarn.times" "$out/nsis.times" "$out/tarn.rsss"
# Each round installs into emptied folders.
fresh() {
  rm -rf "$WINEPREFIX/drive_c/bench-nsis" "$WINEPREFIX/drive_c/bench-tarn"
  mkdir -p "$WINEPREFIX/drive_c/bench-tarn"
}
wizard_install() {
  /usr/bin/time -v -o "$out/tarn.tv" wine "$out/tarn-setup.exe" >"$out/tarn.log" 2>&1 &
  local setup=$! ms
  d wait "欢迎" 120000
  d click "欢迎" 12324
  d wait "软件许可证协议"
  d click "软件许可证协议" 1019
  sleep 0.3
  d click "软件许可证协议" 12324
  d wait "选择安装路径"
  d settext "选择安装路径" 1003 'C:\bench-tarn'
  ms=$(d clickwait "选择安装路径" 12324 "完成安装" 1200000 | tr -d '\r')
  echo "$ms" | awk '{ print $1 / 1000 }' >> "$out/tarn.times"
  d click "完成安装" 12325
  wait "$setup"
  awk -F': ' '/Maximum resident set size/ { print $2 }' "$out/tarn.tv" >> "$out/tarn.rsss"
}
echo "== $rounds rounds, alternating"
for r in $(seq "$rounds"); do
  fresh
  timed nsis wine "$out/nsis-setup.exe" /S
  cat "$out/nsis.time" >> "$out/nsis.times"
  wizard_install
  echo "round $r: install page $(tail -1 "$out/tarn.times") s, NSIS /S $(tail -1 "$out/nsis.times") s"
done

check_tree() {  # both installs hold the corpus
  local a b
  a=$(cd "$corpus/files" && find . -type f | wc -l)
  b=$(cd "$1" && find . -type f ! -path ./Unistall.tsu ! -path ./uninst.exe | wc -l)
  [ "$a" = "$b" ] || echo "warning: $1 holds $b files, the corpus $a"
}
check_tree "$WINEPREFIX/drive_c/bench-nsis"
check_tree "$WINEPREFIX/drive_c/bench-tarn"

largest=$(find "$corpus/files" -type f -printf '%s\n' | sort -n | tail -1)
python3 - "$out" "$largest" "$corpus_kind" "$size" "$(nproc)" <<'PY'
import statistics, sys
out, largest, kind, size, cores = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5]
nums = lambda n: [float(x) for x in open("%s/%s" % (out, n)) if x.strip()]
t, n = nums("tarn.times"), nums("nsis.times")
r = [a / b for a, b in zip(t, n)]
rss = max(nums("tarn.rsss"))
limit = (2 * largest + (64 << 20)) / 1024
print()
print("corpus %s, largest file %.1f MB, %s cores, under Wine, %d rounds"
      % ("synthetic %s MB" % size if kind == "synthetic" else kind, largest / 2**20, cores, len(r)))
print("install  Tarn Setup install page median %.2f s   NSIS /S median %.2f s"
      % (statistics.median(t), statistics.median(n)))
print("tarn/nsis per round: median %.2f  min %.2f  max %.2f  (goal <= 1)"
      % (statistics.median(r), min(r), max(r)))
print("memory   Tarn Setup peak %.1f MB   limit %.1f MB  (%s)"
      % (rss / 1024, limit / 1024, "within" if rss <= limit else "OVER"))
PY
