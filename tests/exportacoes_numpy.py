"""The CSV exports loaded with numpy exactly as the README shows, every value
checked bit for bit against the report's printed numbers.
Usage: exportacoes_numpy.py CALOR2D CALOR2D_GRAFICOS README"""
import os
import re
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from exportacoes_comum import bits, fail, read_report, skip, solved_case  # noqa: E402

try:
    import numpy
except ImportError:
    skip("numpy is missing (Debian: apt-get install python3-numpy)")

calor2d, graficos, readme = sys.argv[1:4]
with open(readme, encoding="utf-8") as f:
    blocks = re.findall(r"```python\n(.*?)```", f.read(), re.S)
lines = [l for b in blocks for l in b.splitlines() if "numpy." in l]
if len(lines) != 2:
    fail("the README should show two numpy lines, shows %d" % len(lines))

folder = solved_case(calor2d, graficos)
try:
    os.chdir(folder)
    for l in lines:
        exec(l.replace("resultado", "r"))  # the README's example report is resultado.txt
    history, nodes = read_report("r.txt")
    names = ("x", "y", "temperatura_numerica", "temperatura_analitica", "erro_numerico")
    if nos.dtype.names != names or len(nos) != len(nodes):  # noqa: F821 (set by the README's line)
        fail("nodes: %s, %d rows" % (nos.dtype.names, len(nos)))  # noqa: F821
    for j, name in enumerate(names):
        for i, node in enumerate(nodes):
            if bits(float(nos[name][i])) != bits(node[j]):  # noqa: F821
                fail("node %d %s: numpy %r, report %r" % (i, name, nos[name][i], node[j]))  # noqa: F821
    names = ("k", "L1_L1_0", "L2_L2_0", "Linf_Linf_0")
    if hist.dtype.names != names or len(hist) != len(history):  # noqa: F821
        fail("history: %s, %d rows" % (hist.dtype.names, len(hist)))  # noqa: F821
    for j, name in enumerate(names):
        for i, line in enumerate(history):
            if bits(float(hist[name][i])) != bits(float(line[j])):  # noqa: F821
                fail("history line %d %s: numpy %r, report %r" % (i, name, hist[name][i], line[j]))  # noqa: F821
    print("numpy reads %d nodes and %d history lines as the report prints them" % (len(nodes), len(history)))
finally:
    os.chdir("/")
    shutil.rmtree(folder)
