#!/usr/bin/python3
# Writes a small TrueType font (a few square and slanted glyphs) as the font target's first input,
# behind the byte that picks size and offsets.
import io
import sys
from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen

def glyph(points):
    pen = TTGlyphPen(None)
    pen.moveTo(points[0])
    for p in points[1:]:
        pen.lineTo(p)
    pen.closePath()
    return pen.glyph()

names = [".notdef", "A", "zero", "at"]
fb = FontBuilder(1000, isTTF=True)
fb.setupGlyphOrder(names)
fb.setupCharacterMap({0x41: "A", 0x30: "zero", 0x40: "at"})
fb.setupGlyf({
    ".notdef": glyph([(0, 0), (500, 0), (500, 700), (0, 700)]),
    "A": glyph([(0, 0), (250, 700), (500, 0)]),
    "zero": glyph([(50, 0), (450, 0), (450, 700), (50, 700)]),
    "at": glyph([(0, 100), (500, 0), (400, 600), (100, 700)]),
})
fb.setupHorizontalMetrics({n: (600, 0) for n in names})
fb.setupHorizontalHeader(ascent=800, descent=-200)
fb.setupNameTable({"familyName": "Seed", "styleName": "Regular"})
fb.setupOS2()
fb.setupPost()
data = io.BytesIO()
fb.save(data)
with open(sys.argv[1], "wb") as f:
    f.write(bytes([8]) + data.getvalue())
