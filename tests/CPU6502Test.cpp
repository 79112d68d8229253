#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

#include "core/Machine.h"
#include "cpu/CPU6502.h"
#include "platform/Platform.h"

namespace {

struct CPU6502Test : ::testing::Test {
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    CPU6502 cpu{*m};
};

// Assembles the lines (split at ';') from pc on; fails the test on a bad line.
void put(CPU6502& cpu, u16 pc, const std::string& lines) {
    size_t start = 0;
    while (start <= lines.size()) {
        size_t end = lines.find(';', start);
        if (end == std::string::npos) end = lines.size();
        std::string error;
        const int n = cpu.assemble(pc, lines.substr(start, end - start), true, &error);
        ASSERT_GT(n, 0) << lines.substr(start, end - start) << ": " << error;
        pc = u16(pc + n);
        start = end + 1;
    }
}

TEST_F(CPU6502Test, ExecutionEdgeCases) {
    struct Case {
        const char* code;  // at $C000
        int steps;
        std::function<void(CPU6502&, Machine&)> setup;
        std::function<void(CPU6502&, Machine&)> check;
    };
    auto none = [](CPU6502&, Machine&) {};
    const Case cases[] = {
        {"RTS", 1, none,
         [](CPU6502& c, Machine&) {
             EXPECT_TRUE(c.stopped);
             EXPECT_EQ(c.stopReason, "RTS from top level");
             EXPECT_EQ(c.pc, 0xC000);
         }},
        {"RTS", 1, [](CPU6502& c, Machine& m) { c.sp = 0xFD, m.ram[0x1FE] = 0x33, m.ram[0x1FF] = 0x12; },
         [](CPU6502& c, Machine&) {
             EXPECT_FALSE(c.stopped);
             EXPECT_EQ(c.pc, 0x1234);
             EXPECT_EQ(c.sp, 0xFF);
         }},
        {"JMP ($10FF)", 1, [](CPU6502&, Machine& m) { m.ram[0x10FF] = 0x34, m.ram[0x1000] = 0x12, m.ram[0x1100] = 0x99; },
         [](CPU6502& c, Machine&) { EXPECT_EQ(c.pc, 0x1234); }},
        {"LDA ($FF,X);LDA ($FF),Y", 1,
         [](CPU6502&, Machine& m) { m.ram[0xFF] = 0x00, m.ram[0x00] = 0x20, m.ram[0x100] = 0x30, m.ram[0x2000] = 0x5A; },
         [](CPU6502& c, Machine&) { EXPECT_EQ(c.a, 0x5A); }},
        {"LDA ($FF,X);LDA ($FF),Y", 2,
         [](CPU6502& c, Machine& m) { c.y = 1, m.ram[0xFF] = 0x00, m.ram[0x00] = 0x20, m.ram[0x2001] = 0xA5; },
         [](CPU6502& c, Machine&) { EXPECT_EQ(c.a, 0xA5); }},
        {"LDA #$07;STA $D020;STA $D02F;STA $D800;LDA $D020", 5, none,
         [](CPU6502& c, Machine& m) {
             EXPECT_EQ(m.vic[0x20], 7);
             EXPECT_EQ(m.ram[0xD020], 0);
             EXPECT_EQ(m.ram[0xD02F], 7);
             EXPECT_EQ(m.ram[0xD800], 7);
             EXPECT_EQ(c.a, 7);
         }},
        {"SED;CLC;LDA #$09;ADC #$01", 4, none,
         [](CPU6502& c, Machine&) {
             EXPECT_EQ(c.a, 0x10);
             EXPECT_EQ(c.p & 1, 0);
         }},
        {"SED;CLC;LDA #$99;ADC #$01", 4, none,
         [](CPU6502& c, Machine&) {
             EXPECT_EQ(c.a, 0x00);
             EXPECT_EQ(c.p & (CPU6502::FlagC | CPU6502::FlagZ | CPU6502::FlagN), CPU6502::FlagC | CPU6502::FlagN);
         }},
        {"SED;SEC;LDA #$00;SBC #$01", 4, none,
         [](CPU6502& c, Machine&) {
             EXPECT_EQ(c.a, 0x99);
             EXPECT_EQ(c.p & (CPU6502::FlagC | CPU6502::FlagN), CPU6502::FlagN);
         }},
        {"CLC;LDA #$7F;ADC #$01", 3, none, [](CPU6502& c, Machine&) { EXPECT_EQ(c.p, 0x24 | 0xC0); }},
        {"PHP;PLA;TAX;LDA #$FF;PHA;PLP", 6, none,
         [](CPU6502& c, Machine&) {
             EXPECT_EQ(c.x, 0x34);
             EXPECT_EQ(c.p, 0xEF);
         }},
        {"BRK", 1, none,
         [](CPU6502& c, Machine&) {
             EXPECT_EQ(c.stopReason, "BRK");
             EXPECT_EQ(c.pc, 0xC000);
             EXPECT_EQ(c.sp, 0xFF);
         }},
        {"NOP", 1, [](CPU6502&, Machine& m) { m.ram[0xC000] = 0x02; },
         [](CPU6502& c, Machine&) {
             EXPECT_EQ(c.stopReason, "Illegal opcode");
             EXPECT_EQ(c.pc, 0xC000);
         }},
        {"JSR $1234", 1, none,
         [](CPU6502& c, Machine& m) {
             EXPECT_EQ(c.pc, 0x1234);
             EXPECT_EQ(m.ram[0x1FF], 0xC0);
             EXPECT_EQ(m.ram[0x1FE], 0x02);
         }},
        {"ROR A;ROR A", 2, [](CPU6502& c, Machine&) { c.a = 1, c.p = 0x24; },
         [](CPU6502& c, Machine&) {
             EXPECT_EQ(c.a, 0x80);
             EXPECT_EQ(c.p, 0x24 | 0x80);
         }},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.code);
        *m = Machine();
        CPU6502 c(*m);
        put(c, 0xC000, tc.code);
        tc.setup(c, *m);
        for (int i = 0; i < tc.steps; i++) c.step();
        tc.check(c, *m);
    }
}

