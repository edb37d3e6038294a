#!/usr/bin/env bash
# install-vs-unzip.sh [--size MB] [--corpus synthetic|python|include|all] [--rounds N] [--no-wine]: times `tarnmake
# install` of the benchmark corpus's package against peers on the same
# corpus, in one run on this machine, the sides taking turns for N rounds
# (default 5) and each figure the median of the per-round ratios:
#   natively (sandbox)  tarnmake install  vs  unzip of the corpus zipped -6
#   under Wine          tarnmake.exe install  vs  the NSIS installer of the
#                       same tree (SetCompressor zlib), run silent (/S)
# and the uninstall of each beside the other. Peak memory of the native
# install is measured too. Goals (reported, not asserted): native install at
# most 1.2 times unzip's time; under Wine at most NSIS's silent install time;
# peak memory at most twice the largest file plus 64 MB.
set -euo pipefail
args=("$@")
size=100 wine=1 rounds=5
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size=$2; shift 2 ;;
    --size=*) size=${1#--size=}; shift ;;
    --rounds) rounds=$2; shift 2 ;;
    --corpus) corpus_kind=$2; shift 2 ;;
    --no-wine) wine=0; shift ;;
    *) echo "usage: install-vs-unzip.sh [--size MB] [--corpus synthetic|python|include|all] [--rounds N] [--no-wine]" >&2; exit 2 ;;
  esac
done
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/bench/out
. "$root/bench/common.sh"
if [ $wine = 1 ]; then
  echo "== win32 build"
  BUILD_ROOT=$build bash "$root/scripts/build.sh" win32 >>"$out/build.log" 2>&1 ||
    { tail -n 30 "$out/build.log"; exit 1; }
fi
echo "== package and zip"
"$tarnmake" package "$corpus/setup.ini" -o "$out/bench.tsp" >/dev/null 2>&1
rm -f "$out/corpus.zip" && (cd "$corpus" && zip -q -r -6 "$out/corpus.zip" files)
cat "$out/bench.tsp" "$out/corpus.zip" > /dev/null   # warm page cache for both

# each NAME CMD...: timed, and its time and peak memory kept for this round
each() {
  local name=$1; shift
  timed "$name" "$@"
  cat "$out/$name.time" >> "$out/$name.times"
  cat "$out/$name.rss" >> "$out/$name.rsss"
}
rm -f "$out"/*.times "$out"/*.rsss
if [ $wine = 1 ]; then
  export TARN_BUILD_DIR=$build/win32
  run="$root/cmake/wine-run.sh"
  "$root/tests/wine-prefix.sh" boot "$build/win32" >/dev/null
  drive_c=$build/win32/wineprefix/drive_c
  rm -rf "$drive_c/BenchT" "$drive_c/BenchN"
  zpath() { echo "Z:$1" | tr / '\\'; }
  cat > "$out/bench.nsi" <<NSI
SetCompressor zlib
OutFile "$out/nsis-setup.exe"
InstallDir "C:\\BenchN"
RequestExecutionLevel admin
Section
  SetOutPath "\$INSTDIR"
  File /r "$corpus/files/*.*"
  WriteUninstaller "\$INSTDIR\\uninst.exe"
SectionEnd
Section "Uninstall"
  RMDir /r "\$INSTDIR"
SectionEnd
NSI
  makensis -V1 "$out/bench.nsi" >"$out/makensis.log" 2>&1 || { tail "$out/makensis.log"; exit 1; }
fi
for r in $(seq "$rounds"); do
  echo "== round $r: native tarnmake install, unzip, tarnmake uninstall"
  sb=$out/sandbox && rm -rf "$sb" "$out/unzipped"
  each install "$tarnmake" install "$out/bench.tsp" --target 'C:\Bench' --name Bench --sandbox "$sb"
  each unzip unzip -q "$out/corpus.zip" -d "$out/unzipped"
  each uninstall "$tarnmake" uninstall 'C:\Bench\Unistall.tsu' --sandbox "$sb"
  rm -rf "$out/unzipped"
  if [ $wine = 1 ]; then
    echo "== round $r: Wine tarnmake.exe install and uninstall, NSIS silent install and uninstall"
    each wine_install "$run" "$build/win32/tools/tarnmake/tarnmake.exe" install \
      "$(zpath "$out/bench.tsp")" --target 'C:\BenchT' --name BenchT
    each nsis_install "$run" "$out/nsis-setup.exe" /S
    each wine_uninstall "$run" "$build/win32/tools/tarnmake/tarnmake.exe" uninstall 'C:\BenchT\Unistall.tsu'
    # _?= keeps the uninstaller from copying itself and returning at once.
    each nsis_uninstall "$run" 'C:\BenchN\uninst.exe' /S '_?=C:\BenchN'
    rm -rf "$drive_c/BenchN" "$drive_c/BenchT"
  fi
done
[ $wine = 1 ] && "$root/tests/wine-prefix.sh" stop "$build/win32" >/dev/null

largest=$(find "$corpus/files" -type f -printf '%s\n' | sort -n | tail -1)
python3 - "$out" "$largest" "$(basename "$corpus")" "$(nproc)" "$wine" <<'PY'
import os, statistics, sys
out, largest, size, cores, wine = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5] == "1"
vals = lambda n, ext: [float(x) for x in open(os.path.join(out, n + "." + ext))]
mb = lambda b: b / (1 << 20)
limit = (2 * largest + (64 << 20)) / 1024

def pair(label, a, b, an, bn, goal):
    ta, tb = vals(a, "times"), vals(b, "times")
    r = [x / y for x, y in zip(ta, tb)]
    print("%-16s %s %6.2f s   %s %6.2f s   %s/%s median %.2f  min %.2f  max %.2f%s"
          % (label, an, statistics.median(ta), bn, statistics.median(tb), an, bn,
             statistics.median(r), min(r), max(r), "  (goal <= %s)" % goal if goal else ""))

print()
print("corpus %s, largest file %.1f MB, %s cores, %d rounds, medians"
      % (size, mb(largest), cores, len(vals("install", "times"))))
pair("native install", "install", "unzip", "tarnmake", "unzip", "1.2")
print("native uninstall tarnmake %6.2f s" % statistics.median(vals("uninstall", "times")))
rss = max(vals("install", "rsss"))
print("native install peak memory %.1f MB  (goal <= %.1f MB)%s" % (rss / 1024, limit / 1024, "" if rss <= limit else "  OVER"))
if wine:
    pair("Wine install", "wine_install", "nsis_install", "tarnmake", "NSIS", "1.0")
    pair("Wine uninstall", "wine_uninstall", "nsis_uninstall", "tarnmake", "NSIS", "")
    print("Wine install peak memory %.1f MB" % (max(vals("wine_install", "rsss")) / 1024))
PY
