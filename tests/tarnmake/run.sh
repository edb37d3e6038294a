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
  timeout 120 "${tm[@]}" "$@" >last.out 2>last.err
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

# fail_with TEXT ARGS...: tarnmake fails (in time) and says TEXT.
fail_with() {
  local want=$1; shift
  timeout 60 "${tm[@]}" "$@" >last.out 2>last.err && fail "tarnmake $* succeeded"
  grep -qF -- "$want" last.err || { cat last.err >&2; fail "tarnmake $*: no '$want'"; }
}
craft() { python3 "$here/craft.py" "$@" || fail "craft $*"; }
native() { [ ${#tm[@]} -eq 1 ]; }
# entry TARGET [LINE]: one FILEINFO section with SOURCE_PATH=f.txt, and the
# empty line that ends a section.
entry() { printf '[FILEINFO]\r\nSOURCE_PATH=f.txt\r\nTARGET_PATH=<TARGETDIR>\\%s\r\n%s\r\n' "$1" "${2:+$2$'\r\n'}"; }

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
  deflate)
    # Times that reading leaves alone, so two builds of one script are byte
    # for byte comparable: an access time after both the modification and
    # the change time (which the touch itself sets to now), and recent.
    find sample -type f -exec touch -m -d '2020-01-02 03:04:05' {} + -exec touch -a -d '1 hour' {} +
    pkg() { local o=$1; shift; run ok package sample/setup.ini -o "out/$o.tsp" "$@"; }
    pkg zdef --deflate zlib
    pkg z6 --deflate zlib --level 6
    cmp -s out/zdef.tsp out/z6.tsp || fail "zlib's default is not its level 6"
    pkg z9 --deflate zlib --level 9
    pkg z12 --deflate zlib --level 12
    cmp -s out/z9.tsp out/z12.tsp || fail "zlib's level 12 is not its 9"
    pkg z1 --deflate zlib --level 1
    cmp -s out/z1.tsp out/z6.tsp && fail "--level is ignored"
    if native; then
      pkg default
      pkg l5 --deflate libdeflate --level 5
      cmp -s out/default.tsp out/l5.tsp || fail "libdeflate at 5 is not the default"
      cmp -s out/l5.tsp out/z6.tsp && fail "--deflate is ignored"
      for l in 1 12; do
        pkg "l$l" --deflate libdeflate --level $l
        run ok verify "out/l$l.tsp"
        run ok extract "out/l$l.tsp" -o "x$l"
        check tree "x$l" sample
      done
      run ok build sample/setup.ini --ui sample/ui.ini --shell shell.exe -o out/b.exe --level 12
      run ok verify out/b.exe
    else
      # No libdeflate in the Windows build: zlib is its default.
      pkg default
      cmp -s out/default.tsp out/z6.tsp || fail "the default is not zlib at 6"
      run fail package sample/setup.ini -o out/l.tsp --deflate libdeflate
      grep -q 'without libdeflate' last.err || fail "no reason given"
    fi
    run fail package sample/setup.ini -o out/bad.tsp --level 13
    run fail package sample/setup.ini -o out/bad.tsp --level 0
    run fail build sample/setup.ini --ui sample/ui.ini --shell shell.exe -o out/bad.exe --deflate gzip
    [ -e out/bad.tsp ] || [ -e out/bad.exe ] && fail "written despite a bad option"
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
    # Make the machine's own folders first, which stay; a first round also
    # takes away what earlier tests in the same Wine prefix left of the
    # sample (its shortcuts and registry keys).
    "${tm[@]}" uninstall 'C:\nothing\Unistall.tsu' --key nothing "${sb[@]}" >/dev/null 2>&1
    mkdir -p "sandbox/C/Program Files"
    run ok install out/sample.tsp --target "$target" --name 'Tarn Sample' "${sb[@]}"
    # A redirected report is held in a buffer: all of it arrives, in order,
    # its last line too.
    head -n 1 last.out | grep -q '^files written:' || fail "report does not start with the files"
    tail -n 1 last.out | tr -d '\r' | grep -qx 'uninstall log: C:\\TarnSample\\Unistall.tsu' ||
      fail "report lost its last line: $(tail -n 1 last.out)"
    [[ "${tm[0]}" == *wine-run.sh ]] && sleep 3
    run ok uninstall "$target\\Unistall.tsu" "${sb[@]}"
    snap > before.txt
    run ok install out/sample.tsp --target "$target" --name 'Tarn Sample' --version 2.5 "${sb[@]}" --json
    python3 - last.out <<'PY' || fail "install report"
import json, sys
r = json.load(open(sys.argv[1], encoding="utf-8"))
assert r["ok"] and not r["messages"] and r["failures"] == [], r
# The whole Uninstall entry, as the setup shell writes it.
entry = {v["name"]: v["value"] for v in r["registry_values"]
         if v["key"].endswith("\\Uninstall\\Tarn Sample")}
assert r["version"] == "2.5" and r["publisher"] == "" and r["url"] == "", r
assert entry["UninstallString"] == r["uninstaller"] + " -U|Tarn Sample|C:\\TarnSample\\Unistall.tsu", entry
assert entry["QuietUninstallString"] == '"' + r["uninstaller"] + '" /S "-U|Tarn Sample|C:\\TarnSample\\Unistall.tsu"', entry
assert entry["InstallLocation"] == "C:\\TarnSample" and entry["DisplayIcon"] == r["uninstaller"], entry
assert entry["NoModify"] == entry["NoRepair"] == "dword:00000001", entry
assert int(entry["EstimatedSize"][6:], 16) > 0 and entry["DisplayVersion"] == "2.5", entry
assert "Publisher" not in entry and "URLInfoAbout" not in entry, entry
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
    # An installer's UI script names the entry's version, publisher and address.
    run ok installer --shell shell.exe --ui sample/ui.ini --package out/sample.tsp -o out/setup.exe
    run ok install out/setup.exe --target "$target" --name 'Tarn Sample' "${sb[@]}" --json
    python3 - last.out <<'PY' || fail "installer's entry details"
import json, sys
r = json.load(open(sys.argv[1], encoding="utf-8"))
assert (r["version"], r["publisher"], r["url"]) == ("1.0", "塔恩软件工作室", "https://tarn.example.org/demo"), r
names = {v["name"]: v["value"] for v in r["registry_values"]}
assert names["Publisher"] == "塔恩软件工作室" and names["URLInfoAbout"] == r["url"], names
PY
    [[ "${tm[0]}" == *wine-run.sh ]] && sleep 3
    run ok uninstall "$target\\Unistall.tsu" "${sb[@]}"
    ;;
  killed)
    # An install killed at 10, 50 and 90 % of its files (kill -9, as a power
    # loss or a deployment tool's timeout) is undone by the next install:
    # the files and folders it made, the file it replaced, its shortcut and
    # the keys its registry list names are as before, and no journal stays.
    native || { echo "SKIP [killed]: kills the native tarnmake"; exit 77; }
    n=1500
    python3 "$here/../support/killed_product.py" k $n || fail "making the package's tree"
    run ok package k/setup.ini -o out/killed.tsp
    run ok package sample/setup.ini -o out/sample.tsp
    sb=(--sandbox "$PWD/sandbox")
    killed=(install out/killed.tsp --target 'C:\TarnKilled' --name 'Tarn Killed' "${sb[@]}")
    snap() {
      (cd sandbox && find . -type f ! -name actions.log ! -name registry.lock -exec sha1sum {} + | sort -k2 &&
         find . -type d | sort && cat registry.reg)
      return 0
    }
    # Whole installs first: the machine's folders and the journal's own stay.
    run ok "${killed[@]}"
    run ok uninstall 'C:\TarnKilled\Unistall.tsu' "${sb[@]}"
    run ok install out/sample.tsp --target 'C:\TarnNext' --name 'Tarn Next' "${sb[@]}"
    run ok uninstall 'C:\TarnNext\Unistall.tsu' "${sb[@]}"
    # A file of the user's that the install replaces.
    mkdir -p sandbox/C/TarnKilled && echo mine > sandbox/C/TarnKilled/readme.txt
    snap > before.txt
    for pct in 10 50 90; do
      python3 "$here/../support/killer.py" sandbox/C/TarnKilled/bulk $((n * pct / 100)) - "${tm[@]}" "${killed[@]}"
      rc=$?
      [ $rc -eq 0 ] || fail "kill at $pct %: not caught half-way (killer exit $rc)"
      [ ! -e sandbox/C/TarnKilled/Unistall.tsu ] || fail "kill at $pct %: the install had finished"
      [ "$(cat sandbox/C/TarnKilled/readme.txt)" != mine ] || fail "kill at $pct %: readme.txt not replaced yet"
      run ok install out/sample.tsp --target 'C:\TarnNext' --name 'Tarn Next' "${sb[@]}"
      grep -q 'undid 1 install(s) that did not finish' last.err || fail "kill at $pct %: nothing undone"
      run ok uninstall 'C:\TarnNext\Unistall.tsu' "${sb[@]}"
      snap > after.txt
      diff before.txt after.txt >&2 || fail "kill at $pct %: the machine is not as before the install"
    done
    ;;
  hostile)
    run ok package sample/setup.ini -o p.tsp
    mkdir s adir && echo text > s/f.txt && : > empty.bin
    # A package whose last entry carries the installer's magic is a package.
    entry a.txt 'COMMAND_LINE=TSPSEV1.0' > s/magic.ini
    run ok package s/magic.ini -o mag.tsp
    for c in "list mag.tsp" "verify mag.tsp" "extract mag.tsp -o xm" \
             "installer --shell shell.exe --ui sample/ui.ini --package mag.tsp -o mag.exe" \
             "build s/magic.ini --ui sample/ui.ini --shell shell.exe -o mag2.exe"; do
      run ok $c
    done
    # Inputs and outputs of the wrong kind are refused up front, by name.
    mkdir s/sub && entry a.txt > s/folder.ini && sed -i 's/f\.txt/sub/' s/folder.ini
    entry 'CON.txt' > s/device.ini
    fail_with "is a folder; it must be a file" package sample/setup.ini -o adir
    fail_with "is a folder; it must be a file" installer --shell shell.exe --ui sample/ui.ini --package p.tsp -o adir
    [ -d adir ] || fail "the folder given as output is gone"
    fail_with "adir: it is a folder, not a file" list adir
    fail_with "'adir': it is a folder, not a file" package adir -o q.tsp
    fail_with "'adir': it is a folder, not a file" installer --shell adir --ui sample/ui.ini --package p.tsp -o q.exe
    fail_with "SOURCE_PATH 'sub': it is a folder, not a file" package s/folder.ini -o q.tsp
    fail_with "names a Windows device" package s/device.ini -o q.tsp
    fail_with "unknown subcommand 'frobnicate'" frobnicate x
    # Script values the index cannot hold as written are refused, by line.
    for v in 'INSTALL_FLAG=99999999999|INSTALL_FLAG' 'INSTALL_FLAG=128|INSTALL_FLAG 128' \
             'OS_VERSION=-1|OS_VERSION' 'FILE_PROTECTED=abc|FILE_PROTECTED' \
             'SHORTCUT_ICON_ID=256|SHORTCUT_ICON_ID'; do
      IFS='|' read -r line want <<<"$v"
      entry v.txt "$line" > s/value.ini
      run fail package s/value.ini -o val.tsp
      grep -q "error: s/value.ini:4: $want" last.err || fail "no error for $line"
      [ -e val.tsp ] && fail "a package written for $line"
    done
    entry v.txt $'INSTALL_FLAG=32\r\nOS_VERSION=3' > s/value.ini
    run ok package --strict s/value.ini -o val.tsp
    grep -q warning last.err && fail "a warning for plain values"
    # Damage and doubtful content that verify and extract must not pass.
    { entry 'aa\bb\up.txt'; entry 'CXN.txt'; entry 'dot_'; entry 'kEkNkZk.txt'; } > s/names.ini
    run ok package s/names.ini -o nm.tsp
    for fault in 'aa\\bb|..\\..|climbs out' 'CXN|CON|names a Windows device' 'dot_|dot.|ends in a dot'; do
      IFS='|' read -r old new want <<<"$fault"
      craft replace nm.tsp f.tsp "$old" "$new"
      fail_with "$want" verify f.tsp
      fail_with "$want" extract f.tsp -o xf
    done
    [ -e up.txt ] && fail "extract climbed out of its folder"
    { cat p.tsp; printf 'xx'; } > trail.tsp
    fail_with "2 stray bytes follow the size table" verify trail.tsp
    run ok installer --shell shell.exe --ui sample/ui.ini --package trail.tsp -o trail.exe
    fail_with "stray bytes follow the size table in the package blob" verify trail.exe
    craft installer e1.exe --shell shell.exe --package p.tsp --ui empty.bin
    fail_with "the UI script blob is empty" verify e1.exe
    craft installer e2.exe --shell empty.bin --package p.tsp --ui sample/ui.ini
    fail_with "no setup shell" verify e2.exe
    craft replace p.tsp cnt.tsp '\x0cTARN_TSPV1.0\0\0\0\0\0\x0f' '\x0cTARN_TSPV1.0\0\0\0\0\0\x64'
    fail_with "the header counts 100 entries, the index 15" verify cnt.tsp
    craft installer dui.exe --shell shell.exe --package p.tsp --ui sample/ui.ini --zui --damage-ui
    fail_with "damaged UI script blob" verify dui.exe
    fail_with "damaged UI script blob" extract dui.exe -o xd
    craft installer dpk.exe --shell shell.exe --package p.tsp --zpackage --damage-package --ui sample/ui.ini
    fail_with "package blob" extract dpk.exe -o xd
    # Two entries with one target: the later wins, and it is said.
    echo first > s/f.txt && { entry same.txt; printf '[FILEINFO]\r\nSOURCE_PATH=v.txt\r\nTARGET_PATH=<TARGETDIR>\\same.txt\r\n\r\n'; } > s/twice.ini
    echo second > s/v.txt
    run ok package s/twice.ini -o twice.tsp
    run ok extract twice.tsp -o xc
    grep -q 'entry \[1\] .*same.txt has the target path of entry \[0\]' last.err || fail "collision not told"
    grep -q '^1 file extracted' last.out || fail "one file counted twice"
    [ "$(cat xc/*TARGETDIR*/same.txt)" = second ] || fail "the later entry does not win"
    # Control bytes in names are escaped in text output.
    craft replace nm.tsp ctl.tsp 'kEkNkZk' 'k\x1bk\nk\x00k'
    run ok list ctl.tsp
    grep -qF 'k\x1Bk\x0Ak\x00k.txt' last.out || { cat last.out >&2; fail "control bytes not escaped"; }
    grep -q $'\x1b' last.out && fail "a raw escape byte in the listing"
    if native; then
      # Links below the output folder are never followed.
      mkdir outside && echo keep > outside/readme.txt
      mkdir xl1 && ln -s ../outside 'xl1/<TARGETDIR>'
      fail_with "is a link" extract p.tsp -o xl1
      mkdir -p 'xl2/<TARGETDIR>' && ln -s ../../outside/readme.txt 'xl2/<TARGETDIR>/readme.txt'
      fail_with "is a link" extract p.tsp -o xl2
      mkdir -p 'xl3/<TARGETDIR>' && ln outside/readme.txt 'xl3/<TARGETDIR>/readme.txt'
      run ok extract p.tsp -o xl3
      [ "$(ls outside)" = readme.txt ] && [ "$(cat outside/readme.txt)" = keep ] || fail "written through a link"
      # Pipes and devices: refused at once, never read or replaced.
      mkfifo fifo
      for dev in "$PWD/fifo" /dev/zero /dev/urandom /dev/null; do
        printf '[FILEINFO]\r\nSOURCE_PATH=%s\r\nTARGET_PATH=<TARGETDIR>\\a\r\n' "$dev" > s/dev.ini
        fail_with "SOURCE_PATH '$dev': it is not a regular file" package s/dev.ini -o q.tsp
        fail_with "it is not a regular file" package "$dev" -o q.tsp
        fail_with "$dev: it is not a regular file" list "$dev"
        fail_with "it is not a regular file" build sample/setup.ini --ui sample/ui.ini --shell "$dev" -o q.exe
        fail_with "it is not a regular file" installer --shell shell.exe --ui "$dev" --package p.tsp -o q.exe
      done
      # Only the pipe as an output: a tool that regresses must not replace a
      # device of the machine.
      fail_with "is not a regular file; it must be" package sample/setup.ini -o fifo
      fail_with "is not a regular file; it must be" build sample/setup.ini --ui sample/ui.ini --shell shell.exe -o fifo
      [ -p fifo ] || fail "the pipe given as output was replaced"
      # Memory stays small and nothing goes to disk whatever a blob inflates to.
      craft installer bomb-ui.exe --shell shell.exe --package p.tsp --ui-zeros 268435456 --zui
      # (A UI script of zeros names no product: verify says so.)
      craft peak 128:1 "${tm[@]}" verify bomb-ui.exe
      craft installer bomb-pk.exe --shell shell.exe --ui sample/ui.ini --package-zeros 268435456 --zpackage
      TMPDIR=$PWD/no-such-dir craft peak 128 "${tm[@]}" list bomb-pk.exe
      craft peak 128 "${tm[@]}" verify bomb-pk.exe
      # A build stopped by a signal leaves no temporary file.
      mkdir big bo && truncate -s 1500M big/zero.bin
      printf '[FILEINFO]\r\nSOURCE_PATH=zero.bin\r\nTARGET_PATH=<TARGETDIR>\\zero.bin\r\n' > big/setup.ini
      "${tm[@]}" build big/setup.ini --ui sample/ui.ini --shell shell.exe -o bo/big.exe 2>/dev/null &
      pid=$!
      sleep 1 && kill -TERM $pid
      wait $pid
      # (Should the build have ended first, only its installer may be there.)
      [ -z "$(ls -A bo | grep -vx big.exe)" ] || fail "left behind by a stopped build: $(ls -A bo)"
    else
      fail_with "NUL: it is not a regular file" list NUL
      fail_with "is not a regular file; it must be" package sample/setup.ini -o NUL
    fi
    ;;
  safety)
    # Install and uninstall reach nothing that is not theirs, natively in
    # the sandbox and for the .exe in the Wine prefix.
    sb=(--sandbox "$PWD/sandbox")
    if [[ "${tm[0]}" == *wine-run.sh ]]; then
      drive_c=$(d=$PWD; while [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done; echo "$d/wineprefix/drive_c")
    else
      drive_c=$PWD/sandbox/C
    fi
    mkdir -p s outside && echo text > s/f.txt && echo keep > outside/keep.txt
    rm -rf "$drive_c/TarnSafety" && mkdir -p "$drive_c/TarnSafety"
    # A product without a name: the log is written, no Uninstall key, and
    # the install fails; a fallback with an empty key removes nothing.
    entry a.txt > s/one.ini
    run ok package s/one.ini -o .tsp
    run ok install .tsp --target 'C:\TarnSafety2' --name 'Tarn Safety Sibling' "${sb[@]}"
    "${tm[@]}" install .tsp --target 'C:\TarnSafety' "${sb[@]}" --json > last.out 2>last.err &&
      fail "a nameless install succeeded"
    python3 - last.out <<'PY' || fail "nameless install report"
import json, sys
r = json.load(open(sys.argv[1], encoding="utf-8"))
assert not r["ok"] and r["product"] == "", r
assert any("不合法,没有建立卸载注册表键" in m for m in r["messages"]), r
PY
    grep -q 'TSUIV1.0' "$drive_c/TarnSafety/Unistall.tsu" || fail "no log for a nameless product"
    # No key names that log: a later install would keep it and write its own beside it.
    rm -f "$drive_c/TarnSafety/Unistall.tsu"
    for k in '' '\' ' '; do
      "${tm[@]}" uninstall 'C:\TarnSafety\none.tsu' --key "$k" "${sb[@]}" >/dev/null 2>&1
    done
    if [[ "${tm[0]}" == *wine-run.sh ]]; then
      "${tm[0]}" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarn Safety Sibling' >/dev/null 2>&1 ||
        fail "the Uninstall key is gone"
    else
      grep -qF 'Uninstall\Tarn Safety Sibling]' sandbox/registry.reg || fail "the Uninstall key is gone"
    fi
    run ok uninstall 'C:\TarnSafety2\Unistall.tsu' "${sb[@]}"
    # A file without the log's magic is not deleted by an uninstall.
    echo "not a log" > "$drive_c/TarnSafety/notes.txt"
    "${tm[@]}" uninstall 'C:\TarnSafety\notes.txt' "${sb[@]}" >/dev/null 2>&1 && fail "a file that is no log was processed"
    [ -f "$drive_c/TarnSafety/notes.txt" ] || fail "the uninstall deleted a file that is no log"
    # A linked folder below the target is never written through.
    ln -s "$PWD/outside" "$drive_c/TarnSafety/docs"
    entry 'docs\keep.txt' > s/link.ini
    run ok package s/link.ini -o link.tsp
    "${tm[@]}" install link.tsp --target 'C:\TarnSafety' --name 'Tarn Safety' "${sb[@]}" >last.out 2>last.err &&
      fail "an install through a link succeeded"
    [ "$(cat outside/keep.txt)" = keep ] || fail "written through a linked folder"
    printf 'TSUIV1.0\r\nC:\\TarnSafety\\docs\\keep.txt\r\n' > "$drive_c/TarnSafety/Unistall.tsu"
    "${tm[@]}" uninstall 'C:\TarnSafety\Unistall.tsu' "${sb[@]}" >/dev/null 2>&1
    [ "$(cat outside/keep.txt)" = keep ] || fail "the uninstall reached through a linked folder"
    rm -f "$drive_c/TarnSafety/docs"
    # A failed entry fails the install, and the report names what it was
    # about; the entries after it are installed.
    rm -rf "$drive_c/TarnBlocked" && mkdir -p "$drive_c/TarnBlocked" && echo x > "$drive_c/TarnBlocked/blocked"
    { entry 'blocked\x.txt'; entry ok.txt; } > s/blocked.ini
    run ok package s/blocked.ini -o blocked.tsp
    "${tm[@]}" install blocked.tsp --target 'C:\TarnBlocked' --name 'Tarn Blocked' "${sb[@]}" --json >last.out 2>last.err &&
      fail "an install with a failed entry succeeded"
    grep -q "error: 1 problem(s) during the install" last.err || fail "no count of the failures: $(cat last.err)"
    grep -qF "cannot create the folder 'C:\TarnBlocked\blocked'" last.err || fail "the failure is not told in English"
    python3 - last.out <<'PY' || fail "failed install report"
import json, sys
r = json.load(open(sys.argv[1], encoding="utf-8"))
assert not r["ok"] and r["files"] == ["C:\\TarnBlocked\\ok.txt"], r
assert r["failures"] == [{"subject": "C:\\TarnBlocked\\blocked",
                          "why": "不能建立路径'C:\\TarnBlocked\\blocked'!"}], r
assert r["messages"] == [r["failures"][0]["why"]], r
PY
    "${tm[@]}" uninstall 'C:\TarnBlocked\Unistall.tsu' "${sb[@]}" --json >last.out 2>last.err
    python3 - last.out <<'PY' || fail "uninstall after a failed install"
import json, sys
r = json.load(open(sys.argv[1], encoding="utf-8"))
assert r["ok"] and "C:\\TarnBlocked\\ok.txt" in r["files_removed"], r
assert r["failures"] == [] and r["scheduled"] == [], r
PY
    "${tm[@]}" uninstall 'C:\TarnBlocked\Unistall.tsu' "${sb[@]}" --json >last.out 2>last.err &&
      fail "an uninstall without its log succeeded"
    python3 - last.out <<'PY' || fail "uninstall without a log"
import json, sys
r = json.load(open(sys.argv[1], encoding="utf-8"))
assert not r["ok"] and not r["processed"], r
assert r["failures"] == [{"subject": "C:\\TarnBlocked\\Unistall.tsu", "why": "打开卸载信息错误!"}], r
PY
    rm -rf "$drive_c/TarnBlocked"
    # A climbing target is refused at install as at verify; natively
    # <SETUPDIR> is a folder of the sandbox.
    printf '[FILEINFO]\r\nSOURCE_PATH=f.txt\r\nTARGET_PATH=<SETUPDIR>\\aa\\bb\\cc\\x.txt\r\n\r\n' > s/setup.ini
    run ok package s/setup.ini -o sd.tsp
    craft replace sd.tsp climb.tsp 'aa\\bb\\cc' '..\\..\\..'
    "${tm[@]}" install climb.tsp --target 'C:\TarnSafety' --name 'Tarn Safety' "${sb[@]}" >last.out 2>last.err &&
      fail "a climbing target was installed"
    if native; then
      run ok install sd.tsp --target 'C:\TarnSafety' --name 'Tarn Safety' "${sb[@]}"
      [ -f sandbox/C/SETUP/aa/bb/cc/x.txt ] || fail "<SETUPDIR> is not C:\\SETUP in the sandbox"
      run ok uninstall 'C:\TarnSafety\Unistall.tsu' "${sb[@]}"
    fi
    rm -rf "$drive_c/TarnSafety"
    ;;
  reproducible)
    # Two checkouts of one tree, made at different moments: with
    # SOURCE_DATE_EPOCH no stored time is later than it and the installers
    # are the same bytes; an older time stays as it was.
    epoch=1500000000
    cp -r sample a && cp -r sample b
    find a -exec touch -d '2021-06-01 12:00:00 UTC' {} +
    find b -exec touch -d '2023-03-04 05:06:07 UTC' {} +
    touch -d @1400000000 a/files/readme.txt b/files/readme.txt
    export SOURCE_DATE_EPOCH=$epoch
    run ok build a/setup.ini --ui a/ui.ini --shell shell.exe -o a.exe
    run ok build b/setup.ini --ui b/ui.ini --shell shell.exe -o b.exe
    cmp a.exe b.exe || fail "two checkouts built with SOURCE_DATE_EPOCH differ"
    run ok list --json b.exe && cp last.out clamped.json
    # Not a number of seconds: refused, and nothing written.
    export SOURCE_DATE_EPOCH=yesterday
    fail_with "SOURCE_DATE_EPOCH 'yesterday' is not a number" package b/setup.ini -o bad.tsp
    [ -e bad.tsp ] && fail "a package written under a bad SOURCE_DATE_EPOCH"
    export SOURCE_DATE_EPOCH=
    run ok package b/setup.ini -o empty.tsp
    unset SOURCE_DATE_EPOCH
    run ok package b/setup.ini -o free.tsp
    cmp -s empty.tsp free.tsp || fail "an empty SOURCE_DATE_EPOCH is not unset"
    run ok list --json free.tsp && cp last.out free.json
    python3 - clamped.json free.json $epoch <<'PY' || fail "stored times"
