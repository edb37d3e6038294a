#!/usr/bin/env bash
# shell-size.sh: the shipped setup shell's size next to NSIS's fixed
# overhead, in one run. Both sides make an installer of a product with no
# file and of the same product with one incompressible file of 1 MiB; the
# empty product's installer is the fixed overhead (for Tarn Setup the shell,
# the trailer and a tiny package and UI script), and the one-file installer
# less the file shows what a file adds. NSIS uses zlib, as Tarn Setup does,
# and carries an uninstaller and an Uninstall key, as the shell does.
# Sizes are deterministic: one build of each is enough.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/bench/out/shell-size
build=${BUILD_ROOT:-$root/build}
mkdir -p "$out"
limit=$((256 * 1024))

echo "== win32-release build (the shipped shell) and release build of tarnmake"
for cfg in win32-release release; do
  BUILD_ROOT=$build bash "$root/scripts/build.sh" "$cfg" >"$out/build-$cfg.log" 2>&1 ||
    { tail -n 30 "$out/build-$cfg.log"; exit 1; }
done
shell=$build/win32-release/src/TarnSetupShell.exe
tarnmake=$build/release/tools/tarnmake/tarnmake

echo "== products"
rm -rf "$out/empty" "$out/one" && mkdir -p "$out/empty" "$out/one"
head -c $((1 << 20)) /dev/urandom > "$out/one/big.bin"
: > "$out/empty/setup.ini"
printf '[FILEINFO]\r\nSOURCE_PATH=big.bin\r\nTARGET_PATH=<TARGETDIR>\\big.bin\r\n' > "$out/one/setup.ini"

echo "== installers"
for p in empty one; do
  "$tarnmake" build "$out/$p/setup.ini" --ui "$root/examples/sample/ui.ini" --shell "$shell" \
    -o "$out/tarn-$p.exe" >"$out/tarn-$p.log" 2>&1 || { cat "$out/tarn-$p.log"; exit 1; }
  file_line=
  [ "$p" = one ] && file_line="File \"$out/one/big.bin\""
  cat > "$out/nsis-$p.nsi" <<NSI
Name "bench"
OutFile "$out/nsis-$p.exe"
InstallDir "\$PROGRAMFILES\\bench"
RequestExecutionLevel admin
SetCompressor zlib
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles
Section
  SetOutPath "\$INSTDIR"
  $file_line
  WriteUninstaller "\$INSTDIR\\uninstall.exe"
  WriteRegStr HKLM "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\bench" "UninstallString" "\$INSTDIR\\uninstall.exe"
SectionEnd
Section Uninstall
  Delete "\$INSTDIR\\big.bin"
  Delete "\$INSTDIR\\uninstall.exe"
  RMDir "\$INSTDIR"
  DeleteRegKey HKLM "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\bench"
SectionEnd
NSI
  makensis -V2 "$out/nsis-$p.nsi" >"$out/nsis-$p.log" 2>&1 || { cat "$out/nsis-$p.log"; exit 1; }
done

sz() { stat -c %s "$1"; }
python3 - "$(sz "$shell")" "$(sz "$out/tarn-empty.exe")" "$(sz "$out/tarn-one.exe")" \
  "$(sz "$out/nsis-empty.exe")" "$(sz "$out/nsis-one.exe")" "$(sz "$out/one/big.bin")" "$limit" \
  "$(makensis -VERSION)" <<'PY'
import sys
shell, te, to, ne, no, big, limit = map(int, sys.argv[1:8])
nsis = sys.argv[8]
kib = lambda n: "%.1f KiB" % (n / 1024)
print()
print("shipped shell TarnSetupShell.exe %s (%d bytes; goal <= %d KiB: %s)"
      % (kib(shell), shell, limit // 1024, "met" if shell <= limit else "OVER"))
print("%-36s %12s %22s" % ("", "Tarn Setup", "NSIS " + nsis))
print("%-36s %12s %22s" % ("installer, no file (fixed overhead)", kib(te), kib(ne)))
print("%-36s %12s %22s" % ("installer, one 1 MiB file", kib(to), kib(no)))
print("%-36s %12s %22s" % ("one-file installer less the file", kib(to - big), kib(no - big)))
print("fixed overhead tarn/nsis %.2f" % (te / ne))
PY
