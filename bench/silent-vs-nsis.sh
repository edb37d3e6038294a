#!/usr/bin/env bash
# silent-vs-nsis.sh [--size MB] [--corpus synthetic|python|include|all] [--rounds N]: in one run, the shipped
# shell's size next to NSIS's fixed overhead (bench/shell-size.sh), then the
# benchmark corpus installed silently under Wine by the installer made with
# the shipped shell (/S /D=) and by an NSIS installer of the same tree (/S),
# each then uninstalled silently (the shell's "/S -U|key|log", NSIS's
# uninst.exe /S, which removes the folder whole), each into an emptied
# folder of one prefix; beside them, as a third side, the shipped
# tarnmake.exe installing the same corpus's package (tarnmake install). The
# three take turns for N rounds (default 5), in an order that rotates each
# round. Reports the median of the per-round
# ratios with min and max. Goals (reported, not asserted): tarn/nsis <= 1
# for the install and the uninstall, and tarnmake install no slower than
# either.
set -euo pipefail
args=("$@")
size=100 rounds=5
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --corpus) corpus_kind=$2; shift 2 ;;
    *) echo "usage: silent-vs-nsis.sh [--size MB] [--corpus synthetic|python|include|all] [--rounds N]" >&2; exit 2 ;;
  esac
done
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/bench/out/silent
. "$root/bench/common.sh"

bash "$root/bench/shell-size.sh"
shell=$build/win32-release/src/TarnSetupShell.exe
tarnmake_exe=$build/win32-release/tools/tarnmake/tarnmake.exe

echo "== installers of $(basename "$corpus")"
# The product's key is "bench", as the uninstall names it.
printf '[PRODUCTNAME]\r\nbench\r\n\r\n[TARGETDIR]\r\nC:\\bench-tarn\r\n\r\n[LICENCE]\r\nx\r\n' >"$out/ui.ini"
"$tarnmake" build "$corpus/setup.ini" --ui "$out/ui.ini" --shell "$shell" -o "$out/tarn-setup.exe" \
  >"$out/tarn-build.log" 2>&1 || { tail "$out/tarn-build.log"; exit 1; }
nsis_silent_installer "$out/nsis-setup.exe"
"$tarnmake" package "$corpus/setup.ini" -o "$out/tarn.tsp" >"$out/tarn-package.log" 2>&1 ||
  { tail "$out/tarn-package.log"; exit 1; }

