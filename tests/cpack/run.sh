#!/usr/bin/env bash
# The example project made into an installer by cpack, with Tarn as
# `cmake --install` leaves it in a new prefix:
#   run.sh WORK EXAMPLE TARN_BUILD [SHELL]
# TARN_BUILD is a native build (its tarnmake runs here). SHELL replaces the
# installed shell; without either the installer carries a stand-in, enough
# for verify and the sandbox install. With TARN_WINE (wine-run.sh) and
# TARN_BUILD_DIR (the build whose Wine prefix is used) set, the installer
# also runs silently under Wine.
set -u
work=$1 example=$2 tarn=$3 shell=${4:-}
fail() { echo "FAIL [cpack]: $*" >&2; exit 1; }
logged() {  # LOG COMMAND...: runs it, shows the log when it fails
  local log=$1; shift
  "$@" >"$log" 2>&1 || { cat "$log" >&2; return 1; }
}

[ -f "$tarn/cmake_install.cmake" ] || { echo "SKIP [cpack]: no build at $tarn"; exit 77; }
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
logged install.log cmake --install "$tarn" --prefix "$work/prefix" || fail "cmake --install of Tarn"
tm=$work/prefix/bin/tarnmake
[ -x "$tm" ] || fail "no tarnmake in the prefix"
if [ -z "$shell" ] && [ ! -f prefix/share/TarnSetup/TarnSetupShell.exe ]; then
  head -c 4096 /dev/urandom > stand-in.exe
  shell=$work/stand-in.exe
fi
args=(-DTarnSetup_DIR="$work/prefix/lib/cmake/TarnSetup")
[ -n "$shell" ] && args+=(-DTARNSETUP_SHELL="$shell")
logged configure.log cmake -S "$example" -B hello "${args[@]}" || fail "configure"
logged build.log cmake --build hello || fail "build"

# A shortcut to a program that is not there fails cpack and leaves nothing.
(cd hello && cpack -G External -D 'CPACK_PACKAGE_EXECUTABLES=nothere;X') >bad.log 2>&1 &&
  fail "cpack succeeded with a missing program"
