#!/usr/bin/env bash
# End-to-end tests of the setup shell under Wine and Xvfb: installers built
# from the sample product by tarnmake, driven through their real windows by
# the driver program. One Xvfb and one Wine server for all cases.
# usage: run.sh BUILD SHELL TARNMAKE DRIVER SOURCE OUT [CASE...]
# Screenshots go to OUT/shots. With TARN_E2E_DISPLAY set, that display is
# used instead of a private Xvfb. When the file TARN_E2E_SHELL names exists
# (ctest points it at the shipped build), it is the shell under test.
# TARN_E2E_LOCALE (default zh_CN.UTF-8) is Wine's locale, and so the ANSI
# code page the shell runs under; each locale has its own prefix
# (tests/wine-prefix.sh), screenshots are named after it.
set -u
build=$1 shell=$2 tarnmake=$3 driver=$4 src=$5 out=$6
shift 6
if [ -n "${TARN_E2E_SHELL:-}" ] && [ -f "$TARN_E2E_SHELL" ]; then shell=$TARN_E2E_SHELL; fi
cases=${*:-"install uninstall nopayload badblob cancel quit_no quit_yes uninstall_no keyboard silent silent_fail signed names_beyond_gbk trust killed"}

locale=${TARN_E2E_LOCALE:-zh_CN.UTF-8}
lang=${locale%%.*}
export WINEPREFIX=$("$src/tests/wine-prefix.sh" path "$build" "$locale") WINEARCH=win32 WINEDEBUG=-all
# No menu builder: it would put its own files beside the shortcuts.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" LC_ALL=$locale
rm -rf "$out"
mkdir -p "$out/shots" "$out/work"
log=$out/e2e.log
: > "$log"
echo "shell under test: $shell" | tee -a "$log"
echo "locale: $locale, prefix: $WINEPREFIX" | tee -a "$log"
failures=0
xvfb_pid=

