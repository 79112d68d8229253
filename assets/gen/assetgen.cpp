// Host tool that turns the drawn text sources under assets/src into the
// binary asset files the editor reads at start.
//
//   assetgen charset <out.bin> <charset.txt>
//   assetgen ram     <out.bin> <startup.txt>
//   assetgen picture <out.png|out.bmp> <palette.txt> <art.txt>
#include <stb_image_write.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw std::runtime_error(where + ": " + what);
}

std::vector<std::string> readLines(const std::string& path) {
    std::ifstream in(path);
    if (!in) fail(path, "cannot open");
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

bool isComment(const std::string& t) { return t.empty() || t[0] == ';'; }

void writeFile(const std::string& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary);
    if (!out) fail(path, "cannot create");
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    if (!out) fail(path, "write failed");
}

// ---- character ROM ----------------------------------------------------

using Pattern = std::array<std::uint8_t, 8>;

// Sections "[upper]" (all 128 codes) and "[lower]" (the lower-case letters
// that replace codes 1-26 in the second half); each entry is a line
// ":HH name" followed by eight rows of '#' (set) and '.' (clear).
void parseCharset(const std::string& path, std::map<int, Pattern>& upper,
                  std::map<int, Pattern>& lower) {
    auto lines = readLines(path);
    std::map<int, Pattern>* section = nullptr;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string where = path + ":" + std::to_string(i + 1);
        std::string t = trim(lines[i]);
        if (isComment(t)) continue;
        if (t == "[upper]") { section = &upper; continue; }
        if (t == "[lower]") { section = &lower; continue; }
        if (t[0] != ':') fail(where, "expected ':HH name' or a section");
        if (!section) fail(where, "entry outside a section");
        int code = std::stoi(t.substr(1, 2), nullptr, 16);
        if (code < 0 || code > 127) fail(where, "code out of range");
        if (section->count(code)) fail(where, "code defined twice");
        Pattern p{};
        for (int r = 0; r < 8; ++r) {
            ++i;
            if (i >= lines.size()) fail(where, "pattern cut short");
            std::string row = trim(lines[i]);
            if (row.size() != 8) fail(path + ":" + std::to_string(i + 1), "row is not 8 wide");
            for (int c = 0; c < 8; ++c) {
                if (row[c] == '#') p[r] |= std::uint8_t(0x80 >> c);
                else if (row[c] != '.') fail(path + ":" + std::to_string(i + 1), "bad pixel");
            }
        }
        (*section)[code] = p;
    }
}

Bytes buildCharset(const std::string& path) {
    std::map<int, Pattern> upper, lower;
    parseCharset(path, upper, lower);
    for (int c = 0; c < 128; ++c)
        if (!upper.count(c)) fail(path, "upper half lacks code " + std::to_string(c));
    for (int c = 1; c <= 26; ++c)
        if (!lower.count(c)) fail(path, "lower half lacks code " + std::to_string(c));

    Bytes rom(4096);
    auto put = [&](int half, int code, const Pattern& p) {
        for (int r = 0; r < 8; ++r) {
            rom[half * 2048 + code * 8 + r] = p[r];
            rom[half * 2048 + (code + 128) * 8 + r] = std::uint8_t(~p[r]);
        }
    };
    for (int c = 0; c < 128; ++c) put(0, c, upper[c]);
    for (int c = 0; c < 128; ++c) {
        if (c >= 1 && c <= 26) put(1, c, lower[c]);
        else if (c >= 65 && c <= 90) put(1, c, upper[c - 64]);
        else put(1, c, upper[c]);
    }
    return rom;
}

// ---- power-on memory --------------------------------------------------

int screenCode(char ch) {
    unsigned char u = static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(ch)));
    if (u == '@') return 0;
    if (u >= 'A' && u <= 'Z') return u - 'A' + 1;
    if (u == '[') return 27;
    if (u == ']') return 29;
    if (u >= ' ' && u <= '?') return u;
    return -1;
}

