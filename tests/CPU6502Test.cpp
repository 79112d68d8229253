#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sstream>
#include <tuple>

#include "core/Machine.h"
#include "cpu/CPU6502.h"
#include "platform/Platform.h"

namespace {

struct CPU6502Test : ::testing::Test {
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    CPU6502 cpu{*m};

    // Writes "A9 01 ..." at address.
    void poke(u16 address, const std::string& hex) {
        std::istringstream in(hex);
        for (unsigned v; in >> std::hex >> v;) m->ram[address++] = u8(v);
    }
    std::string state() const {
        char s[64];
        std::snprintf(s, sizeof s, "A=%02X X=%02X Y=%02X SP=%02X P=%02X PC=%04X", cpu.a, cpu.x, cpu.y, cpu.sp, cpu.p, cpu.pc);
        return s;
    }
};

TEST_F(CPU6502Test, Execution) {
    struct Case {
        const char* code;  // at $C000, all of it run
        std::vector<std::pair<u16, u8>> pokes;
        const char* expect;  // registers, and "AAAA=VV" for RAM
        const char* stop;
    };
    const Case cases[] = {
        {"RTS", {}, "PC=C000", "RTS from top level"},
        {"LDX #$FD;TXS;RTS", {{0x1FE, 0x33}, {0x1FF, 0x12}}, "PC=1234 SP=FF", ""},
        {"LDX #$FC;TXS;RTI", {{0x1FD, 0xFF}, {0x1FE, 0x34}, {0x1FF, 0x12}}, "PC=1234 P=EF", ""},
        {"JMP ($10FF)", {{0x10FF, 0x34}, {0x1000, 0x12}, {0x1100, 0x99}}, "PC=1234", ""},
        {"LDA ($FF,X)", {{0xFF, 0}, {0, 0x20}, {0x100, 0x30}, {0x2000, 0x5A}}, "A=5A", ""},
        {"LDY #1;LDA ($FF),Y", {{0xFF, 0}, {0, 0x20}, {0x100, 0x30}, {0x2001, 0xA5}}, "A=A5", ""},
        {"LDX #2;LDA $FFFF,X", {{0x0001, 0x77}}, "A=77", ""},
        {"LDA #7;STA $D020;STA $D02F;STA $D800;LDA $D020", {}, "A=07 D020=00 D02F=07 D800=07", ""},
        {"SED;CLC;LDA #$09;ADC #$01", {}, "A=10 P=2C", ""},
        {"SED;CLC;LDA #$99;ADC #$01", {}, "A=00 P=AD", ""},
        {"SED;SEC;LDA #$00;SBC #$01", {}, "A=99 P=AC", ""},
        {"PHP;PLA;TAX;LDA #$FF;PHA;PLP", {}, "X=34 P=EF", ""},
        {"BRK", {}, "PC=C000 SP=FF", "BRK"},
        {"NOP", {{0xC000, 0x02}}, "PC=C000", "Illegal opcode"},
        {"JMP $D010;NOP", {{0xD010, 0xA9}, {0xD011, 0x42}}, "A=42", ""},  // an immediate byte is read from RAM
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.code);
        *m = Machine();
        cpu.reset(), cpu.pc = 0xC000, cpu.stopped = false, cpu.stopReason.clear();
        std::istringstream lines(tc.code);
        int steps = 0;
        for (std::string line; std::getline(lines, line, ';'); steps++) cpu.pc = u16(cpu.pc + cpu.assemble(cpu.pc, line, true));
        for (auto [address, value] : tc.pokes) m->ram[address] = value;
        for (cpu.pc = 0xC000; steps-- > 0 && !cpu.stopped;) cpu.step();
        EXPECT_EQ(cpu.stopReason, tc.stop);
        std::istringstream expect(tc.expect);
        for (std::string token; expect >> token;) {
            if (token.find('=') == 4) {
                EXPECT_EQ(m->ram[std::stoi(token.substr(0, 4), nullptr, 16)], std::stoi(token.substr(5), nullptr, 16)) << token;
            } else {
                EXPECT_NE((" " + state() + " ").find(" " + token + " "), std::string::npos) << token << " in " << state();
            }
        }
    }
}

