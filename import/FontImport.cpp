#include "import/FontImport.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/ByteOrder.h"

namespace {

struct Placement {
    int first, last;  // code points
    int slot;         // slot of first
};

const Placement capitalsAt1[] = {{0x41, 0x5A, 1}};
const Placement capitalsAt65[] = {{0x41, 0x5A, 65}};
const Placement smallLetters[] = {{0x61, 0x7A, 1}};
const Placement numbers[] = {{0x30, 0x39, 48}};
const Placement symbols[] = {{0x40, 0x40, 0},     {0x5B, 0x5B, 27},     {0xA3, 0xA3, 28},
                             {0x5D, 0x5D, 29},    {0x2191, 0x2191, 30}, {0x2190, 0x2190, 31},
                             {0x20, 0x2F, 32},    {0x3A, 0x3F, 58}};

using ByteOrder::be16;
using ByteOrder::be32;

// Checks the table directory of the first font: a known signature and every
// table inside the file. "" when it holds, else why not.
std::string checkTables(const Bytes& b) {
    const size_t n = b.size();
    if (n < 12) return "not a font";
    size_t dir = 0;
    unsigned long tag = be32(b.data());
    if (tag == 0x74746366) {  // "ttcf": a collection; its first font
        if (n < 16 || be32(&b[8]) == 0) return "the font collection is cut short";
        dir = be32(&b[12]);
        if (dir > n - 12) return "the font collection is cut short";
        tag = be32(&b[dir]);
    }
    if (tag != 0x00010000 && tag != 0x4F54544F && tag != 0x74727565)  // 1.0, "OTTO", "true"
        return "not a font";
    const size_t tables = be16(&b[dir + 4]);
    if (tables == 0 || dir + 12 + tables * 16 > n) return "its table directory is cut short";
    for (size_t i = 0; i < tables; ++i) {
        const u8* rec = &b[dir + 12 + i * 16];
        unsigned long long off = be32(rec + 8), len = be32(rec + 12);
        if (off + len > n) return "its tables are cut short";
    }
    return "";
}

// Every code point the groups can render.
std::vector<int> allCodePoints() {
    std::vector<int> cps;
    for (const auto* group : {capitalsAt1, smallLetters, numbers})
        for (int c = group->first; c <= group->last; ++c) cps.push_back(c);
    for (const Placement& p : symbols)
        for (int c = p.first; c <= p.last; ++c) cps.push_back(c);
    return cps;
}

void closeFace(ImportFontState& s) {
    if (s.face) FT_Done_Face(s.face);
    s.face = nullptr;
    s.loaded = 0;
}

template <size_t N>
void renderGroup(ImportFontState& s, u8* set, const Placement (&group)[N]) {
    for (const Placement& p : group)
        for (int c = p.first; c <= p.last; ++c) renderGlyph(s, set + (p.slot + c - p.first) * 8, c);
}

}  // namespace

ImportFontState::~ImportFontState() {
    closeFace(*this);
    if (library) FT_Done_FreeType(library);
}

bool loadFont(ImportFontState& s, const std::string& name, const Bytes& bytes) {
    closeFace(s);
    s.font = bytes;
    s.name = name;
    s.dirty = true;
    s.error = checkTables(s.font);
    if (!s.error.empty()) return false;

    if (!s.library && FT_Init_FreeType(&s.library) != 0) {
        s.library = nullptr;
        s.error = "the font engine could not start";
        return false;
    }
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(s.library, s.font.data(), FT_Long(s.font.size()), 0, &face) != 0) {
        s.error = "the font engine cannot read it";
        return false;
    }
    s.face = face;
    auto refuse = [&](const char* why) {
        closeFace(s);
        s.error = why;
        return false;
    };
    if (!FT_IS_SFNT(face) || !FT_IS_SCALABLE(face)) return refuse("not a TrueType or OpenType font");
    // Code points are looked up as Unicode; a Symbol map alone would give the missing glyph everywhere.
    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) return refuse("it has no Unicode character map");
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    if (!hhea) return refuse("it has no horizontal header");
    s.ascent = hhea->Ascender;
    s.descent = hhea->Descender;
    const long span = long(s.ascent) - s.descent;
    if (span <= 0) return refuse("its ascent and descent span no height");

    // At the largest size a glyph may reach 16 line heights (256 pixels); any
    // glyph beyond that, or one the engine cannot load, is damage.
    const long limit = 16 * span;
    for (int cp : allCodePoints()) {
        FT_UInt glyph = FT_Get_Char_Index(face, FT_ULong(cp));
        if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
            return refuse("its glyph data are damaged");
        if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return refuse("its glyphs have no outlines");
        const FT_Outline& o = face->glyph->outline;
        for (int i = 0; i < o.n_points; ++i)
            if (std::labs(o.points[i].x) > limit || std::labs(o.points[i].y) > limit)
                return refuse("its glyph boxes are far larger than its line height");
    }
    s.loaded = 1;
    return true;
}

