#!/usr/bin/env python3
"""killed_product.py DIR N: the product the kill tests install and kill.
Its registry list, registry script and a file with a desktop shortcut come
first, so that a kill at any point finds each kind of change made; then N
files of 4 KiB, the bulk the kill lands in. Writes DIR/files, DIR/setup.ini
and DIR/ui.ini (product "Tarn Killed", folder C:\\Tarn Killed)."""
import os
import sys


def entry(src, dst, flag, extra=""):
    return (f"[FILEINFO]\r\nSOURCE_PATH=files\\{src}\r\nTARGET_PATH=<TARGETDIR>\\{dst}\r\n"
            f"INSTALL_FLAG={flag}\r\n{extra}\r\n")


def main():
    root, n = sys.argv[1], int(sys.argv[2])
    os.makedirs(f"{root}/files/bulk", exist_ok=True)
    with open(f"{root}/files/keys.txt", "w", newline="") as f:
        f.write("HKEY_CURRENT_USER\\Software\\TarnKilled\r\n")
    with open(f"{root}/files/k.reg", "w", newline="") as f:
        f.write('REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\TarnKilled]\r\n"Colour"="red"\r\n')
    with open(f"{root}/files/readme.txt", "w") as f:
        f.write("the product's readme\n")
    parts = ["[SETUPFILEINFO_V2]\r\nPRODUCT=Tarn Killed\r\n\r\n",
             entry("keys.txt", "keys.txt", 16),  # IF_REGLIST
             entry("k.reg", "k.reg", 6),  # IF_REGEDIT | IF_TEMPORARY
             entry("readme.txt", "readme.txt", 0, "SHORTCUT_PATH=<DESKTOP_FOLDER>\\Tarn Killed.lnk\r\n")]
    for i in range(n):
        with open(f"{root}/files/bulk/f{i}.bin", "wb") as f:
            f.write(os.urandom(4096))
        parts.append(entry(f"bulk\\f{i}.bin", f"bulk\\f{i}.bin", 0))
    with open(f"{root}/setup.ini", "w", newline="") as f:
        f.write("".join(parts))
    with open(f"{root}/ui.ini", "w", newline="") as f:
        f.write("[PRODUCTNAME]\r\nTarn Killed\r\n\r\n[TARGETDIR]\r\nC:\\Tarn Killed\r\n\r\n[LICENCE]\r\nKilled test\r\n")


main()
