#!/usr/bin/env bash
# build-vs-zip.sh [--size MB] [--corpus synthetic|python|include|all] [--rounds N]: times `tarnmake build` of the
# benchmark corpus against `zip -r -6` of the same tree, in one run on this
# machine, the two taking turns for N rounds (default 5); reports the median
# of the per-round ratios with their min and max, tarnmake's --deflate zlib
# as a third side, and the peak memory of tarnmake build, list and verify.
# Then the sizes at the highest level against zip -9 and NSIS /SOLID lzma.
# Goals (reported, not asserted): build at least 3 times as fast as zip -6,
# an installer no larger than the zip, peak memory at most twice the
# largest file plus 64 MB.
set -euo pipefail
args=("$@")
size=100
rounds=5
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size=$2; shift 2 ;;
    --size=*) size=${1#--size=}; shift ;;
    --rounds) rounds=$2; shift 2 ;;
    --rounds=*) rounds=${1#--rounds=}; shift ;;
    --corpus) corpus_kind=$2; shift 2 ;;
    *) echo "usage: build-vs-zip.sh [--size MB] [--corpus synthetic|python|include|all] [--rounds N]" >&2; exit 2 ;;
  esac
done
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/bench/out
. "$root/bench/common.sh"
head -c 65536 /dev/zero > "$out/shell.bin"   # stands in for the setup shell
# Both start from a warm page cache.
cat $(find "$corpus/files" -type f) > /dev/null

build() {  # build NAME [tarnmake options]
  local name=$1; shift
  rm -f "$out/$name.exe"
  timed "$name" "$tarnmake" build "$corpus/setup.ini" --ui "$corpus/ui.ini" \
    --shell "$out/shell.bin" -o "$out/$name.exe" "$@"
}
zipped() {  # zipped NAME LEVEL
  rm -f "$out/$1.zip"
  timed "$1" sh -c "cd '$corpus' && zip -q -r -$2 '$out/$1.zip' files"
}

for i in $(seq 1 "$rounds"); do
  echo "== round $i of $rounds: tarnmake build, zip -r -6, tarnmake build --deflate zlib"
  build "build-$i"
  zipped "zip-$i" 6
  build "zlib-$i" --deflate zlib
done
cp "$out/build-1.exe" "$out/setup.exe"
cp "$out/zip-1.zip" "$out/corpus.zip"
echo "== tarnmake list, verify"
timed list "$tarnmake" list "$out/setup.exe"
timed verify "$tarnmake" verify "$out/setup.exe"

echo "== sizes at the highest levels: tarnmake --level 12, zip -9, NSIS /SOLID lzma"
build top --level 12
zipped zip9 9
nsis=""
if command -v makensis >/dev/null 2>&1; then
  cat > "$out/solid.nsi" <<NSI
Name "bench"
OutFile "$out/nsis-solid.exe"
InstallDir "C:\\bench-nsis"
SetCompressor /SOLID lzma
Section
  SetOutPath "\$INSTDIR"
  File /r "$corpus/files/*"
SectionEnd
NSI
  timed nsis makensis -V2 "$out/solid.nsi" && nsis=$out/nsis-solid.exe
fi

largest=$(find "$corpus/files" -type f -printf '%s\n' | sort -n | tail -1)
python3 - "$out" "$largest" "$(basename "$corpus")" "$(nproc)" "$rounds" "$nsis" <<'PY'
import os, statistics, sys
out, largest, size, cores, rounds, nsis = sys.argv[1:7]
largest, rounds = int(largest), int(rounds)
val = lambda n, ext: float(open(os.path.join(out, n + "." + ext)).read().strip())
mb = lambda b: b / (1 << 20)
fsize = lambda n: os.path.getsize(os.path.join(out, n))

def summary(label, times, ratios, goal):
    print("time   %-28s median %5.2fx  min %5.2fx  max %5.2fx  (%d rounds; %s)"
          % (label, statistics.median(ratios), min(ratios), max(ratios), len(ratios), goal))
    print("       its median %.2f s against zip -r -6's %.2f s"
          % (statistics.median(times), statistics.median(zt)))

tb = [val("build-%d" % i, "time") for i in range(1, rounds + 1)]
tz = [val("zip-%d" % i, "time") for i in range(1, rounds + 1)]
tl = [val("zlib-%d" % i, "time") for i in range(1, rounds + 1)]
zt = tz
print()
print("corpus %s, largest file %.1f MB, %s cores" % (size, mb(largest), cores))
summary("zip/tarnmake build", tb, [z / b for z, b in zip(tz, tb)], "goal >= 3x")
summary("zip/tarnmake --deflate zlib", tl, [z / b for z, b in zip(tz, tl)], "zlib, for reference")
sb = fsize("setup.exe") - 65536
sz = fsize("corpus.zip")
print("size   payload %8.2f MB   zip -6 %8.2f MB   payload/zip %.3f  (goal <= 1)"
      % (mb(sb), mb(sz), sb / sz))
print("size   --deflate zlib payload %8.2f MB   payload/zip %.3f"
      % (mb(fsize("zlib-1.exe") - 65536), (fsize("zlib-1.exe") - 65536) / sz))
st, s9 = fsize("top.exe") - 65536, fsize("zip9.zip")
line = "size   --level 12 %8.2f MB (%.2f s)   zip -9 %8.2f MB (%.2f s)" % (
    mb(st), val("top", "time"), mb(s9), val("zip9", "time"))
if nsis:
    line += "   NSIS /SOLID lzma %8.2f MB (%.2f s)" % (mb(os.path.getsize(nsis)), val("nsis", "time"))
print(line)
limit = (2 * largest + (64 << 20)) / 1024
peaks = [("build", max(val("build-%d" % i, "rss") for i in range(1, rounds + 1))),
         ("build -12", val("top", "rss")), ("list", val("list", "rss")),
         ("verify", val("verify", "rss"))]
for n, rss in peaks:
    print("memory tarnmake %-9s peak %7.1f MB  (goal <= %.1f MB)%s"
          % (n, rss / 1024, limit / 1024, "" if rss <= limit else "  OVER"))
PY
