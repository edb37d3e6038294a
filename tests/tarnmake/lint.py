"""The lint of package and build: one table of bad scripts, each with the
line it must name, a piece of its English message and the exit status.

  lint.py SAMPLE_DIR TARNMAKE...     in a work folder; SAMPLE_DIR relative, so
                                     that tarnmake.exe under Wine reads it too
"""
import os
import subprocess
import sys

sample, tm = sys.argv[1], sys.argv[2:]
failures = []

open("f.txt", "w").write("x\n")
open("shell.exe", "wb").write(os.urandom(3000))
UI = "[PRODUCTNAME]\r\nDemo\r\n\r\n[LICENCE]\r\nText\r\n"


def fileinfo(target, *more):
    return "\r\n".join(["[FILEINFO]", "SOURCE_PATH=f.txt", "TARGET_PATH=" + target] + list(more)) + "\r\n\r\n"


def run(*args):
    p = subprocess.run(tm + list(args), capture_output=True, timeout=120)
    return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")


def encode(text):
    return text if isinstance(text, bytes) else text.encode("gb18030")


# (what, setup script, UI script or None for package, line, fragment, exit)
# Line 0: the file as a whole. The UI script is named ui.ini, the setup
# script s.ini, so the line is "FILE:LINE: ...".
ROWS = [
    ("section typo", "[FILEINF0]\r\nSOURCE_PATH=f.txt\r\n\r\n" + fileinfo(r"<TARGETDIR>\a"), None,
     1, "unknown section [FILEINF0], which is not read; did you mean FILEINFO?", 1),
    ("key typo", fileinfo(r"<TARGETDIR>\a", "INSTAL_FLAG=1"), None,
     4, "unknown key 'INSTAL_FLAG' in [FILEINFO], which is not read; did you mean INSTALL_FLAG?", 1),
    ("key swap", fileinfo(r"<TARGETDIR>\a", r"SHORTCUT_PAHT=<TARGET_FOLDER>\a.lnk"), None,
     4, "did you mean SHORTCUT_PATH?", 1),
    ("no =", fileinfo(r"<TARGETDIR>\a", "INSTALL_FLAG 8"), None, 4, "has no '='", 1),
    ("flag bit 0x80", fileinfo(r"<TARGETDIR>\a", "INSTALL_FLAG=128"), None, 4, "INSTALL_FLAG 128 is out of range", 1),
    ("flag over a byte", fileinfo(r"<TARGETDIR>\a", "INSTALL_FLAG=300"), None, 4, "INSTALL_FLAG 300 is out of range", 1),
    ("flag in hex", fileinfo(r"<TARGETDIR>\a", "INSTALL_FLAG=0x20"), None, 4, "is not a decimal number from 0 to 127", 1),
    ("os value", fileinfo(r"<TARGETDIR>\a", "OS_VERSION=4"), None, 4, "OS_VERSION 4 is out of range", 1),
    ("os negative", fileinfo(r"<TARGETDIR>\a", "OS_VERSION=-1"), None, 4, "OS_VERSION '-1' is not a decimal number", 1),
    ("padding value", fileinfo(r"<TARGETDIR>\a", "FILE_PROTECTED=2"), None, 4, "FILE_PROTECTED 2 is out of range", 1),
    ("icon id", fileinfo(r"<TARGETDIR>\a", "SHORTCUT_ICON_ID=256"), None, 4, "SHORTCUT_ICON_ID 256 is out of range", 1),
    ("empty list", fileinfo(r"<TARGETDIR>\a", "INSTALL_FLAG=80"), None, 4, "the list would be empty", 1),
    ("blank line inside", "[FILEINFO]\r\nSOURCE_PATH=f.txt\r\n\r\nTARGET_PATH=<TARGETDIR>\\a\r\n", None,
     4, "outside any section and is not read", 1),
    ("header without blank", fileinfo(r"<TARGETDIR>\a").rstrip("\r\n") + "\r\n" + fileinfo(r"<TARGETDIR>\b"), None,
     4, "a section header must come after an empty line", 1),
    ("no target", "[FILEINFO]\r\nSOURCE_PATH=f.txt\r\n", None, 1, "has no TARGET_PATH", 1),
    ("no source", "[FILEINFO]\r\nTARGET_PATH=<TARGETDIR>\\a\r\n", None, 1, "has no SOURCE_PATH", 1),
    ("placeholder typo", fileinfo(r"<TARGETDIRS>\a"), None, 3, "did you mean <TARGETDIR>?", 1),
    ("no placeholder", fileinfo(r"C:\a"), None, 3, "must begin with <TARGETDIR>\\", 1),
    ("shortcut placeholder", fileinfo(r"<TARGETDIR>\a", r"SHORTCUT_PATH=<DESKTOP>\a.lnk"), None,
     4, "did you mean <DESKTOP_FOLDER>?; no shortcut would be made", 1),
    ("shortcut name", fileinfo(r"<TARGETDIR>\a", r"SHORTCUT_PATH=<DESKTOP_FOLDER>\a|b.lnk"), None,
     4, "SHORTCUT_PATH '<DESKTOP_FOLDER>\\a|b.lnk' cannot be made: 'a|b.lnk' holds '|'", 1),
    ("climbs", fileinfo(r"<TARGETDIR>\..\x.txt"), None, 3, "'..' climbs out of <TARGETDIR>", 1),
    ("climbs deeper", fileinfo(r"<TARGETDIR>\a\..\..\x.txt"), None, 3, "'..' climbs out of <TARGETDIR>", 1),
    ("dot inside", fileinfo(r"<TARGETDIR>\a\.\b.txt"), None, 3, "'.' and '..' components are refused", 1),
    ("trailing blank", fileinfo(r"<TARGETDIR>\dir \a.txt"), None, 3, "'dir ' ends in a dot or a blank", 1),
    ("trailing dot", fileinfo(r"<TARGETDIR>\a."), None, 3, "'a.' ends in a dot or a blank", 1),
    ("too long", fileinfo("<TARGETDIR>\\" + "a" * 250), None, 3, "over the 255 the package holds", 1),
    ("cases", fileinfo(r"<TARGETDIR>\Docs\a.txt") + fileinfo(r"<targetdir>\docs\A.TXT"), None,
     7, "differ only in case: Windows takes them for one file", 1),
    ("cases beyond ASCII", fileinfo("<TARGETDIR>\\Язык.txt") + fileinfo("<TARGETDIR>\\язык.txt"), None,
     7, "'<TARGETDIR>\\язык.txt' and line 3's '<TARGETDIR>\\Язык.txt' differ only in case", 1),
    ("file and folder", fileinfo(r"<TARGETDIR>\a") + fileinfo(r"<TARGETDIR>\A\b.txt"), None,
     7, "'<TARGETDIR>\\A\\b.txt' needs the folder '<TARGETDIR>\\a', which line 3 makes a file", 1),
    ("names as written", fileinfo("<TARGETDIR>\\说明😀?.txt"), None, 3, "'说明😀?.txt' holds '?'", 1),
    ("unmarked UTF-8", fileinfo("<TARGETDIR>\\说明.txt").encode("utf-8"), None,
     3, "UTF-8 without a byte order mark", 1),
    ("no product", fileinfo(r"<TARGETDIR>\a"), "[LICENCE]\r\nText\r\n", 0, "there is no [PRODUCTNAME]", 1),
    ("product blank", fileinfo(r"<TARGETDIR>\a"), "[PRODUCTNAME]\r\n  \r\n", 2, "it is blank", 1),
    ("product comment only", fileinfo(r"<TARGETDIR>\a"), "[PRODUCTNAME]\r\n;Demo\r\n", 1, "holds no name", 1),
    ("product too long", fileinfo(r"<TARGETDIR>\a"), "[PRODUCTNAME]\r\n" + "产" * 130 + "\r\n", 2,
     "it is 260 bytes, over 255", 1),
    ("product bar", fileinfo(r"<TARGETDIR>\a"), "[PRODUCTNAME]\r\nA|B\r\n", 2, "it holds \\ or |", 1),
    ("ui section typo", fileinfo(r"<TARGETDIR>\a"), UI + "[LICENSE]\r\nx\r\n", 6, "did you mean LICENCE?", 1),
    ("ui header with blank", fileinfo(r"<TARGETDIR>\a"), "[PRODUCTNAME] \r\nDemo\r\n", 1,
     "no section header the shell reads", 1),
    ("ui twice", fileinfo(r"<TARGETDIR>\a"), UI + "[PRODUCTNAME]\r\nOther\r\n", 6, "the shell reads only the one on line 1", 1),
    ("licence bracket", fileinfo(r"<TARGETDIR>\a"), UI + "[1] more text\r\n", 6, "which ends the licence", 1),
]
for target in [r"Unistall.tsu", r"UNISTALL.TSU", r"\Unistall.tsu", r"sub/../unistall.tsu",
               r".\Unistall.tsu", r"a\..\Unistall.TSU", r"Unistall.tsu.", r"UNISTA~1.TSU"]:
    ROWS.append(("log " + target, fileinfo("<targetdir>\\" + target), None, 3,
                 "uninstall log's own file, <TARGETDIR>\\Unistall.tsu", 1))
