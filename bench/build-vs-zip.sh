#!/usr/bin/env bash
# build-vs-zip.sh [--size MB]: times `tarnmake build` of the benchmark
# corpus against `zip -r -6` of the same tree, in one run on this machine,
# and measures the peak memory of tarnmake build, list and verify.
# Goals (reported, not asserted): build at least 1.5 times as fast as zip,
# an installer within 2% of the zip's size, peak memory at most twice the
# largest file plus 64 MB.
set -euo pipefail
size=100
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size=$2; shift 2 ;;
    --size=*) size=${1#--size=}; shift ;;
    *) echo "usage: build-vs-zip.sh [--size MB]" >&2; exit 2 ;;
  esac
done
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/bench/out
. "$root/bench/common.sh"
head -c 65536 /dev/zero > "$out/shell.bin"   # stands in for the setup shell
rm -f "$out/setup.exe" "$out/corpus.zip"
# Both start from a warm page cache.
cat $(find "$corpus/files" -type f) > /dev/null

echo "== tarnmake build"
timed build "$tarnmake" build "$corpus/setup.ini" --ui "$corpus/ui.ini" --shell "$out/shell.bin" \
  -o "$out/setup.exe"
echo "== zip -r -6"
timed zip sh -c "cd '$corpus' && zip -q -r -6 '$out/corpus.zip' files"
echo "== tarnmake list, verify"
timed list "$tarnmake" list "$out/setup.exe"
timed verify "$tarnmake" verify "$out/setup.exe"

largest=$(find "$corpus/files" -type f -printf '%s\n' | sort -n | tail -1)
python3 - "$out" "$largest" "$size" "$(nproc)" <<'PY'
import os, sys
out, largest, size, cores = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
val = lambda n, ext: float(open(os.path.join(out, n + "." + ext)).read().strip())
tb, tz = val("build", "time"), val("zip", "time")
sb = os.path.getsize(os.path.join(out, "setup.exe")) - 65536
sz = os.path.getsize(os.path.join(out, "corpus.zip"))
limit = (2 * largest + (64 << 20)) / 1024
mb = lambda b: b / (1 << 20)
print()
print("corpus %s MB, largest file %.1f MB, %s cores" % (size, mb(largest), cores))
print("time   tarnmake build %6.2f s   zip -r -6 %6.2f s   zip/tarnmake %.2fx  (goal >= 1.5x)"
      % (tb, tz, tz / tb))
print("size   payload %8.2f MB   zip %8.2f MB   payload/zip %.3f  (goal <= 1.02)"
      % (mb(sb), mb(sz), sb / sz))
for n in ("build", "list", "verify"):
    rss = val(n, "rss")
    print("memory tarnmake %-6s peak %7.1f MB  (goal <= %.1f MB)%s"
          % (n, rss / 1024, limit / 1024, "" if rss <= limit else "  OVER"))
PY
