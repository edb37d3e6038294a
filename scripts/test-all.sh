#!/usr/bin/env bash
# Everything a change must pass: installs what is missing, builds the native
# (sanitizers), win32 (MinGW, run under Wine), win32-release (the programs as
# shipped), release (what Tarn's own packages hold) and fuzz (clang,
# libFuzzer) configurations, runs every test of the
# first two (the end-to-end test installs with the shipped shell), runs each
# fuzz target for a while, and ends with one summary line.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
FUZZ_SECONDS=${FUZZ_SECONDS:-30}
export BUILD_ROOT=${BUILD_ROOT:-$root/build}

bash scripts/deps.sh || { echo "summary: 0 passed, 1 failed (dependencies)"; exit 1; }

passed=0 failed=0
declare -a failures=()
note() {  # name status
  if [ "$2" -eq 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); failures+=("$1"); fi
}

mkdir -p "$BUILD_ROOT"
for cfg in native win32-release win32 release fuzz; do
  echo "== build $cfg"
  if ! scripts/build.sh "$cfg" >"$BUILD_ROOT/build-$cfg.log" 2>&1; then
    tail -40 "$BUILD_ROOT/build-$cfg.log"
    note "build $cfg" 1
  fi
done

run_ctest() {  # config
  local dir="$BUILD_ROOT/$1" out
  [ -f "$dir/CTestTestfile.cmake" ] || { note "ctest $1" 1; return; }
  echo "== tests $1"
  out=$(cd "$dir" && ctest --output-on-failure -j "$2" 2>&1)
  local rc=$?
  echo "$out" | grep -E '\*\*\*(Failed|Exception|Timeout)|Not Run' || true
  echo "$out" | grep -E 'tests passed' || true
  if [ $rc -ne 0 ]; then echo "$out" | tail -60; fi
  local p f
  p=$(echo "$out" | sed -nE 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2 \1/p' | awk '{print $1-$2}')
  f=$(echo "$out" | sed -nE 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/p')
  passed=$((passed + ${p:-0}))
  failed=$((failed + ${f:-1}))
  [ "${f:-1}" -eq 0 ] || failures+=("ctest $1")
}
run_ctest native 2
run_ctest win32 1

echo "== fuzz (${FUZZ_SECONDS}s each)"
for target in "$BUILD_ROOT"/fuzz/tests/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target"); name=${name#fuzz_}
  work=$(mktemp -d)
  seeds="$root/tests/fuzz/corpus/$name"
  [ -d "$seeds" ] || seeds=""
  (cd "$work" && TARN_SANDBOX_ROOT="$work/sandbox" "$target" -max_total_time="$FUZZ_SECONDS" \
      -rss_limit_mb=2048 -print_final_stats=0 "$work" $seeds >"$work/log" 2>&1)
  rc=$?
  if [ $rc -eq 0 ]; then
    echo "fuzz $name: ok ($(grep -c . "$work/log") log lines)"
  else
    echo "fuzz $name: FAILED"; grep -E 'ERROR|SUMMARY|==[0-9]+==' "$work/log" | head -20
    mkdir -p "$BUILD_ROOT/fuzz-failures"; cp "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$BUILD_ROOT/fuzz-failures/" 2>/dev/null
  fi
  note "fuzz $name" $rc
  rm -rf "$work"
done

if [ ${#failures[@]} -gt 0 ]; then printf 'failed: %s\n' "${failures[@]}"; fi
echo "summary: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
