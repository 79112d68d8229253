#include <array>
#include <cstdio>
#include <iomanip>
#include <sstream>

#include "app/MachineAssets.h"
#include "core/UndoBuffer.h"
#include "tests/FileTestSupport.h"

using namespace VicReg;

namespace {

TEST(Machine, ResetTakesThePowerOnImage) {
    auto m = std::make_unique<Machine>();
    // Whole, longer and shorter images: RAM is the image, cut at $FFFF or zero past its end.
    for (size_t size : {65536u, 70000u, 100u}) {
        m->powerOnImage.resize(size);
        for (size_t i = 0; i < size; ++i) m->powerOnImage[i] = u8(i * 7 + (i >> 8) + 1);
        m->vic[SpriteY0 + 4] = 0x99;
        m->bank = 3;
        m->pen = 5;
        m->reset();
        for (size_t a = 0; a < 65536; ++a) ASSERT_EQ(m->ram[a], a < size ? m->powerOnImage[a] : 0) << a;
        EXPECT_TRUE(m->vic[SpriteY0 + 4] == 0 && m->gfxMode() == GfxMode::Text && m->pen == 0 && m->bank == 0);
    }
}

TEST(Machine, CharacterDataAndModes) {
    auto m = std::make_unique<Machine>();
    m->reset();
    m->bank = 0;
    m->vic[MemoryPointers] = 0x14;
    m->setGfxMode(GfxMode::count);
    m->setGfxMode(-1);
    EXPECT_EQ(m->vic[MemoryPointers], 0x14);
    for (int mode : {GfxMode::Text, GfxMode::MulticolorText, GfxMode::ExtendedText, GfxMode::Bitmap,
                     GfxMode::MulticolorBitmap, GfxMode::Text}) {
        m->setGfxMode(mode);
        // Other bits stay.
        EXPECT_EQ((std::array{m->gfxMode(), m->vic[Control1] & 0x1F, m->vic[Control2] & 0xEF,
                              m->vic[MemoryPointers] & MemoryBitmapHalf}),
                  (std::array{mode, 0x1B, 0x08, mode >= GfxMode::Bitmap ? 8 : 0}));
    }
    // Multicolour outranks extended background in text mode.
    m->vic[Control1] = 0x5B;
    m->vic[Control2] = 0x18;
    EXPECT_EQ(m->gfxMode(), GfxMode::MulticolorText);
}

// Each file counts on its own: a short character set fills only the start of
// the ROM copy, an empty RAM image is still a read file, a missing one changes nothing.
TEST(Machine, LoadAssetsFileByFile) {
    TempDir dir("vorlix-machine");
    auto m = std::make_unique<Machine>();
    std::memset(m->charRom, 0x42, sizeof m->charRom);
    EXPECT_FALSE(loadMachineAssets(*m, "/nonexistent/dir"));
    EXPECT_TRUE(m->powerOnImage.empty() && m->charRom[0] == 0x42);
    writeBytes(dir.path / "C64Chars.bin", Bytes(10, 0x11));
    EXPECT_FALSE(loadMachineAssets(*m, dir.path.string()));  // no RAM image
    EXPECT_TRUE(m->charRom[9] == 0x11 && m->charRom[10] == 0x42 && m->powerOnImage.empty());
    writeBytes(dir.path / "C64Raw.bin", Bytes());
    writeBytes(dir.path / "C64Chars.bin", Bytes(5000, 0x22));
    m->powerOnImage.assign(3, 1);
    EXPECT_TRUE(loadMachineAssets(*m, dir.path.string()));
    EXPECT_TRUE(m->powerOnImage.empty() && m->charRom[4095] == 0x22);
    writeBytes(dir.path / "C64Raw.bin", Bytes(300, 0x33));
    std::filesystem::remove(dir.path / "C64Chars.bin");
    EXPECT_FALSE(loadMachineAssets(*m, dir.path.string()));
    EXPECT_EQ(m->powerOnImage, Bytes(300, 0x33));
    EXPECT_EQ(m->charRom[0], 0x22);
}

struct UndoBufferTest : ::testing::Test {
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    UndoBuffer u{*m};