cleanup() {
  # The console test programs that share the prefix need no desktop window.
  wine reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1
  wineserver -k >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT

if [ -n "${TARN_E2E_DISPLAY:-}" ]; then
  export DISPLAY=$TARN_E2E_DISPLAY
else
  n=90
  while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
  Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:$n
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi

winpath() { local p; p=$(readlink -f "$1"); echo "Z:${p//\//\\}"; }
drive_c=$WINEPREFIX/drive_c

# Wine's own desktop window: frames and captions drawn as Windows does.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
# The desktop is chosen when the server's first program starts.
wineserver -k >/dev/null 2>&1

d() { wine "$driver" "$@" 2>>"$log"; }
note() { echo "$*" | tee -a "$log"; }
check() {  # what actual expected
  if [ "$2" == "$3" ]; then
    echo "ok: $1" >>"$log"
  else
    note "FAIL: $1: got [$2], want [$3]"
    failures=$((failures + 1))
  fi
}
check_true() {  # what command...
  local what=$1; shift
  if "$@"; then echo "ok: $what" >>"$log"; else note "FAIL: $what"; failures=$((failures + 1)); fi
}
# Button states are posted to the sheet: give them a moment.
expect_state() {  # what title id want
  local got
  for _ in $(seq 30); do
    got=$(d state "$2" "$3")
    [ "$got" == "$4" ] && break
    sleep 0.1
  done
  check "$1" "$got" "$4"
}
# The desktop cut to the windows on it.
shot() {
  sleep 0.3
  local f=$out/shots/$lang-$1.png
  import -display "$DISPLAY" -window root "$f" 2>>"$log" && convert "$f" -trim +repage "$f" 2>>"$log"
}
# Through the driver: reg.exe would print in the console's code page.
regval() { d reg "$1" "$2"; }  # key value
regdword() { d reg "$1" "$2"; }  # key value: decimal
key_gone() { ! d reg "$1"; }
tempfiles() { find "$drive_c" -name 'tst*.tmp' | wc -l; }
# Shortcuts made since the marker: in the prefix, and where its profile
# links (Desktop...) lead, as a stock Wine has them.
links() {
  local where=("$drive_c") l
  for l in "$drive_c"/users/*/*; do [ -L "$l" ] && where+=("$(readlink -f "$l")"); done
  find "${where[@]}" -name '*.lnk' -newer "$out/work/marker" 2>/dev/null | sort -u | wc -l
}

BACK=12323 NEXT=12324 FINISH=12325 CANCEL=2
WELCOME="欢迎" LICENCE="软件许可证协议" TARGET="选择安装路径" INSTALL="安装" DONE="完成安装"
QUIT_Q="安装还未完成,您真的要退出安装吗?"
PRODUCT="Tarn 演示程序"
UNINSTALL_KEY="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$PRODUCT"

setup_pid=
start() {  # exe
  wine "$1" >>"$log" 2>&1 &
  setup_pid=$!
}
ended() {  # seconds: the installer ended in time
  for _ in $(seq $(($1 * 10))); do
    if ! kill -0 "$setup_pid" 2>/dev/null; then
      wait "$setup_pid" 2>/dev/null
      echo "process exit status $?" >>"$log"
      return 0
    fi
    sleep 0.1
  done
  return 1
}
stop_setup() { kill "$setup_pid" 2>/dev/null; wineserver -k >/dev/null 2>&1; }

# The locale took: the programs run under its ANSI code page.
case $lang in
  zh_CN) acp=936 ;; en_US) acp=1252 ;; ja_JP) acp=932 ;; pl_PL) acp=1250 ;; *) acp= ;;
esac
[ -n "$acp" ] && check "ANSI code page under $locale" "$(d acp)" "$acp"

# --- installers ---------------------------------------------------------
# Made as the publisher makes them, on a Chinese system (the 936 prefix):
# tarnmake opens the script's GBK names through the ANSI functions.
make_installer() {
  WINEPREFIX=$("$src/tests/wine-prefix.sh" path "$build") LC_ALL=zh_CN.UTF-8 wine "$tarnmake" "$@"
}
sample=$src/examples/sample
make_installer build "$(winpath "$sample/setup.ini")" --ui "$(winpath "$sample/ui.ini")" \
  --shell "$(winpath "$shell")" -o "$(winpath "$out/work")\\setup.exe" >>"$log" 2>&1 \
  || { note "FAIL: tarnmake build"; exit 1; }
cp "$shell" "$out/work/bare.exe"
# Blob 1 kept in size but its deflate data spoilt: it no longer inflates.
python3 - "$out/work/setup.exe" "$out/work/badblob.exe" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
s1 = struct.unpack_from("<I", data, len(data) - 14)[0]
start = len(data) - 18 - s1
for i in range(start + 2, start + s1 - 4):
    data[i] ^= 0x5A
open(sys.argv[2], "wb").write(data)
PY

# The uninstaller copy the Uninstall entry names: one of this shell's version.
COPY="tsu11-$(sed -n 's/^#define TARN_SHELL_VERSION_TEXT "\(.*\)"$/\1/p' "$src/src/shell/shell_version.h").exe"
target_win='C:\Tarn E2E\Demo'
target=$drive_c/Tarn\ E2E/Demo

# --- cases --------------------------------------------------------------
case_install() {
  install_through setup.exe "$shell"
  # Elsewhere than on a Chinese system, every file and value as well.
  [ "$lang" = zh_CN ] || check_sample_install "wizard" "$target" "$target_win" "$(profile_dir)/Desktop"
}

# The running installer's blobs against another program of the user: a
# delete and a copy over them fail, and their bytes stay.
held_blobs_resist() {
  local blob sum win
  printf planted >"$out/work/planted.tmp"
  for blob in $(find "$drive_c" -name 'tst*.tmp' -newer "$out/work/marker"); do
    sum=$(md5sum <"$blob")
    win=$(winpath "$blob")
    d exitcode "cmd /c del /f /q \"$win\"" 20000 >/dev/null
    d exitcode "cmd /c copy /y \"$(winpath "$out/work/planted.tmp")\" \"$win\"" 20000 >/dev/null
    check "held blob $(basename "$blob"): unchanged by another program" "$(md5sum <"$blob" 2>/dev/null)" "$sum"
  done
}

install_through() {  # installer, what its uninstaller copy must be
  rm -rf "$drive_c/Tarn E2E"
  # An intact copy of this version is kept, so the one an earlier run left
  # goes first: the copy checked is this installer's.
  rm -f "$drive_c/windows/$COPY"
  local temps
  temps=$(tempfiles)
  touch "$out/work/marker"
  sleep 1
  start "$out/work/$1"
  check_true "welcome page shows" d wait "$WELCOME" 30000
  held_blobs_resist
  check "welcome text" "$(d text "$WELCOME" 1012 | head -1)" \
    "    欢迎进入 $PRODUCT 安装程序。本程序将在您的计算机中安装 $PRODUCT。"
  expect_state "welcome: Back disabled" "$WELCOME" $BACK "enabled=0 visible=1 checked=0"
  expect_state "welcome: Next enabled" "$WELCOME" $NEXT "enabled=1 visible=1 checked=0"
  check "brand line" "$(d text "$WELCOME" 10)" "TarnSetupV1.5"
  shot 1-welcome
  d click "$WELCOME" $NEXT

  check_true "licence page shows" d wait "$LICENCE"
  check "licence: declining chosen" "$(d state "$LICENCE" 1020)" "enabled=1 visible=1 checked=1"
  check "licence: accepting not chosen" "$(d state "$LICENCE" 1019)" "enabled=1 visible=1 checked=0"
  expect_state "licence: Next disabled" "$LICENCE" $NEXT "enabled=0 visible=1 checked=0"
  expect_state "licence: Back enabled" "$LICENCE" $BACK "enabled=1 visible=1 checked=0"
  check "licence text first line" "$(d text "$LICENCE" 1009 | head -1 | tr -d '\r')" "Tarn 演示程序许可协议"
  check "accept text" "$(d text "$LICENCE" 1019)" "是的，我接受以上协议"
  check "decline text" "$(d text "$LICENCE" 1020)" "不，我不接受以上协议"
  check "note hidden" "$(d state "$LICENCE" 1017)" "enabled=1 visible=0 checked=0"
  # The sheet measures its pages in their font on every system.
  check "licence: accepting choice not cut off" "$(d outside "$LICENCE" 1019)" 0
  check "licence: declining choice not cut off" "$(d outside "$LICENCE" 1020)" 0
  shot 2-licence
  d click "$LICENCE" 1019
  expect_state "licence: Next after accepting" "$LICENCE" $NEXT "enabled=1 visible=1 checked=0"
  d click "$LICENCE" 1020
  expect_state "licence: Next off again after declining" "$LICENCE" $NEXT "enabled=0 visible=1 checked=0"
  d click "$LICENCE" 1019
  expect_state "licence: Next on" "$LICENCE" $NEXT "enabled=1 visible=1 checked=0"
  d click "$LICENCE" $NEXT

  check_true "path page shows" d wait "$TARGET"
  check "proposed path" "$(d text "$TARGET" 1003)" 'C:\Program Files\TARN DEMO'
  check "path info" "$(d text "$TARGET" 1013 | head -1)" "    安装程序将把 $PRODUCT 安装到以下路径中。"
  check "path headline" "$(d text "$TARGET" 1018)" "选择安装路径"
  check "browse text" "$(d text "$TARGET" 1004)" "浏览(&B)..."
  check "path field not cut off" "$(d outside "$TARGET" 1003)" 0
  check "browse not cut off" "$(d outside "$TARGET" 1004)" 0
  expect_state "path: Back enabled" "$TARGET" $BACK "enabled=1 visible=1 checked=0"
  shot 3-path
  d settext "$TARGET" 1003 ""
  d click "$TARGET" $NEXT
  check "empty path message" "$(d box setup)" "请选择安装路径!"
  d answer setup ok
  d settext "$TARGET" 1003 '\\server\share\demo'
  d click "$TARGET" $NEXT
  check "network path message" "$(d box setup)" "不支持网络安装!"
  d answer setup ok
  d settext "$TARGET" 1003 'apps\demo'
  d click "$TARGET" $NEXT
  check "relative path message" "$(d box setup | tr -d '\r' | paste -sd'|')" \
    "安装路径书写不正确,请写入全部路径!|例如'C:\\Program Files'"
  d answer setup ok
  d settext "$TARGET" 1003 "$target_win"
  d click "$TARGET" $NEXT
  check "create question" "$(d box "目录不存在")" "'$target_win'目录不存在,是否新建目录?"
  check "create question buttons" "$(d boxbuttons "目录不存在" | paste -sd,)" "6,7 default"
  d answer "目录不存在" no
  check_true "declined: still on the path page" d wait "$TARGET" 2000
  check_true "declined: no directory" test ! -d "$target"
  d click "$TARGET" $NEXT
  d answer "目录不存在" yes

  check_true "finish page shows" d wait "$DONE" 60000
  check "thanks text" "$(d text "$DONE" 1016)" "感谢您安装我们的软件产品 !"
  expect_state "finish: Back disabled" "$DONE" $BACK "enabled=0 visible=1 checked=0"
  expect_state "finish: Cancel hidden" "$DONE" $CANCEL "enabled=1 visible=0 checked=0"
  shot 5-finish
  d click "$DONE" $FINISH
  check_true "installer ends after Finish" ended 30

  check_true "readme installed" test -f "$target/readme.txt"
  check_true "Chinese-named file installed" test -f "$target/文档/说明.txt"
  check_true "nested file installed" test -f "$target/docs/manual/chapter3.txt"
  check "readme time" "$(stat -c %Y "$target/readme.txt")" "$(stat -c %Y "$sample/files/readme.txt")"
  check "readme bytes" "$(cmp -s "$target/readme.txt" "$sample/files/readme.txt" && echo same)" same
  check_true "temporary registry script deleted" test ! -e "$target/demo.reg"
  check_true "uninstall log written" test -f "$target/Unistall.tsu"
  check "shortcuts made" "$(links)" 3
  check_true "registry import" sh -c "wine reg query 'HKCU\\Software\\TarnDemo' /v Colour 2>/dev/null | grep -q blue"
  local unstr
  unstr=$(regval "$UNINSTALL_KEY" UninstallString)
  check "UninstallString" "$unstr" "C:\\windows\\$COPY -U|$PRODUCT|$target_win\\Unistall.tsu"
  check "DisplayName" "$(regval "$UNINSTALL_KEY" DisplayName)" "$PRODUCT"
  check "no temporary file left" "$(tempfiles)" "$temps"
  check "uninstaller copy is the bare shell" "$(cmp -s "$drive_c/windows/$COPY" "$2" && echo same)" same
  echo "$unstr" > "$out/work/uninstall-command"
  if [ -n "${TARN_E2E_REPORT:-}" ]; then
    note "installed into $target_win:"
    (cd "$target" && find . -type f | sed 's|^\./|  |' | sort) | tee -a "$log"
    note "shortcuts:"
    find "$drive_c" -name '*.lnk' -newer "$out/work/marker" | sed "s|^$drive_c|  C:|" | tee -a "$log"
    note "Uninstall key: $UNINSTALL_KEY"
    note "  UninstallString = $unstr"
  fi
}

case_uninstall() {
  local cmd
  cmd=$(cat "$out/work/uninstall-command" 2>/dev/null)
  [ -n "$cmd" ] || { note "FAIL: no uninstall command (install case first)"; failures=$((failures + 1)); return; }
  d run "$cmd" >>"$log" 2>&1 &
  setup_pid=$!
  check "confirmation" "$(d box "卸载确认")" "卸载软件后将无法恢复,您真的要卸载吗?"
  check "confirmation buttons" "$(d boxbuttons "卸载确认" | paste -sd,)" "6,7 default"
  d answer "卸载确认" yes
  check_true "uninstall dialog shows" d wait "卸载"
  check "headline" "$(d text "卸载" 1018)" "正在卸载软件,请稍等..."
  expect_state "Exit shows at the end" "卸载" 1015 "enabled=1 visible=1 checked=0"
  check "status at the end" "$(d text "卸载" 1011)" "完成卸载文件..."
  check "Exit text" "$(d text "卸载" 1015)" "退出"
  shot 6-uninstall
  d click "卸载" 1015
  check_true "uninstaller ends after Exit" ended 30
  check_true "install directory gone" test ! -e "$target"
  check "shortcuts gone" "$(links)" 0
  check_true "Uninstall key gone" key_gone "$UNINSTALL_KEY"
  check_true "imported registry keys gone" sh -c "! wine reg query 'HKCU\\Software\\TarnDemo' >/dev/null 2>&1"
}

# Signed after the build: the wizard installs as before, and the uninstaller
# copy is the shell without the signature's directory and checksum.
case_signed() {
  local w=$out/work
  if ! openssl req -x509 -newkey rsa:2048 -nodes -keyout "$w/key.pem" -out "$w/cert.pem" -days 2 \
         -subj '/CN=Tarn Test Publisher' >>"$log" 2>&1 ||
     ! mkdir -p "$w/signed" ||
     ! osslsigncode sign -certs "$w/cert.pem" -key "$w/key.pem" -in "$w/setup.exe" \
         -out "$w/signed/setup.exe" >>"$log" 2>&1; then
    note "FAIL: signing the installer (osslsigncode and openssl, scripts/deps.sh)"
    failures=$((failures + 1))
    return
  fi
  python3 - "$shell" "$w/unsigned-shell.exe" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
nt = struct.unpack_from("<I", data, 0x3C)[0]
struct.pack_into("<I", data, nt + 24 + 64, 0)
struct.pack_into("<II", data, nt + 24 + 128, 0, 0)
open(sys.argv[2], "wb").write(data)
PY
  # Under its usual name: the messages' title is the program's.
  install_through signed/setup.exe "$w/unsigned-shell.exe"
  case_uninstall
}

case_nopayload() {
  local before after
  before=$(tempfiles)
  rm -f "$drive_c/windows/tsu11.exe" "$drive_c/windows/$COPY"
  start "$out/work/bare.exe"
  check_true "bare shell ends by itself without a message" ended 20
  after=$(tempfiles)
  check "bare shell writes no temporary file" "$after" "$before"
  check_true "bare shell writes no uninstaller" test ! -e "$drive_c/windows/tsu11.exe"
  check_true "bare shell writes no versioned uninstaller" test ! -e "$drive_c/windows/$COPY"
  stop_setup
}

case_badblob() {
  local t0 t1 temps
  temps=$(tempfiles)
  t0=$(date +%s)
  start "$out/work/badblob.exe"
  check "blob that does not inflate" "$(d box badblob 30000)" "无法建立临时文件,请检查磁盘空间是否足够!"
  t1=$(date +%s)
  check_true "five attempts a second apart" test $((t1 - t0)) -ge 5
  d answer badblob ok
  check_true "ends after the message" ended 20
  check "no temporary file left" "$(tempfiles)" "$temps"
  stop_setup
}

# Cancel on one page: No stays, Yes ends with no further message.
cancel_on() {  # title
  d click "$1" $CANCEL
  check "cancel question on $1" "$(d box "退出询问")" "$QUIT_Q"
  check "cancel buttons on $1" "$(d boxbuttons "退出询问" | paste -sd,)" "6,7 default"
  d answer "退出询问" no
  check_true "No keeps $1" d wait "$1" 2000
  d click "$1" $CANCEL
  d answer "退出询问" yes
  check_true "Yes ends the installer on $1" ended 20
}

case_cancel() {
  local temps
  temps=$(tempfiles)
  start "$out/work/setup.exe"
  d wait "$WELCOME" 30000 && cancel_on "$WELCOME"
  start "$out/work/setup.exe"
  d wait "$WELCOME" 30000 && d click "$WELCOME" $NEXT && d wait "$LICENCE" && cancel_on "$LICENCE"
  start "$out/work/setup.exe"
  d wait "$WELCOME" 30000 && d click "$WELCOME" $NEXT && d wait "$LICENCE" && d click "$LICENCE" 1019 &&
    sleep 0.3 && d click "$LICENCE" $NEXT && d wait "$TARGET" && cancel_on "$TARGET"
  check "no temporary file left" "$(tempfiles)" "$temps"
  stop_setup
}

# A product whose second entry cannot be written (a folder stands in its
# way): the worker waits in its message about it, so the install page is
# certainly still at work when the driver closes the sheet.
quit_product() {  # dir
  local name=$1 p=$out/work/quit e
  if [ ! -f "$p/quit.exe" ]; then
    mkdir -p "$p/files"
    echo first > "$p/files/a.txt"; echo second > "$p/files/b.txt"; echo third > "$p/files/c.txt"
    printf '[SETUPFILEINFO_V2]\r\nPRODUCT=Tarn Quit\r\n' > "$p/setup.ini"
    for e in 'a.txt a.txt' 'b.txt blocker' 'c.txt c.txt'; do
      printf '\r\n[FILEINFO]\r\nSOURCE_PATH=files\\%s\r\nTARGET_PATH=<TARGETDIR>\\%s\r\nINSTALL_FLAG=0\r\n' \
        "${e% *}" "${e#* }" >> "$p/setup.ini"
    done
    printf '[PRODUCTNAME]\r\nTarn Quit\r\n\r\n[TARGETDIR]\r\nC:\\Tarn Quit\r\n\r\n[LICENCE]\r\nQuit test\r\n' > "$p/ui.ini"
    make_installer build "$(winpath "$p/setup.ini")" --ui "$(winpath "$p/ui.ini")" \
      --shell "$(winpath "$shell")" -o "$(winpath "$p")\\quit.exe" >>"$log" 2>&1
  fi
  rm -rf "$drive_c/$name"
  mkdir -p "$drive_c/$name/blocker"
  wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarn Quit' /f >/dev/null 2>&1
  start "$p/quit.exe"
  d wait "$WELCOME" 30000 && d click "$WELCOME" $NEXT && d wait "$LICENCE" && d click "$LICENCE" 1019 &&
    sleep 0.3 && d click "$LICENCE" $NEXT && d wait "$TARGET" && d settext "$TARGET" 1003 "C:\\$name" &&
    d click "$TARGET" $NEXT
  # The worker's message about the blocked entry.
  check "worker's message" "$(d box quit | head -1)" "不能打开文件'C:\\$name\\blocker'!"
}
quit_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarn Quit'

case_quit_no() {
  quit_product "Tarn Quit No"
  d close "$INSTALL"
  check "quit question" "$(d box "退出询问")" "$QUIT_Q"
  expect_state "install page: Back disabled" "$INSTALL" $BACK "enabled=0 visible=1 checked=0"
  expect_state "install page: Finish shown disabled" "$INSTALL" $FINISH "enabled=0 visible=1 checked=0"
  expect_state "install page: no Cancel" "$INSTALL" $CANCEL "enabled=1 visible=0 checked=0"
  check "install page status" "$(d text "$INSTALL" 1011)" "正在读取安装数据..."
  shot 4-install-quit-question
  d answer "退出询问" no
  d answer quit ok
  check_true "No: the install goes on to the finish page" d wait "$DONE" 30000
  d click "$DONE" $FINISH
  check_true "installer ends" ended 30
  check_true "No: the entry after the blocked one installed" test -f "$drive_c/Tarn Quit No/c.txt"
  check_true "No: uninstall log written" test -f "$drive_c/Tarn Quit No/Unistall.tsu"
  check_true "No: Uninstall key written" wine reg query "$quit_key" >/dev/null 2>&1
  stop_setup
}

case_quit_yes() {
  local temps left pending
  temps=$(tempfiles)
  quit_product "Tarn Quit Yes"
  shot 4-install
  d close "$INSTALL"
  d box "退出询问" >/dev/null
  d answer "退出询问" yes
  check_true "Yes: the wizard closes" d gone "$INSTALL" 10000
  # The worker finishes its entry (its message is still open), then is held.
  check_true "Yes: the program waits for the worker" sh -c "kill -0 $setup_pid"
  d answer quit ok
  check_true "Yes: installer ends" ended 30
  # The install is undone: what it wrote is gone, what was there stays.
  check_true "Yes: what was written is gone" test ! -e "$drive_c/Tarn Quit Yes/a.txt"
  check_true "Yes: nothing after the quit" test ! -e "$drive_c/Tarn Quit Yes/c.txt"
  check_true "Yes: the folder that was there stays" test -d "$drive_c/Tarn Quit Yes/blocker"
  check_true "Yes: no uninstall log" test ! -e "$drive_c/Tarn Quit Yes/Unistall.tsu"
  check_true "Yes: no Uninstall key" sh -c "! wine reg query '$quit_key' >/dev/null 2>&1"
  # The worker has ended before the program: its temporary files are gone.
  left=$(( $(tempfiles) - temps ))
  check "Yes: temporary files gone" "$left" 0
  stop_setup
}

case_uninstall_no() {
  d run 'C:\windows\tsu11.exe -U|Nothing|C:\nothing\Unistall.tsu' >>"$log" 2>&1 &
  setup_pid=$!
  d box "卸载确认" >/dev/null
  d answer "卸载确认" no
  check_true "uninstall answered No ends" ended 20
  check_true "no uninstall dialog" sh -c "! wine '$driver' wait '卸载' 1000 2>/dev/null"
  stop_setup
}

# The keyboard alone: Enter for Next, Space for a radio button, Tab order,
# Alt+N, Esc for the cancel question.
key() { xdotool key --delay 80 "$@"; sleep 0.3; }
case_keyboard() {
  rm -rf "$drive_c/Tarn Keys"
  start "$out/work/setup.exe"
  d wait "$WELCOME" 30000 || return
  sleep 0.5
  key Escape
  check "Esc asks the cancel question" "$(d box "退出询问" 5000)" "$QUIT_Q"
  key Return   # No is the default
  check_true "Enter answered No" d wait "$WELCOME" 2000
  key Return
  check_true "Enter is Next" d wait "$LICENCE" 5000
  check "focus on the choice" "$(d focus "$LICENCE")" "1020 不，我不接受以上协议"
  key Left
  expect_state "an arrow key selects the accepting choice" "$LICENCE" 1019 "enabled=1 visible=1 checked=1"
  expect_state "which enables Next" "$LICENCE" $NEXT "enabled=1 visible=1 checked=0"
  # Tab order: the choice, then Back, Next, Cancel from left to right.
  local order="" i
  for i in 1 2 3 4; do key Tab; order="$order$(d focus "$LICENCE" | cut -d' ' -f1),"; done
  check "licence page tab order" "$order" "$BACK,$NEXT,$CANCEL,1019,"
  key alt+n
  check_true "Alt+N is Next" d wait "$TARGET" 5000
  check "focus in the path field" "$(d focus "$TARGET" | cut -d' ' -f1)" 1003
  key Tab
  check "Tab to Browse" "$(d focus "$TARGET" | cut -d' ' -f1)" 1004
  # Space presses Browse; Esc cancels the folder browser, which leaves the
  # path as it was.
  local before_path
  before_path=$(d text "$TARGET" 1003)
  key space
  check_true "Space opens the folder browser" d wait "选择文件夹" 5000
  shot 3-path-browse
  key Escape
  check_true "Esc closes the folder browser" d gone "选择文件夹" 5000
  check "a cancelled browser leaves the path" "$(d text "$TARGET" 1003)" "$before_path"
  key ctrl+a   # back in the field: replace the path
  key shift+Tab
  key ctrl+a BackSpace
  xdotool type --delay 40 'C:\Tarn Keys'
  sleep 0.3
  check "typed path" "$(d text "$TARGET" 1003)" 'C:\Tarn Keys'
  key Return
  check "create question" "$(d box "目录不存在" 5000)" "'C:\\Tarn Keys'目录不存在,是否新建目录?"
  key alt+y
  check_true "finish page after typing" d wait "$DONE" 60000
  sleep 0.5
  check "focus on Finish" "$(d focus "$DONE" | cut -d' ' -f1)" 12325
  key Return
  check_true "Enter is Finish" ended 30
  check_true "installed where typed" test -f "$drive_c/Tarn Keys/readme.txt"
  stop_setup
}

# --- silent mode ----------------------------------------------------------
# The log every silent run appends to: %TEMP%\TarnSetup.log.
silent_log() { find "$drive_c/users" -name TarnSetup.log 2>/dev/null | head -1; }
# GBK, and GB18030's four bytes for what GBK lacks ("Łódź").
silent_log_text() { local f; f=$(silent_log); [ -n "$f" ] && iconv -f gb18030 -t utf-8 "$f" | tr -d '\r'; }
# What the files an uninstall log lists take, in KiB rounded up.
logged_kib() {  # log
  python3 - "$1" "$drive_c" <<'PY'
import os, sys
lines = open(sys.argv[1], "rb").read().decode("gb18030").split("\r\n")
total = 0
for line in lines[1:]:
    if line == "[DeleteRegistry]":
        break
    if line[:3].upper() == "C:\\":
        path = os.path.join(sys.argv[2], line[3:].replace("\\", "/"))
        if os.path.isfile(path):
            total += os.path.getsize(path)
print((total + 1023) // 1024)
PY
}

case_silent() {
  local dir_win='C:\Tarn Silent\Some Folder' dir=$drive_c/Tarn\ Silent/Some\ Folder temps rc quiet
  rm -rf "$drive_c/Tarn Silent"
  wine reg delete "$UNINSTALL_KEY" /f >/dev/null 2>&1
  temps=$(tempfiles)
  touch "$out/work/marker"
  sleep 1
  # The folder unquoted, spaces and all: the rest of the command line.
  rc=$(d exitcode "\"$(winpath "$out/work/setup.exe")\" /S /D=$dir_win" 120000)
  check "silent install: exit code, with no window to answer" "$rc" 0
  check_true "silent: readme installed" test -f "$dir/readme.txt"
  check_true "silent: Chinese-named file installed" test -f "$dir/文档/说明.txt"
  check "silent: readme bytes" "$(cmp -s "$dir/readme.txt" "$sample/files/readme.txt" && echo same)" same
  check_true "silent: uninstall log written" test -f "$dir/Unistall.tsu"
  check "silent: shortcuts made" "$(links)" 3
  check_true "silent: registry import" sh -c "wine reg query 'HKCU\\Software\\TarnDemo' /v Colour 2>/dev/null | grep -q blue"
  check "silent: no temporary file left" "$(tempfiles)" "$temps"
  check "silent: DisplayName" "$(regval "$UNINSTALL_KEY" DisplayName)" "$PRODUCT"
  check "silent: UninstallString" "$(regval "$UNINSTALL_KEY" UninstallString)" \
    "C:\\windows\\$COPY -U|$PRODUCT|$dir_win\\Unistall.tsu"
  quiet=$(regval "$UNINSTALL_KEY" QuietUninstallString)
  check "silent: QuietUninstallString" "$quiet" "\"C:\\windows\\$COPY\" /S \"-U|$PRODUCT|$dir_win\\Unistall.tsu\""
  check "silent: InstallLocation" "$(regval "$UNINSTALL_KEY" InstallLocation)" "$dir_win"
  check "silent: DisplayIcon" "$(regval "$UNINSTALL_KEY" DisplayIcon)" "C:\\windows\\$COPY"
  check "silent: DisplayVersion" "$(regval "$UNINSTALL_KEY" DisplayVersion)" "1.0"
  check "silent: Publisher" "$(regval "$UNINSTALL_KEY" Publisher)" "塔恩软件工作室"
  check "silent: URLInfoAbout" "$(regval "$UNINSTALL_KEY" URLInfoAbout)" "https://tarn.example.org/demo"
  check "silent: NoModify" "$(regdword "$UNINSTALL_KEY" NoModify)" 1
  check "silent: NoRepair" "$(regdword "$UNINSTALL_KEY" NoRepair)" 1
  check "silent: EstimatedSize" "$(regdword "$UNINSTALL_KEY" EstimatedSize)" "$(logged_kib "$dir/Unistall.tsu")"
  check "silent: the log ends the run" "$(silent_log_text | tail -1)" "exit code 0"

  rc=$(d exitcode "$quiet" 120000)
  check "silent uninstall: exit code, with no question" "$rc" 0
  check_true "silent uninstall: install directory gone" test ! -e "$dir"
  check "silent uninstall: shortcuts gone" "$(links)" 0
  check_true "silent uninstall: Uninstall key gone" key_gone "$UNINSTALL_KEY"
  check_true "silent uninstall: imported registry keys gone" sh -c "! wine reg query 'HKCU\\Software\\TarnDemo' >/dev/null 2>&1"
  check "silent uninstall: the log ends the run" "$(silent_log_text | tail -1)" "exit code 0"
}

# A log planted where the product installs, naming a file outside and
# another product's key, and a tsu11.exe that is no shell of ours: both
# stay; the install writes its own log beside, and the registered quiet
# uninstall (the versioned copy) removes the product and nothing else.
case_trust() {
  local dir_win='C:\Tarn Trust' dir=$drive_c/Tarn\ Trust rc quiet
  local other='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarn Trust Other'
  rm -rf "$dir" "$drive_c/Keep" && mkdir -p "$dir" "$drive_c/Keep"
  echo keep > "$drive_c/Keep/k.txt"
  wine reg delete "$UNINSTALL_KEY" /f >/dev/null 2>&1
  wine reg add "$other" /v DisplayName /d Other /f >/dev/null 2>&1
  printf 'TSUIV1.0\r\nC:\\Keep\\k.txt\r\n[DeleteRegistry]\r\n%s\r\n' \
    'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarn Trust Other' > "$dir/Unistall.tsu"
  cp "$dir/Unistall.tsu" "$out/work/planted.tsu"
  printf 'MZ not a setup shell' > "$drive_c/windows/tsu11.exe"
  rc=$(d exitcode "\"$(winpath "$out/work/setup.exe")\" /S /D=$dir_win" 120000)
  check "trust: exit code" "$rc" 0
  check "trust: planted log kept" "$(cmp -s "$dir/Unistall.tsu" "$out/work/planted.tsu" && echo same)" same
  check_true "trust: own log beside it" test -f "$dir/Unistall-2.tsu"
  check "trust: the silent log tells of the log" "$(silent_log_text | tail -2 | head -1 | grep -c '不属于本产品')" 1
  check_true "trust: and of tsu11.exe" test "$(silent_log_text | grep -c 'tsu11.exe.不是本安装程序的卸载程序')" -ge 1
  check "trust: foreign tsu11.exe kept" "$(cat "$drive_c/windows/tsu11.exe")" "MZ not a setup shell"
  quiet=$(regval "$UNINSTALL_KEY" QuietUninstallString)
  check "trust: QuietUninstallString" "$quiet" "\"C:\\windows\\$COPY\" /S \"-U|$PRODUCT|$dir_win\\Unistall-2.tsu\""
  rc=$(d exitcode "$quiet" 120000)
  check "trust: uninstall exit code" "$rc" 0
  check "trust: the planted log's file kept" "$(cat "$drive_c/Keep/k.txt")" keep
  check_true "trust: the other product's key kept" sh -c "wine reg query '$other' >/dev/null 2>&1"
  check_true "trust: Uninstall key gone" key_gone "$UNINSTALL_KEY"
  check_true "trust: own files gone" test ! -e "$dir/readme.txt"
  check_true "trust: own log gone" test ! -e "$dir/Unistall-2.tsu"
  wine reg delete "$other" /f >/dev/null 2>&1
  rm -rf "$dir" "$drive_c/Keep"
  cp "$shell" "$drive_c/windows/tsu11.exe"
}

# Each failure: its exit code and its message in the log, never a box.
silent_fails() {  # what exe arguments code message
  local rc
  rc=$(d exitcode "\"$(winpath "$out/work/$2")\" $3" 60000)
  check "$1: exit code" "$rc" "$4"
  check "$1: logged" "$(silent_log_text | tail -2 | head -1)" "message: $5"
}

case_silent_fail() {
  local temps
  rm -rf "$drive_c/Tarn Silent Fail"
  rm -f "$(silent_log)"
  temps=$(tempfiles)
  # What a killed run would leave, and a name of the kind that is not ours.
  local tmpd
  tmpd=$(find "$drive_c/users" -maxdepth 4 -type d -iname temp | head -1)
  printf left >"$tmpd/tstBEEF.tmp"
  printf theirs >"$tmpd/tstBEEF0.tmp"
  silent_fails "relative folder" setup.exe '/S /D=Tarn\Relative' 2 \
    "安装路径书写不正确,请写入全部路径! 例如'C:\\Program Files'"
  silent_fails "/D= not last" setup.exe '/s /D=C:\Tarn Silent Fail /X' 2 "/D= 必须是最后一个参数!"
  silent_fails "unknown switch" setup.exe '/S /Q' 2 "不能识别的参数: /Q"
  silent_fails "glued switch" setup.exe '/S/D=C:\Tarn Silent Fail' 2 "不能识别的参数: /S/D=C:\Tarn Silent Fail"
  silent_fails "/SILENT" setup.exe '/SILENT' 2 "不能识别的参数: /SILENT"
  silent_fails "damaged installer" badblob.exe '/S /D=C:\Tarn Silent Fail' 3 \
    "无法建立临时文件,请检查磁盘空间是否足够!"
  silent_fails "no payload" bare.exe '/S /D=C:\Tarn Silent Fail' 3 "安装数据错误,无法正常安装!"
  silent_fails "uninstall without a log" bare.exe '/S -U|Nothing|C:\nothing\Unistall.tsu' 1 "打开卸载信息错误!"
  check_true "silent failures: nothing installed" test ! -e "$drive_c/Tarn Silent Fail"
  check_true "silent failures: a killed run's blob removed" test ! -e "$tmpd/tstBEEF.tmp"
  check "silent failures: another name kept" "$(cat "$tmpd/tstBEEF0.tmp")" theirs
  rm -f "$tmpd/tstBEEF0.tmp"
  check "silent failures: no temporary file left" "$(tempfiles)" "$temps"
  check "silent failures: one log entry per run" "$(silent_log_text | grep -c '^== ')" 8
  note "silent log: $(silent_log | sed "s|^$drive_c|C:|")"
}

# --- other code pages -------------------------------------------------------
# What the sample installs, by the exact names its script gives: the
# registry scripts imported and dropped, the key list kept only in the log.
SAMPLE_FILES="bin/demo.bin data/empty.txt data/photo.gz data/settings.ini defaults.reg
docs/manual/chapter1.txt docs/manual/chapter2.txt docs/manual/chapter3.txt licence.txt
nt-only.txt readme.txt 文档/说明.txt"
profile_dir() { echo "$drive_c/users/${USER:-$(id -un)}"; }
programs_dir() { echo "$(profile_dir)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"; }
# The shortcuts by name, beside the desktop they went to.
sample_links() {  # desktop folder (host path)
  printf '%s\n' "$(programs_dir)/Tarn 演示程序/说明.lnk" "$(programs_dir)/Tarn 演示程序/中文说明.lnk" \
    "$1/Tarn 演示程序许可协议.lnk"
}
check_sample_install() {  # what folder (host) folder (Windows) desktop (host)
  local what=$1 dir=$2 dir_win=$3 desk=$4 f from want got link
  want=$( (printf '%s\n' $SAMPLE_FILES; echo Unistall.tsu) | sort)
  got=$( (cd "$dir" 2>/dev/null && find . -type f | sed 's|^\./||') | sort)
  check "$what: the installed files by name" "$got" "$want"
  for f in $SAMPLE_FILES; do
    from=$sample/files/$f
    [ "$f" = defaults.reg ] && from=$sample/files/registry/$f
    if [ "$f" = bin/demo.bin ]; then  # protected: padded after its bytes
      check "$what: $f bytes" "$(cmp -s -n "$(stat -c %s "$from")" "$dir/$f" "$from" && echo same)" same
    else
      check "$what: $f bytes" "$(cmp -s "$dir/$f" "$from" && echo same)" same
    fi
  done
  while read -r link; do
    check_true "$what: shortcut ${link#"$drive_c"}" test -f "$link"
  done < <(sample_links "$desk")
  check "$what: no other shortcut" "$(links)" 3
  # Its working folder as the link holds it, in UTF-16: a character lost on
  # the way would be a "?".
  check_true "$what: the desktop shortcut's working folder" python3 - "$desk/Tarn 演示程序许可协议.lnk" "$dir_win" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
sys.exit(0 if sys.argv[2].encode("utf-16-le") in data else 1)
PY
  check "$what: DisplayName" "$(regval "$UNINSTALL_KEY" DisplayName)" "$PRODUCT"
  check "$what: InstallLocation" "$(regval "$UNINSTALL_KEY" InstallLocation)" "$dir_win"
  check "$what: UninstallString" "$(regval "$UNINSTALL_KEY" UninstallString)" \
    "C:\\windows\\$COPY -U|$PRODUCT|$dir_win\\Unistall.tsu"
  check "$what: QuietUninstallString" "$(regval "$UNINSTALL_KEY" QuietUninstallString)" \
    "\"C:\\windows\\$COPY\" /S \"-U|$PRODUCT|$dir_win\\Unistall.tsu\""
  check "$what: EstimatedSize" "$(regdword "$UNINSTALL_KEY" EstimatedSize)" "$(logged_kib "$dir/Unistall.tsu")"
}
check_sample_gone() {  # what folder (host) desktop (host)
  local link
  check_true "$1: install folder gone" test ! -e "$2"
  while read -r link; do
    check_true "$1: shortcut gone: ${link#"$drive_c"}" test ! -e "$link"
  done < <(sample_links "$3")
  check_true "$1: Start menu folder gone" test ! -e "$(programs_dir)/Tarn 演示程序"
  # A folder goes with the last file in it; the one above, made by the
  # install too, stays empty.
  check "$1: nothing left above the folder" "$(ls -A "$(dirname "$2")")" ""
  check "$1: no shortcut left" "$(links)" 0
  check_true "$1: Uninstall key gone" key_gone "$UNINSTALL_KEY"
  check_true "$1: imported registry keys gone" key_gone 'HKCU\Software\TarnDemo'
}
silent_sample() {  # what folder (Windows) desktop (host)
  local what=$1 dir_win=$2 desk=$3 dir rc quiet
  dir=$drive_c/${dir_win#C:\\}
  dir=${dir//\\//}
  rm -rf "$dir"
  wine reg delete "$UNINSTALL_KEY" /f >/dev/null 2>&1
  touch "$out/work/marker"
  sleep 1
  rc=$(d exitcode "\"$(winpath "$out/work/setup.exe")\" /S /D=$dir_win" 120000)
  check "$what: exit code" "$rc" 0
  check_sample_install "$what" "$dir" "$dir_win" "$desk"
  quiet=$(regval "$UNINSTALL_KEY" QuietUninstallString)
  rc=$(d exitcode "$quiet" 120000)
  check "$what: quiet uninstall exit code" "$rc" 0
  check_sample_gone "$what: quiet uninstall" "$dir" "$desk"
  check "$what: the log ends the run" "$(silent_log_text | tail -1)" "exit code 0"
}

# Names GBK lacks inside the package (a "TARN_TSPV1.1" one): installed and
# removed under exactly those names, on every code page.
case_names_beyond_gbk() {
  local p=$out/work/beyond what="names beyond GBK" dir_win='C:\Tarn Beyond' dir rc quiet key
  dir=$drive_c/Tarn\ Beyond
  key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarn Łódź Names'
  rm -rf "$p" "$dir"
  mkdir -p "$p/tree/Français"
  printf 'strasse\n' > "$p/tree/Straße.txt"
  printf 'korean\n' > "$p/tree/Français/한국어 😀.txt"
  make_installer script "$(winpath "$p/tree")" -o "$(winpath "$p")\\setup.ini" --ui "$(winpath "$p")\\ui.ini" \
    --product 'Tarn Łódź Names' --shortcut 'Straße.txt=Straße' >>"$log" 2>&1
  make_installer build "$(winpath "$p")\\setup.ini" --ui "$(winpath "$p")\\ui.ini" --shell "$(winpath "$shell")" \
    -o "$(winpath "$p")\\beyond.exe" >>"$log" 2>&1
  check_true "$what: installer made" test -f "$p/beyond.exe"
  touch "$out/work/marker"
  sleep 1
  rc=$(d exitcode "\"$(winpath "$p/beyond.exe")\" /S /D=$dir_win" 120000)
  check "$what: exit code" "$rc" 0
  check "$what: Straße.txt" "$(cat "$dir/Straße.txt" 2>/dev/null)" strasse
  check "$what: Français\\한국어 😀.txt" "$(cat "$dir/Français/한국어 😀.txt" 2>/dev/null)" korean
  check "$what: the shortcut Straße.lnk" "$(find "$(programs_dir)" -name 'Straße.lnk' | wc -l)" 1
  check "$what: DisplayName" "$(regval "$key" DisplayName)" 'Tarn Łódź Names'
  check "$what: the log's form" "$(head -c 8 "$dir/Unistall.tsu")" TSUIV1.1
  quiet=$(regval "$key" QuietUninstallString)
  rc=$(d exitcode "$quiet" 120000)
  check "$what: quiet uninstall exit code" "$rc" 0
  check_true "$what: folder gone" test ! -e "$dir"
  check "$what: shortcut gone" "$(links)" 0
  check_true "$what: key gone" key_gone "$key"
}

# A silent install killed half-way (kill -9 of its process: a power loss, a
# deployment tool's timeout): the next start of the installer says it undid
# it, and the machine is as before: the files, the folder it made, the file
# it replaced, the desktop shortcut, the keys, %TEMP% and the journal.
case_killed() {
  local p=$out/work/killed dir_win='C:\Tarn Killed' dir=$drive_c/Tarn\ Killed n=800 temps rc
  local key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarn Killed'
  if [ ! -f "$p/killed.exe" ]; then
    python3 "$src/tests/support/killed_product.py" "$p" $n
    make_installer build "$(winpath "$p/setup.ini")" --ui "$(winpath "$p/ui.ini")" \
      --shell "$(winpath "$shell")" -o "$(winpath "$p")\\killed.exe" >>"$log" 2>&1
  fi
  check_true "killed: installer made" test -f "$p/killed.exe"
  rm -rf "$dir" && mkdir -p "$dir" && echo mine > "$dir/readme.txt"
  wine reg delete "$key" /f >/dev/null 2>&1
  wine reg delete 'HKCU\Software\TarnKilled' /f >/dev/null 2>&1
  temps=$(tempfiles)
  touch "$out/work/marker"
  sleep 1
  python3 "$src/tests/support/killer.py" "$dir/bulk" $((n / 2)) killed.exe \
    wine "$p/killed.exe" /S "/D=$dir_win" >>"$log" 2>&1
  rc=$?
  check "killed: caught half-way" "$rc" 0
  check_true "killed: the install had not finished" test ! -e "$dir/Unistall.tsu"
  check "killed: readme.txt replaced before the kill" "$(cat "$dir/readme.txt")" "the product's readme"
  check "killed: its shortcut made" "$(links)" 1
  sleep 1
  start "$p/killed.exe"
  check "killed: the next start says it undid it" "$(d box killed)" \
    "上次的安装没有完成,已撤销它所做的更改!已运行的程序不能撤销。"
  shot killed-undone
  d answer killed ok
  d wait "$WELCOME" 30000 && d click "$WELCOME" $CANCEL && d answer "退出询问" yes
  check_true "killed: the wizard ends" ended 20
  check "killed: only the user's file is left" "$(cd "$dir" && find . | sort | paste -sd' ')" ". ./readme.txt"
  check "killed: the replaced file is back" "$(cat "$dir/readme.txt")" mine
  check "killed: shortcut gone" "$(links)" 0
  check_true "killed: the imported key gone" sh -c "! wine reg query 'HKCU\\Software\\TarnKilled' >/dev/null 2>&1"
  check_true "killed: no Uninstall key" key_gone "$key"
  check "killed: temporary files gone" "$(tempfiles)" "$temps"
  check "killed: no journal left" "$(find "$drive_c/windows/TarnRollback" -type f -size +0 2>/dev/null | wc -l)" 0
  stop_setup
}

# A folder name GBK holds, under a parent of plain ASCII.
case_silent_world() { silent_sample "silent, Chinese folder" 'C:\World Test\演示' "$(profile_dir)/Desktop"; }

# The wizard with a folder typed that GBK lacks: the field's text, the
# question that names it, the install, and the uninstall through its dialog.
case_wizard_pl() {
  local what="wizard, Polish folder" dir_win='C:\Programy Łódź\Kreator' dir desk unstr
  dir=$drive_c/Programy\ Łódź/Kreator
  desk=$(profile_dir)/Desktop
  rm -rf "$dir"
  wine reg delete "$UNINSTALL_KEY" /f >/dev/null 2>&1
  touch "$out/work/marker"
  sleep 1
  start "$out/work/setup.exe"
  d wait "$WELCOME" 30000 && d click "$WELCOME" $NEXT && d wait "$LICENCE" && d click "$LICENCE" 1019 &&
    sleep 0.3 && d click "$LICENCE" $NEXT && d wait "$TARGET" && d settext "$TARGET" 1003 "$dir_win"
  check "$what: the field holds it" "$(d text "$TARGET" 1003)" "$dir_win"
  d click "$TARGET" $NEXT
  check "$what: create question" "$(d box "目录不存在")" "'$dir_win'目录不存在,是否新建目录?"
  d answer "目录不存在" yes
  check_true "$what: finish page shows" d wait "$DONE" 60000
  d click "$DONE" $FINISH
  check_true "$what: installer ends" ended 30
  check_sample_install "$what" "$dir" "$dir_win" "$desk"
  unstr=$(regval "$UNINSTALL_KEY" UninstallString)
  d run "$unstr" >>"$log" 2>&1 &
  setup_pid=$!
  d answer "卸载确认" yes
  expect_state "$what: uninstall dialog's Exit shows at the end" "卸载" 1015 "enabled=1 visible=1 checked=0"
  check "$what: uninstall status at the end" "$(d text "卸载" 1011)" "完成卸载文件..."
  d click "卸载" 1015
  check_true "$what: uninstaller ends" ended 30
  check_sample_gone "$what: uninstall" "$dir" "$desk"
}

restore_value() {  # key type value: the Desktop value as it was, or none
  if [ -n "$3" ]; then
    wine reg add "$1" /v Desktop /t "$2" /d "$3" /f >/dev/null 2>&1
  else
    wine reg delete "$1" /v Desktop /f >/dev/null 2>&1
  fi
}
# The desktop elsewhere, under a name GBK lacks: its characters cross as
# GB18030 four-byte sequences, there and back.
case_desktop_pl() {
  local shell_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders'
  local user_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
  local old_shell old_user desk_win desk
  old_shell=$(regval "$shell_folders" Desktop)
  old_user=$(regval "$user_folders" Desktop)
  desk_win="C:\\users\\${USER:-$(id -un)}\\Pulpit Łódź"
  desk="$(profile_dir)/Pulpit Łódź"
  mkdir -p "$desk"
  wine reg add "$user_folders" /v Desktop /t REG_EXPAND_SZ /d "$desk_win" /f >/dev/null 2>&1
  wine reg add "$shell_folders" /v Desktop /t REG_SZ /d "$desk_win" /f >/dev/null 2>&1
  check "desktop redirected" "$(regval "$user_folders" Desktop)" "$desk_win"
  silent_sample "Polish desktop and folder" 'C:\Programy Łódź\Demo' "$desk"
  check_true "Polish desktop: nothing left on it" test -z "$(ls -A "$desk")"
  restore_value "$user_folders" REG_EXPAND_SZ "$old_user"
  restore_value "$shell_folders" REG_SZ "$old_shell"
  rm -rf "$desk"
}

for c in $cases; do
  note "== $c"
  "case_$c"
done
note "screenshots: $out/shots"
note "e2e: $failures failures"
[ "$failures" -eq 0 ]