import json, sys
clamped, free = (json.load(open(f, encoding="utf-8"))["entries"] for f in sys.argv[1:3])
epoch, newer = int(sys.argv[3]), 1677906367
data = [e for e in clamped if e["orig_size"] or e["stored_size"]]
assert data, clamped
for e in clamped:
    times = (e["create_time"], e["modify_time"], e["access_time"])
    assert all(t <= epoch for t in times), e
readme = [e for e in clamped if e["target_path"].endswith("\\readme.txt")]
assert readme and readme[0]["modify_time"] == 1400000000, readme
assert all(e["modify_time"] == epoch for e in data if e not in readme), data
# Without the variable the files' own (newer) times are stored.
assert all(e["modify_time"] == newer for e in free
           if (e["orig_size"] or e["stored_size"]) and not e["target_path"].endswith("\\readme.txt")), free
PY
    ;;
  signed)
    # The publisher signs the built installer: the certificate table then
    # follows the trailer. The shell must be a PE image signing accepts: the
    # real one for the .exe ($TARN_SHELL), a made one natively.
    command -v osslsigncode >/dev/null && command -v openssl >/dev/null ||
      fail "osslsigncode and openssl are needed (scripts/deps.sh)"
    if [ -n "${TARN_SHELL:-}" ]; then cp "$TARN_SHELL" pe.exe; else craft pe pe.exe; fi
    openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
      -subj '/CN=Tarn Test Publisher' >/dev/null 2>&1 || fail "no test certificate"
    sign() { osslsigncode sign -certs cert.pem -key key.pem -n 'Tarn Sample' -in "$1" -out "$2" \
               >/dev/null || fail "osslsigncode on $1"; }
    run ok build sample/setup.ini --ui sample/ui.ini --shell pe.exe -o setup.exe
    sign setup.exe signed.exe
    read -r off size _ < <(python3 "$here/craft.py" secdir signed.exe)
    [ "$off" -ge "$(stat -c %s setup.exe)" ] && [ $((off + size)) -eq "$(stat -c %s signed.exe)" ] ||
      fail "the signature is not a table at the end ($off $size)"
    run ok verify signed.exe
    grep -q ': OK, installer with [0-9]* entries, signed' last.out || fail "verify does not say signed"
    run ok verify setup.exe
    grep -q signed last.out && fail "an unsigned installer is said to be signed"
    run ok list --json signed.exe && cp last.out list.json
    check listing list.json installer sample
    python3 - list.json "$(stat -c %s pe.exe)" <<'PY' || fail "installer fields of the signed file"
