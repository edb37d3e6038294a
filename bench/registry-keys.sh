#!/usr/bin/env bash
# registry-keys.sh [--build DIR] [N...]: how the sandbox registry grows with
# its size. For each N (default 2500 5000) a fresh sandbox gets a package
# that imports a .reg file of N keys (a value each, under 50 parents), then
# a one-file install whose registry writes read and write the whole store.
# Prints both times per N and the ratio of the last N's times to the first
# N's: near N_last/N_first means linear growth, its square quadratic.
# DIR defaults to the native (sanitizer) build, which is built when missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_ROOT:-$root/build}/native
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --build=*) build=${1#--build=}; shift ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || set -- 2500 5000
tarnmake=$build/tools/tarnmake/tarnmake
if [ ! -x "$tarnmake" ]; then
  BUILD_ROOT=$(dirname "$build") bash "$root/scripts/build.sh" "$(basename "$build")" >/dev/null
fi
out=$root/bench/out/registry
mkdir -p "$out"

package() {  # package DIR FLAG FILE: a one-entry package DIR/p.tsp
  local dir=$1 flag=$2 file=$3
  printf '[SETUPFILEINFO_V2]\nPRODUCT=Bench\n\n[FILEINFO]\nSOURCE_PATH=%s\nTARGET_PATH=<TARGETDIR>\\%s\nINSTALL_FLAG=%s\n' \
    "$file" "$file" "$flag" > "$dir/setup.ini"
  "$tarnmake" package "$dir/setup.ini" -o "$dir/p.tsp" >/dev/null 2>&1
}

seconds() {  # seconds CMD...: wall time of CMD, which must succeed
  local t0 t1
  t0=$(date +%s.%N)
  "$@" >"$out/last.log" 2>&1 || { tail -n 20 "$out/last.log"; echo "failed: $*" >&2; exit 1; }
  t1=$(date +%s.%N)
  echo "$t1 - $t0" | bc
}

mkdir -p "$out/one"
echo "one file" > "$out/one/one.txt"
package "$out/one" 0 one.txt

results=()
for n in "$@"; do
  dir=$out/keys-$n && mkdir -p "$dir"
  python3 - "$n" "$dir/keys.reg" <<'PY'
import sys
n, path = int(sys.argv[1]), sys.argv[2]
with open(path, "w", newline="\r\n") as f:
    f.write("REGEDIT4\n")
    for i in range(n):
        f.write('\n[HKEY_LOCAL_MACHINE\\Software\\Bench\\Group%02d\\Key%05d]\n"Value"="%d"\n' % (i % 50, i, i))
PY
  package "$dir" 6 keys.reg   # imported, then deleted
  sb=$dir/sandbox && rm -rf "$sb"
  import=$(seconds "$tarnmake" install "$dir/p.tsp" --target 'C:\Keys' --name Keys --sandbox "$sb")
  one=$(seconds "$tarnmake" install "$out/one/p.tsp" --target 'C:\One' --name One --sandbox "$sb")
  keys=$(grep -c '^\[' "$sb/registry.reg")
  printf 'N=%-6s store keys %-6s import %7.2f s   then one-file install %7.2f s\n' "$n" "$keys" "$import" "$one"
  results+=("$n $import $one")
done
if [ ${#results[@]} -ge 2 ]; then
  read -r n0 i0 o0 <<<"${results[0]}"
  read -r n1 i1 o1 <<<"${results[-1]}"
  printf 'N %s/%s = %.2f: import time ratio %.2f, one-file install time ratio %.2f\n' \
    "$n1" "$n0" "$(echo "$n1 / $n0" | bc -l)" "$(echo "$i1 / $i0" | bc -l)" "$(echo "$o1 / $o0" | bc -l)"
fi