for ch in '<>:"|?*\x01':
    ROWS.append(("reserved %r" % ch, fileinfo("<TARGETDIR>\\a" + ch + "b"), None, 3,
                 "which no Windows name may hold", 1))
for dev in ["CON", "prn.txt", "AUX.tar.gz", "nul", "COM1.log", "LPT9", "con .txt"]:
    ROWS.append(("device " + dev, fileinfo("<TARGETDIR>\\d\\" + dev), None, 3, "names a Windows device", 1))

for what, setup, ui, line, fragment, status in ROWS:
    for f in ("s.ini", "ui.ini", "out.bin"):
        if os.path.exists(f):
            os.remove(f)
    open("s.ini", "wb").write(encode(setup))
    if ui is None:
        rc, out, err = run("package", "s.ini", "-o", "out.bin")
    else:
        open("ui.ini", "wb").write(encode(ui))
        rc, out, err = run("build", "s.ini", "--ui", "ui.ini", "--shell", "shell.exe", "-o", "out.bin")
    where = ("ui.ini" if what.startswith(("no product", "product", "ui ", "licence")) else "s.ini")
    where += ":%d: " % line if line else ": "
    told = any(l.startswith("tarnmake: error: " + where) and fragment in l for l in err.splitlines())
    if rc != status or not told or os.path.exists("out.bin"):
        failures.append("%s: exit %d, want %d; want '%s...%s' in:\n%s" % (what, rc, status, where, fragment, err))

