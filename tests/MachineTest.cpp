#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "core/Machine.h"

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
        EXPECT_TRUE(m->vic[0x05] == 0 && m->vic[0x11] == 0x1B && m->vic[0x16] == 0x08 && m->vic[0x18] == 0x14);
        EXPECT_TRUE(m->gfxMode() == 0 && m->screenAddr() == 0x0400 && m->charsetIsRom() && m->pen == 0 && m->bank == 0);
    }
}

TEST(Machine, CharacterDataAndModes) {
    auto m = std::make_unique<Machine>();
    m->reset();
    for (int i = 0; i < 4096; ++i) m->charRom[i] = u8(i >> 3);
    // The ROM shows only in banks 0 and 2 at $1000-$1FFF.
    for (u16 bank : {1, 3})
        for (int d = 0; d < 256; d += 2) {
            m->bank = bank;
            m->vic[0x18] = u8(d);
            EXPECT_FALSE(m->charsetIsRom()) << bank << " " << d;
        }
    m->bank = 2;
    m->vic[0x18] = 0x16;
    EXPECT_EQ(m->charData(3), m->charRom + 0x800 + 3 * 8);
    m->bank = 0;
    m->vic[0x18] = 0x18;  // $2000 is RAM
    m->ram[0x2000 + 5 * 8] = 0x5A;
    EXPECT_FALSE(m->charsetIsRom());
    EXPECT_EQ(m->charData(5)[0], 0x5A);
    m->bank = 3;
    m->vic[0x18] = 0x0E;  // $F800: the last character ends at $FFFF
    EXPECT_EQ(m->charData(255), m->ram + 0xFFF8);

    m->bank = 0;
    m->vic[0x18] = 0x14;
    const u8 d018 = m->vic[0x18];
    m->setGfxMode(7);
    m->setGfxMode(-1);
    EXPECT_EQ(m->vic[0x18], d018);
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
    namespace fs = std::filesystem;
    char tmpl[] = "/tmp/vorlix-machine-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const fs::path dir = tmpl;
    auto write = [&](const char* name, const Bytes& b) {
        std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    };
    auto m = std::make_unique<Machine>();
    std::memset(m->charRom, 0x42, sizeof m->charRom);
    EXPECT_FALSE(m->loadAssets("/nonexistent/dir"));
    EXPECT_TRUE(m->powerOnImage.empty() && m->charRom[0] == 0x42);
    write("C64Chars.bin", Bytes(10, 0x11));
    EXPECT_FALSE(m->loadAssets(dir.string()));  // no RAM image
    EXPECT_TRUE(m->charRom[9] == 0x11 && m->charRom[10] == 0x42 && m->powerOnImage.empty());

    write("C64Raw.bin", Bytes());
    write("C64Chars.bin", Bytes(5000, 0x22));
    m->powerOnImage.assign(3, 1);
    EXPECT_TRUE(m->loadAssets(dir.string()));
    EXPECT_TRUE(m->powerOnImage.empty() && m->charRom[4095] == 0x22);

    write("C64Raw.bin", Bytes(300, 0x33));
    fs::remove(dir / "C64Chars.bin");
    EXPECT_FALSE(m->loadAssets(dir.string()));
    EXPECT_EQ(m->powerOnImage, Bytes(300, 0x33));
    EXPECT_EQ(m->charRom[0], 0x22);
    fs::remove_all(dir);
}

}  // namespace