import json, sys
i = json.load(open(sys.argv[1]))["installer"]
assert i["signed"] is True and i["shell_size"] == int(sys.argv[2]), i
PY
    run ok list signed.exe
    grep -q '); signed' last.out || fail "the listing does not say signed"
    run ok extract signed.exe -o x
    check tree x sample
    # Cut inside its signature it is no installer, and says so.
    head -c $(($(stat -c %s signed.exe) - 1)) signed.exe > cut.exe
    run fail verify cut.exe
    # A shell signed before the build keeps its table inside the shell.
    sign pe.exe pe-signed.exe
    run ok build sample/setup.ini --ui sample/ui.ini --shell pe-signed.exe -o pre.exe
    run ok verify pre.exe
    grep -q signed last.out && fail "a signed shell made the installer signed"
    # The signed installer installs and uninstalls as the unsigned one does.
    sb=(--sandbox "$PWD/sandbox")
    mkdir -p "sandbox/C/Program Files"
    target='C:\TarnSigned'
    run ok install signed.exe --target "$target" --name 'Tarn Signed' "${sb[@]}" --json
    python3 - last.out <<'PY' || fail "install report"
import json, sys
r = json.load(open(sys.argv[1], encoding="utf-8"))
assert r["ok"] and not r["messages"] and len(r["files"]) == 13, r
PY
    [[ "${tm[0]}" == *wine-run.sh ]] && sleep 3
    run ok uninstall "$target\\Unistall.tsu" "${sb[@]}" --json
    python3 - last.out <<'PY' || fail "uninstall report"
