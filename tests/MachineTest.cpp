#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <vector>

#include "core/Machine.h"
#include "core/UndoBuffer.h"
#include "tests/TempDir.h"

namespace {

TEST(Machine, ResetTakesThePowerOnImage) {
    auto m = std::make_unique<Machine>();
    // Whole, longer and shorter images: RAM is the image, cut at $FFFF or zero past its end.
    for (size_t size : {65536u, 70000u, 100u}) {
        m->powerOnImage.resize(size);
        for (size_t i = 0; i < size; ++i) m->powerOnImage[i] = u8(i * 7 + (i >> 8) + 1);
        m->ram[5000] = 0x77;
        m->vic[0x05] = 0x99;
        m->bank = 3;
        m->pen = 5;
        m->reset();
        for (size_t a = 0; a < 65536; ++a) ASSERT_EQ(m->ram[a], a < size ? m->powerOnImage[a] : 0) << a;
        // ROM characters on blue in a light blue border.
        EXPECT_TRUE(m->vic[0x05] == 0 && m->vic[0x11] == 0x1B && m->vic[0x16] == 0x08 && m->vic[0x18] == 0x14);
        EXPECT_TRUE((m->vic[0x20] & 15) == 14 && (m->vic[0x21] & 15) == 6);
        EXPECT_TRUE(m->gfxMode() == 0 && m->screenAddr() == 0x0400 && m->charsetIsRom() && m->pen == 0 && m->bank == 0);
    }
}

TEST(Machine, CharacterDataAndModes) {
    auto m = std::make_unique<Machine>();
    m->reset();
    // The ROM shows only in banks 0 and 2 at $1000-$1FFF; the last character of $F800 ends at $FFFF.
    const struct {
        u16 bank;
        u8 d018;
        int code;
        const u8* data;
    } rows[] = {{2, 0x16, 3, m->charRom + 0x800 + 3 * 8}, {0, 0x14, 1, m->charRom + 8}, {0, 0x18, 5, m->ram + 0x2028},
                {3, 0x0E, 255, m->ram + 0xFFF8},          {1, 0x14, 2, m->ram + 0x5010},
                {3, 0x16, 0, m->ram + 0xD800}};
    for (const auto& r : rows) {
        m->bank = r.bank;
        m->vic[0x18] = r.d018;
        EXPECT_EQ(m->charData(u8(r.code)), r.data) << r.bank << " " << int(r.d018);
        EXPECT_EQ(m->charsetIsRom(), r.data < m->ram || r.data >= m->ram + 65536) << r.bank << " " << int(r.d018);
    }
    m->bank = 0;
    m->vic[0x18] = 0x14;
    m->setGfxMode(7);
    m->setGfxMode(-1);
    EXPECT_EQ(m->vic[0x18], 0x14);
    for (int mode : {0, 1, 2, 3, 4, 0}) {
        m->setGfxMode(mode);
        EXPECT_EQ(m->gfxMode(), mode);
        EXPECT_EQ(m->vic[0x11] & 0x1F, 0x1B);  // other bits stay
        EXPECT_EQ(m->vic[0x16] & 0xEF, 0x08);
        EXPECT_EQ(m->vic[0x18] & 8, mode >= 3 ? 8 : 0);
    }
    // Multicolour outranks extended background in text mode.
    m->vic[0x11] = 0x5B;
    m->vic[0x16] = 0x18;
    EXPECT_EQ(m->gfxMode(), 1);
}

// Each file counts on its own: a short character set fills only the start of
// the ROM copy, an empty RAM image is still a read file, a missing one changes nothing.
TEST(Machine, LoadAssetsFileByFile) {
    TempDir dir("vorlix-machine");
    auto write = [&](const char* name, const Bytes& b) {
        std::ofstream(dir.path / name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    };
    auto m = std::make_unique<Machine>();
    std::memset(m->charRom, 0x42, sizeof m->charRom);
    EXPECT_FALSE(m->loadAssets("/nonexistent/dir"));
    EXPECT_TRUE(m->powerOnImage.empty() && m->charRom[0] == 0x42);
    write("C64Chars.bin", Bytes(10, 0x11));
    EXPECT_FALSE(m->loadAssets(dir.path.string()));  // no RAM image
    EXPECT_TRUE(m->charRom[9] == 0x11 && m->charRom[10] == 0x42 && m->powerOnImage.empty());
    write("C64Raw.bin", Bytes());
    write("C64Chars.bin", Bytes(5000, 0x22));
    m->powerOnImage.assign(3, 1);
    EXPECT_TRUE(m->loadAssets(dir.path.string()));
    EXPECT_TRUE(m->powerOnImage.empty() && m->charRom[4095] == 0x22);
    write("C64Raw.bin", Bytes(300, 0x33));
    std::filesystem::remove(dir.path / "C64Chars.bin");
    EXPECT_FALSE(m->loadAssets(dir.path.string()));
    EXPECT_EQ(m->powerOnImage, Bytes(300, 0x33));
    EXPECT_EQ(m->charRom[0], 0x22);
}

struct UndoBufferTest : ::testing::Test {
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    UndoBuffer u{*m};

    void SetUp() override {
        std::mt19937 rng(7);
        for (auto& b : m->ram) b = u8(rng());
        m->reset();  // empty power-on image: zero RAM, default registers
        for (size_t i = 0; i < sizeof m->ram; ++i) m->ram[i] = u8(i * 31 + (i >> 8));
    }
    Bytes ramCopy() const { return Bytes(m->ram, m->ram + 65536); }
};

// What each kind saves: regions in order (address, length), and whether the VIC registers and
// bank go with it. Undo puts back exactly those (nothing for an empty kind, which is not
// stored); redo returns to the changed state.
TEST_F(UndoBufferTest, CaptureKindsAndRoundTrips) {
    struct Region {
        u32 address, length;
    };
    std::vector<Region> sprites{{0xC7F8, 8}};
    for (u32 n = 0; n < 8; ++n) sprites.push_back({0xC000 + (0xF8 + n) * 64, 64});
    const struct {
        int kind, bank;
        u8 d018;
        std::vector<Region> regions;
        bool vic;
    } rows[] = {
        {1, 0, 0x14, {{0x0400, 1000}, {0xD800, 1000}}, false},
        {2, 1, 0x38, {{0x6000, 8192}, {0x4C00, 1000}, {0xD800, 1000}}, false},
        {3, 1, 0x38, {{0x6000, 8192}, {0x4C00, 1000}, {0xD800, 1000}}, false},
        {4, 3, 0x10, sprites, true},  // pointer 255 ends at the top of memory
        {5, 0, 0x14, {}, false},      // ROM character set: nothing
        {5, 0, 0x1C, {{0x3000, 2048}}, false},
        {6, 0, 0x14, {}, true},
        {7, 0, 0x14, {{0, 65536}}, true},
        {0, 0, 0x14, {}, false}, {8, 0, 0x14, {}, false}, {-1, 0, 0x14, {}, false},
    };
    for (int n = 0; n < 8; ++n) m->ram[0xC400 + 0x3F8 + n] = u8(0xF8 + n);
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "kind " << r.kind << " $D018 " << int(r.d018));
        m->bank = u16(r.bank);
        m->vic[0x18] = r.d018;
        UndoBuffer::Item s = u.capture(r.kind, "x");
        ASSERT_EQ(s.regions.size(), r.regions.size());
        std::vector<bool> saved(65536);
        for (size_t i = 0; i < s.regions.size(); ++i) {
            EXPECT_EQ(s.regions[i].address, r.regions[i].address);
            ASSERT_EQ(s.regions[i].bytes.size(), r.regions[i].length);
            EXPECT_EQ(0, std::memcmp(s.regions[i].bytes.data(), m->ram + r.regions[i].address, r.regions[i].length));
            for (u32 a = 0; a < r.regions[i].length; ++a) saved[r.regions[i].address + a] = true;
        }
        EXPECT_EQ(s.hasVic, r.vic);
        EXPECT_EQ(s.isEmpty(), r.regions.empty() && !r.vic);
        const auto old = std::make_unique<Machine>(*m);
        u.Clear();
        u.TakeUndo(r.kind, "k");
        for (auto& b : m->ram) b ^= 0x5A;
        for (auto& b : m->vic) b ^= 0x33;
        m->bank = 2;
        const auto changed = std::make_unique<Machine>(*m);
        u.MakeUndo();
        for (int a = 0; a < 65536; ++a) ASSERT_EQ(m->ram[a], saved[a] ? old->ram[a] : changed->ram[a]) << a;
        EXPECT_EQ(0, std::memcmp(m->vic, (r.vic ? old : changed)->vic, 47));
        EXPECT_EQ(m->bank, (r.vic ? old : changed)->bank);
        u.MakeRedo();
        EXPECT_EQ(0, std::memcmp(m->ram, changed->ram, 65536));
        EXPECT_EQ(0, std::memcmp(m->vic, changed->vic, 47));
        EXPECT_EQ(m->bank, 2);
        *m = *old;
    }
}

