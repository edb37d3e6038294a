#!/usr/bin/env bash
# The main job: set up the machine, build both configurations, and make the
# sample product's package (and its installer, once the shell is built).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_ROOT:-$root/build}
out=$build/sample
log=$build/run-main.log
mkdir -p "$build" "$out"
: > "$log"

step() { echo "==> $*"; }
quiet() {
  if ! "$@" >>"$log" 2>&1; then
    echo "failed: $* (last lines of $log follow)" >&2
    tail -n 30 "$log" >&2
    exit 1
  fi
}

step "dependencies"
quiet bash "$root/scripts/deps.sh"
step "build native"
quiet env BUILD_ROOT="$build" bash "$root/scripts/build.sh" native
step "build win32"
quiet env BUILD_ROOT="$build" bash "$root/scripts/build.sh" win32

tarnmake=$build/native/tools/tarnmake/tarnmake
sample=$root/examples/sample
export TARN_SANDBOX_ROOT=$build/native/sandbox
step "package the sample product"
"$tarnmake" package "$sample/setup.ini" -o "$out/sample.tsp"
"$tarnmake" verify "$out/sample.tsp"
"$tarnmake" list "$out/sample.tsp"

shell=$(find "$build/win32" -name TarnSetupShell.exe -print -quit 2>/dev/null || true)
if [ -n "$shell" ]; then
  step "installer of the sample product"
  "$tarnmake" build "$sample/setup.ini" --ui "$sample/ui.ini" --shell "$shell" -o "$out/setup.exe"
  "$tarnmake" verify "$out/setup.exe"
  echo "installer: $out/setup.exe"
else
  echo "(no setup shell built yet: the installer step is skipped)"
fi
echo "package: $out/sample.tsp"
