"""Checks of tarnmake's output against the sample product's sources.

  check.py listing  LIST.json KIND SAMPLE_DIR   the entries match setup.ini
  check.py tree     DIR SAMPLE_DIR              extracted files equal sources
"""
import json
import os
import sys

FLAGS = {1: "IF_REGISTER", 2: "IF_REGEDIT", 4: "IF_TEMPORARY", 8: "IF_KEEP_EXISTING",
         16: "IF_REGLIST", 32: "IF_RUN", 64: "IF_NO_DATA"}
KEYS = {"target_path", "shortcut_path", "command_line", "icon_id", "orig_size", "stored_size",
        "install_flag", "flags", "create_time", "modify_time", "access_time", "os_version",
        "protected"}


def script_entries(sample):
    """FILEINFO sections of the GBK setup script, in order."""
    entries, cur = [], None
    with open(os.path.join(sample, "setup.ini"), encoding="gbk") as f:
        for line in f:
            line = line.rstrip("\r\n")
            if line.strip().startswith("["):
                cur = {} if line.strip().upper() == "[FILEINFO]" else None
                if cur is not None:
                    entries.append(cur)
            elif cur is not None and "=" in line and not line.startswith(";"):
                k, v = line.split("=", 1)
                cur[k.strip().upper()] = v.strip()
    return entries


def source_file(sample, e):
    return os.path.join(sample, *e["SOURCE_PATH"].split("\\"))


def fail(msg):
    print("check: " + msg)
    sys.exit(1)


def listing(path, kind, sample):
    with open(path, encoding="utf-8") as f:
        doc = json.load(f)
    for k in ("kind", "version", "password", "file_count", "size_table", "entries"):
        if k not in doc:
            fail("key %s missing" % k)
    # The sample's names are GBK: the package is the 1.0 form.
    if doc["kind"] != kind or doc["version"] != "TARN_TSPV1.0":
        fail("kind %s version %s" % (doc["kind"], doc["version"]))
    want = script_entries(sample)
    got = doc["entries"]
    if doc["file_count"] != len(want) or len(got) != len(want):
        fail("%d entries, script has %d" % (len(got), len(want)))
    with_data = [e for e in got if not e["install_flag"] & 64]
    if doc["size_table"] != [e["stored_size"] for e in with_data]:
        fail("size table does not follow the entries")
    for w, g in zip(want, got):
        if set(g) != KEYS:
            fail("entry keys %s" % sorted(g))
        flag = int(w.get("INSTALL_FLAG", "0")) % 256
        if g["target_path"] != w["TARGET_PATH"] or g["install_flag"] != flag:
            fail("entry %s differs from the script" % g["target_path"])
        if g["flags"] != [n for b, n in sorted(FLAGS.items()) if flag & b]:
            fail("flag names %s for %d" % (g["flags"], flag))
        if g["shortcut_path"] != w.get("SHORTCUT_PATH", "") or \
                g["os_version"] != int(w.get("OS_VERSION", "0")) or \
                g["protected"] != int(w.get("FILE_PROTECTED", "0")):
            fail("entry %s: shortcut, os or protected differ" % g["target_path"])
        if flag & 64:
            continue
        st = os.stat(source_file(sample, w))
        if g["orig_size"] != st.st_size or g["modify_time"] != int(st.st_mtime):
            fail("entry %s: size or time differ from its source" % g["target_path"])
        if g["stored_size"] > g["orig_size"]:
            fail("entry %s stored larger than it is" % g["target_path"])


def tree(out, sample):
    # Windows has no "<" or ">" in names: the placeholder folder is mapped.
    root = os.path.join(out, "<TARGETDIR>")
    if not os.path.isdir(root):
        root = os.path.join(out, "_TARGETDIR_")
    expected = {}
    for e in script_entries(sample):
        if int(e.get("INSTALL_FLAG", "0")) & 64:
            continue
        rel = e["TARGET_PATH"].split("\\", 1)[1]
        expected[os.path.join(root, *rel.split("\\"))] = source_file(sample, e)
    found = set()
    for d, _, files in os.walk(out):
        found.update(os.path.join(d, f) for f in files)
    if found != set(expected):
        fail("extracted %s, expected %s" % (sorted(found), sorted(expected)))
    for dst, src in expected.items():
        with open(dst, "rb") as a, open(src, "rb") as b:
            if a.read() != b.read():
                fail("%s differs from %s" % (dst, src))
        if int(os.stat(dst).st_mtime) != int(os.stat(src).st_mtime):
            fail("%s lost its modification time" % dst)


if __name__ == "__main__":
    if sys.argv[1] == "listing":
        listing(sys.argv[2], sys.argv[3], sys.argv[4])
    elif sys.argv[1] == "tree":
        tree(sys.argv[2], sys.argv[3])
    else:
        fail("unknown check " + sys.argv[1])
