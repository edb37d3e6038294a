#!/usr/bin/env bash
# One scenario of the tarnmake tests on the sample product:
#   run.sh SCENARIO WORKDIR SAMPLE_DIR TARNMAKE [ARGS...]
# TARNMAKE may be an emulator followed by the program (Wine for the .exe).
# Paths given to tarnmake are relative, so the Windows build reads them too.
set -u
scenario=$1 work=$2 sample_src=$3
shift 3
tm=("$@")
here=$(cd "$(dirname "$0")" && pwd)
check() { python3 "$here/check.py" "$@" || fail "check $1 failed"; }
fail() { echo "FAIL [$scenario]: $*" >&2; exit 1; }

rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
cp -rp "$sample_src" sample
mkdir out
head -c 3000 /dev/urandom > shell.exe   # stands in for the setup shell

# run EXPECT ARGS...: EXPECT is ok or fail; output in last.out / last.err.
run() {
  local expect=$1; shift
  "${tm[@]}" "$@" >last.out 2>last.err
  local rc=$?
  if [ "$expect" = ok ] && [ $rc -ne 0 ]; then
    cat last.err >&2; fail "tarnmake $* exited $rc"
  fi
  if [ "$expect" = fail ]; then
    [ $rc -ne 0 ] || fail "tarnmake $* succeeded"
    # A failure is one clear line, nothing else.
    [ "$(wc -l <last.err)" -eq 1 ] || { cat last.err >&2; fail "tarnmake $*: not one line"; }
    grep -q '^tarnmake: error: ' last.err || fail "tarnmake $*: no error line"
  fi
  return 0
}

case "$scenario" in
  package)
    # Run from another folder: SOURCE_PATH is relative to the script.
    run ok package sample/setup.ini -o out/sample.tsp
    grep -q 'stored raw' last.err || fail "no summary of the raw items"
    [ "$(grep -c 'WriteEncode' last.err)" -eq 0 ] || fail "per-item notices leaked"
    run ok list --json out/sample.tsp && cp last.out list.json
    check listing list.json package sample
    run ok list out/sample.tsp
    grep -q 'IF_REGEDIT|IF_TEMPORARY' last.out || fail "text listing lacks flag names"
    run ok verify out/sample.tsp
    run ok extract out/sample.tsp -o x
    check tree x sample
    ;;
  installer)
    run ok package sample/setup.ini -o out/sample.tsp
    run ok installer --shell shell.exe --ui sample/ui.ini --package out/sample.tsp -o out/setup.exe
    cmp -n 3000 shell.exe out/setup.exe || fail "the installer does not start with the shell"
    run ok list --json out/setup.exe && cp last.out list.json
    check listing list.json installer sample
    python3 -c "import json,sys; d=json.load(open('list.json')); sys.exit(d['installer']['shell_size'] != 3000)" \
      || fail "shell size"
    run ok verify out/setup.exe
    run ok extract out/setup.exe -o x
    check tree x sample
    # build = package + installer, leaving nothing else behind.
    run ok build sample/setup.ini --ui sample/ui.ini --shell shell.exe -o out/built.exe
    [ "$(ls out)" = "$(printf 'built.exe\nsample.tsp\nsetup.exe')" ] || fail "stray files: $(ls out)"
    run ok list --json out/built.exe && check listing last.out installer sample
    # A package that deflate cannot shrink travels raw and is read in place.
    mkdir rnd && head -c 50000 /dev/urandom > rnd/noise.bin
    printf '[FILEINFO]\r\nSOURCE_PATH=noise.bin\r\nTARGET_PATH=<TARGETDIR>\\noise.bin\r\n' > rnd/setup.ini
    run ok build rnd/setup.ini --ui sample/ui.ini --shell shell.exe -o raw.exe
    run ok list --json raw.exe
    python3 -c "import json,sys; i=json.load(open('last.out'))['installer']; sys.exit(i['package_stored'] != i['package_size'])" \
      || fail "the package blob was not stored raw"
    run ok verify raw.exe
    run ok extract raw.exe -o xr
    cmp rnd/noise.bin xr/*TARGETDIR*/noise.bin || fail "raw package extract"
    # The output is never one of the inputs.
    run fail installer --shell shell.exe --ui sample/ui.ini --package out/sample.tsp -o shell.exe
    cmp -s shell.exe out/setup.exe && fail "shell overwritten"
    ;;
  damaged)
    run ok build sample/setup.ini --ui sample/ui.ini --shell shell.exe -o setup.exe
    run ok package sample/setup.ini -o sample.tsp
    size=$(stat -c %s sample.tsp)
    head -c $((size - 7)) sample.tsp > cut.tsp
    run fail list cut.tsp
    run fail verify cut.tsp
    run fail extract cut.tsp -o x1
    # One byte of a compressed item flipped: verify names that entry.
    python3 - <<'PY' || fail "corrupting"