// Immediate operands come from RAM even where the register window lies.
TEST_F(CPU6502Test, ImmediateInRegisterWindowReadsRam) {
    m->ram[0xD010] = 0xA9;
    m->ram[0xD011] = 0x42;
    m->vic[0x11] = 0x1B;
    cpu.pc = 0xD010;
    cpu.step();
    EXPECT_EQ(cpu.a, 0x42);
}

TEST_F(CPU6502Test, LineAssembler) {
    struct Case {
        u16 pc;
        const char* line;
        Bytes bytes;  // empty: fails with error
        const char* error;
    };
    const Case cases[] = {
        {0xC000, "LDA $05", {0xA5, 0x05}, ""},
        {0xC000, "lda $5", {0xA5, 0x05}, ""},
        {0xC000, "LDA 5", {0xA5, 0x05}, ""},
        {0xC000, "LDA 05", {0xAD, 0x05, 0x00}, ""},
        {0xC000, "LDA $0005", {0xAD, 0x05, 0x00}, ""},
        {0xC000, "LDA $005", {0xAD, 0x05, 0x00}, ""},
        {0xC000, "LDA $FF", {0xA5, 0xFF}, ""},
        {0xC000, "C000 LDA # 1", {0xA9, 0x01}, ""},
        {0xC000, "LDA %00000101", {0xAD, 0x05, 0x00}, ""},
        {0xC000, "LDX $10,Y", {0xB6, 0x10}, ""},
        {0xC000, "LDA $12,Y", {0xB9, 0x12, 0x00}, ""},
        {0xC000, "JMP $10", {0x4C, 0x10, 0x00}, ""},
        {0xC000, "JMP ($FFFF)", {0x6C, 0xFF, 0xFF}, ""},
        {0xC000, "STA ($12,X)", {0x81, 0x12}, ""},
        {0xC000, "STA ($12),Y", {0x91, 0x12}, ""},
        {0xC000, "ASL", {0x0A}, ""},
        {0xC000, "ASL A", {0x0A}, ""},
        {0xC000, "RTS A", {0x60}, ""},
        {0xC000, "BNE $C000", {0xD0, 0xFE}, ""},
        {0xC000, "BNE $C081", {0xD0, 0x7F}, ""},
        {0xC000, "BNE $BF82", {0xD0, 0x80}, ""},
        {0xFFF0, "BCC $0010", {0x90, 0x1E}, ""},
        {0x0010, "BCC $FFF0", {0x90, 0xDE}, ""},
        {0xC000, "STX $1234,Y", {}, "Illegal addressing mode"},
        {0xC000, "LDY $12,Y", {}, "Illegal addressing mode"},
        {0xC000, "LDA A", {}, "Illegal addressing mode"},
        {0xC000, "BNE $C082", {}, "Branch out of range"},
        {0xC000, "BNE $BF81", {}, "Branch out of range"},
        {0xFFF0, "BNE $00B8", {}, "Branch out of range"},
        {0xC000, "LDA #256", {}, "Value out of range"},
        {0xC000, "LDA #$1G", {}, "Bad value"},
        {0xC000, "LDA ($12", {}, "Syntax error"},
        {0xC000, "LDA ($1234),Y", {}, "Bad zero page address"},
        {0xC000, "LDA ($100,X)", {}, "Bad zero page address"},
        {0xC000, "JMP ($10000)", {}, "Address out of range"},
        {0xC000, "JMP ($1234)X", {}, "Syntax error"},
        {0xC000, "JMP (FOO)", {}, "Bad address"},
        {0xC000, "LDA $10000", {}, "Address out of range"},
        {0xC000, "LDA $", {}, "Bad address"},
        {0xC000, "FOO $12", {}, "Unknown mnemonic"},
        {0xC000, "---", {}, "Unknown mnemonic"},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.line);
        std::memset(m->ram, 0xEE, sizeof m->ram);
        std::string error;
        const int n = cpu.assemble(tc.pc, tc.line, true, &error);
        EXPECT_EQ(n, int(tc.bytes.size()));
        EXPECT_EQ(error, tc.error);
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(m->ram[u16(tc.pc + i)], i < n ? tc.bytes[i] : 0xEE) << i;
    }
}

