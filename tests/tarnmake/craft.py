"""Hand-made files for the hostile-input tests of tarnmake.

  craft.py replace IN OUT OLD NEW       OLD (first occurrence) becomes NEW; both
                                        are Python-escaped text of equal length
  craft.py installer OUT --shell F --ui F|--ui-zeros N [--zui] [--damage-ui]
                     --package F|--package-zeros N [--zpackage] [--damage-package]
  craft.py peak LIMIT_MB[:EXIT] CMD...  runs CMD; fails when its peak memory
                                        passes LIMIT_MB or it exits otherwise
                                        than EXIT (0)
  craft.py pe OUT                       a small valid PE32 image (one section of
                                        code that returns), for signing tools
  craft.py secdir FILE                  prints the security directory of a PE
                                        image and its CheckSum: OFFSET SIZE SUM
  craft.py tsp OUT VERSION TIME TARGET=FILE...
                                        the setup package the form gives for raw
                                        entries (files too small to shrink), with
                                        every time TIME; TARGET is UTF-8, stored
                                        as GB18030 (GBK where GBK holds it)
"""
import resource
import struct
import subprocess
import sys
import zlib

CHUNK = 1 << 20


def unescape(text):
    return text.encode("latin-1").decode("unicode_escape").encode("latin-1")


def replace(src, dst, old, new):
    data = open(src, "rb").read()
    old, new = unescape(old), unescape(new)
    assert len(old) == len(new) and old in data, "nothing to replace"
    open(dst, "wb").write(data.replace(old, new, 1))


def zeros(n):
    while n > 0:
        k = min(n, CHUNK)
        yield bytes(k)
        n -= k


def zero_package(n):
    """A setup package with one raw entry of n zero bytes, in pieces."""
    target = b"<TARGETDIR>\\zero.bin"
    record = (bytes([len(target)]) + target + b"\0" + struct.pack("<IIBB", n, n, 0, 0) + b"\0"
              + bytes(20))
    index = struct.pack("<H", 1) + record
    yield b"\x0cTARN_TSPV1.0\0" + struct.pack("<IHI", 0, 1, n)
    yield from zeros(n)
    yield struct.pack("<I", len(index)) + index + struct.pack("<HI", 1, n)


def tsp(out, version, time, pairs):
    data, index, sizes = b"", b"", []
    for pair in pairs:
        target, path = pair.split("=", 1)
        content = open(path, "rb").read()
        name = target.encode("gb18030")
        data += content
        sizes.append(len(content))
        index += (bytes([len(name)]) + name + b"\0" + struct.pack("<IIBB", len(content), len(content), 0, 0)
                  + b"\0" + struct.pack("<IIIII", time, time, time, 0, 0))
    index = struct.pack("<H", len(pairs)) + index
    v = version.encode("ascii")
    with open(out, "wb") as f:
        f.write(bytes([len(v)]) + v + b"\0" + struct.pack("<IHI", 0, len(pairs), len(data)) + data
                + struct.pack("<I", len(index)) + index
                + struct.pack("<H", len(sizes)) + b"".join(struct.pack("<I", n) for n in sizes))


def write_blob(out, pieces, deflate, damage=False):
    """Writes a blob; returns (uncompressed, stored) sizes."""
    z = zlib.compressobj() if deflate else None
    size = stored = 0
    for piece in pieces:
        size += len(piece)
        if z:
            piece = z.compress(piece)
        out.write(piece)
        stored += len(piece)
    if z:
        tail = z.flush()
        if damage:  # the check value no longer matches
            tail = tail[:-1] + bytes([tail[-1] ^ 0x55])
        out.write(tail)
        stored += len(tail)
    return size, stored


def installer(args):
    opts, flags, i = {}, set(), 1
    while i < len(args):
        if args[i] in ("--zui", "--zpackage", "--damage-ui", "--damage-package"):
            flags.add(args[i])
            i += 1
        else:
            opts[args[i]] = args[i + 1]
            i += 2
    with open(args[0], "wb") as out:
        out.write(open(opts["--shell"], "rb").read())
        if "--package-zeros" in opts:
            pieces = zero_package(int(opts["--package-zeros"]))
        else:
            pieces = [open(opts["--package"], "rb").read()]
        sizes = write_blob(out, pieces, "--zpackage" in flags, "--damage-package" in flags)
        out.write(struct.pack("<II", *sizes))
        if "--ui-zeros" in opts:
            pieces = zeros(int(opts["--ui-zeros"]))
        else:
            pieces = [open(opts["--ui"], "rb").read()]
        sizes = write_blob(out, pieces, "--zui" in flags, "--damage-ui" in flags)
        out.write(struct.pack("<II", *sizes) + b"TSPSEV1.0\x09")


def pe(out):
    """Headers in the first 0x200 bytes, then one 0x200-byte .text section."""
    dos = bytearray(0x80)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 0x3C, 0x80)
    coff = b"PE\0\0" + struct.pack("<HHIIIHH", 0x14C, 1, 0, 0, 0, 224, 0x0102)
    opt = bytearray(224)
    struct.pack_into("<HBBIIIIIII", opt, 0, 0x10B, 2, 0, 0x200, 0, 0, 0x1000, 0x1000, 0x2000,
                     0x400000)
    struct.pack_into("<IIHHHHHHIIIIHHIIIIII", opt, 32, 0x1000, 0x200, 4, 0, 0, 0, 4, 0, 0,
                     0x2000, 0x200, 0, 2, 0, 0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
    section = b".text\0\0\0" + struct.pack("<IIIIIIHHI", 0x1000, 0x1000, 0x200, 0x200, 0, 0, 0,
                                             0, 0x60000020)
    head = bytes(dos) + coff + bytes(opt) + section
    code = b"\x31\xc0\xc3"  # xor eax, eax; ret
    with open(out, "wb") as f:
        f.write(head.ljust(0x200, b"\0") + code.ljust(0x200, b"\0"))


def secdir(path):
    data = open(path, "rb").read(4096)
    nt = struct.unpack_from("<I", data, 0x3C)[0]
    offset, size = struct.unpack_from("<II", data, nt + 24 + 128)
    print(offset, size, struct.unpack_from("<I", data, nt + 24 + 64)[0])


def peak(limit, cmd):
    limit_mb, _, want = limit.partition(":")
    rc = subprocess.call(cmd, stdout=subprocess.DEVNULL)
    mb = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss // 1024
    print("peak %d MB, exit %d" % (mb, rc))
    sys.exit(0 if rc == int(want or 0) and mb <= int(limit_mb) else 1)


if __name__ == "__main__":
    a = sys.argv[1:]
    if a[0] == "replace":
        replace(*a[1:5])
    elif a[0] == "installer":
        installer(a[1:])
    elif a[0] == "pe":
        pe(a[1])
    elif a[0] == "secdir":
        secdir(a[1])
    elif a[0] == "tsp":
        tsp(a[1], a[2], int(a[3]), a[4:])
    elif a[0] == "peak":
        peak(a[1], a[2:])
