#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "core/Machine.h"
#include "core/UndoBuffer.h"

namespace {

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

// What each kind saves: regions in order (address, length), and whether the VIC registers go with it.
TEST_F(UndoBufferTest, CaptureKinds) {
    struct Region {
        u32 address, length;
    };
    struct Case {
        int kind, bank;
        u8 d018;
        std::vector<Region> regions;
        bool vic;
    };
    std::vector<Region> sprites{{0xC7F8, 8}};
    for (u32 n = 0; n < 8; ++n) sprites.push_back({0xC000 + (0xF8 + n) * 64, 64});
    const Case cases[] = {
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
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " $D018 " << int(c.d018));
        m->bank = u16(c.bank);
        m->vic[0x18] = c.d018;
        UndoBuffer::Item s = u.capture(c.kind, "x");
        ASSERT_EQ(s.regions.size(), c.regions.size());
        for (size_t i = 0; i < s.regions.size(); ++i) {
            EXPECT_EQ(s.regions[i].address, c.regions[i].address);
            ASSERT_EQ(s.regions[i].bytes.size(), c.regions[i].length);
            EXPECT_EQ(0, std::memcmp(s.regions[i].bytes.data(), m->ram + c.regions[i].address,
                                     c.regions[i].length));
        }
        EXPECT_EQ(s.hasVic, c.vic);
        if (c.vic) {
            EXPECT_EQ(0, std::memcmp(s.vic, m->vic, 47));
            EXPECT_EQ(s.bank, c.bank);
        }
        EXPECT_EQ(s.isEmpty(), c.regions.empty() && !c.vic);
    }
}

// Undo puts back exactly the captured bytes (and the registers and bank with them); redo returns.
TEST_F(UndoBufferTest, EveryKindRoundTrips) {
    m->vic[0x18] = 0x1C;  // RAM charset so kind 5 stores
    for (int kind = 1; kind <= 7; ++kind) {
        u.Clear();
        const auto old = std::make_unique<Machine>(*m);
        u.TakeUndo(kind, "k");
        ASSERT_EQ(u.undo.size(), 1u) << kind;
        std::vector<bool> saved(65536);
        for (const auto& r : u.undo.back().regions)
            for (size_t i = 0; i < r.bytes.size(); ++i) saved[r.address + i] = true;
        const bool hasVic = u.undo.back().hasVic;
        for (auto& b : m->ram) b ^= 0x5A;
        for (auto& r : m->vic) r ^= 0x33;
        m->bank = 2;
        const auto changed = std::make_unique<Machine>(*m);
        u.MakeUndo();
        for (int a = 0; a < 65536; ++a) ASSERT_EQ(m->ram[a], saved[a] ? old->ram[a] : changed->ram[a]) << kind << " " << a;
        EXPECT_EQ(0, std::memcmp(m->vic, (hasVic ? old : changed)->vic, 47)) << kind;
        EXPECT_EQ(m->bank, (hasVic ? old : changed)->bank) << kind;
        u.MakeRedo();
        EXPECT_EQ(0, std::memcmp(m->ram, changed->ram, 65536)) << kind;
        EXPECT_EQ(0, std::memcmp(m->vic, changed->vic, 47)) << kind;
        EXPECT_EQ(m->bank, 2) << kind;
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

TEST_F(UndoBufferTest, LimitDropsOldest) {
    for (int i = 0; i < 300; ++i) u.TakeUndo(7, std::to_string(i));
    ASSERT_EQ(u.undo.size(), 256u);
    EXPECT_EQ(u.undo.front().name, "44");
    EXPECT_EQ(u.undo.back().name, "299");
    for (int i = 0; i < 256; ++i) u.MakeUndo();
    EXPECT_EQ(u.redo.size(), 256u);
    EXPECT_TRUE(u.undo.empty());
}

TEST_F(UndoBufferTest, RedoStackRules) {
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
    EXPECT_EQ(u.undo.size(), 1u);
    EXPECT_EQ(u.redo.size(), 1u);
    EXPECT_FALSE(u.Store(UndoBuffer::Item{}));
    EXPECT_EQ(u.redo.size(), 1u);
    // A range step is stored even when empty, and empties redo.
    u.TakeUndoRange(0x1000, 0, "zero");
    EXPECT_EQ(u.undo.size(), 2u);
    EXPECT_TRUE(u.redo.empty());
    ASSERT_EQ(u.undo.back().regions.size(), 1u);
    EXPECT_TRUE(u.undo.back().regions[0].bytes.empty());
    u.MakeUndo();
    EXPECT_EQ(u.redo.size(), 1u);
    u.TakeUndo(1, "stored");
    EXPECT_TRUE(u.redo.empty());
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
        u.TakeUndo(6, "old");
        u.MakeUndo();
        u.TakeUndoRange(r.address, r.length, "range");
        EXPECT_TRUE(u.redo.empty()) << r.address;
        EXPECT_EQ(u.undoName(), "range");
        ASSERT_EQ(u.undo.back().regions.size(), 1u);
        EXPECT_EQ(u.undo.back().regions[0].address, r.wantAddress) << r.address;
        EXPECT_EQ(u.undo.back().regions[0].bytes.size(), r.wantSize) << r.address;
        const Bytes before = ramCopy();
        for (auto& b : m->ram) b ^= 0xEE;
        const Bytes changed = ramCopy();
        u.MakeUndo();
        for (u32 a = 0; a < 65536; ++a) {
            const bool inside = a >= r.wantAddress && a < r.wantAddress + r.wantSize;
            ASSERT_EQ(m->ram[a], inside ? before[a] : changed[a]) << r.address << " at " << a;
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
    Bytes original = ramCopy();
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
    u.MergeLast();  // "vic2" into "vic"
    u.MergeLast();  // "vic" into "newer"
    u.MergeLast();  // "newer" into "older"
    EXPECT_EQ(u.redo.size(), 1u);  // merging leaves redo
    ASSERT_EQ(u.undo.size(), 1u);
    EXPECT_EQ(u.undoName(), "older");
    ASSERT_EQ(u.undo.back().regions.size(), 2u);
    EXPECT_EQ(u.undo.back().regions[0].address, 0x2001u);
    EXPECT_EQ(u.undo.back().regions[1].address, 0x2000u);
    EXPECT_TRUE(u.undo.back().hasVic);
    m->ram[0x2001] = 9;
    m->ram[0x2004] = 9;
    m->vic[0x20] = 0x55;
    m->vic[0x21] = 12;
    m->bank = 3;
    u.MakeUndo();
    // The older bytes win where the ranges overlap.
    EXPECT_EQ(m->ram[0x2001], original[0x2001]);
    EXPECT_EQ(m->ram[0x2002], original[0x2002]);
    EXPECT_EQ(m->ram[0x2004], original[0x2004]);
    EXPECT_EQ(0, std::memcmp(m->vic, vic0, 47));
    EXPECT_EQ(m->bank, 0);
}

TEST_F(UndoBufferTest, CapturedStepStoredLater) {
    u.TakeUndo(6, "x");
    u.MakeUndo();
    UndoBuffer::Item step = u.capture(7, "convert to charset");
    EXPECT_EQ(u.redo.size(), 1u);
    EXPECT_TRUE(u.undo.empty());  // capturing stores nothing
    Bytes before(step.regions[0].bytes);
    for (auto& b : m->ram) b = 0;
    EXPECT_TRUE(u.Store(std::move(step)));
    EXPECT_TRUE(u.redo.empty());
    u.MakeUndo();
    EXPECT_EQ(ramCopy(), before);
}

}  // namespace
