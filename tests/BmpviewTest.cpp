#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "cpu/CPU6502.h"

namespace {

Bytes readViewer() {
    std::ifstream f(std::string(VORLIX_ASSET_DIR) + "/bmpview.prg", std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// One BASIC line at $0801 whose SYS jumps right after the program's end marker.
TEST(Bmpview, BasicLine) {
    Bytes v = readViewer();
    ASSERT_GE(v.size(), 70u);
    const size_t end = size_t((v[2] | v[3] << 8) - 0x0801 + 2);
    EXPECT_EQ(v[0] | v[1] << 8 | v[6] << 16, 0x9E0801);
    EXPECT_EQ(v[end] | v[end + 1], 0);
    EXPECT_EQ(v[7 + std::to_string(std::atoi(reinterpret_cast<const char*>(v.data()) + 7)).size()], 0);
    EXPECT_EQ(size_t(std::atoi(reinterpret_cast<const char*>(v.data()) + 7) - 0x0801 + 2), end + 2);
}

// The viewer run with the picture appended, on the processor the functional test checks: the colours, the
// mode and where the VIC is pointed hold the picture's bitmap, screen and colour RAM.
TEST(Bmpview, ShowsTheAppendedPicture) {
    for (bool hires : {false, true}) {
        Bytes file = readViewer();
        ASSERT_GE(file.size(), 70u);
        for (int k = 0; k < 4; ++k) file[size_t(23 + 5 * k)] = u8("\x06\x0E\x03\x09"[k]);
        if (hires) file[69] = 0;
        for (size_t i = 0; i < 10240; ++i) file.push_back(u8(i * 7 + (i >> 9)));
        const u8* data = file.data() + file.size() - 10240;
        auto m = std::make_unique<Machine>();
        std::memset(m->vic, 0x55, sizeof m->vic);  // nothing left as the viewer wants it
        std::copy(file.begin() + 2, file.end(), m->ram + 0x0801);
        m->ram[0xDD00] = 0x97;
        CPU6502 cpu(*m);
        cpu.pc = u16(std::atoi(reinterpret_cast<const char*>(file.data()) + 7));
        for (long n = 0, before = -1; n < 2000000 && cpu.pc != before && !cpu.stopped; ++n) before = cpu.pc, cpu.step();
        ASSERT_FALSE(cpu.stopped) << cpu.stopReason;
        for (int k = 0; k < 4; ++k) EXPECT_EQ(m->vic[0x20 + k], u8("\x06\x0E\x03\x09"[k]));
        const u8 d011 = m->vic[0x11], d018 = m->vic[0x18];
        EXPECT_EQ(d011 & 0x70, 0x30) << "bitmap mode, no extended colour, display on";
        EXPECT_EQ((m->vic[0x16] & 0x10) != 0, !hires);
        const int base = (3 - (m->ram[0xDD00] & 3)) * 0x4000;
        EXPECT_EQ(0, std::memcmp(m->ram + base + (d018 & 8) * 1024, data, 8192));
        EXPECT_EQ(0, std::memcmp(m->ram + base + (d018 & 0xF0) * 64, data + 8192, 1024));
        EXPECT_EQ(0, std::memcmp(m->ram + 0xD800, data + 9216, 1024));
    }
}

// Peer check with cc65's disassembler: the patched bytes are LDA # operands stored to $D020-$D023.
TEST(Bmpview, Da65SeesColourStores) {
    if (std::system("command -v da65 >/dev/null 2>&1") != 0) GTEST_SKIP() << "da65 not installed";
    Bytes v = readViewer();
    ASSERT_GE(v.size(), 70u);
    for (int k = 0; k < 4; ++k) v[size_t(23 + 5 * k)] = u8("\x16\x2E\x33\x49"[k]);
    std::string dir = testing::TempDir() + std::to_string(getpid());
    std::string bin = dir + "bmpview_code.bin", out = dir + "bmpview_code.txt";
    {
        std::ofstream f(bin, std::ios::binary);
        f.write(reinterpret_cast<const char*>(v.data() + 14), std::streamsize(v.size() - 14));
    }
    std::string cmd = "da65 --start-addr 0x080D -o " + out + " " + bin + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::ifstream f(out);
    std::vector<std::string> lines;
    for (std::string l; std::getline(f, l);) {
        std::istringstream s(l);
        std::string a, b;
        s >> a >> b;
        if (!a.empty() && a.back() == ':') {
            a = b;
            s >> b;
        }
        std::string line = a + " " + b;
        for (auto& c : line) c = char(std::toupper(static_cast<unsigned char>(c)));
        if (!a.empty() && a[0] != ';' && a[0] != '.') lines.push_back(line);
    }
    const char* want[4][2] = {{"LDA #$16", "STA $D020"},
                              {"LDA #$2E", "STA $D021"},
                              {"LDA #$33", "STA $D022"},
                              {"LDA #$49", "STA $D023"}};
    for (auto& w : want) {
        bool found = false;
        for (size_t i = 0; i + 1 < lines.size(); ++i)
            if (lines[i] == w[0] && lines[i + 1] == w[1]) found = true;
        EXPECT_TRUE(found) << w[0] << " / " << w[1];
    }
}

}  // namespace
