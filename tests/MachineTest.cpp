#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "core/Machine.h"

namespace {

std::unique_ptr<Machine> freshMachine() { return std::make_unique<Machine>(); }

TEST(Machine, ConstructorState) {
    auto m = freshMachine();
    EXPECT_EQ(m->bank, 0);
    EXPECT_EQ(m->pen, 14);
    EXPECT_EQ(m->monitorScreen[0], 0x20);
    EXPECT_EQ(m->monitorScreen[999], 0x20);
    EXPECT_EQ(m->ram[0xD020], 0);
    EXPECT_TRUE(m->powerOnImage.empty());
}

TEST(Machine, ResetWithFullImage) {
    auto m = freshMachine();
    m->powerOnImage.resize(65536);
    for (size_t i = 0; i < m->powerOnImage.size(); ++i) m->powerOnImage[i] = u8(i * 7 + (i >> 8));
    m->vic[0x05] = 0x99;
    m->bank = 3;
    m->reset();
    for (int a = 0; a < 65536; ++a) ASSERT_EQ(m->ram[a], m->powerOnImage[a]) << a;
    EXPECT_EQ(m->vic[0x05], 0);
    EXPECT_EQ(m->vic[0x11], 0x1B);
    EXPECT_EQ(m->vic[0x16], 0x08);
    EXPECT_EQ(m->vic[0x18], 0x14);
    const u8 colours[15] = {0x0E, 0x06, 0x01, 0x02, 0x03, 0x04, 0x00, 0x01,
                            0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x0C};
    for (int r = 0; r < 15; ++r) EXPECT_EQ(m->vic[0x20 + r], colours[r]) << r;
    EXPECT_EQ(m->gfxMode(), 0);
    EXPECT_EQ(m->screenAddr(), 0x0400);
    EXPECT_EQ(m->charsetAddr(), 0x1000);
    EXPECT_TRUE(m->charsetIsRom());
    EXPECT_EQ(m->pen, 0);
    EXPECT_EQ(m->bank, 0);
}

TEST(Machine, ResetWithLongAndShortImages) {
    auto m = freshMachine();
    m->powerOnImage.assign(70000, 0xAB);
    m->reset();
    EXPECT_EQ(m->ram[0xFFFF], 0xAB);
    m->powerOnImage.assign(100, 0x11);
    m->ram[5000] = 0x77;
    m->reset();
    EXPECT_EQ(m->ram[99], 0x11);
    EXPECT_EQ(m->ram[100], 0);
    EXPECT_EQ(m->ram[5000], 0);
}

TEST(Machine, CharsetRomVisibility) {
    auto m = freshMachine();
    m->reset();
    for (int i = 0; i < 4096; ++i) m->charRom[i] = u8(i >> 3);
    for (u16 bank : {1, 3}) {
        m->bank = bank;
        for (int d = 0; d < 256; d += 2) {
            m->vic[0x18] = u8(d);
            EXPECT_FALSE(m->charsetIsRom()) << bank << " " << d;
        }
    }
    m->bank = 2;
    m->vic[0x18] = 0x16;
    EXPECT_TRUE(m->charsetIsRom());
    EXPECT_EQ(m->charData(3), m->charRom + 0x800 + 3 * 8);
    m->bank = 0;
    m->vic[0x18] = 0x14;
    EXPECT_EQ(m->charData(0), m->charRom);
    m->vic[0x18] = 0x18;  // $2000 is RAM
    m->ram[0x2000 + 5 * 8] = 0x5A;
    EXPECT_FALSE(m->charsetIsRom());
    EXPECT_EQ(m->charData(5)[0], 0x5A);
}

TEST(Machine, CharDataInBankThreeStaysInsideMemory) {
    auto m = freshMachine();
    m->reset();
    m->bank = 3;
    m->vic[0x18] = 0x0E;  // $F800
    const u8* last = m->charData(255);
    EXPECT_EQ(last, m->ram + 0xFFF8);
    EXPECT_LE(last + 8, m->ram + sizeof m->ram);
}

TEST(Machine, GraphicsModes) {
    auto m = freshMachine();
    m->reset();
    m->setGfxMode(3);
    EXPECT_EQ(m->gfxMode(), 3);
    EXPECT_EQ(m->bitmapAddr(), 0x2000);
    m->setGfxMode(0);
    EXPECT_EQ(m->gfxMode(), 0);
    EXPECT_EQ(m->vic[0x18] & 8, 0);
    const u8 d011 = m->vic[0x11], d016 = m->vic[0x16], d018 = m->vic[0x18];
    m->setGfxMode(7);
    m->setGfxMode(-1);
    EXPECT_EQ(m->vic[0x11], d011);
    EXPECT_EQ(m->vic[0x16], d016);
    EXPECT_EQ(m->vic[0x18], d018);
    for (int mode = 0; mode < 5; ++mode) {
        m->setGfxMode(mode);
        EXPECT_EQ(m->gfxMode(), mode);
        EXPECT_EQ(m->vic[0x11] & 0x1F, 0x1B);  // other bits stay
        EXPECT_EQ(m->vic[0x16] & 0xEF, 0x08);
    }
    // Multicolour outranks extended background in text mode.
    m->vic[0x11] = 0x5B;
    m->vic[0x16] = 0x18;
    EXPECT_EQ(m->gfxMode(), 1);
    EXPECT_STREQ(gfxModeName(2), "Extended background textmode");
}

TEST(Machine, LoadAssetsMissingDirectory) {
    auto m = freshMachine();
    m->charRom[0] = 0x42;
    EXPECT_FALSE(m->loadAssets("/nonexistent/dir"));
    EXPECT_TRUE(m->powerOnImage.empty());
    EXPECT_EQ(m->charRom[0], 0x42);
}

// Each file counts on its own: a short character set fills only the start of
// the ROM copy, an empty RAM image is still a read file.
TEST(Machine, LoadAssetsFileByFile) {
    namespace fs = std::filesystem;
    char tmpl[] = "/tmp/vorlix-machine-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const fs::path dir = tmpl;
    auto write = [&](const char* name, const Bytes& b) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    };
    auto m = freshMachine();
    std::memset(m->charRom, 0x42, sizeof m->charRom);
    write("C64Chars.bin", Bytes(10, 0x11));
    EXPECT_FALSE(m->loadAssets(dir.string()));  // no RAM image
    EXPECT_EQ(m->charRom[9], 0x11);
    EXPECT_EQ(m->charRom[10], 0x42);
    EXPECT_TRUE(m->powerOnImage.empty());

    write("C64Raw.bin", Bytes());
    write("C64Chars.bin", Bytes(5000, 0x22));
    m->powerOnImage.assign(3, 1);
    EXPECT_TRUE(m->loadAssets(dir.string()));
    EXPECT_TRUE(m->powerOnImage.empty());
    EXPECT_EQ(m->charRom[4095], 0x22);

    write("C64Raw.bin", Bytes(300, 0x33));
    fs::remove(dir / "C64Chars.bin");
    EXPECT_FALSE(m->loadAssets(dir.string()));
    EXPECT_EQ(m->powerOnImage, Bytes(300, 0x33));
    EXPECT_EQ(m->charRom[0], 0x22);
    fs::remove_all(dir);
}

}  // namespace
