#!/usr/bin/env python3
"""reshell.py INSTALLER SHELL: puts a new shell in front of an installer's
payload (both blobs and the trailer), so that a big test product need not be
packed again for every build of the shell."""
import struct
import sys

installer, shell = sys.argv[1], sys.argv[2]
data = open(installer, "rb").read()
assert data[-1] == 9 and data[-10:-1] == b"TSPSEV1.0", "no payload trailer"
s1 = struct.unpack_from("<I", data, len(data) - 14)[0]
s2 = struct.unpack_from("<I", data, len(data) - 22 - s1)[0]
payload = data[len(data) - 26 - s1 - s2:]
with open(installer, "wb") as f:
    f.write(open(shell, "rb").read())
    f.write(payload)
