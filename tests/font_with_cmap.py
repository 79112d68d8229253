#!/usr/bin/python3
# Writes a small TrueType font whose only character map is Unicode (3,1) or Symbol (3,0).
# Usage: font_with_cmap.py OUT unicode|symbol
import sys
from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib.tables._c_m_a_p import CmapSubtable

def box(x0, y0, x1, y1):
    pen = TTGlyphPen(None)
    pen.moveTo((x0, y0))
    for p in [(x1, y0), (x1, y1), (x0, y1)]:
        pen.lineTo(p)
    pen.closePath()
    return pen.glyph()

names = [".notdef", "A"]
fb = FontBuilder(1000, isTTF=True)
fb.setupGlyphOrder(names)
fb.setupCharacterMap({0x41: "A"})
fb.setupGlyf({".notdef": box(100, 0, 400, 700), "A": box(0, 0, 600, 700)})
fb.setupHorizontalMetrics({n: (600, 0) for n in names})
fb.setupHorizontalHeader(ascent=800, descent=-200)
fb.setupNameTable({"familyName": "Cmap", "styleName": "Regular"})
fb.setupOS2()
fb.setupPost()
sub = CmapSubtable.newSubtable(4)
sub.platformID, sub.platEncID, sub.language = 3, 1, 0
sub.cmap = {0x41: "A"}
if sys.argv[2] == "symbol":
    sub.platEncID = 0
    sub.cmap = {0xF041: "A", 0x41: "A"}
fb.font["cmap"].tables = [sub]
fb.save(sys.argv[1])
