#!/usr/bin/env bash
# rollback-cost.sh [--size MB] [--corpus synthetic|python] [--rounds N]: what
# the rollback log costs a silent install under Wine. One installer of the
# benchmark corpus, made with the shipped shell, installed with /S /D=
# alternately with the log and without it (TARN_NO_ROLLBACK=1, which the
# shell honours for this comparison only), N rounds (default 5), each into
# an emptied folder of one prefix. Reports the median of the per-round
# ratios with min and max. Goal (reported, not asserted): with/without <= 1.10.
set -euo pipefail
size=100 rounds=5
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --corpus) corpus_kind=$2; shift 2 ;;
    *) echo "usage: rollback-cost.sh [--size MB] [--corpus synthetic|python] [--rounds N]" >&2; exit 2 ;;
  esac
done
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/bench/out/rollback
. "$root/bench/common.sh"

echo "== shipped shell"
BUILD_ROOT=$build bash "$root/scripts/build.sh" win32-release >"$out/shell-build.log" 2>&1 ||
  { tail -n 30 "$out/shell-build.log"; exit 1; }
shell=$build/win32-release/src/TarnSetupShell.exe

echo "== installer of $(basename "$corpus")"
"$tarnmake" build "$corpus/setup.ini" --ui "$corpus/ui.ini" --shell "$shell" -o "$out/tarn-setup.exe" \
  >"$out/tarn-build.log" 2>&1 || { tail "$out/tarn-build.log"; exit 1; }

prefix_build=$build/win32
mkdir -p "$prefix_build"
export WINEPREFIX=$prefix_build/wineprefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=zh_CN.UTF-8
bash "$root/tests/wine-prefix.sh" boot "$prefix_build"
finish() {
  rm -rf "$WINEPREFIX/drive_c/bench-tarn"
  wineserver -k >/dev/null 2>&1 || true
}
trap finish EXIT
win() { local p; p=$(readlink -f "$1"); echo "Z:${p//\//\\}"; }
# run NAME ENV...: the wall seconds of one silent install, appended to NAME.times
run() {
  local name=$1; shift
  rm -rf "$WINEPREFIX/drive_c/bench-tarn"
  wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\bench' /f >/dev/null 2>&1 || true
  local t0 t1
  t0=$(date +%s.%N)
  env "$@" wine "$(win "$out/tarn-setup.exe")" /S '/D=C:\bench-tarn' >"$out/$name.log" 2>&1 ||
    { tail "$out/$name.log"; echo "$name failed" >&2; exit 1; }
  t1=$(date +%s.%N)
  echo "$t0 $t1" | awk '{ print $2 - $1 }' >> "$out/$name.times"
}
rm -f "$out/with.times" "$out/without.times"
cat "$out/tarn-setup.exe" > /dev/null  # from a warm page cache
# One install first, so that the prefix's first-run work falls on neither side.
run warm TARN_NO_ROLLBACK=1
echo "== $rounds rounds, alternating"
for r in $(seq "$rounds"); do
  run with TARN_NO_ROLLBACK=0
  run without TARN_NO_ROLLBACK=1
  echo "round $r: with $(tail -1 "$out/with.times") s, without $(tail -1 "$out/without.times") s"
done
# The last install (without) holds the corpus; the one before left no log.
a=$(cd "$corpus/files" && find . -type f | wc -l)
b=$(cd "$WINEPREFIX/drive_c/bench-tarn" && find . -type f ! -name Unistall.tsu | wc -l)
[ "$a" = "$b" ] || { echo "the install holds $b files, the corpus $a" >&2; exit 1; }
left=$(find "$WINEPREFIX/drive_c/windows/TarnRollback" -type f 2>/dev/null | wc -l)
[ "$left" = 0 ] || { echo "$left rollback files left behind" >&2; exit 1; }
python3 - "$out" "$(basename "$corpus")" "$(nproc)" <<'PY'
import statistics, sys
out, size, cores = sys.argv[1:4]
w = [float(x) for x in open(out + "/with.times")]
n = [float(x) for x in open(out + "/without.times")]
r = [a / b for a, b in zip(w, n)]
print()
print("corpus %s, %s cores, under Wine, %d rounds" % (size, cores, len(r)))
print("silent install  with rollback log median %.2f s   without median %.2f s" % (statistics.median(w), statistics.median(n)))
print("with/without per round: median %.3f  min %.3f  max %.3f  (goal <= 1.10)" % (statistics.median(r), min(r), max(r)))
PY
