"""Shared by the export tests: a case solved by calor2d, its report read
independently of calor2d-graficos, and the companion run on it."""
import os
import re
import struct
import subprocess
import sys
import tempfile

SKIP = 77


def skip(reason):
    print("SKIP: " + reason)
    sys.exit(SKIP)


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def bits(v):
    return struct.pack("<d", v)


def e25_15(field):
    """A 1P,E25.15 field of the report; exponents beyond 99 carry no letter."""
    m = re.fullmatch(r" *(-?\d\.\d{15})(?:E([+-]\d\d)|([+-]\d{3}))", field)
    if not m:
        fail("not a report number: %r" % field)
    return float(m.group(1) + "e" + (m.group(2) or m.group(3)))


def read_report(path):
    """The history lines (k, three ratios) and the nodes (five values) of a report."""
    with open(path, "rb") as f:
        lines = f.read().decode("cp1252").split("\r\n")
    history, nodes = [], []
    k = next(i for i, l in enumerate(lines) if l.startswith("  itera\u00e7\u00e3o"))
    for l in lines[k + 1:]:
        if not l:
            break
        history.append((int(l[:10]),) + tuple(e25_15(l[10 + 25 * j:35 + 25 * j]) for j in range(3)))
    k = next(i for i, l in enumerate(lines) if l.startswith("    Posi\u00e7\u00e3o x"))
    for l in lines[k + 1:]:
        if not l:
            break
        nodes.append(tuple(e25_15(l[25 * j:25 * j + 25]) for j in range(5)))
    return history, nodes


def solved_case(calor2d, graficos, Nx=9, Ny=7, Lx="2.0", Ly="1.3"):
    """A fresh folder with the report r.txt of a full listing and the companion's files."""
    folder = tempfile.mkdtemp(prefix="calor2d-exportacoes-")
    with open(os.path.join(folder, "entrada_geral.ent"), "w") as f:
        f.write("'r.txt'\n%s\n%s\n%d\n%d\n5000\n1.0d-9\n1\n7\n" % (Lx, Ly, Nx, Ny))
    for cmd in ([calor2d], [graficos, "r.txt"]):
        run = subprocess.run(cmd, cwd=folder, stdin=subprocess.DEVNULL, capture_output=True)
        if run.returncode != 0:
            fail("%s ended with %d: %s" % (cmd[0], run.returncode, run.stderr.decode(errors="replace")))
    return folder
