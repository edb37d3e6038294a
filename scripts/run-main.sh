#!/usr/bin/env bash
# The main job: set up the machine, build both configurations, make the
# sample product's package, install it into the sandbox and uninstall it
# again, and make its installer once the shell is built.
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

step "install the sample product into the sandbox, then uninstall it"
sandbox=$build/sample/sandbox
rm -rf "$sandbox"
# The machine's own folders, which a real one has and an uninstall keeps.
"$tarnmake" uninstall 'C:\nothing\Unistall.tsu' --key nothing --sandbox "$sandbox" >/dev/null 2>&1 || true
mkdir -p "$sandbox/C/Program Files"
snapshot() { cd "$sandbox" && find . ! -name actions.log ! -name registry.lock | sort && cat registry.reg; }
before=$(snapshot)
"$tarnmake" install "$out/sample.tsp" --target 'C:\Program Files\Tarn Sample' --name 'Tarn Sample' \
  --sandbox "$sandbox"
echo "-- the sandbox after the install ($sandbox):"
(cd "$sandbox" && find 'C/Program Files/Tarn Sample' | sed 's/^/   /')
"$tarnmake" uninstall 'C:\Program Files\Tarn Sample\Unistall.tsu' --sandbox "$sandbox"
after=$(snapshot)
if [ "$before" = "$after" ]; then echo "the uninstall left the sandbox as it was"; else
  echo "the uninstall left the sandbox changed:" >&2; diff <(echo "$before") <(echo "$after") >&2; exit 1; fi

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