grep -q "no file 'bin/nothere.exe'" bad.log || { cat bad.log >&2; fail "the missing program is not named"; }
ls hello/*setup.exe >/dev/null 2>&1 && fail "an installer was left by the failed cpack"
# So does a program that climbs out of bin/, said in one line.
(cd hello && cpack -G External -D 'CPACK_PACKAGE_EXECUTABLES=../hello;X') >bad.log 2>&1 &&
  fail "cpack succeeded with a climbing program"
grep -q "CPACK_PACKAGE_EXECUTABLES '../hello' holds '..'" bad.log || { cat bad.log >&2; fail "the climbing program is not named"; }

(cd hello && logged ../cpack.log cpack -G External) || fail "cpack -G External"
setup=hello/TarnHello-1.2.0-setup.exe
[ -f "$setup" ] || fail "no $setup"
logged verify.log "$tm" verify "$setup" || fail "verify"
# A monolithic install is staged in one folder, not one per component: the
# same entries.
targets() { "$tm" list --json "$1" | python3 -c 'import json,sys; print(sorted(e["target_path"] for e in json.load(sys.stdin)["entries"]))'; }
targets "$setup" > components.txt || fail "list"
(cd hello && logged ../mono.log cpack -G External -D CPACK_MONOLITHIC_INSTALL=ON) || fail "monolithic cpack"
targets "$setup" > mono.txt || fail "list"
diff components.txt mono.txt >&2 || fail "the monolithic installer holds other entries"
grep -q 'hello.exe' mono.txt || fail "no program in the installer"

# What tarnmake script adds, from CPACK_TARN_ variables: a desktop shortcut,
# a registry script from the build host, the program run last, waited for.
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\TarnHello]\r\n"On"="1"\r\n' > hello.reg
(cd hello && logged ../extras.log cpack -G External -D CPACK_PACKAGE_NAME=TarnExtras \
   -D CPACK_PACKAGE_EXECUTABLES= -D 'CPACK_TARN_SHORTCUTS=doc/README.txt=<DESKTOP_FOLDER>\Hello README' \
   -D "CPACK_TARN_REGISTRY_FILE=$work/hello.reg" -D 'CPACK_TARN_RUN=bin/hello.exe;/first;run' \
   -D CPACK_TARN_RUN_WAIT=ON) || fail "cpack with CPACK_TARN_ variables"
"$tm" list --json hello/TarnExtras-1.2.0-setup.exe > extras.json || fail "list"
python3 - extras.json <<'PY' || fail "the CPACK_TARN_ variables did not reach the entries"
import json, sys
es = json.load(open(sys.argv[1], encoding="utf-8"))["entries"]
by = {e["target_path"]: e for e in es}
assert by["<TARGETDIR>\\doc\\README.txt"]["shortcut_path"] == "<DESKTOP_FOLDER>\\Hello README.lnk", by
assert by["<TARGETDIR>\\hello.reg"]["install_flag"] == 6, by
run = es[-1]
assert run["target_path"] == "<TARGETDIR>\\bin\\hello.exe" and run["install_flag"] == 36, run
assert run["command_line"] == "/first run", run
PY

# The sandbox install: the files, the shortcut and the UI script's details,
# GBK texts made from the project's UTF-8.
sb=$work/sandbox
mkdir -p "$sb/C/Program Files"
"$tm" install "$setup" --target 'C:\TarnHello' --name TarnHello --sandbox "$sb" --json \
  >install.json 2>install.err || { cat install.err >&2; fail "sandbox install"; }
python3 - install.json <<'PY' || fail "install report"
import json, sys
r = json.load(open(sys.argv[1], encoding="utf-8"))
assert r["ok"] and not r["messages"], r
assert sorted(r["files"]) == ["C:\\TarnHello\\bin\\hello.exe", "C:\\TarnHello\\doc\\README.txt",
                              "C:\\TarnHello\\doc\\说明.txt"], r["files"]
assert (r["version"], r["publisher"]) == ("1.2.0", "塔恩示例工作室"), r
[s] = r["shortcuts"]
assert s["link"].endswith("\\Programs\\TarnHello 1.2.0\\Hello 你好.lnk") and s["target"] == "C:\\TarnHello\\bin\\hello.exe", s
PY
cmp "$sb/C/TarnHello/bin/hello.exe" hello/hello || fail "the program installed is not the one built"
cmp "$sb/C/TarnHello/doc/说明.txt" "$example/doc/说明.txt" || fail "the document installed differs"
logged uninstall.log "$tm" uninstall 'C:\TarnHello\Unistall.tsu' --sandbox "$sb" || fail "uninstall"
[ -e "$sb/C/TarnHello" ] && fail "the uninstall left $(find "$sb/C/TarnHello")"

if [ -n "${TARN_WINE:-}" ]; then
  # The real shell: a silent install into a folder of the Wine prefix, then
  # the quiet uninstall the install registered.
  drive_c=$TARN_BUILD_DIR/wineprefix/drive_c
  rm -rf "$drive_c/TarnHello"
  "$TARN_WINE" "$setup" /S '/D=C:\TarnHello' >wine.log 2>&1
  rc=$?
  [ $rc -eq 0 ] || { cat wine.log >&2; fail "setup.exe /S exited $rc"; }
  for f in bin/hello.exe doc/README.txt doc/说明.txt; do
    [ -f "$drive_c/TarnHello/$f" ] || fail "the silent install left no $f"
  done
  cmp "$drive_c/TarnHello/doc/说明.txt" "$example/doc/说明.txt" || fail "the silent install's document differs"
  find "$drive_c/users" -ipath '*/TarnHello 1.2.0/Hello 你好.lnk' | grep -q . ||
    fail "no shortcut in the Start-menu folder TarnHello 1.2.0"
  "$TARN_WINE" 'C:\windows\tsu11.exe' /S '-U|TarnHello|C:\TarnHello\Unistall.tsu' >>wine.log 2>&1 ||
    { cat wine.log >&2; fail "the quiet uninstall failed"; }
  [ -e "$drive_c/TarnHello/bin/hello.exe" ] && fail "the quiet uninstall left the program"
fi
echo "PASS [cpack]"