    void SetUp() override {
        m->reset();  // empty power-on image: default registers
        for (size_t i = 0; i < sizeof m->ram; ++i) m->ram[i] = u8(i * 31 + (i >> 8));
        for (int n = 0; n < 8; ++n) m->ram[0xC7F8 + n] = u8(0xF8 + n);  // sprite pointers of screen $C400
    }
    // Words: b<bank> d<$D018> t<kind>:<name> r<address>,<length>:<name> u (undo) y (redo) m (merge the newest
    // two) e (store an empty step, which is refused).
    void run(const std::string& script) {
        std::istringstream in(script);
        for (std::string w; in >> w;) {
            int a = 0, b = 0;
            char name[32] = "";
            if (w == "u") u.MakeUndo();
            else if (w == "y") u.MakeRedo();
            else if (w == "m") u.MergeLast();
            else if (w == "e") EXPECT_FALSE(u.Store(UndoBuffer::Item{}));
            else if (std::sscanf(w.c_str(), "b%i", &a) == 1) m->bank = u16(a);
            else if (std::sscanf(w.c_str(), "d%i", &a) == 1) m->vic[MemoryPointers] = u8(a);
            else if (std::sscanf(w.c_str(), "t%i:%31s", &a, name) == 2) u.TakeUndo(UndoBuffer::Kind(a), name);
            else if (std::sscanf(w.c_str(), "r%i,%i:%31s", &a, &b, name) == 3) u.TakeUndoRange(a, b, name);
            else ADD_FAILURE() << "unknown word " << w;
        }
    }
    // Both stacks, oldest first: each step's name, its regions as address+length, "vic" when the registers go with it.
    std::string stacks() const {
        std::ostringstream out;
        auto step = [&](const UndoBuffer::Item& s) {
            out << s.name;
            for (const auto& r : s.regions)
                out << " " << std::hex << std::uppercase << std::setw(4) << std::setfill('0') << r.address << "+"
                    << std::dec << r.bytes.size();
            out << (s.hasVic ? " vic; " : "; ");
        };
        for (const auto& s : u.undo) step(s);
        out << "| ";
        for (const auto& s : u.redo) step(s);
        return out.str();
    }
};

// What each kind saves, and how the two stacks move.
TEST_F(UndoBufferTest, Steps) {
    const std::string bitmap = "6000+8192 4C00+1000 D800+1000; ";
    const struct { const char *name, *script; std::string want; } rows[] = {
        {"screen", "t1:k", "k 0400+1000 D800+1000; | "},
        {"bitmaps save the bitmap first", "b1 d0x38 t2:k t3:j", "k " + bitmap + "j " + bitmap + "| "},
        {"sprites: pointer 255 ends at the top of memory", "b3 d0x10 t4:k",
         "k C7F8+8 FE00+64 FE40+64 FE80+64 FEC0+64 FF00+64 FF40+64 FF80+64 FFC0+64 vic; | "},
        {"a RAM character set", "d0x1C t5:k", "k 3000+2048; | "},
        {"registers", "t6:k", "k vic; | "},
        {"everything", "t7:k", "k 0000+65536 vic; | "},
        {"empty stacks", "u y m", "| "},
        {"undo and redo", "t6:a t6:b u", "a vic; | b vic; "},
        {"redo", "t6:a t6:b u y", "a vic; b vic; | "},
        {"empty steps are not stored and keep redo: the ROM set, unknown kinds", "t6:a t6:b u t5:rom t0:x t8:x t-1:x e",
         "a vic; | b vic; "},
        {"a new step empties redo", "t6:a t6:b u t6:c", "a vic; c vic; | "},
        {"a range step is stored even when empty", "t6:a u r0x1000,0:zero", "zero 1000+0; | "},
        {"ranges: cut at $FFFF, address to 16 bits, negative length", "r0xFF00,0x200:r r0x1FF00,16:s r-1,2:t r0x1234,-5:n",
         "r FF00+256; s FF00+16; t FFFF+1; n 1234+0; | "},
        {"a merge needs two steps", "r0x2000,4:older m", "older 2000+4; | "},
        {"merges keep the older name, newer regions first, and leave redo",
         "r0x2000,4:older r0x2001,4:newer t6:vic t6:vic2 t6:gone u m m m", "older 2001+4 2000+4 vic; | gone vic; "},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        u.Clear();
        m->bank = 0;
        m->vic[MemoryPointers] = 0x14;
        const Bytes before(m->ram, m->ram + 65536);
        run(r.script);
        EXPECT_EQ(stacks(), r.want);
        EXPECT_EQ(Bytes(m->ram, m->ram + 65536), before);
    }
}

// Undo puts back exactly the saved bytes, and the registers and bank with "vic"; redo returns to the changed state.
TEST_F(UndoBufferTest, UndoPutsBackWhatWasSaved) {
    for (const char* script : {"t1:k", "b1 d0x38 t2:k", "b3 d0x10 t4:k", "d0x1C t5:k", "t6:k", "t7:k", "r0xFFF0,100:k"}) {
        SCOPED_TRACE(script);
        u.Clear();
        run(script);
        const auto old = std::make_unique<Machine>(*m);
        std::vector<bool> saved(65536);
        for (const auto& r : u.undo.back().regions) std::fill_n(saved.begin() + r.address, r.bytes.size(), true);
        const bool vic = u.undo.back().hasVic;
        for (auto& b : m->ram) b ^= 0x5A;
        for (auto& b : m->vic) b ^= 0x33;
        m->bank = 2;
        const auto changed = std::make_unique<Machine>(*m);
        u.MakeUndo();
        for (int a = 0; a < 65536; ++a) ASSERT_EQ(m->ram[a], saved[a] ? old->ram[a] : changed->ram[a]) << a;
        EXPECT_EQ(0, std::memcmp(m->vic, (vic ? old : changed)->vic, VicReg::count));
        EXPECT_EQ(m->bank, (vic ? old : changed)->bank);
        u.MakeRedo();
        EXPECT_TRUE(sameMachine(*m, *changed));
        *m = *old;
    }
}

// A captured step stored later undoes to the capture; merged steps put back the older bytes and
// registers where both saved them; at most 256 steps, the oldest go.
TEST_F(UndoBufferTest, StoredLaterMergedAndCapped) {
    const auto start = std::make_unique<Machine>(*m);
    UndoBuffer::Item step = u.capture(UndoBuffer::KindAll, "convert to charset");
    EXPECT_TRUE(u.undo.empty());
    for (auto& b : m->ram) b = 0;
    EXPECT_TRUE(u.Store(std::move(step)));
    u.MakeUndo();
    EXPECT_TRUE(sameMachine(*m, *start));
    run("r0x2000,4:older");
    m->ram[0x2001] = 1;
    m->ram[0x2002] = 2;
    run("r0x2001,4:newer t6:vic");
    m->vic[Background0] ^= 9;
    run("t6:vic2 m m m");
    m->ram[0x2001] = m->ram[0x2004] = 9;
    m->vic[Border] = 0x55;
    m->bank = 3;
    u.MakeUndo();
    EXPECT_TRUE(sameMachine(*m, *start));
    u.Clear();
    for (int i = 0; i < 300; ++i) u.TakeUndo(UndoBuffer::KindVic, std::to_string(i));
    ASSERT_EQ(u.undo.size(), 256u);
    EXPECT_EQ(u.undo.front().name + " " + u.undo.back().name, "44 299");
    for (int i = 0; i < 256; ++i) u.MakeUndo();
    EXPECT_EQ(u.redo.size(), 256u);
}

}  // namespace
