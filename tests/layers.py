"""The folders under src/ are layers: each includes only the folders of
lower layers, and nothing outside src/shell/ includes it (tools/ too).

  layers.py ROOT
"""
import os
import re
import sys

# Bottom up; a folder may include any folder before it.
ORDER = ["platform", "afx", "inifile", "packet", "sysint", "payload", "engine", "shell"]
INCLUDE = re.compile(r'#include "([a-z_]+)/')


def includes(folder):
    for dirpath, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(dirpath, name)
            with open(path, encoding="utf-8", errors="replace") as f:
                for n, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if m:
                        yield path, n, m.group(1)


def main(root):
    bad = []
    src = os.path.join(root, "src")
    for folder in sorted(os.listdir(src)):
        if not os.path.isdir(os.path.join(src, folder)):
            continue
        if folder not in ORDER:
            bad.append(f"src/{folder}: not a known layer")
            continue
        allowed = ORDER[: ORDER.index(folder) + 1]
        for path, n, used in includes(os.path.join(src, folder)):
            if used in ORDER and used not in allowed:
                bad.append(f"{path}:{n}: {folder} includes {used}, a higher layer")
    for path, n, used in includes(os.path.join(root, "tools")):
        if used == "shell":
            bad.append(f"{path}:{n}: tools include the shell")
    for line in bad:
        print(line)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