TEST_F(CPU6502Test, DisassemblerLines) {
    struct Case {
        u16 address;
        Bytes bytes;
        const char* line;
    };
    const Case cases[] = {
        {0xC000, {0xA9, 0x01}, "C000 A9 01     LDA #$01"},
        {0xC003, {0x8D, 0x20, 0xD0}, "C003 8D 20 D0  STA $D020"},
        {0xC006, {0x60}, "C006 60        RTS"},
        {0xC000, {0x02}, "C000 02        ---"},
        {0xC000, {0x0A}, "C000 0A        ASL"},
        {0xFFF0, {0xD0, 0x7F}, "FFF0 D0 7F     BNE $0071"},
        {0xFFFF, {0xB1, 0x12}, "FFFF B1 12     LDA ($12),Y"},
        {0x1000, {0x61, 0x80}, "1000 61 80     ADC ($80,X)"},
        {0x1000, {0x96, 0x80}, "1000 96 80     STX $80,Y"},
        {0x1000, {0xBE, 0x34, 0x12}, "1000 BE 34 12  LDX $1234,Y"},
        {0x1000, {0x6C, 0x00, 0x03}, "1000 6C 00 03  JMP ($0300)"},
    };
    for (const Case& tc : cases) {
        for (size_t i = 0; i < tc.bytes.size(); i++) m->ram[u16(tc.address + i)] = tc.bytes[i];
        u16 a = tc.address;
        EXPECT_EQ(cpu.disassemble(a), tc.line);
        EXPECT_EQ(a, u16(tc.address + tc.bytes.size())) << tc.line;
    }
}

TEST_F(CPU6502Test, BackStepFavoursLongestInstruction) {
    struct Case {
        Bytes bytes;  // at $1000, stepping back from $1003
        u16 start;
    };
    const Case cases[] = {
        {{0xAD, 0xE8, 0xE8}, 0x1000},  // INX INX behind an LDA abs opcode
        {{0xEA, 0xA9, 0x01}, 0x1001},
        {{0xEA, 0xEA, 0xE8}, 0x1002},
        {{0x02, 0x02, 0x02}, 0x1002},
    };
    for (const Case& tc : cases) {
        for (size_t i = 0; i < 3; i++) m->ram[0x1000 + i] = tc.bytes[i];
        EXPECT_EQ(cpu.backStep(0x1003), tc.start);
    }
}

// Every documented opcode, listed and assembled again, gives its own bytes.
TEST_F(CPU6502Test, DisassembledLinesAssembleBack) {
    const int operands[] = {0x00, 0x0F, 0x10, 0xFF, 0x0100, 0xFFFF};
    const u16 places[] = {0xC000, 0x0000, 0xFFFE};
    int checked = 0;
    for (int op = 0; op < 256; op++) {
        if (CPU6502::ops[op].mode == CPU6502::ModeNone) continue;
        for (u16 at : places)
            for (int v : operands) {
                const Bytes bytes = {u8(op), u8(v), u8(v >> 8)};
                for (int i = 0; i < 3; i++) m->ram[u16(at + i)] = bytes[i];
                int length = 0;
                const std::string text = cpu.disassembleInstr(at, &length);
                std::memset(m->ram, 0, sizeof m->ram);
                std::string error;
                ASSERT_EQ(cpu.assemble(at, text, true, &error), length) << text << ": " << error;
                for (int i = 0; i < length; i++) ASSERT_EQ(m->ram[u16(at + i)], bytes[i]) << text;
                checked++;
            }
    }
    EXPECT_EQ(checked, 151 * 3 * 6);
}

// The public functional test of the documented instruction set, decimal mode included.
TEST_F(CPU6502Test, FunctionalTestReachesSuccessTrap) {
    Bytes image;
    ASSERT_TRUE(Platform::readFile(VORLIX_TESTDATA_DIR "/6502/6502_functional_test.bin", image));
    ASSERT_EQ(image.size(), 65536u);
    std::memcpy(m->ram, image.data(), 65536);
    cpu.pc = 0x0400;
    long steps = 0;
    for (;;) {
        const u16 before = cpu.pc;
        cpu.step();
        steps++;
        if (cpu.stopped && cpu.stopReason == "BRK") {
            // The test checks a real BRK: return address, status with B, I set, vector.
            const u16 ret = u16(cpu.pc + 2);
            cpu.push(u8(ret >> 8));
            cpu.push(u8(ret));
            cpu.push(u8(cpu.p | CPU6502::FlagB | CPU6502::Flag5));
            cpu.p |= CPU6502::FlagI;
            cpu.pc = u16(m->ram[0xFFFF] << 8 | m->ram[0xFFFE]);
            cpu.stopped = false;
        }
        ASSERT_FALSE(cpu.stopped) << cpu.stopReason << " at " << std::hex << cpu.pc;
        if (cpu.pc == before) break;
        ASSERT_LT(steps, 100000000L);
    }
    EXPECT_EQ(cpu.pc, 0x3469) << "trap at $" << std::hex << cpu.pc;
}

}  // namespace
