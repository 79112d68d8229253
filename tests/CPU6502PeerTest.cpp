#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>

#include "TempDir.h"
#include "cpu/CPU6502.h"
#include "platform/Platform.h"

namespace {

std::string commandOutput(const std::string& command) {
    std::string out;
    FILE* f = popen(command.c_str(), "r");
    char buf[65536];
    for (size_t n; f && (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
    if (f) pclose(f);
    return out;
}

// Upper case, numbers (and da65's address labels) without leading zeros, no "a:" and no accumulator "A",
// so "lda a:($00C6),y" reads "LDA ($C6),Y"; da65's ".byte" is our "---".
std::string canonical(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
    if (text.rfind(".BYTE", 0) == 0) return "---";
    if (text.size() > 4 && text.substr(text.size() - 2) == " A") text.resize(text.size() - 2);
    if (text.find("A:") != std::string::npos) text.erase(text.find("A:"), 2);
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (i > 3 && (text[i] == '$' || text[i] == 'L')) {
            char* end;
            char number[16];
            std::snprintf(number, sizeof number, "$%lX", std::strtol(text.c_str() + i + 1, &end, 16));
            out += number;
            i = size_t(end - text.c_str()) - 1;
        } else if (text[i] != ' ') {
            out += text[i];
        }
    }
    return out;
}

// 64 KB of random bytes, led by every documented opcode with the operands $00, $0F, $10, $FF, $0100 and
// $FFFF: da65 finds the same instructions, and each listed line assembles back to its own bytes.
TEST(CPU6502Peer, DisassemblyMatchesDa65AndAssemblesBack) {
    auto m = std::make_unique<Machine>(), back = std::make_unique<Machine>();
    CPU6502 cpu(*m), assembler(*back);
    std::mt19937 rng(65);
    for (auto& b : m->ram) b = u8(rng());
    u8* p = m->ram;
    for (int op = 0; op < 256; op++)
        for (int v : {0x00, 0x0F, 0x10, 0xFF, 0x0100, 0xFFFF})
            for (int i = 0; CPU6502::ops[op].mode && i < CPU6502::instrLength(CPU6502::ops[op].mode); i++)
                *p++ = u8(i == 0 ? op : i == 1 ? v : v >> 8);
    m->ram[0xFFFE] = m->ram[0xFFFF] = 0xEA;  // nothing runs past the end
    TempDir dir;
    const std::string bin = (dir.path / "r.bin").string(), info = (dir.path / "r.info").string();
    ASSERT_TRUE(Platform::writeFile(bin, Bytes(m->ram, m->ram + 65536)));
    const std::string range = "GLOBAL { STARTADDR $0000; CPU \"6502\"; };\nRANGE { START $0000; END $FFFF; TYPE Code; };\n";
    ASSERT_TRUE(Platform::writeFile(info, Bytes(range.begin(), range.end())));
    std::istringstream listing(commandOutput("da65 --comments 4 -i " + info + " " + bin));
    u16 address = 0;
    int instructions = 0;
    for (std::string line; std::getline(listing, line);) {
        const size_t semi = line.find("; ");
        if (line.empty() || line[0] == ';' || line.find(":=") != std::string::npos || semi == std::string::npos) continue;
        const size_t text = line.find_first_not_of(' ', line[0] == 'L' ? 6 : 0);
        ASSERT_EQ(std::strtol(line.c_str() + semi + 2, nullptr, 16), address) << line;
        int length;
        const std::string ours = cpu.disassembleInstr(address, &length);
        EXPECT_EQ(canonical(ours), canonical(line.substr(text, semi - text))) << line;
        if (ours != "---") {
            ASSERT_EQ(assembler.assemble(address, ours, true), length) << ours;
            EXPECT_EQ(std::memcmp(back->ram + address, m->ram + address, size_t(length)), 0) << ours;
        }
        address = u16(address + length);
        instructions++;
    }
    EXPECT_EQ(address, 0);
    EXPECT_GT(instructions, 30000);
}

// Random straight-line programs of documented opcodes, run here and by sim65;
// each ends by storing A, X, Y, P and SP, and all memory is compared at the end.
TEST(CPU6502Peer, Sim65AgreesOnRandomPrograms) {
    std::vector<u8> pool;  // no flow of control, no decimal mode; sim65 takes ROL abs,X ($3E) as two bytes long
    for (int op = 0; op < 256; op++) {
        const CPU6502::Op& row = CPU6502::ops[op];
        if (row.mode != 0 && row.mode != CPU6502::ModeRelative && op != 0x3E && !std::strstr("BRK JSR RTS RTI JMP SED", row.mnemonic))
            pool.push_back(u8(op));
    }
    std::mt19937 rng(6502);
    TempDir dir;
    int programs = 0;
    for (int batch = 0; batch < 30; batch++) {
        auto m = std::make_unique<Machine>();
        CPU6502 cpu(*m);
        for (auto& b : m->ram) b = u8(rng());
        std::memset(m->ram + 0xFFF0, 0xFF, 16);  // as sim65 starts, reset vector $0200
        m->ram[0xFFFC] = 0x00;
        m->ram[0xFFFD] = 0x02;
        std::memcpy(m->vic, m->ram + 0xD000, sizeof m->vic);  // so the register window acts as RAM
        Bytes image(m->ram, m->ram + 65536);
        cpu.pc = 0x0200;
        auto run = [&](const Bytes& code) {
            for (size_t i = 0; i < code.size(); i++) m->ram[cpu.pc + i] = image[cpu.pc + i] = code[i];
            cpu.step();
        };
        // The data address of an instruction, to keep it off the code, results and parameters,
        // below $10000 and with no pointer at $FF, as sim65 wraps neither consistently; -1 refuses.
        auto target = [&](int mode, u8 b1, u8 b2) -> int {
            const int index = mode == 4 || mode == 7 ? cpu.x : mode == 5 || mode == 8 || mode == 12 ? cpu.y : 0;
            const int pointer = mode == 11 ? u8(b1 + cpu.x) : b1;
            if (mode >= 3 && mode <= 5) return u8(b1 + index);
            if (mode >= 6 && mode <= 8) return (b2 << 8 | b1) + index;
            if (mode < 11) return 0;
            return pointer == 0xFF ? -1 : (m->ram[pointer + 1] << 8 | m->ram[pointer]) + index;
        };
        for (Bytes b : {Bytes{0xA2, 0xFF}, {0x9A}, {0xA9, 0}, {0x48}, {0x28}, {0xA9, u8(rng())}, {0xA2, u8(rng())}})
            run(b);
        for (int n = 0; n < 200 && cpu.pc < 0x1F00; n++, programs++) {
            for (int count = 1 + int(rng() % 30); count > 0; count--) {
                u8 op, b1, b2;
                int t;
                do {
                    op = pool[rng() % pool.size()], b1 = u8(rng()), b2 = u8(rng());
                    t = target(CPU6502::ops[op].mode, b1, b2);
                } while ((op == 0x28 && (m->ram[0x100 + u8(cpu.sp + 1)] & CPU6502::FlagD)) ||  // binary mode only
                         t < 0 || (t >= 0x0200 && t < 0x2500) || t > 0xFFFF);
                const Bytes code{op, b1, b2};
                run(Bytes(code.begin(), code.begin() + CPU6502::instrLength(CPU6502::ops[op].mode)));
            }
            const u8 lo = u8(n * 5), hi = u8(0x20 + (n * 5 >> 8));
            for (Bytes b : {Bytes{0x8D, lo, hi}, {0x8E, u8(lo + 1), hi}, {0x8C, u8(lo + 2), hi}, {0x08}, {0x68},
                            {0x8D, u8(lo + 3), hi}, {0xBA}, {0x8E, u8(lo + 4), hi}})
                run(b);
        }
        // Dump $0000-$7FFF and $8000-$FFFF through sim65's write call, then exit.
        const char* tail =
            "LDX #$FF;TXS;LDA #$00;STA $00;STA $2400;STA $2401;STA $2403;LDA #$24;STA $01;LDA #1;STA $2402;"
            "LDA #0;LDX #$80;JSR $FFF7;LDA #$00;STA $00;LDA #$24;STA $01;LDA #$80;STA $2401;LDA #0;LDX #$80;"
            "JSR $FFF7;LDA #0;JMP $FFF9";
        std::string line;
        for (std::istringstream lines(tail); std::getline(lines, line, ';');) {
            const int n = cpu.assemble(cpu.pc, line, true);
            std::memcpy(image.data() + cpu.pc, m->ram + cpu.pc, size_t(n));
            cpu.pc = u16(cpu.pc + n);
        }
        Bytes file(12 + 0xFFF0);
        std::memcpy(file.data(), "sim65\2\0\0\0\0\0\2", 12);  // version 2, 6502, load $0000, start $0200
        std::memcpy(file.data() + 12, image.data(), 0xFFF0);
        const std::string path = (dir.path / "p.bin").string();
        ASSERT_TRUE(Platform::writeFile(path, file));
        const std::string out = commandOutput("sim65 " + path);
        ASSERT_EQ(out.size(), 65536u) << "batch " << batch;
        for (int addr : {0x0000, 0x0001, 0x01FE, 0x01FF, 0x2400, 0x2401, 0x2402, 0x2403}) m->ram[addr] = u8(out[addr]);
        int differences = 0;
        for (int addr = 0; addr < 65536 && differences < 5; addr++) {
            const u8 mine = u16(addr + 0x3000) < 47 ? m->vic[addr & 63] : m->ram[addr];
            if (mine != u8(out[addr]) && ++differences)
                ADD_FAILURE() << "batch " << batch << " $" << std::hex << addr << ": " << int(mine) << " here, "
                              << int(u8(out[addr])) << " in sim65";
        }
    }
    EXPECT_GT(programs, 3000);
}

}  // namespace
