#!/usr/bin/env bash
# uninstall-vs-shell.sh --peer SHELL [--size MB] [--corpus synthetic|python|include|all] [--rounds N]:
# the silent uninstall under Wine by this checkout's shipped shell against
# another build of it (SHELL: a TarnSetupShell.exe, for example one built
# from an earlier commit with `git worktree add` and scripts/build.sh
# win32-release). One installer of the corpus is installed with /S, then
# uninstalled with "/S -U|key|log" by one shell or the other, alternating,
# N rounds (default 5). Reports the median of the per-round ratios
# (this/peer) with min and max; both must leave nothing behind.
set -euo pipefail
size=100 rounds=5 peer=
args=("$@")
while [ $# -gt 0 ]; do
  case "$1" in
    --peer) peer=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --corpus) corpus_kind=$2; shift 2 ;;
    *) echo "usage: uninstall-vs-shell.sh --peer SHELL [--size MB] [--corpus KIND] [--rounds N]" >&2; exit 2 ;;
  esac
done
[ -f "$peer" ] || { echo "--peer SHELL: a TarnSetupShell.exe to compare with" >&2; exit 2; }
peer=$(readlink -f "$peer")
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/bench/out/uninstall
. "$root/bench/common.sh"

echo "== shipped shell"
BUILD_ROOT=$build bash "$root/scripts/build.sh" win32-release >"$out/shell-build.log" 2>&1 ||
  { tail -n 30 "$out/shell-build.log"; exit 1; }
cp "$build/win32-release/src/TarnSetupShell.exe" "$out/this.exe"
cp "$peer" "$out/peer.exe"
printf '[PRODUCTNAME]\r\nbench-uninstall\r\n\r\n[TARGETDIR]\r\nC:\\bench-uninstall\r\n\r\n[LICENCE]\r\nx\r\n' >"$out/ui.ini"
"$tarnmake" build "$corpus/setup.ini" --ui "$out/ui.ini" --shell "$out/this.exe" -o "$out/setup.exe" \
  >"$out/tarn-build.log" 2>&1 || { tail "$out/tarn-build.log"; exit 1; }

export WINEPREFIX=$build/win32/wineprefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=zh_CN.UTF-8
bash "$root/tests/wine-prefix.sh" boot "$build/win32"
dir=$WINEPREFIX/drive_c/bench-uninstall
trap 'rm -rf "$dir"; wineserver -k >/dev/null 2>&1 || true' EXIT
win() { local p; p=$(readlink -f "$1"); echo "Z:${p//\//\\}"; }
rm -f "$out/this.times" "$out/peer.times"
for r in $(seq "$rounds"); do
  for side in this peer; do
    rm -rf "$dir"
    wine "$(win "$out/setup.exe")" /S '/D=C:\bench-uninstall' >"$out/install.log" 2>&1 ||
      { echo "install failed" >&2; exit 1; }
    t0=$(date +%s.%N)
    wine "$(win "$out/$side.exe")" /S '-U|bench-uninstall|C:\bench-uninstall\Unistall.tsu' >"$out/$side.log" 2>&1 ||
      { echo "$side's uninstall failed" >&2; exit 1; }
    t1=$(date +%s.%N)
    [ ! -e "$dir" ] || { echo "$side's uninstall left $(find "$dir" | wc -l) entries" >&2; exit 1; }
    echo "$t0 $t1" | awk '{ print $2 - $1 }' >>"$out/$side.times"
  done
  echo "round $r: this $(tail -1 "$out/this.times") s, peer $(tail -1 "$out/peer.times") s"
done
python3 - "$out" "$(basename "$corpus")" <<'PY'
import statistics, sys
out, name = sys.argv[1:3]
a = [float(x) for x in open(out + "/this.times")]
b = [float(x) for x in open(out + "/peer.times")]
r = [x / y for x, y in zip(a, b)]
print()
print("corpus %s, under Wine, %d rounds" % (name, len(r)))
print("silent uninstall  this median %.2f s   peer median %.2f s" % (statistics.median(a), statistics.median(b)))
print("this/peer per round: median %.3f  min %.3f  max %.3f" % (statistics.median(r), min(r), max(r)))
PY