TEST_F(UndoBufferTest, ScreenUndoPicksKindAndPrefix) {
    // Multicolour text still counts as text; bitmaps save the bitmap first.
    const struct {
        int mode;
        const char* name;
        size_t regions;
        u32 first;
    } rows[] = {{2, "textmode d", 2, 0x0400}, {1, "textmode d", 2, 0x0400}, {3, "hires d", 3, 0x2000}, {4, "multicolor d", 3, 0x2000}};
    for (const auto& r : rows) {
        m->setGfxMode(r.mode);
        u.TakeScreenUndo("d");
        EXPECT_EQ(u.undoName(), r.name);
        ASSERT_EQ(u.undo.back().regions.size(), r.regions);
        EXPECT_EQ(u.undo.back().regions[0].address, r.first);
    }
}

TEST_F(UndoBufferTest, StackRules) {
    const Bytes start = ramCopy();
    u.MakeUndo();  // empty stacks change nothing
    u.MakeRedo();
    EXPECT_EQ(ramCopy(), start);
    EXPECT_EQ(u.undoName(), "");
    u.TakeUndo(6, "a");
    u.TakeUndo(6, "b");
    u.MakeUndo();
    ASSERT_EQ(u.redo.size(), 1u);
    EXPECT_EQ(u.redoName(), "b");
    // Empty steps are not stored and keep the redo stack.
    u.TakeUndo(5, "rom charset");
    u.TakeUndo(99, "nothing");
    EXPECT_FALSE(u.Store(UndoBuffer::Item{}));
    EXPECT_EQ(u.undo.size(), 1u);
    EXPECT_EQ(u.redo.size(), 1u);
    // A captured step is stored later; capturing stores nothing.
    UndoBuffer::Item step = u.capture(7, "convert to charset");
    EXPECT_EQ(u.undo.size(), 1u);
    for (auto& b : m->ram) b = 0;
    EXPECT_TRUE(u.Store(std::move(step)));
    EXPECT_TRUE(u.redo.empty());
    u.MakeUndo();
    EXPECT_EQ(ramCopy(), start);
    // A range step is stored even when empty, and empties redo.
    u.TakeUndoRange(0x1000, 0, "zero");
    EXPECT_EQ(u.undo.size(), 2u);
    EXPECT_TRUE(u.redo.empty());
    ASSERT_EQ(u.undo.back().regions.size(), 1u);
    EXPECT_TRUE(u.undo.back().regions[0].bytes.empty());
    // At most 256 steps: the oldest go.
    u.Clear();
    for (int i = 0; i < 300; ++i) u.TakeUndo(7, std::to_string(i));
    ASSERT_EQ(u.undo.size(), 256u);
    EXPECT_EQ(u.undo.front().name, "44");
    EXPECT_EQ(u.undo.back().name, "299");
    for (int i = 0; i < 256; ++i) u.MakeUndo();
    EXPECT_EQ(u.redo.size(), 256u);
    EXPECT_TRUE(u.undo.empty());
}

