#include <gtest/gtest.h>

#include <memory>

#include "core/ByteOrder.h"
#include "core/Hex.h"
#include "core/HelpText.h"
#include "core/ScreenCodes.h"
#include "core/TextCase.h"
#include "cpu/CPU6502.h"
#include "cpu/Monitor.h"
#include "disk/DiskDrive.h"
#include "platform/FileIO.h"

namespace {

// Typed characters in the lower-case set of the screen editor and the upper-case set of the monitor.
TEST(SharedHelpers, ScreenCodesOfTypedCharacters) {
    const struct {
        unsigned codePoint;
        int lower, upper;
    } rows[] = {{'a', 1, 1},       {'z', 26, 26},       {'A', 65, 1},        {'Z', 90, 26},   {'@', 0, 0},
                {' ', 32, 32},     {'0', 48, 48},       {'?', 63, 63},       {'[', 27, 27},   {0xA3, 28, 28},
                {0x2191, 30, 30},  {'_', 31, 31},       {'{', -1, -1},       {'`', -1, -1},   {0x141, -1, -1}};
    for (const auto& r : rows) {
        EXPECT_EQ(CharToScreenCode(r.codePoint), r.lower) << r.codePoint;
        EXPECT_EQ(CharToUpperScreenCode(r.codePoint), r.upper) << r.codePoint;
    }
    // What the monitor prints: only letters and "@" change, other bytes stay as they are.
    auto m = std::make_unique<Machine>();
    CPU6502 cpu{*m};
    Monitor mon{*m, cpu};
    mon.clear();
    mon.print("a@Z[_5");
    EXPECT_EQ(Bytes(m->monitorScreen, m->monitorScreen + 6), (Bytes{1, 0, 26, 91, 95, 53}));
}

// The hex readers of the fields, the monitor and the line assembler read the same digits.
TEST(SharedHelpers, HexDigits) {
    const struct {
        const char* text;
        unsigned value;  // ParseHex
        int monitor;     // up to four digits after blanks; -1 none
        size_t end;      // where the monitor stops
        int assembler;   // "$" + text; -1 refused
    } rows[] = {
        {"d800", 0xD800, 0xD800, 4, 0xD800}, {"0aF", 0xAF, 0xAF, 3, 0xAF},   {"12345", 0x12345, 0x1234, 4, 0x12345},
        {"7g", 7, 7, 1, -1},                  {"g7", 0, -1, 0, -1},          {"", 0, -1, 0, -1},
        {"123456789", 0x23456789, 0x1234, 4, -1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(ParseHex(r.text), r.value);
        size_t pos = 0;
        EXPECT_EQ(Monitor::getHex(4, r.text, pos), r.monitor);
        EXPECT_EQ(pos, r.end);
        int v = -1;
        if (!CPU6502::parseNumber(std::string("$") + r.text, v)) v = -1;
        EXPECT_EQ(v, r.assembler);
    }
}

// One letter case for file and disk names, extensions and assembler words: ASCII letters
// only, the characters beside them and 8-bit bytes unchanged; "@:" comes off a name once.
TEST(SharedHelpers, LetterCaseAndReplacePrefix) {
    const struct {
        std::string text, upper, lower, extension, withoutPrefix;
    } rows[] = {
        {"Pic.Koa", "PIC.KOA", "pic.koa", "koa", "Pic.Koa"},
        {"@[`{az]AZ", "@[`{AZ]AZ", "@[`{az]az", "", "@[`{az]AZ"},
        {"@:x.PRG", "@:X.PRG", "@:x.prg", "prg", "x.PRG"},
        {"@:", "@:", "@:", "", ""},
        {"@:@:a", "@:@:A", "@:@:a", "", "@:a"},
        {"x@:\\b.\xC4\xE4", "X@:\\B.\xC4\xE4", "x@:\\b.\xC4\xE4", "\xC4\xE4", "x@:\\b.\xC4\xE4"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(UpperCase(r.text), r.upper);
        EXPECT_EQ(LowerCase(r.text), r.lower);
        EXPECT_EQ(FileIO::extension(r.text), r.extension);
        EXPECT_EQ(withoutReplacePrefix(r.text), r.withoutPrefix);
        EXPECT_EQ(hasReplacePrefix(r.text), r.withoutPrefix != r.text);
    }
}

TEST(SharedHelpers, ByteOrder) {
    const u8 b[] = {0x12, 0x34, 0x56, 0x78, 0xFF, 0xFF, 0xFF, 0xFE};
    const struct {
        int at;
        u32 le16, le32, be16, be32;
    } rows[] = {{0, 0x3412, 0x78563412, 0x1234, 0x12345678}, {4, 0xFFFF, 0xFEFFFFFF, 0xFFFF, 0xFFFFFFFE}};
    for (const auto& r : rows) {
        EXPECT_EQ(ByteOrder::le16(b + r.at), r.le16);
        EXPECT_EQ(ByteOrder::le32(b + r.at), r.le32);
        EXPECT_EQ(ByteOrder::be16(b + r.at), r.be16);
        EXPECT_EQ(ByteOrder::be32(b + r.at), r.be32);
    }
}

}  // namespace

// The help file's lines as the help window shows them: paragraphs joined so that they wrap anew at any width.
TEST(SharedHelpers, HelpTextParagraphs) {
    using L = HelpLine;
    using Text = std::vector<std::string>;
    const struct { Text text; std::vector<HelpLine> lines; } rows[] = {
        {{"## Title", "first line", "second  line", "", "next"},
         {{L::Section, "Title"}, {L::Paragraph, "first line second  line"}, {L::Paragraph, ""}, {L::Paragraph, "next"}}},
        {{"### Head", "word ", "  more", "- item", "- other", "after"},
         {{L::Heading, "Head"}, {L::Paragraph, "word more"}, {L::Paragraph, "- item"}, {L::Paragraph, "- other after"}}},
        {{"##x", "## ", "### ", "end"}, {{L::Paragraph, "##x"}, {L::Section, ""}, {L::Heading, ""}, {L::Paragraph, "end"}}},
        {{"a\r", "b"}, {{L::Paragraph, "a\r b"}}},
        {{}, {}},
    };
    for (const auto& r : rows) EXPECT_EQ(parseHelp(r.text), r.lines) << (r.text.empty() ? "" : r.text[0]);
}
