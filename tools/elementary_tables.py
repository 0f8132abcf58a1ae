#!/usr/bin/env python3
"""Writes src/runtime/elementary_tables.cpp: the constants and tables of the
elementary functions, each a double-double rounded to nearest from 200 bits."""
import sys
from mpmath import mp, mpf, sin, cos, pi, log, floor

mp.prec = 200


def hx(v):
    return float(v).hex()


def dd(v):
    hi = float(v)
    lo = float(v - mpf(hi))
    return hi, lo


def pieces(v, bits, count):
    """v cut into `count` doubles, all but the last of `bits` significant bits."""
    out = []
    for _ in range(count - 1):
        e = int(floor(mp.log(abs(v), 2)))
        p = mpf(int(floor(v * mpf(2) ** (bits - 1 - e)))) / mpf(2) ** (bits - 1 - e)
        out.append(float(p))
        v = v - p
    out.append(float(v))
    return out


def main():
    w = sys.stdout.write
    w("// Written by tools/elementary_tables.py; each pair is a double-double rounded to\n")
    w("// nearest from 200 bits, so |hi + lo - exact| <= 2^-106 |exact|.\n")
    w('#include "runtime/elementary_tables.h"\n\nnamespace rt::elem {\n\n')
    p2 = pieces(pi / 2, 33, 4)
    w("const double pio2_cut[4] = {%s};\n" % ", ".join(hx(p) for p in p2))
    l2 = pieces(log(2) / 256, 34, 3)
    w("const double ln2_256_cut[3] = {%s};\n" % ", ".join(hx(p) for p in l2))
    for name, v in (("pi_dd", pi), ("pio2_dd", pi / 2), ("sixth_dd", mpf(1) / 6), ("inv24_dd", mpf(1) / 24),
                    ("inv120_dd", mpf(1) / 120)):
        w("const DD %s = {%s, %s};\n" % ((name,) + tuple(hx(t) for t in dd(v))))
    w("\n// sin(i/64), cos(i/64), i = 0..%d\n" % 51)
    w("const DD sin_tab[52] = {\n")
    for i in range(52):
        w("    {%s, %s},\n" % tuple(hx(t) for t in dd(sin(mpf(i) / 64))))
    w("};\nconst DD cos_tab[52] = {\n")
    for i in range(52):
        w("    {%s, %s},\n" % tuple(hx(t) for t in dd(cos(mpf(i) / 64))))
    w("};\n\n// 2^(j/256), j = 0..255\nconst DD exp2_tab[256] = {\n")
    for j in range(256):
        w("    {%s, %s},\n" % tuple(hx(t) for t in dd(mpf(2) ** (mpf(j) / 256))))
    w("};\n\n}  // namespace rt::elem\n")


main()