import json, sys
r = json.load(open(sys.argv[1], encoding="utf-8"))
assert r["ok"] and r["processed"] and len(r["files_removed"]) == 16 and not r["files_not_removed"], r
PY
    ;;
  script)
    # A setup script for a tree: every file, in byte order of the names,
    # packed back to the same tree from another folder.
    tree=sample/files
    mkdir -p out/deep
    run ok script "$tree" -o out/deep/s.ini
    iconv -f GBK -t UTF-8 out/deep/s.ini > s.txt || fail "the script is not GBK"
    grep '^SOURCE_PATH=' s.txt | head -1 | grep -qF 'SOURCE_PATH=..\..\sample\files\' ||
      fail "SOURCE_PATH is not relative to the script: $(grep -m1 SOURCE_PATH s.txt)"
    grep '^TARGET_PATH=' s.txt | tr -d '\r' | sed 's/^TARGET_PATH=<TARGETDIR>\\//' > got.txt
    # Folder by folder, each in byte order of its GBK names.
    (cd "$tree" && find . -type f) | python3 -c '
import sys
paths = [l.rstrip("\n")[2:].split("/") for l in sys.stdin]
for p in sorted(paths, key=lambda p: [c.encode("gbk") for c in p]): print("\\".join(p))' > want.txt
    diff want.txt got.txt >&2 || fail "not every file, or not in byte order"
    grep -q '^TARGET_PATH=<TARGETDIR>\\文档\\说明.txt' s.txt || fail "a Chinese name is not GBK"
    run ok package out/deep/s.ini -o out/s.tsp
    run ok extract out/s.tsp -o x
    diff -r "$tree" x/*TARGETDIR* >&2 || fail "the package does not hold the tree"
    # Standard output: the same text, relative to the current folder; and
    # the same again on a second run.
    run ok script "$tree" && cp last.out a.ini
    run ok script "$tree" -o b.ini
    cmp a.ini b.ini || fail "standard output differs from the file"
    run ok script "$tree" -o b.ini
    cmp a.ini b.ini || fail "a second run differs"
    # A subfolder target, shortcuts on the entries named, and a script
    # written inside the tree is not one of its files.
    cp -r "$tree" t2
    run ok script t2 -o t2/s.ini --target '<TARGETDIR>\app' --shortcut readme.txt=Read \
      --shortcut '文档/说明.txt=中文\说明'
    run ok script t2 -o t2/s.ini --target '<TARGETDIR>\app'
    grep -qF 'app\s.ini' t2/s.ini && fail "the script lists itself"
    run ok script t2 -o t2/s.ini --target '<TARGETDIR>\app' --shortcut readme.txt=Read \
      --shortcut '文档/说明.txt=中文\说明'
    iconv -f GBK -t UTF-8 t2/s.ini > s2.txt
    [ "$(grep -c '^TARGET_PATH=<TARGETDIR>\\app\\' s2.txt)" -eq "$(wc -l < want.txt)" ] || fail "--target"
    [ "$(grep -c '^SHORTCUT_PATH=' s2.txt)" -eq 2 ] || fail "not two shortcuts"
    grep -A2 'TARGET_PATH=<TARGETDIR>\\app\\readme.txt' s2.txt | grep -qF 'SHORTCUT_PATH=<TARGET_FOLDER>\Read.lnk' ||
      fail "the shortcut is not on its file"
    grep -qF 'SHORTCUT_PATH=<TARGET_FOLDER>\中文\说明.lnk' s2.txt || fail "the Chinese shortcut"
    # The UI script: GBK from UTF-8 arguments and licence, read back by
    # the installer's own reader.
    printf 'Licence 许可\n[not a section]\nend\n' > lic.txt
    run ok script "$tree" -o out/u.ini --ui out/ui.ini --product 'Tarn 脚本' --version 3.1 \
      --publisher '塔恩' --url https://tarn.example.org --licence lic.txt --install-dir 'Tarn\Script'
    iconv -f GBK -t UTF-8 out/ui.ini | tr -d '\r' > ui.txt || fail "the UI script is not GBK"
    python3 - ui.txt <<'PY' || fail "UI script sections"
import sys
t = open(sys.argv[1], encoding="utf-8").read()
for want in ("[PRODUCTNAME]\nTarn 脚本\n", "[TARGETDIR]\n<DEFAULT>\\Tarn\\Script\n",
             "[TARGETFOLDER]\nTarn 脚本\n", "[VERSION]\n3.1\n", "[PUBLISHER]\n塔恩\n",
             "[URL]\nhttps://tarn.example.org\n", "[LICENCE]\nLicence 许可\n [not a section]\nend\n"):
    assert want in t, (want, t)
assert t.rstrip().endswith("end"), t
PY
    run ok build out/u.ini --ui out/ui.ini --shell shell.exe -o out/u.exe
    run ok install out/u.exe --target 'C:\TarnScript' --name 'Tarn Script' --sandbox "$PWD/sandbox" --json
    python3 -c "import json,sys; r=json.load(open('last.out',encoding='utf-8')); sys.exit((r['version'],r['publisher'])!=('3.1','塔恩'))" ||
      fail "the installer does not read the UI script's details"
    [[ "${tm[0]}" == *wine-run.sh ]] && sleep 3
    run ok uninstall 'C:\TarnScript\Unistall.tsu' --sandbox "$PWD/sandbox"
    # Refused, each with one error line and no script written.
    mkdir empty two && echo a > two/readme.txt
    : > long.txt
    while IFS='|' read -r want args; do
      eval "set -- $args"
      run fail script "$@" -o refused.ini
      grep -qF -- "$want" last.err || { cat last.err >&2; fail "script $args: no '$want'"; }
      [ -e refused.ini ] && fail "script $args wrote a script"
    done <<'CASES'
no file to install under 'empty'|empty
'nothing' is not a folder|nothing
are one name on Windows|"$tree" two
must be <TARGETDIR>|"$tree" --target 'C:\x'
must be <TARGETDIR>|"$tree" --target '<TARGETDIR>\..\up'
must be <TARGETDIR>|"$tree" --target '<SOMEWHERE>'
no file 'nothing.txt' in the folders|"$tree" --shortcut nothing.txt=X
is not FILE=NAME|"$tree" --shortcut readme.txt
is not FILE=NAME|"$tree" --shortcut readme.txt=
has a shortcut already|"$tree" --shortcut readme.txt=A --shortcut README.TXT=B
the shortcut cannot be made|"$tree" --shortcut readme.txt='a|b'
the shortcut cannot be made|"$tree" --shortcut readme.txt='..\..\x'
cannot name an Uninstall key|"$tree" --ui u.ini --product 'a|b'
cannot name an Uninstall key|"$tree" --ui u.ini --product ' '
must be one line|"$tree" --ui u.ini --product x --version $'1\n2'
the folder 'a:b' cannot be used|"$tree" --ui u.ini --product x --install-dir 'a:b'
the licence 'nothing.txt'|"$tree" --ui u.ini --product x --licence nothing.txt
Windows allows no|"$tree" --ui u.ini --product x --program-folder 'a*b'
are one file|"$tree" --ui refused.ini --product x
requires --ui|"$tree" --product x
over 255 bytes|"$tree" --target "<TARGETDIR>\\$(printf 'd%.0s' {1..250})"
CASES
    [ -e u.ini ] && fail "a UI script was written by a refused run"
    run fail script "$tree" -o no-such-dir/s.ini
    grep -q 'does not exist' last.err || fail "a missing output folder"
    if native; then
      # What the host tree may hold and Windows or the script may not.
      mk() { rm -rf bad && mkdir -p bad && echo x > bad/ok.txt; }
      while IFS='|' read -r want make; do
        mk && (cd bad && eval "$make") || fail "making: $make"
        run fail script bad -o refused.ini
        grep -qF -- "$want" last.err || { cat last.err >&2; fail "[$make]: no '$want'"; }
        [ -e refused.ini ] && fail "[$make] wrote a script"
      done <<'CASES'
is a link; an installer carries files|ln -s ok.txt link.txt
is a link; an installer carries files|mkdir d && ln -s ../.. d/up
is not a regular file|mkfifo pipe
Windows allows no|echo x > 'back\slash.txt'
Windows allows no|echo x > 'what?.txt'
names a Windows device|mkdir -p sub && echo x > sub/CON.txt
ends in a dot or a blank|echo x > 'dot.'
ends in a dot or a blank|echo x > 'blank '
are one name on Windows|echo x > OK.TXT
are one name on Windows|echo x > 'Straße.txt' && echo y > 'STRAßE.TXT'
are one name on Windows|mkdir -p Ça/x && echo x > 'Ça/x/é.txt' && mkdir -p ça/x && echo y > 'ça/x/É.txt'
are one name on Windows|echo x > 'Язык.txt' && echo y > 'язык.txt'
are one name on Windows|echo x > 'αβ.txt' && echo y > 'ΑΒ.txt'
is not UTF-8|echo x > $'bad\xff.txt'
holds a character no file name may hold|echo x > $'tab\tname'
CASES
      run fail script "$tree" -o refused.ini --ui u.ini --product $'bad\xff'
      grep -q 'is not UTF-8 text' last.err || fail "an argument that is not UTF-8"
    fi
    # Names GBK lacks are written exactly, as GB18030 four-byte sequences,
    # and installed under their own names.
    mkdir -p wide/Français wide/한국어
    echo 1 > wide/Straße.txt && echo 2 > wide/Français/ça.txt && echo 3 > wide/한국어/😀.txt &&
      echo 4 > wide/说明.txt
    printf 'Licence ß 😀\n' > lic8.txt
    run ok script wide -o out/w.ini --shortcut 'Straße.txt=Straße 😀' --ui out/wui.ini \
      --product 'Tarn 😀' --version 'v1 ß' --publisher 'Straße' --url 'https://tarn.example.org/ß' \
      --licence lic8.txt
    python3 - out/w.ini out/wui.ini <<'PY' || fail "the scripts do not hold the names exactly"
import sys
s = open(sys.argv[1], "rb").read().decode("gb18030")
targets = [l[len("TARGET_PATH="):] for l in s.split("\r\n") if l.startswith("TARGET_PATH=")]
want = ["<TARGETDIR>\\Français\\ça.txt", "<TARGETDIR>\\Straße.txt", "<TARGETDIR>\\说明.txt",
        "<TARGETDIR>\\한국어\\😀.txt"]
assert sorted(targets) == sorted(want), targets
assert "SHORTCUT_PATH=<TARGET_FOLDER>\\Straße 😀.lnk\r\n" in s, s
# 说明 is GBK and stays its two-byte form.
assert "说明".encode("gbk") in open(sys.argv[1], "rb").read()
u = open(sys.argv[2], "rb").read().decode("gb18030").replace("\r\n", "\n")
for w in ("[PRODUCTNAME]\nTarn 😀\n", "[VERSION]\nv1 ß\n", "[PUBLISHER]\nStraße\n",
          "[URL]\nhttps://tarn.example.org/ß\n", "[LICENCE]\nLicence ß 😀\n"):
    assert w in u, (w, u)
PY
    run ok build out/w.ini --ui out/wui.ini --shell shell.exe -o out/w.exe
    run ok verify out/w.exe
    run ok list --json out/w.exe
    python3 - last.out <<'PY' || fail "the listing does not show the names exactly"
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
assert d["version"] == "TARN_TSPV1.1", d["version"]
names = {e["target_path"] for e in d["entries"]}
assert "<TARGETDIR>\\한국어\\😀.txt" in names and "<TARGETDIR>\\Straße.txt" in names, names
PY
    if [[ "${tm[0]}" == *wine-run.sh ]]; then
      drive_c=$(d=$PWD; while [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done; echo "$d/wineprefix/drive_c")
    else
      drive_c=$PWD/sandbox/C
    fi
    rm -rf "$drive_c/TarnWide"
    run ok install out/w.exe --target 'C:\TarnWide' --name 'Tarn 😀' --sandbox "$PWD/sandbox" --json
    python3 - last.out <<'PY' || fail "the install report does not name the files exactly"
import json, sys
r = json.load(open(sys.argv[1], encoding="utf-8"))
assert r["ok"] and r["product"] == "Tarn 😀" and r["publisher"] == "Straße", r
assert "C:\\TarnWide\\한국어\\😀.txt" in r["files"] and "C:\\TarnWide\\Français\\ça.txt" in r["files"], r
assert [s["link"].endswith("\\Straße 😀.lnk") for s in r["shortcuts"]] == [True], r
PY
    [ "$(cat "$drive_c/TarnWide/한국어/😀.txt")" = 3 ] && [ "$(cat "$drive_c/TarnWide/Straße.txt")" = 1 ] &&
      [ "$(cat "$drive_c/TarnWide/Français/ça.txt")" = 2 ] || fail "not installed under the exact names"
    [[ "${tm[0]}" == *wine-run.sh ]] && sleep 3
    run ok uninstall 'C:\TarnWide\Unistall.tsu' --sandbox "$PWD/sandbox"
    [ -e "$drive_c/TarnWide/Straße.txt" ] && fail "the uninstall left a file"
    ;;
  unicode)
    # The package form: GBK names give the bytes of a 1.0 package as the
    # form lays them out; a name GBK lacks changes the version alone.
    export SOURCE_DATE_EPOCH=1500000000
    mkdir g
    printf 'a\n' > g/a.txt && printf 'bb\n' > g/b.txt && cp g/a.txt g/Straße.txt
    find g -exec touch -d @$SOURCE_DATE_EPOCH {} +
    printf '[FILEINFO]\r\nSOURCE_PATH=a.txt\r\nTARGET_PATH=<TARGETDIR>\\说明.txt\r\n\r\n[FILEINFO]\r\nSOURCE_PATH=b.txt\r\nTARGET_PATH=<TARGETDIR>\\b.txt\r\n\r\n' |
      iconv -f UTF-8 -t GBK > g/gbk.ini
    run ok package g/gbk.ini -o gbk.tsp
    craft tsp want-gbk.tsp TARN_TSPV1.0 $SOURCE_DATE_EPOCH '<TARGETDIR>\说明.txt=g/a.txt' '<TARGETDIR>\b.txt=g/b.txt'
    cmp gbk.tsp want-gbk.tsp || fail "a package of GBK names is not the 1.0 form"
    wide=$'[FILEINFO]\r\nSOURCE_PATH=Straße.txt\r\nTARGET_PATH=<TARGETDIR>\\Straße.txt\r\n\r\n[FILEINFO]\r\nSOURCE_PATH=b.txt\r\nTARGET_PATH=<TARGETDIR>\\b.txt\r\n\r\n'
    printf '%s' "$wide" | iconv -f UTF-8 -t GB18030 > g/wide.ini
    run ok package g/wide.ini -o wide.tsp
    craft tsp want-wide.tsp TARN_TSPV1.1 $SOURCE_DATE_EPOCH '<TARGETDIR>\Straße.txt=g/Straße.txt' '<TARGETDIR>\b.txt=g/b.txt'
    cmp wide.tsp want-wide.tsp || fail "a package of a name GBK lacks is not the 1.1 form"
    run ok verify wide.tsp
    grep -q 'OK, package with 2 entries' last.out || fail "verify of the 1.1 package"
    # A script marked as UTF-8 is the same script as its GBK form...
    { printf '\xEF\xBB\xBF%s' "$wide"; } > g/utf8.ini
    run ok package g/utf8.ini -o utf8.tsp
    cmp utf8.tsp wide.tsp || fail "a UTF-8 script marked so is not read as its GBK form"
    # ...one without the mark is GBK (its UTF-8 "ß" names another file)...
    printf '%s' "$wide" > g/nomark.ini
    fail_with "g/nomark.ini:2: the file is UTF-8 without a byte order mark" package g/nomark.ini -o nomark.tsp
    fail_with "it does not exist" package --lax g/nomark.ini -o nomark.tsp
    # ...and a marked one that is not UTF-8 throughout is refused by line.
    printf '\xEF\xBB\xBF[FILEINFO]\r\nSOURCE_PATH=a\xff.txt\r\nTARGET_PATH=<TARGETDIR>\\a.txt\r\n' > g/bad.ini
    run fail package g/bad.ini -o bad.tsp
    grep -q "line 2 is not UTF-8" last.err || fail "the bad line is not named"
    [ -e bad.tsp ] && fail "a package from a script that is not UTF-8"
    # The UI script: the installer carries its GBK form.
    { printf '\xEF\xBB\xBF'; iconv -f GBK -t UTF-8 sample/ui.ini; } > ui8.ini
    run ok build g/gbk.ini --ui sample/ui.ini --shell shell.exe -o gbk.exe
    run ok build g/utf8.ini --ui ui8.ini --shell shell.exe -o utf8.exe
    run ok installer --shell shell.exe --ui ui8.ini --package wide.tsp -o inst8.exe
    run ok build g/wide.ini --ui sample/ui.ini --shell shell.exe -o wide.exe
    cmp utf8.exe wide.exe || fail "build: the UI script blob is not the GBK form"
    cmp inst8.exe wide.exe || fail "installer: the UI script blob is not the GBK form"
    # tarnmake.exe takes its command line and names its files in UTF-16:
    # the same script and installer whatever the system's code page.
    cp -rp g 'g ß😀'
    run ok script 'g ß😀' -o s-zh.ini
    if [[ "${tm[0]}" == *wine-run.sh ]]; then
      for loc in en_US.UTF-8 ja_JP.UTF-8; do
        TARN_WINE_LOCALE=$loc run ok build 'g ß😀/wide.ini' --ui sample/ui.ini --shell shell.exe -o "w ß😀 $loc.exe"
        cmp wide.exe "w ß😀 $loc.exe" || fail "built otherwise under $loc"
        TARN_WINE_LOCALE=$loc run ok script 'g ß😀' -o "s $loc.ini"
        cmp s-zh.ini "s $loc.ini" || fail "another script under $loc"
      done
    fi
    # One that an older tarnmake put in as it was: the shell would miss its
    # first section, and verify says why.
    craft installer marked.exe --shell shell.exe --package wide.tsp --ui ui8.ini --zui
    fail_with "the UI script blob is UTF-8" verify marked.exe
    run ok verify utf8.exe
    { printf '\xEF\xBB\xBF[PRODUCTNAME]\r\nx\r\n\r\n[PUBLISHER]\r\nStraße 😀\r\n\r\n[LICENCE]\r\n'; } > uiw.ini
    run ok build g/utf8.ini --ui uiw.ini --shell shell.exe -o uiw.exe
    run ok install uiw.exe --target 'C:\TarnUnicode' --name 'Tarn Unicode' --sandbox "$PWD/sandbox" --json
    python3 -c "import json,sys; r=json.load(open('last.out',encoding='utf-8')); sys.exit(r['publisher']!='Straße 😀')" ||
      fail "the UI script's UTF-8 publisher"
    [[ "${tm[0]}" == *wine-run.sh ]] && sleep 3
    run ok uninstall 'C:\TarnUnicode\Unistall.tsu' --sandbox "$PWD/sandbox"
    ;;
  help)
    # Each topic prints its file exactly; without one, the list; an unknown
    # one is a usage error with the list.
    docs=$sample_src/../../docs
    ls "$docs"/*.md >/dev/null 2>&1 || fail "no docs/*.md"
    run ok help
    for f in "$docs"/*.md; do
      topic=$(basename "$f" .md)
      grep -qx "  $topic" last.out || fail "help does not list $topic"
    done
    [ "$(grep -c '^  ' last.out)" -eq "$(ls "$docs"/*.md | wc -l)" ] || fail "help lists other topics"
    for f in "$docs"/*.md; do
      timeout 60 "${tm[@]}" help "$(basename "$f" .md)" > topic.out 2>last.err || fail "help $(basename "$f")"
      cmp topic.out "$f" || fail "help $(basename "$f" .md) is not the file's text"
    done
    timeout 60 "${tm[@]}" help no-such-topic >last.out 2>last.err
    [ $? -eq 2 ] || fail "an unknown topic does not exit 2"
    grep -q "no help topic 'no-such-topic'" last.err || fail "the unknown topic is not named"
    tr -d '\r' < last.err | grep -qx '  tarnmake' || fail "the unknown topic does not list the topics"
    ;;
  actions)
    # What script adds to the tree's entries, installed in the sandbox: a
    # registry script imported and deleted, a list the uninstall removes,
    # shortcuts to other folders and a program started last.
    mkdir -p tree/bin tree/z
    echo app > tree/bin/app.exe && echo read > tree/readme.txt && echo last > tree/z/zz.txt
    # Under Wine the program really starts: tarnmake.exe itself.
    native || cp "${tm[1]}" tree/bin/app.exe
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\TarnActions]\r\n"Mode"="on"\r\n' > keys.reg
    printf 'HKEY_CURRENT_USER\\Software\\TarnActions\r\n' > keys.txt
    run ok script tree -o out/a.ini --reg keys.reg --reg-list keys.txt \
      --run bin/app.exe '/first run' --shortcut 'bin/app.exe=<DESKTOP_FOLDER>\App' \
      --shortcut 'readme.txt=<startup_folder>\Tarn\Read'
    python3 - out/a.ini <<'PY' || fail "the script's entries"
import sys
secs = [s for s in open(sys.argv[1], "rb").read().decode("gbk").split("\r\n\r\n") if s.startswith("[FILEINFO]")]
ents = [dict(l.split("=", 1) for l in s.split("\r\n")[1:] if "=" in l) for s in secs]
targets = [e["TARGET_PATH"] for e in ents]
# The program comes last, after the files and the registry entries.
assert targets == ["<TARGETDIR>\\readme.txt", "<TARGETDIR>\\z\\zz.txt", "<TARGETDIR>\\keys.reg",
                   "<TARGETDIR>\\keys.txt", "<TARGETDIR>\\bin\\app.exe"], targets
flags = [e["INSTALL_FLAG"] for e in ents]
assert flags == ["0", "0", "6", "16", "32"], flags
assert ents[2]["SOURCE_PATH"] == "..\\keys.reg", ents[2]
assert ents[4]["COMMAND_LINE"] == "/first run" and ents[4]["SHORTCUT_PATH"] == "<DESKTOP_FOLDER>\\App.lnk", ents[4]
assert ents[0]["SHORTCUT_PATH"] == "<startup_folder>\\Tarn\\Read.lnk", ents[0]
PY
    run ok build out/a.ini --ui sample/ui.ini --shell shell.exe -o out/a.exe
    if native; then
      sb=$PWD/sandbox
      run ok install out/a.exe --target 'C:\TarnActions' --name TarnActions --sandbox "$sb" --json
      python3 - last.out <<'PY' || fail "the install report"
import json, sys
r = json.load(open(sys.argv[1], encoding="utf-8"))
assert r["ok"] and not r["messages"], r
assert r["temporary_removed"] == ["C:\\TarnActions\\keys.reg"], r["temporary_removed"]
assert [p["command"] for p in r["programs"]][-1] == '"C:\\TarnActions\\bin\\app.exe" /first run', r["programs"]
assert not r["programs"][-1]["wait"], r["programs"]
links = sorted(s["link"] for s in r["shortcuts"])
assert any(l.endswith("\\Desktop\\App.lnk") for l in links) and any(l.endswith("\\Tarn\\Read.lnk") for l in links), links
PY
      grep -q '"Mode"="on"' "$sb/registry.reg" || fail "the registry script was not imported"
      [ -e "$sb/C/TarnActions/keys.reg" ] && fail "the imported registry script was kept"
      [ -e "$sb/C/TarnActions/keys.txt" ] && fail "the registry list was written to disk"
      grep -qx 'HKEY_CURRENT_USER\\Software\\TarnActions' <(tr -d '\r' < "$sb/C/TarnActions/Unistall.tsu") ||
        fail "the registry list is not in the uninstall log"
      run ok uninstall 'C:\TarnActions\Unistall.tsu' --sandbox "$sb"
      grep -q 'TarnActions' "$sb/registry.reg" && fail "the uninstall left the listed key"
      [ -e "$sb/C/TarnActions" ] && fail "the uninstall left $(find "$sb/C/TarnActions")"
    else
      # On Windows the engine acts on the machine: regedit imports the
      # script, the program starts (a start that fails is a message).
      run ok install out/a.exe --target 'C:\TarnActions' --name TarnActions --json
      python3 - last.out <<'PY' || fail "the install report"
import json, sys
r = json.load(open(sys.argv[1], encoding="utf-8"))
assert r["ok"] and not r["messages"], r
assert r["temporary_removed"] == ["C:\\TarnActions\\keys.reg"], r["temporary_removed"]
PY
      "${tm[0]}" reg query 'HKCU\Software\TarnActions' /v Mode 2>/dev/null | grep -q 'on' ||
        fail "the registry script was not imported"
      sleep 3  # the program started ends on its own
      run ok uninstall 'C:\TarnActions\Unistall.tsu'
      "${tm[0]}" reg query 'HKCU\Software\TarnActions' >/dev/null 2>&1 && fail "the uninstall left the listed key"
    fi
    # --wait: waited for, then deleted, so it can have no shortcut.
    run ok script tree -o out/w.ini --run bin/app.exe --wait
    echo x > README.TXT && echo x > bin
    # Arguments that look like options pass behind a blank, which goes.
    run ok script tree -o out/q.ini --run bin/app.exe ' --quiet -x '
    tr -d '\r' < out/q.ini | grep -qx 'COMMAND_LINE=--quiet -x' || fail "--run arguments with a dash"
    tr -d '\r' < out/w.ini | grep -A3 'bin\\app.exe' | grep -qx 'INSTALL_FLAG=36' || fail "--wait"
    while IFS='|' read -r want args; do
      eval "set -- $args"
      run fail script tree "$@" -o refused.ini
      grep -qF -- "$want" last.err || { cat last.err >&2; fail "script $args: no '$want'"; }
      [ -e refused.ini ] && fail "script $args wrote a script"
    done <<'CASES'
deletes the file after its use|--run bin/app.exe --wait --shortcut bin/app.exe=App
--wait needs --run|--wait
no file 'nothing.exe' in the folders|--run nothing.exe
is given to --reg and to --run|--reg tree/readme.txt --run readme.txt
writes no file|--reg-list tree/readme.txt --shortcut readme.txt=R
is not a regular file|--reg nothing.reg
are one name in the target|--reg-list README.TXT
are one name in the target|--reg-list bin
a shortcut's folder is|--shortcut 'readme.txt=<BOGUS>\x'
a shortcut's folder is|--shortcut 'readme.txt=<DESKTOP_FOLDER>'
the shortcut cannot be made|--shortcut 'readme.txt=<DESKTOP_FOLDER>\..\x'
CASES
    ;;
  lint)
    python3 "$here/lint.py" sample "${tm[@]}" || fail "the table of bad scripts"
    # verify looks at what a package stores as the install will.
    mkdir s && echo x > s/f.txt
    { entry 'Unistall.tsx'; entry 'a.txt'; entry 'b.txt'; } > s/v.ini
    run ok package s/v.ini -o v.tsp
    run ok verify v.tsp
    craft replace v.tsp log.tsp 'Unistall.tsx' 'UNISTALL.TSU'
    fail_with "uninstall log's own file" verify log.tsp
    craft replace v.tsp case.tsp 'b.txt' 'A.TXT'
    fail_with "differ only in case" verify case.tsp
    printf '[LICENCE]\r\nx\r\n' > noname.ini
    fail_with "noname.ini: there is no [PRODUCTNAME]" installer --shell shell.exe --ui noname.ini --package v.tsp -o n.exe
    [ -e n.exe ] && fail "an installer with a nameless UI script"
    craft installer noname.exe --shell shell.exe --package v.tsp --ui noname.ini
    fail_with "noname.exe (UI script): there is no [PRODUCTNAME]" verify noname.exe
    # script refuses in one line what the shell could not use, and a build
    # a time it cannot store.
    mkdir tree && echo a > tree/a.txt && echo b > tree/b.txt
    run fail script tree -o t.ini --ui tu.ini --product "$(printf 'x%.0s' {1..256})"
    grep -q "256 bytes; an Uninstall key's name holds at most 255" last.err || fail "a long product name"
    for v in ';Demo' '[Demo]'; do
      run fail script tree -o t.ini --ui tu.ini --product "$v"
      grep -q "may not begin with" last.err || fail "product name $v"
    done
    run fail script tree -o t.ini --shortcut a.txt=App --shortcut b.txt=APP
    grep -q "are one shortcut on Windows" last.err || fail "shortcuts differing in case"
    [ -e t.ini ] || [ -e tu.ini ] && fail "a refused script was written"
    SOURCE_DATE_EPOCH=4294967296 run fail package s/v.ini -o e.tsp
    grep -q "from 0 to 4294967295" last.err || fail "SOURCE_DATE_EPOCH past a stored time"
    SOURCE_DATE_EPOCH=4294967295 run ok package s/v.ini -o e.tsp
    if native; then
      # The engine's messages in English, the Chinese beside, names as written.
      "${tm[@]}" install v.tsp --target 'C:\TarnLint' --name 'a|😀' --sandbox "$PWD/sandbox" >last.out 2>last.err &&
        fail "an install under a bad key name succeeded"
      grep -qF "message: the product name 'a|😀' cannot name an Uninstall key; none was made (产品名称'a|😀'不合法" last.err ||
        { cat last.err >&2; fail "the message is not English and Chinese"; }
    fi
    ;;
  *) fail "unknown scenario" ;;
esac
echo "PASS [$scenario]"