// Range steps: the address masked to 16 bits, the length cut at $FFFF (nothing wraps to $0000),
// a negative length an empty step that still counts; each undoes and redoes its bytes.
TEST_F(UndoBufferTest, RangeSteps) {
    const struct {
        int address, length;
        u32 wantAddress;
        size_t wantSize;
    } rows[] = {{0xFF00, 0x200, 0xFF00, 256}, {0xFF00 + 65536, 16, 0xFF00, 16}, {-1, 2, 0xFFFF, 1},
                {0xFFF0, 100, 0xFFF0, 16},    {0x1234, -5, 0x1234, 0},          {0x2000, 0, 0x2000, 0}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.address);
        u.TakeUndo(6, "old");
        u.MakeUndo();
        u.TakeUndoRange(r.address, r.length, "range");
        EXPECT_TRUE(u.redo.empty());
        EXPECT_EQ(u.undoName(), "range");
        ASSERT_EQ(u.undo.back().regions.size(), 1u);
        EXPECT_EQ(u.undo.back().regions[0].address, r.wantAddress);
        EXPECT_EQ(u.undo.back().regions[0].bytes.size(), r.wantSize);
        const Bytes before = ramCopy();
        for (auto& b : m->ram) b ^= 0xEE;
        const Bytes changed = ramCopy();
        u.MakeUndo();
        for (u32 a = 0; a < 65536; ++a) {
            const bool inside = a >= r.wantAddress && a < r.wantAddress + r.wantSize;
            ASSERT_EQ(m->ram[a], inside ? before[a] : changed[a]) << a;
        }
        u.MakeRedo();
        EXPECT_EQ(ramCopy(), changed);
        u.Clear();
    }
}