import json, subprocess
data = bytearray(open("sample.tsp", "rb").read())
# The first entry is readme.txt, compressed; its stream starts the data block.
off = 1 + 12 + 1 + 4 + 2 + 4 + 40
data[off] ^= 0x55
open("bad.tsp", "wb").write(data)
PY
    run fail verify bad.tsp
    grep -q 'readme.txt' last.err || fail "verify does not name the damaged entry"
    run fail extract bad.tsp -o x2
    [ -e "x2/<TARGETDIR>/readme.txt" ] || [ -e "x2/_TARGETDIR_/readme.txt" ] && fail "damaged file left behind"
    size=$(stat -c %s setup.exe)
    head -c $((size - 1)) setup.exe > cut1.exe
    run fail list cut1.exe
    { head -c 3100 setup.exe; tail -c $((size - 3700)) setup.exe; } > cut2.exe
    run fail verify cut2.exe
    : > empty.bin
    run fail list empty.bin
    run fail verify missing.tsp
    ;;
  errors)
    # A script the installer could not follow writes no package.
    iconv -f GBK -t UTF-8 sample/setup.ini | sed 's/^TARGET_PATH=<TARGETDIR>\\licence.txt/TARGET_PATH=C:\\licence.txt/' \
      | iconv -f UTF-8 -t GBK > sample/badtarget.ini
    run fail package sample/badtarget.ini -o out/a.tsp
    [ -e out/a.tsp ] && fail "package written from a bad script"
    iconv -f GBK -t UTF-8 sample/setup.ini | sed 's/nt-only.txt$/no-such-file.txt/;s/^TARGET_PATH=.*no-such-file.txt/&/' \
      | sed '0,/SOURCE_PATH=files\\nt-only.txt/s//SOURCE_PATH=files\\no-such-file.txt/' \
      | iconv -f UTF-8 -t GBK > sample/missing.ini
    "${tm[@]}" package sample/missing.ini -o out/b.tsp >last.out 2>last.err && fail "missing source accepted"
    grep -q 'no-such-file' last.err || fail "the missing source is not named"
    [ -e out/b.tsp ] && fail "package written without its source"
    ls out | grep -q . && fail "temporary files left: $(ls out)"
    run fail package sample/nothere.ini -o out/c.tsp
    run fail installer --shell shell.exe --ui sample/ui.ini --package sample/setup.ini -o out/d.exe
    run fail list
    ;;
  install)
    # An install followed by its uninstall leaves the machine as it was:
    # in the sandbox natively, in the Wine prefix for the .exe.
    run ok package sample/setup.ini -o out/sample.tsp
    target='C:\TarnSample'
    sb=(--sandbox "$PWD/sandbox")
    if [[ "${tm[0]}" == *wine-run.sh ]]; then
      prefix=$(d=$PWD; while [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done; echo "$d/wineprefix")
      snap() {
        find "$prefix/drive_c" -path '*/[Tt]emp' -prune -o -print | sort
        for k in 'HKCU\Software\TarnDemo' 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarn Sample'; do
          "${tm[0]}" reg query "$k" >/dev/null 2>&1 && echo "present: $k"
        done
        return 0
      }
    else
      # actions.log is the sandbox's record of programs, not the machine.
      snap() { (cd sandbox && find . ! -name actions.log ! -name registry.lock | sort && cat registry.reg); return 0; }
    fi
    # Make the machine's own folders first, which stay.
    "${tm[@]}" uninstall 'C:\nothing\Unistall.tsu' --key nothing "${sb[@]}" >/dev/null 2>&1
    mkdir -p "sandbox/C/Program Files"
    snap > before.txt
    run ok install out/sample.tsp --target "$target" --name 'Tarn Sample' "${sb[@]}" --json
    python3 - last.out <<'PY' || fail "install report"
import json, sys
r = json.load(open(sys.argv[1], encoding="utf-8"))
assert r["ok"] and not r["messages"], r
assert len(r["files"]) == 13 and len(r["shortcuts"]) == 3, r
assert r["temporary_removed"] == ["C:\\TarnSample\\demo.reg"], r
assert [p["wait"] for p in r["programs"]] == [True, False], r
assert r["log"] == "C:\\TarnSample\\Unistall.tsu", r
PY
    run ok list out/sample.tsp
    # The registry scripts are imported by programs that run on their own.
    [[ "${tm[0]}" == *wine-run.sh ]] && sleep 3
    run ok uninstall "$target\\Unistall.tsu" "${sb[@]}" --json
    python3 - last.out <<'PY' || fail "uninstall report"
import json, sys
r = json.load(open(sys.argv[1], encoding="utf-8"))
assert r["ok"] and r["processed"] and not r["registry_not_removed"], r
assert len(r["files_removed"]) == 16 and not r["files_not_removed"], r
PY
    snap > after.txt
    diff before.txt after.txt >&2 || fail "the uninstall left the machine changed"
    ;;
  *) fail "unknown scenario" ;;
esac
echo "PASS [$scenario]"