Bytes buildRam(const std::string& path) {
    Bytes ram(65536);
    // Uninitialised DRAM wakes up in stripes of 64 bytes of $00 and $FF.
    for (int a = 0; a < 65536; ++a) ram[a] = ((a >> 6) & 1) ? 0xFF : 0x00;
    for (int a = 0; a < 0x0400; ++a) ram[a] = 0;
    ram[0] = 0x2F;  // processor port direction and value after start
    ram[1] = 0x37;

    for (int a = 0x0400; a < 0x0400 + 1000; ++a) ram[a] = 0x20;
    auto lines = readLines(path);
    if (lines.size() > 6) fail(path, "the start-up text has more than 6 rows");
    for (size_t row = 0; row < lines.size(); ++row) {
        const std::string& l = lines[row];
        if (l.size() > 40) fail(path + ":" + std::to_string(row + 1), "row longer than 40");
        for (size_t col = 0; col < l.size(); ++col) {
            int sc = screenCode(l[col]);
            if (sc < 0) fail(path + ":" + std::to_string(row + 1), "character without screen code");
            ram[0x0400 + row * 40 + col] = std::uint8_t(sc);
        }
    }
    for (int a = 0xD800; a < 0xDC00; ++a) ram[a] = 14;
    return ram;
}

// ---- pictures ---------------------------------------------------------

struct Rgba {
    std::uint8_t r, g, b, a;
    bool sameRgb(const Rgba& o) const { return r == o.r && g == o.g && b == o.b; }
};

// Palette lines "X = RRGGBB" or "X = RRGGBBAA"; every other line is a row
// of palette characters.
void parsePicture(const std::string& path, std::map<char, Rgba>& palette,
                  std::vector<std::string>& rows) {
    auto lines = readLines(path);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string where = path + ":" + std::to_string(i + 1);
        std::string t = trim(lines[i]);
        if (isComment(t)) continue;
        if (t.size() >= 5 && t[1] == ' ' && t[2] == '=') {
            std::string hex = trim(t.substr(3));
            if (hex.size() != 6 && hex.size() != 8) fail(where, "colour must be RRGGBB or RRGGBBAA");
            unsigned long v = std::stoul(hex, nullptr, 16);
            if (hex.size() == 6) v = (v << 8) | 0xFF;
            palette[t[0]] = Rgba{std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8),
                                 std::uint8_t(v)};
            continue;
        }
        if (!rows.empty() && t.size() != rows[0].size()) fail(where, "rows differ in width");
        rows.push_back(t);
    }
}

void buildPicture(const std::string& out, const std::string& palettePath, const std::string& artPath) {
    std::map<char, Rgba> palette;
    std::vector<std::string> rows;
    parsePicture(palettePath, palette, rows);
    rows.clear();
    parsePicture(artPath, palette, rows);
    if (rows.empty()) fail(artPath, "no picture rows");

    int w = int(rows[0].size()), h = int(rows.size());
    std::set<char> used;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            char ch = rows[y][x];
            if (!palette.count(ch)) fail(artPath, std::string("colour '") + ch + "' is not in the palette");
            used.insert(ch);
        }

    bool bmp = out.size() >= 4 && out.compare(out.size() - 4, 4, ".bmp") == 0;
    if (bmp) {
        // The editor keys out the bottom-left colour, so no drawn pixel may share it.
        char key = rows[h - 1][0];
        for (char ch : used)
            if (ch != key && palette[ch].sameRgb(palette[key]))
                fail(artPath, std::string("colour '") + ch + "' equals the key colour");
        if (used.size() < 2) fail(artPath, "nothing drawn");
        std::vector<std::uint8_t> px;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                Rgba c = palette[rows[y][x]];
                px.insert(px.end(), {c.r, c.g, c.b});
            }
        if (!stbi_write_bmp(out.c_str(), w, h, 3, px.data())) fail(out, "cannot write BMP");
    } else {
        std::vector<std::uint8_t> px;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                Rgba c = palette[rows[y][x]];
                px.insert(px.end(), {c.r, c.g, c.b, c.a});
            }
        if (!stbi_write_png(out.c_str(), w, h, 4, px.data(), w * 4)) fail(out, "cannot write PNG");
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> a(argv + 1, argv + argc);
    try {
        if (a.size() == 3 && a[0] == "charset") writeFile(a[1], buildCharset(a[2]));
        else if (a.size() == 3 && a[0] == "ram") writeFile(a[1], buildRam(a[2]));
        else if (a.size() == 4 && a[0] == "picture") buildPicture(a[1], a[2], a[3]);
        else {
            std::fprintf(stderr,
                         "usage: assetgen charset OUT SRC | ram OUT SRC | picture OUT PALETTE SRC\n");
            return 2;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "assetgen: %s\n", e.what());
        std::remove(a[1].c_str());
        return 1;
    }
    return 0;
}