void clampFontSettings(ImportFontState& s) {
    s.size = std::clamp(s.size, 4, 16);
    s.xOffset = std::clamp(s.xOffset, -4, 4);
    s.yOffset = std::clamp(s.yOffset, -4, 4);
    s.threshold = std::clamp(s.threshold, 1, 255);
}

void renderGlyph(ImportFontState& s, u8* pattern, int codePoint) {
    std::memset(pattern, 0, 8);
    if (s.loaded != 1 || !s.face) return;
    const float scale = float(s.size) / float(s.ascent - s.descent);
    if (scale == 0) return;
    const int baseline = std::min(int(float(s.ascent) * scale + 0.5f), 7);

    FT_Face face = s.face;
    FT_UInt glyph = FT_Get_Char_Index(face, FT_ULong(codePoint));
    if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return;
    if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return;
    FT_Outline& o = face->glyph->outline;
    if (o.n_points <= 0 || o.n_contours <= 0) return;

    const long advance = face->glyph->metrics.horiAdvance;  // font units
    const int xpad = (8 - int(float(advance) * scale + 0.5f)) / 2;

    // Scale to 26.6 pixels and move the cell's 8x8 pixels over the bitmap:
    // cell column x covers glyph pixel column x - xpad - xOffset, cell row y
    // glyph pixel row y - baseline - yOffset (rows counted down from the baseline).
    const long limit = 16L * (long(s.ascent) - s.descent);
    const FT_Pos dx = FT_Pos(xpad + s.xOffset) * 64, dy = FT_Pos(8 - baseline - s.yOffset) * 64;
    for (int i = 0; i < o.n_points; ++i) {
        FT_Vector& p = o.points[i];
        if (std::labs(p.x) > limit || std::labs(p.y) > limit) return;
        p.x = FT_Pos(std::lround(double(p.x) * scale * 64)) + dx;
        p.y = FT_Pos(std::lround(double(p.y) * scale * 64)) + dy;
    }
    FT_BBox box;
    FT_Outline_Get_CBox(&o, &box);
    if (box.xMax <= box.xMin || box.yMax <= box.yMin) return;

    unsigned char cover[64] = {};
    FT_Bitmap bm{};
    bm.rows = 8;
    bm.width = 8;
    bm.pitch = 8;
    bm.buffer = cover;
    bm.num_grays = 256;
    bm.pixel_mode = FT_PIXEL_MODE_GRAY;
    if (FT_Outline_Get_Bitmap(s.library, &o, &bm) != 0) return;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            if (cover[y * 8 + x] >= s.threshold) pattern[y] = u8(pattern[y] | 0x80 >> x);
}

void renderFontCharset(Machine& m, ImportFontState& s) {
    if (s.charsetAddr < 0) return;
    clampFontSettings(s);
    u8* set = &m.ram[s.charsetAddr];
    for (int slot = 0; slot < 256; ++slot)
        if (std::memcmp(set + slot * 8, s.written + slot * 8, 8) != 0)
            std::memcpy(s.backup + slot * 8, set + slot * 8, 8);
    std::memcpy(set, s.backup, 2048);
    if (s.capitals) {
        if (s.smallLetters) renderGroup(s, set, capitalsAt65);
        else renderGroup(s, set, capitalsAt1);
    }
    if (s.smallLetters) renderGroup(s, set, smallLetters);
    if (s.numbers) renderGroup(s, set, numbers);
    if (s.symbols) renderGroup(s, set, symbols);
    std::memcpy(s.written, set, 2048);
}
