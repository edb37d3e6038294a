#!/usr/bin/env bash
# make-corpus.sh [SIZE_MB] DIR: a deterministic product tree of about SIZE_MB
# (default 100) under DIR/files, with a setup script (DIR/setup.ini) and a
# UI script (DIR/ui.ini), both GBK. The same arguments give the same tree
# every time (a seeded generator, fixed file times): program files and libraries are pseudo-binaries with
# the redundancy of machine code, text is drawn from a made-up vocabulary,
# already-compressed files are gzip streams of noise, and hundreds of small
# files sit in nested folders, one of them with a Chinese name.
# make-corpus.sh --tree SRC DIR: the same from a real tree instead, its
# plain files copied (caches, links, names Windows cannot hold and names
# that differ from an earlier one only in case left out).
set -euo pipefail
tree=
if [ "${1:-}" = --tree ]; then tree=${2:?usage: make-corpus.sh --tree SRC DIR}; shift 2; fi
if [ $# -eq 1 ]; then size=100; dir=$1; else size=${1:-100}; dir=${2:?usage: make-corpus.sh [SIZE_MB] DIR}; fi
mkdir -p "$dir"
exec python3 - "$size" "$dir" "$tree" <<'PY'
import gzip, io, itertools, os, random, sys

size_mb, root, tree = int(sys.argv[1]), sys.argv[2], sys.argv[3]
MB = 1 << 20
total = size_mb * MB
rng = random.Random(20240601)
files_dir = os.path.join(root, "files")
entries = []  # (relative path with "/", flag)


def put(rel, data):
    path = os.path.join(files_dir, *rel.split("/"))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    # A fixed time: the same corpus has the same file times.
    os.utime(path, (1700000000, 1700000000))
    entries.append(rel)


def copy_tree(src):
    bad = set('<>:"|?*\\')
    # Windows folds case: of xt_MARK.h and xt_mark.h one file would be left.
    taken = set()
    for top, dirs, files in os.walk(src):
        dirs[:] = sorted(d for d in dirs if d not in ("__pycache__", "site-packages", "dist-packages")
                         and not os.path.islink(os.path.join(top, d)))
        for name in sorted(files):
            path = os.path.join(top, name)
            rel = os.path.relpath(path, src).replace(os.sep, "/")
            if os.path.islink(path) or not os.path.isfile(path) or bad & set(rel) or name.endswith((" ", ".")):
                continue
            try:
                rel.encode("gbk")
            except UnicodeEncodeError:
                continue
            if rel.lower() in taken:
                continue
            taken.add(rel.lower())
            with open(path, "rb") as f:
                put(rel, f.read())


if tree:
    copy_tree(tree)
else:
    # Machine-code-like bytes: opcodes drawn with a skewed distribution, some
    # operands random, so deflate finds about half of it redundant.
    tokens = [rng.randbytes(rng.randint(2, 7)) for _ in range(3000)]
    weights = list(itertools.accumulate(1.0 / (i + 1) ** 0.9 for i in range(len(tokens))))


    def binary(n):
        out = bytearray()
        while len(out) < n:
            out += b"".join(rng.choices(tokens, cum_weights=weights, k=20000))
            out += rng.randbytes(rng.randint(2000, 12000))
        return bytes(out[:n])


    syllables = ["ka", "to", "ren", "mi", "sa", "lo", "vin", "de", "qu", "or", "th", "el", "an",
                 "sh", "ir", "po", "ne", "zu", "ax", "li"]
    words = ["".join(rng.choices(syllables, k=rng.randint(1, 4))) for _ in range(6000)]
    wweights = list(itertools.accumulate(1.0 / (i + 1) for i in range(len(words))))


    def text(n):
        lines, have = [], 0
        while have < n:
            line = " ".join(rng.choices(words, cum_weights=wweights, k=rng.randint(6, 14))) + "\r\n"
            lines.append(line)
            have += len(line)
        return "".join(lines).encode()[:n]


    def compressed(n):
        buf = io.BytesIO()
        with gzip.GzipFile(fileobj=buf, mode="wb", mtime=0, filename="") as g:
            g.write(rng.randbytes(n))
        return buf.getvalue()


    share = {"bin": 0.45, "text": 0.20, "gz": 0.25, "small": 0.10}
    # Programs and libraries: one large program, then libraries of 1 to 6 MB.
    left = int(total * share["bin"])
    big = min(left, max(MB, total // 5))
    put("bin/product.exe", binary(big))
    left -= big
    i = 0
    while left > 0:
        n = min(left, rng.randint(MB, 6 * MB))
        put("bin/lib%02d.dll" % i, binary(n))
        left -= n
        i += 1
    left, i = int(total * share["text"]), 0
    while left > 0:
        n = min(left, rng.randint(64 << 10, 3 * MB))
        put("doc/manual-%02d.txt" % i, text(n))
        left -= n
        i += 1
    left, i = int(total * share["gz"]), 0
    while left > 0:
        n = min(left, rng.randint(512 << 10, 8 * MB))
        put("media/pack%02d.gz" % i, compressed(n))
        left -= int(n * 1.0003)
        i += 1
    left, i = int(total * share["small"]), 0
    folders = ["res/icons", "res/ui/dialogs", "res/ui/strings", "plugins/a/b/c", "资料/说明",
               "data/tables", "data/locale/zh"]
    while left > 0:
        n = rng.randint(200, 24 << 10)
        folder = folders[i % len(folders)]
        kind = i % 3
        data = text(n) if kind == 0 else binary(n) if kind == 1 else compressed(n // 2)
        ext = ".txt" if kind == 0 else ".bin" if kind == 1 else ".gz"
        put("%s/item%04d%s" % (folder, i, ext), data)
        left -= len(data)
        i += 1

lines = ["; Setup script of the benchmark corpus (generated).", "",
         "[SETUPFILEINFO_V2]", "PRODUCT=Corpus", ""]
for rel in entries:
    win = rel.replace("/", "\\")
    lines += ["[FILEINFO]", "SOURCE_PATH=files\\" + win, "TARGET_PATH=<TARGETDIR>\\" + win,
              "INSTALL_FLAG=0", ""]
with open(os.path.join(root, "setup.ini"), "wb") as f:
    f.write("\r\n".join(lines).encode("gbk"))
ui = ["[PRODUCTNAME]", "基准语料", "", "[TARGETDIR]", "<DEFAULT>\\Corpus", "", "[LICENCE]",
      "基准测试用的语料。", ""]
with open(os.path.join(root, "ui.ini"), "wb") as f:
    f.write("\r\n".join(ui).encode("gbk"))
print("corpus: %d files, %.1f MB in %s" % (
    len(entries), sum(os.path.getsize(os.path.join(files_dir, *r.split("/"))) for r in entries) / MB,
    root))
PY