TEST_F(CPU6502Test, LineAssembler) {
    const std::tuple<u16, const char*, const char*> cases[] = {
        {0xC000, "LDA $05", "A5 05"}, {0xC000, "lda $5", "A5 05"}, {0xC000, "LDA 5", "A5 05"},
        {0xC000, "LDA 05", "AD 05 00"}, {0xC000, "LDA $0005", "AD 05 00"}, {0xC000, "LDA $005", "AD 05 00"},
        {0xC000, "LDA $FF", "A5 FF"}, {0xC000, "C000 LDA # 1", "A9 01"}, {0xC000, "LDA %00000101", "AD 05 00"},
        {0xC000, "LDX $10,Y", "B6 10"}, {0xC000, "LDA $12,Y", "B9 12 00"}, {0xC000, "JMP $10", "4C 10 00"},
        {0xC000, "JMP ($FFFF)", "6C FF FF"}, {0xC000, "STA ($12,X)", "81 12"}, {0xC000, "STA ($12),Y", "91 12"},
        {0xC000, "ASL", "0A"}, {0xC000, "ASL A", "0A"}, {0xC000, "RTS A", "60"}, {0xC000, "NOP A", "EA"},
        {0xC000, "BNE $C000", "D0 FE"}, {0xC000, "BNE $C081", "D0 7F"}, {0xC000, "BNE $BF82", "D0 80"},
        {0xFFF0, "BCC $0010", "90 1E"}, {0x0010, "BCC $FFF0", "90 DE"}, {0xC000, "BNE $C082", "Branch out of range"},
        {0xC000, "BNE $BF81", "Branch out of range"}, {0xFFF0, "BNE $00B8", "Branch out of range"},
        {0xC000, "STX $1234,Y", "Illegal addressing mode"}, {0xC000, "LDY $12,Y", "Illegal addressing mode"},
        {0xC000, "LDA A", "Illegal addressing mode"}, {0xC000, "LDA #256", "Value out of range"},
        {0xC000, "LDA #$1G", "Bad value"}, {0xC000, "LDA ($12", "Syntax error"},
        {0xC000, "JMP ($1234)X", "Syntax error"}, {0xC000, "LDA ($1234),Y", "Bad zero page address"},
        {0xC000, "LDA ($100,X)", "Bad zero page address"}, {0xC000, "JMP ($10000)", "Address out of range"},
        {0xC000, "LDA $10000", "Address out of range"}, {0xC000, "JMP (FOO)", "Bad address"},
        {0xC000, "LDA $", "Bad address"}, {0xC000, "FOO $12", "Unknown mnemonic"},
        {0xC000, "---", "Unknown mnemonic"},
    };
    for (auto [pc, line, expect] : cases) {
        std::memset(m->ram, 0xEE, sizeof m->ram);
        std::string error, got;
        const int n = cpu.assemble(pc, line, true, &error);
        for (int i = 0; i < 3; i++) {
            char hex[4];
            std::snprintf(hex, sizeof hex, i ? " %02X" : "%02X", m->ram[u16(pc + i)]);
            got += i < n ? hex : "";
            EXPECT_TRUE(i < n || m->ram[u16(pc + i)] == 0xEE) << line;
        }
        EXPECT_EQ(n ? got : error, expect) << line;
    }
}

TEST_F(CPU6502Test, DisassemblerAndBackStep) {
    const std::tuple<u16, const char*, const char*> lines[] = {
        {0xC000, "A9 01", "C000 A9 01     LDA #$01"},     {0xC003, "8D 20 D0", "C003 8D 20 D0  STA $D020"},
        {0xC006, "60", "C006 60        RTS"},             {0xC000, "02", "C000 02        ---"},
        {0xC000, "0A", "C000 0A        ASL"},             {0xFFF0, "D0 7F", "FFF0 D0 7F     BNE $0071"},
    };
    for (auto [address, bytes, line] : lines) {
        poke(address, bytes);
        u16 a = address;
        EXPECT_EQ(cpu.disassemble(a), line);
        EXPECT_EQ(a, u16(address + (std::strlen(bytes) + 1) / 3)) << line;
    }
    // From $1003 back; the longest instruction that fits wins.
    const std::pair<const char*, u16> steps[] = {
        {"AD E8 E8", 0x1000}, {"EA A9 01", 0x1001}, {"EA EA E8", 0x1002}, {"02 02 02", 0x1002}};
    for (auto [bytes, start] : steps) {
        poke(0x1000, bytes);
        EXPECT_EQ(cpu.backStep(0x1003), start) << bytes;
    }
}

// The public functional test of the documented instruction set, decimal mode included.
TEST_F(CPU6502Test, FunctionalTestReachesSuccessTrap) {
    Bytes image;
    ASSERT_TRUE(Platform::readFile(VORLIX_TESTDATA_DIR "/6502/6502_functional_test.bin", image));
    ASSERT_EQ(image.size(), 65536u);
    std::memcpy(m->ram, image.data(), 65536);
    cpu.pc = 0x0400;
    for (long steps = 0; steps < 100000000L; steps++) {
        const u16 before = cpu.pc;
        cpu.step();
        if (cpu.stopped && cpu.stopReason == "BRK") {
            // The test checks a real BRK: return address, status with B, I set, vector.
            cpu.push(u8((cpu.pc + 2) >> 8));
            cpu.push(u8(cpu.pc + 2));
            cpu.push(u8(cpu.p | CPU6502::FlagB | CPU6502::Flag5));
            cpu.p |= CPU6502::FlagI;
            cpu.pc = u16(m->ram[0xFFFF] << 8 | m->ram[0xFFFE]);
            cpu.stopped = false;
        }
        ASSERT_FALSE(cpu.stopped) << cpu.stopReason << " at " << std::hex << cpu.pc;
        if (cpu.pc == before) break;
    }
    EXPECT_EQ(cpu.pc, 0x3469) << "trap at $" << std::hex << cpu.pc;
}

}  // namespace