# --lax: unknown names are warnings and the package is written; a value
# out of range is still an error.
open("s.ini", "wb").write(encode("[FILES]\r\nx=1\r\n\r\n" + fileinfo(r"<TARGETDIR>\a", "INSTAL_FLAG=1",
                                                                  r"SHORTCUT_PATH=<DESKTOP>\a.lnk")))
rc, out, err = run("package", "--lax", "s.ini", "-o", "lax.tsp")
warned = [l for l in err.splitlines() if l.startswith("tarnmake: warning: s.ini:")]
if rc != 0 or len(warned) != 3 or "error" in err or not os.path.exists("lax.tsp"):
    failures.append("--lax: exit %d, %d warnings:\n%s" % (rc, len(warned), err))
rc, out, err = run("package", "s.ini", "-o", "strict.tsp")
if rc != 1 or err.count("(--lax makes this a warning)") != 3:
    failures.append("without --lax: exit %d:\n%s" % (rc, err))
open("s.ini", "wb").write(encode(fileinfo(r"<TARGETDIR>\a", "INSTALL_FLAG=300", "INSTAL_FLAG=1")))
rc, out, err = run("package", "--lax", "s.ini", "-o", "lax2.tsp")
if rc != 1 or os.path.exists("lax2.tsp") or "s.ini:4: INSTALL_FLAG 300" not in err:
    failures.append("--lax let a value out of range by:\n" + err)
rc, out, err = run("package", "--lax", "--strict", "s.ini", "-o", "both.tsp")
if rc == 0:
    failures.append("--lax with --strict accepted")

# No false alarms: the sample, the script tarnmake writes for it, and the
# end-to-end products build without a warning.
def clean(what, *args):
    rc, out, err = run(*args)
    if rc != 0 or "warning" in err or "error" in err:
        failures.append("%s is not clean (exit %d):\n%s" % (what, rc, err))

clean("the sample", "build", os.path.join(sample, "setup.ini"), "--ui", os.path.join(sample, "ui.ini"),
      "--shell", "shell.exe", "-o", "sample.exe")
clean("the sample installer", "verify", "sample.exe")
clean("the sample's script", "script", os.path.join(sample, "files"), "-o", "gen.ini", "--ui", "genui.ini",
      "--product", "Tarn 演示", "--version", "1.0", "--shortcut", "readme.txt=Tarn\\说明")
clean("the written script", "build", "gen.ini", "--ui", "genui.ini", "--shell", "shell.exe", "-o", "gen.exe")
os.makedirs("quit/files", exist_ok=True)
quit_setup = "[SETUPFILEINFO_V2]\r\nPRODUCT=Tarn Quit\r\n"
for src, dst in [("a.txt", "a.txt"), ("b.txt", "blocker"), ("c.txt", "c.txt")]:
    open("quit/files/" + src, "w").write(src)
    quit_setup += "\r\n[FILEINFO]\r\nSOURCE_PATH=files\\%s\r\nTARGET_PATH=<TARGETDIR>\\%s\r\nINSTALL_FLAG=0\r\n" % (src, dst)
open("quit/setup.ini", "w").write(quit_setup)
open("quit/ui.ini", "w").write("[PRODUCTNAME]\r\nTarn Quit\r\n\r\n[TARGETDIR]\r\nC:\\Tarn Quit\r\n\r\n[LICENCE]\r\nQuit test\r\n")
clean("the quit product", "build", "quit/setup.ini", "--ui", "quit/ui.ini", "--shell", "shell.exe", "-o", "quit.exe")

for f in failures:
    print("FAIL: " + f, file=sys.stderr)
print("%d passed, %d failed" % (len(ROWS) + 8 - len(failures), len(failures)))
sys.exit(1 if failures else 0)
