#!/usr/bin/env bash
# install-vs-unzip.sh [--size MB] [--no-wine]: times `tarnmake install` of
# the benchmark corpus's package against peers on the same corpus, in one
# run on this machine:
#   natively (sandbox)  tarnmake install  vs  unzip of the corpus zipped -6
#   under Wine          tarnmake.exe install  vs  the NSIS installer of the
#                       same tree (SetCompressor zlib), run silent (/S)
# and the uninstall of each beside the other. Peak memory of the native
# install is measured too. Goals (reported, not asserted): native install at
# most 1.2 times unzip's time; under Wine at most NSIS's silent install time;
# peak memory at most twice the largest file plus 64 MB.
set -euo pipefail
size=100 wine=1
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size=$2; shift 2 ;;
    --size=*) size=${1#--size=}; shift ;;
    --no-wine) wine=0; shift ;;
    *) echo "usage: install-vs-unzip.sh [--size MB] [--no-wine]" >&2; exit 2 ;;
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

echo "== native: tarnmake install, unzip, tarnmake uninstall"
sb=$out/sandbox && rm -rf "$sb" "$out/unzipped"
timed install "$tarnmake" install "$out/bench.tsp" --target 'C:\Bench' --name Bench --sandbox "$sb"
timed unzip unzip -q "$out/corpus.zip" -d "$out/unzipped"
timed uninstall "$tarnmake" uninstall 'C:\Bench\Unistall.tsu' --sandbox "$sb"
rm -rf "$out/unzipped"

if [ $wine = 1 ]; then
  echo "== Wine: tarnmake.exe install and uninstall, NSIS silent install and uninstall"
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
  timed wine_install "$run" "$build/win32/tools/tarnmake/tarnmake.exe" install \
    "$(zpath "$out/bench.tsp")" --target 'C:\BenchT' --name BenchT
  timed nsis_install "$run" "$out/nsis-setup.exe" /S
  timed wine_uninstall "$run" "$build/win32/tools/tarnmake/tarnmake.exe" uninstall 'C:\BenchT\Unistall.tsu'
  # _?= keeps the uninstaller from copying itself and returning at once.
  timed nsis_uninstall "$run" 'C:\BenchN\uninst.exe' /S '_?=C:\BenchN'
  rm -rf "$drive_c/BenchN"
  "$root/tests/wine-prefix.sh" stop "$build/win32" >/dev/null
fi

largest=$(find "$corpus/files" -type f -printf '%s\n' | sort -n | tail -1)
python3 - "$out" "$largest" "$size" "$(nproc)" "$wine" <<'PY'
import os, sys
out, largest, size, cores, wine = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5] == "1"
val = lambda n, ext: float(open(os.path.join(out, n + "." + ext)).read().strip())
mb = lambda b: b / (1 << 20)
limit = (2 * largest + (64 << 20)) / 1024
print()
print("corpus %s MB, largest file %.1f MB, %s cores" % (size, mb(largest), cores))
ti, tu = val("install", "time"), val("unzip", "time")
print("native install   tarnmake %6.2f s   unzip %6.2f s   tarnmake/unzip %.2f  (goal <= 1.2)" % (ti, tu, ti / tu))
print("native uninstall tarnmake %6.2f s" % val("uninstall", "time"))
rss = val("install", "rss")
print("native install peak memory %.1f MB  (goal <= %.1f MB)%s" % (rss / 1024, limit / 1024, "" if rss <= limit else "  OVER"))
if wine:
    wi, ni = val("wine_install", "time"), val("nsis_install", "time")
    wu, nu = val("wine_uninstall", "time"), val("nsis_uninstall", "time")
    print("Wine install     tarnmake %6.2f s   NSIS /S %6.2f s   tarnmake/NSIS %.2f  (goal <= 1.0)" % (wi, ni, wi / ni))
    print("Wine uninstall   tarnmake %6.2f s   NSIS /S %6.2f s   tarnmake/NSIS %.2f" % (wu, nu, wu / nu))
    print("Wine install peak memory %.1f MB" % (val("wine_install", "rss") / 1024))
PY
