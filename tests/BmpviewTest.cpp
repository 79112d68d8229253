#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/Types.h"

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

// A few 6502 opcodes, enough to run the viewer; written here independently of the program's processor.
struct MiniCpu {
    std::array<u8, 65536> mem{};
    u16 pc = 0;
    u8 a = 0, x = 0, y = 0, sp = 0xFF;
    bool z = false, n = false;
    std::vector<std::pair<u16, u8>> ioWrites;

    void flags(u8 v) {
        z = v == 0;
        n = v & 0x80;
    }
    u16 word(u16 at) const { return u16(mem[at] | mem[u16(at + 1)] << 8); }
    void store(u16 at, u8 v) {
        mem[at] = v;
        if (at >= 0xD000 && at < 0xD800) ioWrites.push_back({at, v});
        if (at >= 0xDD00 && at < 0xDE00) ioWrites.push_back({at, v});
    }
    // Runs until the program loops on itself; false on an opcode it does not know.
    bool run(int limit) {
        while (limit-- > 0) {
            u16 at = pc;
            u8 op = mem[pc++];
            switch (op) {
            case 0x78: break;  // sei
            case 0xD8: break;  // cld
            case 0xA9: a = mem[pc++]; flags(a); break;
            case 0xA2: x = mem[pc++]; flags(x); break;
            case 0xA0: y = mem[pc++]; flags(y); break;
            case 0x29: a &= mem[pc++]; flags(a); break;
            case 0x09: a |= mem[pc++]; flags(a); break;
            case 0xAD: a = mem[word(pc)]; pc += 2; flags(a); break;
            case 0x8D: store(word(pc), a); pc += 2; break;
            case 0x8E: store(word(pc), x); pc += 2; break;
            case 0x85: store(mem[pc++], a); break;
            case 0xB1: a = mem[u16(word(mem[pc++]) + y)]; flags(a); break;
            case 0x91: store(u16(word(mem[pc++]) + y), a); break;
            case 0xC8: ++y; flags(y); break;
            case 0xCA: --x; flags(x); break;
            case 0xE6: { u8 zp = mem[pc++]; store(zp, u8(mem[zp] + 1)); flags(mem[zp]); break; }
            case 0xD0: { int8_t d = int8_t(mem[pc++]); if (!z) pc = u16(pc + d); break; }
            case 0xF0: { int8_t d = int8_t(mem[pc++]); if (z) pc = u16(pc + d); break; }
            case 0x4C: { u16 t = word(pc); if (t == at) return true; pc = t; break; }
            case 0x20: {
                u16 t = word(pc), ret = u16(pc + 1);
                mem[0x100 + sp--] = u8(ret >> 8);
                mem[0x100 + sp--] = u8(ret);
                pc = t;
                break;
            }
            case 0x60: {
                u16 lo = mem[0x100 + ++sp];
                u16 hi = mem[0x100 + ++sp];
                pc = u16((lo | hi << 8) + 1);
                break;
            }
            default: ADD_FAILURE() << "unknown opcode " << int(op) << " at " << at; return false;
            }
        }
        return false;
    }
    u8 lastWrite(u16 reg) const {
        for (auto it = ioWrites.rbegin(); it != ioWrites.rend(); ++it)
            if (it->first == reg) return it->second;
        return 0xFF;
    }
};

void runViewer(bool hires, MiniCpu& cpu, Bytes& data) {
    Bytes v = readViewer();
    ASSERT_GE(v.size(), 70u);
    for (int k = 0; k < 4; ++k) v[size_t(23 + 5 * k)] = u8("\x06\x0E\x03\x09"[k]);
    if (hires) v[69] = 0;
    data.resize(10240);
    for (size_t i = 0; i < data.size(); ++i) data[i] = u8(i * 7 + (i >> 9));
    Bytes file = v;
    file.insert(file.end(), data.begin(), data.end());
    u16 load = u16(file[0] | file[1] << 8);
    for (size_t i = 2; i < file.size(); ++i) cpu.mem[u16(load + i - 2)] = file[i];
    cpu.mem[0xDD00] = 0x97;
    std::string digits;
    for (size_t i = 7; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) digits += char(v[i]);
    cpu.pc = u16(std::atoi(digits.c_str()));
    ASSERT_TRUE(cpu.run(2000000));
}

TEST(Bmpview, ShowsTheAppendedPicture) {
    for (bool hires : {false, true}) {
        MiniCpu cpu;
        Bytes data;
        runViewer(hires, cpu, data);
        for (int k = 0; k < 4; ++k) EXPECT_EQ(cpu.lastWrite(u16(0xD020 + k)), u8("\x06\x0E\x03\x09"[k]));
        u8 d011 = cpu.lastWrite(0xD011), d016 = cpu.lastWrite(0xD016), d018 = cpu.lastWrite(0xD018);
        EXPECT_EQ(d011 & 0x60, 0x20) << "bitmap mode, no extended colour";
        EXPECT_TRUE(d011 & 0x10) << "display on";
        EXPECT_EQ((d016 & 0x10) != 0, !hires);
        int bank = 3 - (cpu.lastWrite(0xDD00) & 3);
        int base = bank * 0x4000;
        int bitmap = base + (d018 & 8) * 1024, screen = base + (d018 & 0xF0) * 64;
        for (int i = 0; i < 8192; ++i) ASSERT_EQ(cpu.mem[size_t(bitmap + i)], data[size_t(i)]) << i;
        for (int i = 0; i < 1024; ++i) ASSERT_EQ(cpu.mem[size_t(screen + i)], data[size_t(8192 + i)]) << i;
        for (int i = 0; i < 1024; ++i) ASSERT_EQ(cpu.mem[size_t(0xD800 + i)], data[size_t(9216 + i)]) << i;
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