TEST_F(UndoBufferTest, MergeLastJoinsInOrder) {
    u.MergeLast();  // nothing with no steps
    u.TakeUndoRange(0x2000, 4, "older");
    u.MergeLast();
    ASSERT_EQ(u.undo.size(), 1u);
    const Bytes original = ramCopy();
    m->ram[0x2001] = 1;
    m->ram[0x2002] = 2;
    u8 vic0[47];
    std::memcpy(vic0, m->vic, 47);
    u.TakeUndoRange(0x2001, 4, "newer");
    u.TakeUndo(6, "vic");
    m->vic[0x21] ^= 9;  // the older step's registers win
    u.TakeUndo(6, "vic2");
    u.TakeUndo(6, "gone");
    u.MakeUndo();
    for (int i = 0; i < 3; ++i) u.MergeLast();  // "vic2" into "vic" into "newer" into "older"
    EXPECT_EQ(u.redo.size(), 1u);  // merging leaves redo
    ASSERT_EQ(u.undo.size(), 1u);
    EXPECT_EQ(u.undoName(), "older");
    ASSERT_EQ(u.undo.back().regions.size(), 2u);
    EXPECT_EQ(u.undo.back().regions[0].address, 0x2001u);
    EXPECT_EQ(u.undo.back().regions[1].address, 0x2000u);
    EXPECT_TRUE(u.undo.back().hasVic);
    m->ram[0x2001] = m->ram[0x2004] = 9;
    m->vic[0x20] = 0x55;
    m->vic[0x21] = 12;
    m->bank = 3;
    u.MakeUndo();
    // The older bytes win where the ranges overlap.
    for (int a : {0x2001, 0x2002, 0x2004}) EXPECT_EQ(m->ram[a], original[a]) << a;
    EXPECT_EQ(0, std::memcmp(m->vic, vic0, 47));
    EXPECT_EQ(m->bank, 0);
}

}  // namespace