prefix_build=$build/win32
mkdir -p "$prefix_build"
export WINEPREFIX=$prefix_build/wineprefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=zh_CN.UTF-8
bash "$root/tests/wine-prefix.sh" boot "$prefix_build"
finish() {
  rm -rf "$WINEPREFIX/drive_c/bench-nsis" "$WINEPREFIX/drive_c/bench-tarn" "$WINEPREFIX/drive_c/bench-tmk"
  wineserver -k >/dev/null 2>&1 || true
}
trap finish EXIT
win() { local p; p=$(readlink -f "$1"); echo "Z:${p//\//\\}"; }
# run NAME CMD...: the wall seconds of one silent install, appended to NAME.times
run() {
  local name=$1; shift
  rm -rf "$WINEPREFIX/drive_c/bench-$name"
  wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\bench' /f >/dev/null 2>&1 || true
  timed_run "$name" "$@"
}
# timed_run NAME CMD...: the wall seconds of CMD, appended to NAME.times.
# What the side before wrote or removed reaches the disk first, so that no
# side pays for another's (a removed tree costs the disk more than a write).
timed_run() {
  local name=$1; shift
  local t0 t1
  sync
  t0=$(date +%s.%N)
  "$@" >"$out/$name.log" 2>&1 || { tail "$out/$name.log"; echo "$name failed" >&2; exit 1; }
  t1=$(date +%s.%N)
  echo "$t0 $t1" | awk '{ print $2 - $1 }' >> "$out/$name.times"
}
rm -f "$out/tarn.times" "$out/nsis.times" "$out/tmk.times" "$out/tarn-u.times" "$out/nsis-u.times"
cat "$out/tarn-setup.exe" "$out/nsis-setup.exe" "$out/tarn.tsp" > /dev/null  # all from a warm page cache
check_tree() {  # an install holds the corpus
  local a b
  a=$(cd "$corpus/files" && find . -type f | wc -l)
  b=$(cd "$1" && find . -type f ! -path ./Unistall.tsu ! -path ./uninst.exe | wc -l)
  [ "$a" = "$b" ] || { echo "$1 holds $b files, the corpus $a" >&2; exit 1; }
}
gone() {  # an uninstall leaves nothing
  [ ! -e "$1" ] || { echo "$1 is still there after the uninstall" >&2; exit 1; }
}
# An intact copy of this version is kept: one an earlier build left would
# be the uninstaller timed.
rm -f "$WINEPREFIX/drive_c/windows/"tsu11*.exe
# Each side leaves the disk as it found it: its tree removed (by its own
# uninstall, or for tarnmake install by rm), so that each install follows a
# removal of the same size. The sides take turns in a rotating order: the
# side after another pays for what the disk still does for that one.
side_tarn() {
  run tarn wine "$(win "$out/tarn-setup.exe")" /S '/D=C:\bench-tarn'
  check_tree "$WINEPREFIX/drive_c/bench-tarn"
  # As a deployment tool would: the entry's own quiet command, the shell's
  # bare copy beside Windows.
  quiet=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\bench' \
    /v QuietUninstallString 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
  uninstaller=$(echo "$quiet" | sed -n 's/^"\([^"]*\)" \/S .*/\1/p')
  [ -n "$uninstaller" ] || { echo "no QuietUninstallString for bench: $quiet" >&2; exit 1; }
  command=${quiet#*\" /S }
  command=${command#\"}
  timed_run tarn-u wine "$uninstaller" /S "${command%\"}"
  gone "$WINEPREFIX/drive_c/bench-tarn"
}
side_nsis() {
  run nsis wine "$(win "$out/nsis-setup.exe")" /S
  check_tree "$WINEPREFIX/drive_c/bench-nsis"
  # _?= keeps the uninstaller from copying itself and returning at once.
  timed_run nsis-u wine 'C:\bench-nsis\uninst.exe' /S '_?=C:\bench-nsis'
  # It leaves its own uninst.exe and the folder behind when run in place.
  rm -rf "$WINEPREFIX/drive_c/bench-nsis"
}
side_tmk() {
  run tmk wine "$(win "$tarnmake_exe")" install "$(win "$out/tarn.tsp")" --target 'C:\bench-tmk' --name bench
  check_tree "$WINEPREFIX/drive_c/bench-tmk"
  rm -rf "$WINEPREFIX/drive_c/bench-tmk"
}
sides=(side_tarn side_nsis side_tmk)
echo "== $rounds rounds, taking turns in rotating order"
for r in $(seq "$rounds"); do
  for k in 0 1 2; do "${sides[$(( (r - 1 + k) % 3 ))]}"; done
  echo "round $r: install tarn $(tail -1 "$out/tarn.times") s, nsis $(tail -1 "$out/nsis.times") s," \
    "tarnmake install $(tail -1 "$out/tmk.times") s; uninstall tarn $(tail -1 "$out/tarn-u.times") s," \
    "nsis $(tail -1 "$out/nsis-u.times") s"
done
python3 - "$out" "$(basename "$corpus")" "$(nproc)" <<'PY'
import statistics, sys
out, size, cores = sys.argv[1:4]
t = [float(x) for x in open(out + "/tarn.times")]
n = [float(x) for x in open(out + "/nsis.times")]
r = [a / b for a, b in zip(t, n)]
print()
print("corpus %s, %s cores, under Wine, %d rounds" % (size, cores, len(r)))
print("silent install  Tarn Setup median %.2f s   NSIS /S median %.2f s" % (statistics.median(t), statistics.median(n)))
print("tarn/nsis per round: median %.2f  min %.2f  max %.2f  (goal <= 1)" % (statistics.median(r), min(r), max(r)))
k = [float(x) for x in open(out + "/tmk.times")]
rk = [a / b for a, b in zip(k, t)]
rn = [a / b for a, b in zip(k, n)]
print("tarnmake install median %.2f s: /shell per round median %.2f  min %.2f  max %.2f;"
      " /nsis median %.2f  min %.2f  max %.2f  (goal <= 1)"
      % (statistics.median(k), statistics.median(rk), min(rk), max(rk), statistics.median(rn), min(rn), max(rn)))
tu = [float(x) for x in open(out + "/tarn-u.times")]
nu = [float(x) for x in open(out + "/nsis-u.times")]
ru = [a / b for a, b in zip(tu, nu)]
print("silent uninstall  Tarn Setup median %.2f s   NSIS median %.2f s;  tarn/nsis per round: median %.2f"
      "  min %.2f  max %.2f  (goal <= 1)" % (statistics.median(tu), statistics.median(nu), statistics.median(ru),
                                            min(ru), max(ru)))
PY
