#!/usr/bin/env bash
# The main job: set up the machine, build both configurations and the
# shipped shell, make the sample product's package, install it into the
# sandbox and uninstall it again, make its installer with the shipped shell,
# and install and uninstall that under Wine: the real wizard with a display,
# else under Xvfb with the test driver clicking through.
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
step "build win32-release (the shipped shell)"
quiet env BUILD_ROOT="$build" bash "$root/scripts/build.sh" win32-release

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

shell=$build/win32-release/src/TarnSetupShell.exe
if [ -f "$shell" ]; then
  step "installer of the sample product"
  "$tarnmake" build "$sample/setup.ini" --ui "$sample/ui.ini" --shell "$shell" -o "$out/setup.exe"
  "$tarnmake" verify "$out/setup.exe"
  echo "installer: $out/setup.exe"
  win32=$build/win32
  driver=$win32/tests/e2e_driver.exe
  step "install and uninstall it under Wine"
  bash "$root/tests/wine-prefix.sh" boot "$win32"
  if [ -n "${DISPLAY:-}" ]; then
    # The real wizard, for a person to click through.
    export WINEPREFIX=$win32/wineprefix WINEARCH=win32 WINEDEBUG=-all LC_ALL=zh_CN.UTF-8
    echo "the wizard is open on $DISPLAY: click through it"
    wine "$out/setup.exe" || true
    key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarn 演示程序'
    cmd=$(wine reg query "$key" /v UninstallString 2>/dev/null | iconv -f gbk -t utf-8 | tr -d '\r' \
          | sed -n 's/.*REG_SZ *//p')
    if [ -n "$cmd" ]; then
      log_win=${cmd##*|}
      dir_win=${log_win%\\*}
      dir=$WINEPREFIX/drive_c/$(echo "${dir_win#C:\\}" | tr '\\' /)
      echo "installed into $dir_win:"
      (cd "$dir" && find . -type f | sed 's|^\./|  |' | sort)
      echo "uninstall command: $cmd"
      echo "the uninstaller is open: confirm it"
      wine "$driver" run "$cmd"
    else
      echo "(the installation was not completed: nothing to uninstall)"
    fi
    wineserver -k || true
  else
    # No display: Xvfb, with the test driver clicking through.
    TARN_E2E_REPORT=1 bash "$root/tests/e2e/run.sh" "$win32" "$shell" \
      "$win32/tools/tarnmake/tarnmake.exe" "$driver" "$root" "$out/e2e" install uninstall
  fi
  step "sign a copy with a throwaway certificate, install it silently under Wine, uninstall it quietly"
  signed=$out/signed
  rm -rf "$signed" && mkdir -p "$signed"
  quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout "$signed/key.pem" -out "$signed/cert.pem" \
    -days 2 -subj '/CN=Tarn Sample Publisher (throwaway)'
  quiet osslsigncode sign -certs "$signed/cert.pem" -key "$signed/key.pem" -n 'Tarn Sample' \
    -in "$out/setup.exe" -out "$signed/setup.exe"
  "$tarnmake" verify "$signed/setup.exe"
  (
    export WINEPREFIX=$win32/wineprefix WINEARCH=win32 WINEDEBUG=-all LC_ALL=zh_CN.UTF-8
    bash "$root/tests/wine-prefix.sh" boot "$win32"
    target='C:\Tarn Sample Silent'
    p=$(readlink -f "$signed/setup.exe")
    rc=$(wine "$driver" exitcode "Z:${p//\//\\} /S /D=$target" | tr -d '\r')
    [ "$rc" = 0 ] || { echo "the silent install exited $rc; see %TEMP%\\TarnSetup.log in the Wine prefix" >&2; exit 1; }
    key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarn 演示程序'
    cmd=$(wine reg query "$key" /v QuietUninstallString 2>/dev/null | iconv -f gbk -t utf-8 | tr -d '\r' \
          | sed -n 's/.*REG_SZ *//p')
    [ -n "$cmd" ] || { echo "no QuietUninstallString after the silent install" >&2; exit 1; }
    echo "installed silently into $target: $(cd "$WINEPREFIX/drive_c/Tarn Sample Silent" && find . -type f | wc -l) files"
    echo "quiet uninstall: $cmd"
    rc=$(wine "$driver" exitcode "$cmd" | tr -d '\r')
    [ "$rc" = 0 ] || { echo "the quiet uninstall exited $rc" >&2; exit 1; }
    [ ! -e "$WINEPREFIX/drive_c/Tarn Sample Silent" ] || { echo "the quiet uninstall left files" >&2; exit 1; }
    echo "the signed installer installed and uninstalled silently"
  )
  bash "$root/tests/wine-prefix.sh" stop "$win32"
else
  echo "(no setup shell built yet: the installer step is skipped)"
fi
echo "package: $out/sample.tsp"
