#include <regex>
#include <sstream>

#include "app/App.h"
#include "core/ScreenCodes.h"
#include "core/TextCase.h"
#include "core/UndoBuffer.h"
#include "cpu/Assembler.h"
#include "cpu/CPU6502.h"
#include "cpu/Monitor.h"
#include "cpu/SourceLine.h"
#include "disk/DiskDrive.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "tests/FileTestSupport.h"
#include "tests/TestData.h"

namespace {

std::string hexByte(u8 b) {
    char s[4];
    std::snprintf(s, sizeof s, "%02X", b);
    return s;
}

std::string replaceAll(std::string text, const std::vector<std::pair<std::regex, const char*>>& rules) {
    for (const auto& [re, with] : rules) text = std::regex_replace(text, re, with);
    return text;
}

TEST(CPU6502, Execution) {
    // Code at $C000, all of it run; bytes poked; registers and the RAM at $D020, $D02F and $D800; the stop.
    const std::tuple<const char*, std::vector<std::pair<u16, u8>>, const char*, const char*> cases[] = {
        {"RTS", {}, "PC=C000", "RTS from top level"}, {"NOP", {{0xC000, 0x02}}, "PC=C000", "Illegal opcode"},
        {"LDX #$FC;TXS;RTI", {{0x1FD, 0xFF}, {0x1FE, 0x34}, {0x1FF, 0x12}}, "PC=1234 P=EF", ""},
        {"JMP ($10FF)", {{0x10FF, 0x34}, {0x1000, 0x12}, {0x1100, 0x99}}, "PC=1234", ""},
        {"LDA ($FF,X)", {{0xFF, 0}, {0, 0x20}, {0x100, 0x30}, {0x2000, 0x5A}}, "A=5A", ""},
        {"LDY #1;LDA ($FF),Y", {{0xFF, 0}, {0, 0x20}, {0x100, 0x30}, {0x2001, 0xA5}}, "A=A5", ""},
        {"LDX #2;LDA $FFFF,X", {{0x0001, 0x77}}, "A=77", ""}, {"PHP;PLA;TAX;LDA #$FF;PHA;PLP", {}, "X=34 P=EF", ""},
        {"LDA #7;STA $D020;STA $D02F;STA $D800;LDA $D020", {}, "A=07 D020=00 D02F=07 D800=07", ""},
        {"SED;CLC;LDA #$09;ADC #$01", {}, "A=10 P=2C", ""}, {"SED;CLC;LDA #$99;ADC #$01", {}, "A=00 P=AD", ""},
        {"SED;SEC;LDA #$00;SBC #$01", {}, "A=99 P=AC", ""}, {"SED;CLC;LDA #$80;ADC #$80", {}, "A=60 P=6F", ""},
        {"JMP $D010;NOP", {{0xD010, 0xA9}, {0xD011, 0x42}}, "A=42", ""},  // an immediate byte is read from RAM
    };
    auto m = std::make_unique<Machine>();
    CPU6502 cpu(*m);
    for (const auto& [code, pokes, want, stop] : cases) {
        SCOPED_TRACE(code);
        *m = Machine();
        cpu.reset(), cpu.pc = 0xC000, cpu.stopped = false, cpu.stopReason.clear();
        std::istringstream lines(code);
        int steps = 0;
        for (std::string line; std::getline(lines, line, ';'); steps++) cpu.pc = u16(cpu.pc + cpu.assemble(cpu.pc, line, true));
        for (auto [address, value] : pokes) m->ram[address] = value;
        for (cpu.pc = 0xC000; steps-- > 0 && !cpu.stopped;) cpu.step();
        EXPECT_EQ(cpu.stopReason, stop);
        char state[80];
        std::snprintf(state, sizeof state, " A=%02X X=%02X Y=%02X SP=%02X P=%02X PC=%04X D020=%02X D02F=%02X D800=%02X ",
                      cpu.a, cpu.x, cpu.y, cpu.sp, cpu.p, cpu.pc, m->ram[0xD020], m->ram[0xD02F], m->ram[0xD800]);
        std::istringstream expect(want);
        for (std::string token; expect >> token;) EXPECT_NE(std::strstr(state, (" " + token + " ").c_str()), nullptr) << state;
    }
}

// Bytes written (nothing past them) or the reason for refusing the line; the forms our disassembler prints
// are left to the da65 round trip.
TEST(CPU6502, LineAssembler) {
    const std::tuple<u16, const char*, const char*> cases[] = {
        {0xC000, "lda $5", "A5 05"}, {0xC000, "LDA 5", "A5 05"}, {0xC000, "LDA 05", "AD 05 00"},
        {0xC000, "LDA $005", "AD 05 00"}, {0xC000, "C000 LDA # 1", "A9 01"}, {0xC000, "LDA %00000101", "AD 05 00"},
        {0xC000, "LDA $12,Y", "B9 12 00"}, {0xC000, "JMP $10", "4C 10 00"}, {0xC000, "ASL", "0A"},
        {0xC000, "ASL A", "0A"}, {0xC000, "RTS A", "60"}, {0xC000, "NOP A", "EA"}, {0xFFF0, "BCC $0010", "90 1E"},
        {0x0010, "BCC $FFF0", "90 DE"}, {0xC000, "BNE $C082", "Branch out of range"},
        {0xC000, "BNE $BF81", "Branch out of range"}, {0xFFF0, "BNE $00B8", "Branch out of range"},
        {0xC000, "LDY $12,Y", "Illegal addressing mode"}, {0xC000, "LDA A", "Illegal addressing mode"},
        {0xC000, "LDA #256", "Value out of range"}, {0xC000, "LDA #$1G", "Bad value"}, {0xC000, "LDA ($12", "Syntax error"},
        {0xC000, "JMP ($1234)X", "Syntax error"}, {0xC000, "LDA ($100,X)", "Bad zero page address"},
        {0xC000, "JMP ($10000)", "Address out of range"},
        {0xC000, "LDA $10000", "Address out of range"}, {0xC000, "JMP (FOO)", "Bad address"},
        {0xC000, "LDA $", "Bad address"}, {0xC000, "FOO $12", "Unknown mnemonic"}, {0xC000, "---", "Unknown mnemonic"},
    };
    auto m = std::make_unique<Machine>();
    CPU6502 cpu(*m);
    for (auto [pc, line, expect] : cases) {
        std::memset(m->ram, 0xEE, sizeof m->ram);
        std::string error;
        const int n = cpu.assemble(pc, line, true, &error);
        char hex[10];  // the bytes written, then EE where nothing was
        std::snprintf(hex, sizeof hex, "%02X %02X %02X ", m->ram[pc], m->ram[u16(pc + 1)], m->ram[u16(pc + 2)]);
        EXPECT_EQ(n ? std::string(hex, size_t(3 * n - 1)) : error, expect) << line;
        EXPECT_EQ(std::string(hex + 3 * n), std::string("EE EE EE ").substr(size_t(3 * n))) << line;
    }
}

// The public functional test of the documented instruction set, decimal mode included.
TEST(CPU6502, FunctionalTestReachesSuccessTrap) {
    REQUIRE_TEST_DATA(data, "6502/6502_functional_test.bin");
    auto m = std::make_unique<Machine>();
    CPU6502 cpu(*m);
    const Bytes image = readBytes(data.path);
    ASSERT_EQ(image.size(), 65536u);
    std::memcpy(m->ram, image.data(), 65536);
    // The test checks a real BRK: return address, status with B, I set, vector.
    auto realBrk = [&] {
        if (!cpu.stopped || cpu.stopReason != "BRK") return;
        cpu.push(u8((cpu.pc + 2) >> 8));
        cpu.push(u8(cpu.pc + 2));
        cpu.push(u8(cpu.p | CPU6502::FlagB | CPU6502::Flag5));
        cpu.p |= CPU6502::FlagI;
        cpu.pc = u16(m->ram[0xFFFF] << 8 | m->ram[0xFFFE]);
        cpu.stopped = false;
    };
    cpu.pc = 0x0400;
    for (long steps = 0; steps < 100000000L; steps++) {
        const u16 before = cpu.pc;
        cpu.step();
        realBrk();
        ASSERT_FALSE(cpu.stopped) << cpu.stopReason << " at " << std::hex << cpu.pc;
        if (cpu.pc == before) break;
    }
    EXPECT_EQ(cpu.pc, 0x3469) << "trap at $" << std::hex << cpu.pc;
    // Once more through the run loop, with a breakpoint on the success trap.
    std::memcpy(m->ram, image.data(), 65536);
    cpu.reset();
    cpu.pc = 0x0400;
    cpu.breakpoints = {0x3469};
    for (long steps = 0; steps < 100000000L && !cpu.breakpoints.count(cpu.pc);) {
        steps += cpu.run(100000000L - steps);
        realBrk();
        ASSERT_FALSE(cpu.stopped) << cpu.stopReason << " at " << std::hex << cpu.pc;
    }
    EXPECT_EQ(cpu.pc, 0x3469) << "run ends at $" << std::hex << cpu.pc;
}

// One program run twice from the same memory: by run() in slices, and by step() with the breakpoint test after
// each step, as the slice is meant to take it. Each slice must take the same steps and leave the same state.
struct Lockstep {
    std::unique_ptr<Machine> ranOn = std::make_unique<Machine>(), steppedOn = std::make_unique<Machine>();
    CPU6502 ran{*ranOn}, stepped{*steppedOn};
    long steps = 0, slices = 0;

    void start(const Machine& m, u16 pc) {
        *ranOn = m, *steppedOn = m;
        for (CPU6502* cpu : {&ran, &stepped}) cpu->pc = pc, cpu->stopped = false;
    }
    // Toggled one by one, as the processor window does.
    void setBreakpoints(const std::set<u16>& at) {
        for (CPU6502* cpu : {&ran, &stepped}) {
            const std::set<u16> old(cpu->breakpoints.begin(), cpu->breakpoints.end());
            for (u16 address : old)
                if (!at.count(address)) cpu->breakpoints.erase(address);
            for (u16 address : at) cpu->breakpoints.insert(address);
        }
    }
    // `visited` gets the addresses the slice ran through. False once the two differ.
    bool slice(long budget, std::vector<u16>* visited = nullptr) {
        const long took = ran.run(budget);
        long n = 0;
        while (n < budget) {
            if (visited) visited->push_back(stepped.pc);
            stepped.step();
            ++n;
            if (stepped.stopped || stepped.breakpoints.count(stepped.pc)) break;
        }
        steps += n, ++slices;
        // Registers after every slice, memory after every 64th.
        const auto regs = [](const CPU6502& c) { return std::tuple(c.pc, c.a, c.x, c.y, c.sp, c.p, c.stopped, c.stopReason); };
        EXPECT_EQ(took, n) << "slice " << slices << " after " << steps - n << " steps";
        EXPECT_EQ(regs(ran), regs(stepped)) << "slice " << slices << " after " << steps - n << " steps";
        if (slices % 64 == 0 || ran.stopped) sameMemory();
        return took == n && regs(ran) == regs(stepped) && !::testing::Test::HasFailure();
    }
    void sameMemory() {
        EXPECT_EQ(std::memcmp(ranOn->ram, steppedOn->ram, sizeof ranOn->ram), 0) << "after " << steps << " steps";
        EXPECT_EQ(std::memcmp(ranOn->vic, steppedOn->vic, sizeof ranOn->vic), 0) << "after " << steps << " steps";
    }
};

// The functional test in slices of every size from one instruction to the processor window's, with breakpoints
// moved between slices onto addresses the program has just run through, so that many are met again.
TEST(CPU6502, RunInSlicesEqualsStepOnTheFunctionalTest) {
    REQUIRE_TEST_DATA(data, "6502/6502_functional_test.bin");
    const Bytes image = readBytes(data.path);
    ASSERT_EQ(image.size(), 65536u);
    auto m = std::make_unique<Machine>();
    std::memcpy(m->ram, image.data(), 65536);
    Lockstep run;
    run.start(*m, 0x0400);
    std::mt19937 rng(3469);
    const long sizes[] = {1, 2, 3, 17, 250, 5000};
    std::vector<u16> visited;
    int breaksMet = 0;
    while (run.stepped.pc != 0x3469 && run.steps < 200000000L) {
        if (run.slices % 4 == 0) {
            std::set<u16> at = {0x3469};
            for (int i = 0; i < 3 && !visited.empty(); i++) at.insert(visited[rng() % visited.size()]);
            run.setBreakpoints(at);
        }
        visited.clear();
        ASSERT_TRUE(run.slice(sizes[rng() % std::size(sizes)], &visited));
        breaksMet += run.ran.breakpoints.count(run.ran.pc) != 0;
        if (run.ran.stopped && run.ran.stopReason == "BRK")
            for (CPU6502* cpu : {&run.ran, &run.stepped}) {  // as the 6502 takes it
                cpu->push(u8((cpu->pc + 2) >> 8));
                cpu->push(u8(cpu->pc + 2));
                cpu->push(u8(cpu->p | CPU6502::FlagB | CPU6502::Flag5));
                cpu->p |= CPU6502::FlagI;
                cpu->pc = u16(cpu->machine.ram[0xFFFF] << 8 | cpu->machine.ram[0xFFFE]);
                cpu->stopped = false;
            }
        ASSERT_FALSE(run.ran.stopped) << run.ran.stopReason << " at " << std::hex << run.ran.pc;
    }
    run.sameMemory();
    EXPECT_EQ(run.ran.pc, 0x3469);
    EXPECT_GT(breaksMet, 1000);
}

// Random memory (undocumented opcodes made NOPs, so that a program goes on for a while) from random places, the
// last bytes of memory among them, whose operands wrap to $0000; breakpoints there and where the program has been.
TEST(CPU6502, RunInSlicesEqualsStepOnRandomPrograms) {
    std::mt19937 rng(1977);
    auto m = std::make_unique<Machine>();
    Lockstep run;
    int wraps = 0, breaksMet = 0, stops = 0;
    for (int program = 0; program < 150; program++) {
        for (u8& b : m->ram) {
            b = u8(rng());
            if (!CPU6502::ops[b].mode) b = 0xEA;
        }
        for (u8& r : m->vic) r = u8(rng());
        for (u8& b : m->charRom) b = u8(rng());  // what lies beyond the end of RAM
        const u16 start = program % 3 == 0 ? u16(0xFFF8 + program % 10) : u16(rng());
        run.start(*m, start);
        run.ran.sp = run.stepped.sp = u8(rng());
        run.ran.p = run.stepped.p = u8(rng() & ~CPU6502::FlagD) | CPU6502::Flag5;
        std::vector<u16> visited;
        for (const long end = run.steps + 10000; run.steps < end && !run.ran.stopped;) {
            std::set<u16> at;
            if (rng() % 2) at.insert(u16(0xFFFE + rng() % 4));
            for (int i = 0; i < 2 && !visited.empty(); i++) at.insert(visited[rng() % visited.size()]);
            run.setBreakpoints(at);
            visited.clear();
            ASSERT_TRUE(run.slice(1 + long(rng() % 700), &visited)) << "program " << program;
            for (u16 pc : visited) wraps += pc >= 0xFFFE;
            breaksMet += run.ran.breakpoints.count(run.ran.pc) != 0;
        }
        stops += run.ran.stopped;
        run.sameMemory();
    }
    EXPECT_GT(wraps, 100);
    EXPECT_GT(breaksMet, 1000);
    EXPECT_GT(stops, 50);
}

// Where the shared test data is found, and what a missing file does: skip, or fail under CI.
TEST(TestData, FoundBesideTheCheckoutOrWhereTheVariablePoints) {
    TempDir a, b;
    writeText(a.path / "6502/x.bin");
    const std::string withFile = a.path.string(), without = b.path.string();
    // Variable, default folder, CI -> the folder used ("" none), and whether absence fails.
    const std::tuple<const char*, std::string, const char*, std::string, bool> cases[] = {
        {withFile.c_str(), without, nullptr, withFile, false}, {without.c_str(), withFile, nullptr, withFile, false},
        {nullptr, withFile, "true", withFile, false},           {nullptr, without, nullptr, "", false},
        {without.c_str(), without, "false", "", false},          {"", without, "true", "", true},
    };
    for (const auto& [env, defaultDir, ci, found, required] : cases) {
        const TestDataFile f = lookUpTestData("6502/x.bin", env, defaultDir, ci);
        EXPECT_EQ(f.path, found.empty() ? "" : found + "/6502/x.bin") << defaultDir;
        EXPECT_EQ(f.required, required);
        EXPECT_EQ(f.missing.find("VORLIX_TESTDATA") != std::string::npos && f.missing.find(defaultDir) != std::string::npos,
                  found.empty());
    }
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
    writeText(info, "GLOBAL { STARTADDR $0000; CPU \"6502\"; };\nRANGE { START $0000; END $FFFF; TYPE Code; };\n");
    // Upper case, no spaces, "a:" or accumulator "A", da65's labels and all numbers without leading zeros,
    // so "lda a:L00C6,y" reads "LDA$C6,Y"; da65's ".byte" is our "---".
    const std::vector<std::pair<std::regex, const char*>> rules = {
        {std::regex(" +$"), ""}, {std::regex(" A$|A:| "), ""}, {std::regex("L([0-9A-F]{4})"), "$$$1"},
        {std::regex("\\$0+([0-9A-F])"), "$$$1"}};
    auto canonical = [&](std::string text) {
        text = UpperCase(text);
        return text.rfind(".BYTE", 0) == 0 ? "---" : replaceAll(text, rules);
    };
    std::istringstream listing(commandOutput("da65 --comments 4 -i " + info + " " + bin));
    int address = 0;  // 0x10000 once da65 has listed all of memory
    for (std::string line; std::getline(listing, line);) {
        const size_t semi = line.find("; ");
        if (line.empty() || line[0] == ';' || line.find(":=") != std::string::npos || semi == std::string::npos) continue;
        const size_t text = line.find_first_not_of(' ', line[0] == 'L' ? 6 : 0);
        ASSERT_EQ(std::strtol(line.c_str() + semi + 2, nullptr, 16), address) << line;
        int length;
        const std::string ours = cpu.disassembleInstr(u16(address), &length);
        EXPECT_EQ(canonical(ours), canonical(line.substr(text, semi - text))) << line;
        if (ours != "---") {
            ASSERT_EQ(assembler.assemble(u16(address), ours, true), length) << ours;
            EXPECT_EQ(std::memcmp(back->ram + address, m->ram + address, size_t(length)), 0) << ours;
        }
        address += length;
    }
    EXPECT_EQ(address, 0x10000);
}

// Random straight-line programs of documented opcodes, run here and by sim65; each ends by storing A, X, Y, P
// and SP, and all memory is compared after each batch.
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
        m->ram[0xFFFC] = 0x00, m->ram[0xFFFD] = 0x02;
        std::memcpy(m->vic, m->ram + 0xD000, sizeof m->vic);  // so the register window acts as RAM
        Bytes image(m->ram, m->ram + 65536);
        cpu.pc = 0x0200;
        // Lines assembled at pc into both memories, and run here when `execute`.
        auto put = [&](const std::string& lines, bool execute) {
            std::istringstream in(lines);
            for (std::string line; std::getline(in, line, ';');) {
                const int n = cpu.assemble(cpu.pc, line, true);
                std::memcpy(image.data() + cpu.pc, m->ram + cpu.pc, size_t(n));
                execute ? cpu.step() : void(cpu.pc = u16(cpu.pc + n));
            }
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
        put("LDX #$FF;TXS;LDA #0;PHA;PLP;LDA #" + std::to_string(rng() % 256) + ";LDX #" + std::to_string(rng() % 256), true);
        for (int n = 0; n < 200 && cpu.pc < 0x1F00; n++, programs++) {
            for (int count = 1 + int(rng() % 30); count > 0; count--) {
                u8 code[3];
                int t;
                do {
                    code[0] = pool[rng() % pool.size()], code[1] = u8(rng()), code[2] = u8(rng());
                    t = target(CPU6502::ops[code[0]].mode, code[1], code[2]);
                } while ((code[0] == 0x28 && (m->ram[0x100 + u8(cpu.sp + 1)] & CPU6502::FlagD)) ||  // binary mode only
                         t < 0 || (t >= 0x0200 && t < 0x2500) || t > 0xFFFF);
                std::memcpy(m->ram + cpu.pc, code, 3);
                std::memcpy(image.data() + cpu.pc, code, 3);
                cpu.step();
            }
            char stores[80];
            const int at = 0x2000 + n * 5;
            std::snprintf(stores, sizeof stores, "STA $%04X;STX $%04X;STY $%04X;PHP;PLA;STA $%04X;TSX;STX $%04X", at, at + 1,
                          at + 2, at + 3, at + 4);
            put(stores, true);
        }
        // Dump $0000-$7FFF and $8000-$FFFF through sim65's write call, then exit.
        put("LDX #$FF;TXS;LDA #$00;STA $00;STA $2400;STA $2401;STA $2403;LDA #$24;STA $01;LDA #1;STA $2402;"
            "LDA #0;LDX #$80;JSR $FFF7;LDA #$00;STA $00;LDA #$24;STA $01;LDA #$80;STA $2401;LDA #0;LDX #$80;"
            "JSR $FFF7;LDA #0;JMP $FFF9",
            false);
        const char header[] = "sim65\2\0\0\0\0\0\2";  // version 2, 6502, load $0000, start $0200
        Bytes file(image.begin(), image.begin() + 0xFFF0);
        file.insert(file.begin(), header, header + 12);
        ASSERT_TRUE(Platform::writeFile((dir.path / "p.bin").string(), file));
        const std::string out = commandOutput("sim65 " + (dir.path / "p.bin").string());
        ASSERT_EQ(out.size(), 65536u) << "batch " << batch;
        for (int addr : {0x0000, 0x0001, 0x01FE, 0x01FF, 0x2400, 0x2401, 0x2402, 0x2403}) m->ram[addr] = u8(out[addr]);
        int same = 0;
        while (same < 65536 && cpu.rd(u16(same)) == u8(out[size_t(same)])) same++;
        EXPECT_EQ(same, 65536) << "batch " << batch << ": the first address that differs";
    }
    EXPECT_GT(programs, 3000);
}
// Sources in this assembler's syntax; each is also assembled by ca65 + ld65.
struct PeerCase { const char* name; int origin; const char* source; };
const PeerCase kPeerCases[] = {
    {"labels", 0xC000, R"(; labels both ways, zero page or absolute
*=$C000
start   LDX #$00
loop    LDA table,X
        STA $05,X
        CPX #count
        BNE loop
        BEQ done
        JMP (vector)
        LDA (ptr),Y
        STA (ptr,X)
        STX zpv,Y
        LDY later
        LDA $0005
        JSR sub
done    RTS
sub:    ASL
        BCC *+4
        NOP
        BNE *-3
        RTS
ptr = $FB
vector  .WORD start, done
table   .BYTE 1,2,3,$FF,%1010
later   = $20
count = 4
zpv = $10
)"},
    {"bytes", 0x1000, R"(*= $1000
        LDA #<msg
        LDX #>msg
        LDY #>msg+$100
        LDA #'Q'
here    LDA here+2
        STA *+4
        .BYTE <msg, >msg, <end+1, >end+1
        .data 'a', 'Z', 10+5-3
        .WORD *, here-1, $FFFF, , fwd
        .WORDHL $1234, msg
msg     .TEXT "Hi; there"
end     .text "x"
fwd     .byte 0
)"},
    {"lower", 0x2000, "*=\xC2\xA4" "2000\n\tlda #\xC2\xA4" "10\nbase = $3000\noff = base+$10\n"
                      "\tsta off\n\tsta off,x\n\tldy base-1,X\n\tlda count2 ; later\ncount2 = 7\n"
                      "lbl_1:  rts\n\tbvc lbl_1\n"},
    // A quoted character keeps its blank and case, and a ";" or "," in quotes is that character.
    {"quotes", 0x3000, "*=$3000\n LDA #' '\n CMP #'a'\n cpx # 'z'+1\n LDA #';' ; a comment\n .BYTE ' ', 'a', ',', ';'\n"},
};

// A source in this assembler's syntax as ca65 reads it.
std::string toCa65(const std::string& source) {
    return replaceAll(source, {
        {std::regex("\xC2\xA4"), "$"},
        {std::regex("^\\*\\s*=", std::regex::multiline), ".org "},
        {std::regex("^([A-Za-z_]\\w*):?(?=\\s|$)(?!\\s*=)", std::regex::multiline), "$1:"},
        {std::regex("\\.(text|data)", std::regex::icase), ".byte"},
        {std::regex("\\.wordhl", std::regex::icase), ".dbyt"},
        {std::regex("([#,]\\s*|\\.byte\\s+)([<>])([^,;\\s]+)", std::regex::icase), "$1$2($3)"},
        {std::regex(",\\s*,"), ","},
    });
}

// What ca65 + ld65 make of a source: its bytes, or "line N" for its first error.
std::string ca65Result(const std::string& source) {
    TempDir dir;
    const std::string d = dir.path.string() + "/";
    writeText(d + "flat.cfg", "MEMORY { M: start = 0, size = $10000, file = %O; }\nSEGMENTS { CODE: load = M, type = rw; }\n");
    writeText(d + "in.s", toCa65(source));
    const std::string out = commandOutput("cd " + d + " && { ca65 -t none in.s -o in.o && ld65 -C flat.cfg -o out.bin in.o; } "
                                          ">said 2>&1 && echo OK && cat out.bin || cat said");
    std::smatch line;
    if (out.compare(0, 3, "OK\n") == 0) return out.substr(3);
    return std::regex_search(out, line, std::regex("in\\.s\\((\\d+)\\): Error")) ? "line " + line[1].str() : "refused: " + out;
}

TEST(AssemblerPeer, SameBytesAsCa65) {
    for (const PeerCase& c : kPeerCases) {
        auto m = std::make_unique<Machine>();
        Assembler as(*m);
        ASSERT_TRUE(as.assemble(c.source)) << c.name << ": " << as.messages[0].text;
        const std::string peer = ca65Result(c.source);
        EXPECT_EQ(Bytes(m->ram + c.origin, m->ram + as.finalAddr), Bytes(peer.begin(), peer.end())) << c.name << "\n" << peer;
    }
}

// The same source through acme: its bytes from the lowest address written, or "line N" for its first error.
std::string acmeResult(const std::string& source) {
    TempDir dir;
    const std::string d = dir.path.string() + "/";
    writeText(d + "in.a", replaceAll(source, {
        {std::regex("\\.(byte|data|text)", std::regex::icase), "!byte"},
        {std::regex("\\.wordhl", std::regex::icase), "!be16"},
        {std::regex("\\.word", std::regex::icase), "!word"},
    }));
    const std::string out = commandOutput("cd " + d + " && acme -f plain -o out.bin in.a >said 2>&1 && echo OK && cat out.bin || cat said");
    std::smatch line;
    if (out.compare(0, 3, "OK\n") == 0) return out.substr(3);
    return std::regex_search(out, line, std::regex("line (\\d+)")) ? "line " + line[1].str() : "refused: " + out;
}

// Values past a field and ")" as a character constant: this assembler, ca65 and (unless a row says ca65 only,
// where acme wraps at $10000) acme agree on the bytes or refuse the same line.
TEST(AssemblerPeer, RefusesAndAcceptsLikeCa65AndAcme) {
    struct Case { const char* source; const char* expected; bool ca65Only = false; };
    const Case kCases[] = {
        {"START=$C000\n LDA START+$4000", "line 2"},
        {" JMP $12345", "line 1"},
        {" .WORD 70000", "line 1"},
        {" .WORDHL 1, $10000", "line 1"},
        {" LDA $10005,X", "line 1"},
        {" LDA ($10005),Y", "line 1"},
        {" STA ($10005,X)", "line 1"},
        {" JMP ($10000)", "line 1"},
        {" LDA #$10005", "line 1"},
        {" .BYTE $10005", "line 1"},
        {" LDA 0-$9000", "line 1"},
        {" .WORD 0-$9000", "line 1"},
        {"*=$1000\n BNE $10000", "line 2"},
        {"*=$FFFD\n JMP $1234\nEND\n*=$1000\n JMP END", "line 5", true},
        {"*=$1000\n JMP END\n*=$FFFD\n JMP $1234\nEND", "line 2", true},
        {"*=$1000\n LDA #<END\n .WORD END-1\n LDA #>END-1\n*=$FFFF\n NOP\nEND", "A9 00 FF FF A9 FF", true},
        {"*=$C000\n LDA #<$12345\n LDA #>$12345\n .BYTE <70000, >70000\n .WORD $FFFF+1-1\nSTART=$C000\n LDX START+$3FFF",
         "A9 45 A9 23 70 11 FF FF AE FF FF"},
        {"*=$C000\n STA (')',X)\n JMP (AB2+')')\n LDA (')'),Y\n STA (',',X)\n LDA (')'+1,X)\nAB2 = $1000",
         "81 29 6C 29 10 B1 29 81 2C A1 2A"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.source);
        auto m = std::make_unique<Machine>();
        Assembler as(*m);
        // Bytes from the code start, as many as expected: a peer may write more after them.
        const std::string expected = c.expected;
        const size_t count = expected.compare(0, 5, "line ") == 0 ? 0 : (expected.size() + 1) / 3;
        auto asHex = [count](const u8* bytes, size_t size) {
            std::string hex;
            for (size_t i = 0; i < std::min(count, size); ++i) hex += (hex.empty() ? "" : " ") + hexByte(bytes[i]);
            return hex;
        };
        auto peerHex = [&](const std::string& peer) {
            return peer.compare(0, 5, "line ") == 0 || peer.compare(0, 8, "refused:") == 0
                       ? peer : asHex(reinterpret_cast<const u8*>(peer.data()), peer.size());
        };
        const bool ok = as.assemble(c.source);
        const int start = std::max(as.codeStart, 0);
        EXPECT_EQ(!ok ? "line " + std::to_string(as.messages.at(0).line)
                      : count ? asHex(m->ram + start, size_t(0x10000 - start)) : "compiled", expected);
        EXPECT_EQ(peerHex(ca65Result(c.source)), expected) << "ca65";
        if (!c.ca65Only) {
            EXPECT_EQ(peerHex(acmeResult(c.source)), expected) << "acme";
        }
    }
}
// Every message of a compile, as "line:text|...".
TEST(Assembler, Messages) {
    const std::pair<const char*, const char*> kCases[] = {
        {"; Vorlix assembler\n*=$C000\n\nstart   LDA #$00\n        STA $D020\n        RTS\n",
         "0:Compiled OK!|0:Code start address: $C000|0:Final address: $C006"},
        {"", "0:Compiled OK!|0:No code start|0:Final address: $C000"},
        {"*=$1000\n.byte 1\n\tNOP", "0:Compiled OK!|0:Code start address: $1001|0:Final address: $1002"},
        {"LDA #300", "1:Immediate value out of range|0:Compile failed!"},
        {"LDA #256", "1:Immediate value out of range|0:Compile failed!"},
        {" .BYTE 1,300", "1:Byte value out of range: 300|0:Compile failed!"},
        {"a\nA: nop", "2:Duplicate label: A|0:Compile failed!"}, {"x=1\nx = 2", "2:Duplicate variable: X|0:Compile failed!"},
        {"v = later+1\nlater=2", "1:Variable uses an unknown symbol: V|0:Compile failed!"},
        {"v = 1+\nw=-1", "1:Bad value for V|2:Bad value for W|0:Compile failed!"},
        {"*$C000\n* = nowhere\n*=1+", "1:Syntax error|2:Bad address|3:Bad address|0:Compile failed!"},
        {"1abc\nab-c nop\nlbl FOO", "1:Syntax error|2:Bad label: AB-C|3:Unknown mnemonic: FOO|0:Compile failed!"},
        {"LDA ($12\n lda #1+\n lda #$1G", "1:Missing )|2:Bad value: 1+|3:Bad value: $1G|0:Compile failed!"},
        {" lda nowhere ; never defined", "1:Unknown symbol or bad value: NOWHERE|0:Compile failed!"},
        {".text \"abc\n.BYTE\n.byte 1,,x+\n.foo 1",
         "1:Syntax error in .text|2:Missing data|3:Bad value: x+|4:Unknown directive .foo|0:Compile failed!"},
        {" LDA ($1234),Y\n STX $1234,Y", "1:Bad zero page address:  LDA ($1234),Y|"
                                         "2:Illegal addressing mode:  STX $1234,Y|0:Compile failed!"},
        {" LDA (far),Y\n BNE far ; too far\n*=$D000\nfar RTS",
         "1:Bad zero page address:  LDA (far),Y|2:Branch out of range:  BNE far ; too far|0:Compile failed!"},
        {" JMP $12345\n .WORD 1, 70000\n .WORDHL 0-$8001\n*=$10000\n LDA #$100FF",
         "1:Address out of range:  JMP $12345|2:Word value out of range: 70000|3:Word value out of range: 0-$8001|"
         "4:Bad address|5:Immediate value out of range|0:Compile failed!"},
        {"*=$FFFF\n NOP\nEND\n*=$1000\n JMP END\n LDA END,X ; one past\n LDA #<END", "5:Address out of range:  JMP END|"
         "6:Address out of range:  LDA END,X ; one past|0:Compile failed!"},
    };
    for (const auto& [source, expected] : kCases) {
        auto m = std::make_unique<Machine>();
        Assembler as(*m);
        as.assemble(source);
        std::string got;
        for (const Assembler::Message& msg : as.messages)
            got += (got.empty() ? "" : "|") + std::to_string(msg.line) + ":" + msg.text;
        EXPECT_EQ(got, expected) << source;
    }
}

// Where the bytes land around a failed line and at the end of memory: the four bytes at an address
// (EE untouched, wrapping past $FFFF) and the messages.
TEST(Assembler, PlacesAndEndOfMemory) {
    const std::tuple<const char*, u16, const char*, const char*> kCases[] = {
        {"*=$2000\n BNE far\n .TEXT \"AB\"\nnext LDA #<next\n*=$3000\nfar RTS", 0x2000, "EE EE 41 42",
         "2:Branch out of range:  BNE far|0:Compile failed!"},
        {"*=$2000\n .BYTE 1, later\n LDA #<next\nnext\n*=$3000\nlater = 300", 0x2002, "A9 04 EE EE",
         "2:Byte value out of range: later|0:Compile failed!"},
        {"*= $FFFC\nSTART LDA #$01\n STA $D020\n JMP START", 0xFFFE, "EE EE EE EE",
         "3:Runs past $FFFF:  STA $D020|4:Runs past $FFFF:  JMP START|0:Compile failed!"},
        {"*=$FFFD\n JMP $1234", 0xFFFD, "4C 34 12 EE", "0:Compiled OK!|0:Code start address: $FFFD|0:Final address: $10000"},
        {"*=$FFFD\n JMP $1234\n NOP", 0xFFFD, "EE EE EE EE", "3:Runs past $FFFF:  NOP|0:Compile failed!"},
        {"*=$FFFE\n .BYTE 1,2,3\n*=$FFFF\n .TEXT \"AB\"\n*=$FFFF\n .WORD 1", 0xFFFE, "EE EE EE EE",
         "2:Runs past $FFFF:  .BYTE 1,2,3|4:Runs past $FFFF:  .TEXT \"AB\"|6:Runs past $FFFF:  .WORD 1|0:Compile failed!"},
        {"*=$FFFF\n .BYTE 7\n*=$1000\n NOP", 0xFFFF, "07 EE EE EE",
         "0:Compiled OK!|0:Code start address: $1000|0:Final address: $1001"},
        // Negative values that fit sixteen bits stand for their two's complement.
        {"*=0-16\n .WORD 0-1, 0-$8000\n JMP 0-1", 0xFFF0, "FF FF 00 80",
         "0:Compiled OK!|0:Code start address: $FFF4|0:Final address: $FFF7"},
    };
    for (const auto& [source, address, bytes, expected] : kCases) {
        auto m = std::make_unique<Machine>();
        std::memset(m->ram, 0xEE, sizeof m->ram);
        Assembler as(*m);
        as.assemble(source);
        std::string got;
        for (const Assembler::Message& msg : as.messages)
            got += (got.empty() ? "" : "|") + std::to_string(msg.line) + ":" + msg.text;
        char hex[12];
        std::snprintf(hex, sizeof hex, "%02X %02X %02X %02X", m->ram[address], m->ram[u16(address + 1)],
                      m->ram[u16(address + 2)], m->ram[u16(address + 3)]);
        EXPECT_EQ(got, expected) << source;
        EXPECT_EQ(std::string(hex), bytes) << source;
    }
}

// A monitor with a D64 image on device 8, an empty drive 9, a host directory
// on device 10, and host files (device 6) answered through the callbacks.
struct MonitorTest : ::testing::Test {
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    CPU6502 cpu{*m};
    UndoBuffer u{*m};
    Monitor mon{*m, cpu};
    TempDir tmp{"vorlix-monitor"};
    DiskDrive drives[3];
    std::string asked;
    Bytes saved;

    MonitorTest() {
        mon.undo = &u;
        writeBytes(tmp.path / "disk.d64", DiskDrive::blankD64("MONITOR", "MO"));
        std::filesystem::create_directory(tmp.path / "dir");
        drives[0].mountD64((tmp.path / "disk.d64").string());
        drives[2].mountDirectory((tmp.path / "dir").string());
        mon.getDrive = [this](int d) { return d >= 8 && d <= 10 ? &drives[d - 8] : nullptr; };
        mon.hostLoad = [this](const std::string& n) { asked = n; };
        mon.hostSave = [this](const std::string& n, const Bytes& b) { asked = n, saved = b; };
    }
    void run(const std::string& command) { mon.clear(), mon.print(command), mon.enter(); }
    // The rows down to the last one holding something, blanks cut at the right, joined by "|".
    std::string shown() const {
        std::string all;
        for (int r = 0; r < 25; ++r) all += (r ? "|" : "") + mon.rowText(r).substr(0, mon.rowText(r).find_last_not_of(' ') + 1);
        return all.erase(all.find_last_not_of('|') + 1);
    }
    void preset() {
        std::fill(m->ram, m->ram + 65536, 0);
        for (int i = 0; i < 256; ++i) m->ram[0x1000 + i] = u8(i);
        m->ram[0xC000] = 1, m->ram[0xC001] = 2, m->ram[0xFFFE] = 0x4C;
    }
};

// Every command: what follows it on the screen, the bytes at an address and the undo step taken.
TEST_F(MonitorTest, Commands) {
    for (int d : {0, 2}) drives[d].writeFile("EMPTY", Bytes{0x00, 0x30});  // a load address and nothing else
    // $0400 bytes at $FF00, written by cc1541 while the image is mounted: they fit only relocated.
    Bytes hi{0x00, 0xFF};
    for (int i = 0; i < 0x400; i++) hi.push_back(u8(i * 3 + 7));
    writeBytes(tmp.path / "hi.prg", hi);
    // Names the drives take though they hold ".." or ":", and 8 KB saved at $2000.
    Bytes big{0x00, 0x20};
    for (int i = 0; i < 0x2000; i++) big.push_back(u8(i * 5 + 1));
    writeBytes(tmp.path / "big.prg", big);
    writeBytes(tmp.path / "three.prg", {0x00, 0x30, 4, 5, 6});
    ASSERT_EQ(std::system(("cd " + tmp.path.string() + " && cc1541 -f hi -w hi.prg -f big -w big.prg -f a..b -w three.prg "
                           "-f a:b -w three.prg disk.d64 >/dev/null").c_str()), 0);
    for (const char* name : {"BIG", "PIC..V2", "ABCDEFGHIJKLMNOPQR"})
        std::filesystem::copy_file(tmp.path / (name == std::string("BIG") ? "big.prg" : "three.prg"),
                                   tmp.path / "dir" / (name + std::string(".prg")));
    const Bytes none{0xEE}, prg{0x00, 0x20, 7, 8, 9};  // none: the host load is cancelled
    struct Case {
        std::string command, screen;
        int address = 0;
        std::vector<u8> bytes = {};
        std::string undo = "";
        Bytes host = {};
    };
    const std::string mem = "|.:C000 01 02 00 00 00 00 00 00 AB@@@@@@", searching = "|SEARCHING FOR PIC|";
    std::vector<Case> cases = {
        {". ANYTHING", "|."}, {"HELLO", "?|."}, {".Q", "?|."}, {".:C000", "|."}, {".:", "?|."}, {".,", "?|."},
        {".:C000 01 02", mem.substr(1) + "|.:C008", 0xC000, {1, 2, 0}, "monitor bytes"},
        {".:C000 05 1 ZZ 4", ".:C000 05 01 00 00 00 00 00 00 EA@@@@@@|.:C008", 0xC000, {5, 1, 0}, "monitor bytes"},
        {".:C000 0506", ".:C000 05 06 00 00 00 00 00 00 EF@@@@@@|.:C008", 0xC000, {5, 6, 0}, "monitor bytes"},
        {".:C000 05 0607", ".:C000 05 06 07 00 00 00 00 00 EFG@@@@@|.:C008", 0xC000, {5, 6, 7, 0}, "monitor bytes"},
        {".:FFFC 01 02 03 04 05 06 07 08", ".:FFFC 01 02 03 04 05 06 07 08 ABCDEFGH|.:0004", 0, {5, 6, 7, 8},
         "monitor bytes"},
        {".,C000 HELLO", "|.,C020", 0xC000, {8, 5, 12, 12, 15, 32}, "monitor text"},
        {".F C000 C000 00", "|0000 BYTES FILLED|.", 0xC000, {1}}, {".F C001 C000 55", "", 0xC000, {1, 2}},
        {".FC000 C003 55", "|0003 BYTES FILLED|.", 0xBFFF, {0, 0x55, 0x55, 0x55, 0}, "monitor fill"},
        {".C 0000 0100 FFF0", "|0010 BYTES COPIED|.", 0xFFF0, {0, 0}, "monitor copy"}, {".F C000 C003", ""},
        {".C 1000 1100 1080", "|0100 BYTES COPIED|.", 0x107F, {0x7F, 0, 1, 2}, "monitor copy"},
        {".M C000", mem}, {".M", ""}, {".J", ""}, {".D", ""}, {".G", ""}, {".G C000", "|."}, {".A", ""},
        {".D C000", "|.>C000 01 02     ORA ($02,X)"}, {".A C000 LDA #$1G", "?|.", 0xC000, {1}}, {".>", "?|."},
        {".A C000 LDA #$07", ".AC000 A9 07     LDA #$07|.AC002", 0xC000, {0xA9, 7}, "monitor assemble"},
        {".A FFFF JMP $1234", ".AFFFF 4C 34 12  JMP $1234|.A0002", 0, {0x34, 0x12}, "monitor assemble"},
        {".>C000 A9 07 ADC #1", ".>C000 A9 07     LDA #$07|.>C002", 0xC000, {0xA9, 7, 0}, "monitor code bytes"},
        {".>C003 8D 20 D0", ".>C003 8D 20 D0  STA $D020|.>C006", 0xC003, {0x8D, 0x20, 0xD0}, "monitor code bytes"},
        {".>FFF0 D0 7F", ".>FFF0 D0 7F     BNE $0071|.>FFF2", 0xFFF0, {0xD0, 0x7F}, "monitor code bytes"},
        {".>C000 02", ".>C000 02        ---|.>C001", 0xC000, {2}, "monitor code bytes"},
        {".>C000 0A", ".>C000 0A        ASL|.>C001", 0xC000, {0xA}, "monitor code bytes"},
        // Code bytes may run together in pairs; an odd run of three or more is the instruction text.
        {".>C000 A901", ".>C000 A9 01     LDA #$01|.>C002", 0xC000, {0xA9, 1, 0}, "monitor code bytes"},
        {".>C000 A9 0102", ".>C000 A9 01     LDA #$01|.>C002", 0xC000, {0xA9, 1, 2}, "monitor code bytes"},
        {".>C000 8D20D0EA", ".>C000 8D 20 D0  STA $D020|.>C003", 0xC000, {0x8D, 0x20, 0xD0, 0}, "monitor code bytes"},
        {".>C000 A9 7", ".>C000 A9 07     LDA #$07|.>C002", 0xC000, {0xA9, 7, 0}, "monitor code bytes"},
        {".>C000 EA ADC #1", ".>C000 EA        NOP|.>C001", 0xC000, {0xEA, 2}, "monitor code bytes"},
        {".>C000 ADC #1", "|."}, {".>C000 A9#1", "|."},
        // Host files (device 6), a D64 image (8), an empty drive (9), a directory (10).
        {".L\"PIC\",6,FFFF", searching + "$0001 BYTES READ FROM $FFFF TO $10000|.", 0xFFFF, {7}, "monitor load", prg},
        {".L\"PIC\",6", searching + "$0000 BYTES READ FROM $2000 TO $2000|.", 0, {}, "", {0x00, 0x20}},
        {".L\"PIC\",6", searching + "FILE ERROR|.", 0, {}, "", {0x00}},
        {".L\"PIC\",6", searching + "FILE NOT FOUND ERROR|.", 0, {}, "", none},
        {".S\"PIC\",6,C000,C002", "|SAVING PIC|$0002 BYTES SAVED|."}, {".S\"PIC\",6,C000,C000", "?|."},
        {".S\"PIC\",6,C000", "?|."}, {".L\"PIC\",0", "?|."}, {".L\"../PIC\",10", "?|."}, {".L\"PIC\",4294967304", "?|."},
        {".L\"PIC\",7", "|DEVICE NOT PRESENT ERROR|."}, {".L\"PIC\",9", "|DEVICE NOT PRESENT ERROR|."},
        {".S\"PIC\",9,C000,C002", "|DEVICE NOT PRESENT ERROR|."},
        {".L \"PIC\" , 9 , C000 , C100   ", ".L \"PIC\" , 9 , C000 , C100|DEVICE NOT PRESENT ERROR|."},
        {".S\"@:PIC\",6,1000,2000,X", "|SAVING @:PIC|FILE ERROR|."},
        {".L\"@:ABCDEFGHIJKLMNOP\",8", "|ERROR: FILE NOT FOUND|."},
        {".L\"HI\",8,1000", "|$0400 BYTES READ FROM $1000 TO $1400|.", 0x1000, {7, 10, 13}, "monitor load"},
        // What lands ends at the end of memory or at TO, on every kind of drive.
        {".L\"HI\",8", "|$0100 BYTES READ FROM $FF00 TO $10000|.", 0xFF00, {7, 10, 13}, "monitor load"},
        {".L\"A..B\",8", "|$0003 BYTES READ FROM $3000 TO $3003|.", 0x3000, {4, 5, 6}, "monitor load"},
        {".L\"A:B\",8", "|$0003 BYTES READ FROM $3000 TO $3003|.", 0x3000, {4, 5, 6}, "monitor load"},
        {".L\"PIC..V2\",10", "|$0003 BYTES READ FROM $3000 TO $3003|.", 0x3000, {4, 5, 6}, "monitor load"},
        {".L\"ABCDEFGHIJKLMNOPQR\",10", "|$0003 BYTES READ FROM $3000 TO $3003|.", 0x3000, {4, 5, 6}, "monitor load"},
        {".L\"ABCDEFGHIJKLMNOPQ\",8", "?|."}, {".L\"A/B\",10", "?|."}, {".L\"A/B\",8", "|ERROR: FILE NOT FOUND|."},
        // A save name of more than 16 characters goes to a D64 cut to 16.
        {".S\"ABCDEFGHIJKLMNOPQ\",8,1000,1010", "|$0010 BYTES SAVED FROM $1000 TO $1010|."},
        {".L\"ABCDEFGHIJKLMNOP\",8,2000", "|$0010 BYTES READ FROM $2000 TO $2010|.", 0x2000, {0, 1, 2}, "monitor load"},
    };
    for (std::string d : {"8", "10"})
        cases.push_back({".L\"BIG\"," + d + ",F000,F100", "|$0100 BYTES READ FROM $F000 TO $F100|.", 0xF000, {1, 6, 11},
                         "monitor load"});
    // Lines the file command parser refuses.
    for (const char* bad : {".L\"PIC\",", ".L\"PIC\",X", ".L\"PIC\",99999999999", ".L\"PIC\",8,C0000", ".L\"PIC\",8,1000,XYZ",
                            ".L\"PIC\"8", ".L\"PIC\"", ".L\"PIC", ".L PIC,8", ".L", ".L\"\",8", ".L\"@:\",8", ".L\"..\",10"})
        cases.push_back({bad, "?|."});
    for (std::string d : {"8", "10"}) {
        cases.push_back({".S\"PIC\"," + d + ",C000,C003", "|$0003 BYTES SAVED FROM $C000 TO $C003|."});
        cases.push_back({".L\"PIC\"," + d, "|$0003 BYTES READ FROM $C000 TO $C003|.", 0xC000, {1, 2, 0}, "monitor load"});
        cases.push_back({".L\"PIC\"," + d + ",2000,2002", "|$0002 BYTES READ FROM $2000 TO $2002|.", 0x2000, {1, 2, 0},
                         "monitor load"});
        cases.push_back({".L\"EMPTY\"," + d, "|$0000 BYTES READ FROM $3000 TO $3000|."});
        cases.push_back({".L\"NOPE\"," + d, "|ERROR: FILE NOT FOUND|."});
    }
    cases.push_back({".S\"PIC\",10,C000,C003", "|ERROR: FILE ALREADY EXISTS|."});
    cases.push_back({".L\"PIC\",8,,C001", "|$0001 BYTES READ FROM $C000 TO $C001|.", 0, {}, "monitor load"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        preset();
        const Bytes before(m->ram, m->ram + 65536);
        u.Clear();
        asked.clear();
        run(c.command);
        if (!asked.empty() && c.command[1] == 'L') mon.hostLoadDone(c.host == none ? nullptr : &c.host);
        if (!asked.empty() && c.command[1] == 'S') mon.hostSaveDone(saved == Bytes{0x00, 0xC0, 1, 2}, 2);
        // A whole screen where the command row is rewritten, else what follows the command.
        EXPECT_EQ(shown(), c.screen[0] == '.' ? c.screen : c.command + c.screen);
        EXPECT_TRUE(std::equal(c.bytes.begin(), c.bytes.end(), m->ram + c.address));
        EXPECT_EQ(u.undoName(), c.undo);
        u.MakeUndo();
        EXPECT_TRUE(std::equal(before.begin(), before.end(), m->ram));
    }
    // Past $FFFF the bytes wrapped to $0000, never into the character ROM behind the RAM.
    EXPECT_EQ(m->charRom[0], 0);
}

// A load reads the load address and what lands in memory, up to its end or TO, and no more of a big host file.
TEST_F(MonitorTest, LoadReadsOnlyWhatLands) {
    if (bytesRead() < 0) GTEST_SKIP() << "no read counts on this host";
    Bytes huge(4 << 20, 0x5A);
    huge[0] = 0x01, huge[1] = 0x08;
    writeBytes(tmp.path / "dir" / "HUGE.prg", huge);
    drives[2].rescanDirectory();
    const std::tuple<const char*, const char*, long long> cases[] = {
        {".L\"HUGE\",10", "$F7FF BYTES READ FROM $0801 TO $10000", 0x10000},
        {".L\"HUGE\",10,1000,1100", "$0100 BYTES READ FROM $1000 TO $1100", 0x1000},
        {".L\"HUGE\",10,,C000", "$B7FF BYTES READ FROM $0801 TO $C000", 0xC000},
    };
    for (const auto& [command, report, most] : cases) {
        SCOPED_TRACE(command);
        const long long before = bytesRead();
        run(command);
        EXPECT_LE(bytesRead() - before, most);
        EXPECT_EQ(mon.rowText(1).substr(0, std::strlen(report)), report);
        EXPECT_EQ(m->ram[0xBFFF], 0x5A);
    }
}

// Listings: the command prints the first line, each tick one more, until the end or the wrap.
TEST_F(MonitorTest, Listings) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {".M C000 C008", ".:C000"}, {".M C000 C010", ".:C000.:C008.:C010"}, {".M FFF8 -", ".:FFF8"},
        {".M FFF0 -", ".:FFF0.:FFF8"}, {".J FFC0 -", ".,FFC0.,FFE0"}, {".M C010 C000", ".:C010"},
        {".D FFFC -", ".>FFFC.>FFFD.>FFFE"},
    };
    for (const auto& [command, lines] : cases) {
        preset();
        run(command);
        for (int i = 0; i < 100 && mon.listing; ++i) mon.tick();
        std::string got = mon.listing ? "still listing" : "";
        for (int r = 1; r <= mon.row; ++r) got += mon.rowText(r).substr(0, 6);
        EXPECT_EQ(got, lines) << command;
    }
    m->ram[0x0003] = 1;
    run(".J FFF0");
    EXPECT_EQ(mon.rowText(1)[7 + 19], 'A');  // $0003, read with the wrap
    // Any key, Return included, only stops a running listing.
    for (int k = 0; k <= 9; ++k) {
        run(".M 0000 FFFF");
        std::string before = shown();
        k ? mon.editKey(EditKey(k), false) : mon.typeChar(1);
        EXPECT_EQ(shown() + (mon.listing ? "listing" : ""), before);
    }
    // Up on the top row and Down on the bottom row continue the last listing.
    const std::vector<std::tuple<std::string, std::string, bool, std::string>> edges = {
        {".M 3000", ".:C008 00", true, ".:C000"}, {".M 3000", ".:0000", true, ".:FFF8"},
        {".M 3000", ".:", true, ".:2FF8"},         {".M 3000", "HELLO", true, ".:2FF8"},
        {".J 3000", ".,0010", true, ".,FFF0"},     {".D C000", ".>C001", true, ".>C000"},
        {".M 3000", ".:FFF8", false, ".:0000"},    {".D C000", ".>FFFE", false, ".>0001"},
        {".J 3000", ".,FFF0", false, ".,0010"},     {".D 1000", ".>1010", true, ".>100D"},
        {".D 1000", ".>1007", true, ".>1005"},
    };
    preset();
    for (const auto& [listing, edge, up, line] : edges) {
        run(listing);
        mon.clear();
        mon.row = up ? 0 : 24;
        mon.print(edge);
        mon.editKey(up ? EditKey::Up : EditKey::Down, false);
        EXPECT_EQ(mon.rowText(mon.row).substr(0, 6) + std::to_string(mon.col), line + "7") << edge;
    }
}

// Commands as typed after the prompt's ".", and Return on a line already on the screen: a
// command typed over a listed line runs, and a listed line's bytes are edited in place.
TEST_F(MonitorTest, ReturnRunsTheLineUnderTheCursor) {
    const struct {
        std::string line;  // on the screen before typing, the cursor at col
        int col;
        std::string typed, after;  // rows 0 and 1 afterwards, joined by "|"
    } cases[] = {
        {".", 1, "M C000", ".M C000|.:C000 01 02 00 00 00 00 00 00 AB@@@@@@"},
        {".", 1, "m c000", ".M C000|.:C000 01 02 00 00 00 00 00 00 AB@@@@@@"},
        {".", 1, "D C000", ".D C000|.>C000 01 02     ORA ($02,X)"},
        {".", 1, ".M C000", "..M C000?|."},
        {".", 1, "?", "VORLIX - MONITOR HELP|"},
        {".:C000 01 02 00 00 00 00 00 00 AB@@@@@@", 11, "7", ".:C000 01 07 00 00 00 00 00 00 AG@@@@@@|.:C008"},
        {".:C000 01 02 00 00 00 00 00 00 AB@@@@@@", 1, "M 1008",
         ".M 100801 02 00 00 00 00 00 00 AB@@@@@@|.:1008 08 09 0A 0B 0C 0D 0E 0F HIJKLMNO"},
    };
    for (const auto& c : cases) {
        preset();
        mon.clear();
        mon.print(c.line);
        mon.col = c.col;
        for (char ch : c.typed) mon.typeChar(u8(CharToUpperScreenCode(u8(ch))));
        mon.editKey(EditKey::Return, false);
        std::string got;
        for (int r = 0; r < 2; ++r) got += (r ? "|" : "") + mon.rowText(r).substr(0, mon.rowText(r).find_last_not_of(' ') + 1);
        EXPECT_EQ(got, c.after) << c.line << " + " << c.typed;
    }
    EXPECT_EQ(m->ram[0xC001], 2) << "the last case ran a command, it did not write the line's bytes";
}

TEST_F(MonitorTest, EditingKeysAndScrolling) {
    using K = EditKey;
    // Cursor before, key, shift, cursor after (column * 100 + row), screen after ("" unchanged).
    const std::vector<std::tuple<int, K, bool, int, std::string>> cases = {
        {300, K::Insert, false, 300, ".F  C001 C000|KL"}, {300, K::Delete, false, 300, ".F 001 C000|KL"},
        {300, K::Backspace, false, 200, ".FC001 C000|KL"}, {0, K::Backspace, false, 3900, ""},
        {5, K::Backspace, false, 3904, ""},  {0, K::Left, false, 3900, ""},      {3903, K::Right, false, 4, ""},
        {503, K::Up, false, 502, ""},        {503, K::Down, false, 504, ""},     {503, K::Home, false, 0, ""},
        {503, K::Home, true, 0, "-"},        {500, K::Return, false, 1, ""},     {3924, K::Right, false, 24, "KL"},
        {524, K::Down, false, 524, "KL"},
    };
    for (const auto& [at, key, shift, want, screen] : cases) {
        mon.clear();
        mon.print(".F C001 C000\nKL");
        mon.listMode = Monitor::ListMode::Off;
        mon.col = at / 100, mon.row = at % 100;
        mon.editKey(key, shift);
        EXPECT_EQ(shown(), screen == "-" ? "" : screen.empty() ? ".F C001 C000|KL" : screen) << int(key);
        EXPECT_EQ(mon.col * 100 + mon.row, want) << int(key);
    }
    mon.clear();
    mon.row = 24, mon.col = 39;
    mon.typeChar(2);  // the last cell: the screen scrolls
    EXPECT_EQ(shown() + std::to_string(mon.col * 100 + mon.row), std::string(23, '|') + std::string(39, ' ') + "B24");
}

TEST(MonitorInApp, CallbacksReachTheProcessorTheWindowsAndTheFileDialog) {
    TempDir tmp{"vorlix-monitor-app"};
    setenv("APPDATA", tmp.path.c_str(), 1);
    Platform::initWithBasePath("");
    auto app = std::make_unique<App>();
    Monitor& mon = app->monitor;
    auto row = [&](const std::string& command, int r) { return mon.clear(), mon.print(command), mon.enter(), mon.rowText(r); };
    app->showMonitor = true;
    row(".G C123", 0);
    EXPECT_EQ(app->cpu.pc * 100 + app->showProcessor * 10 + app->cpuRunning, 0xC123 * 100 + 10);
    EXPECT_EQ(row(".L\"PIC\",8", 1).substr(0, 24), "DEVICE NOT PRESENT ERROR");
    row(".S\"@:PIC\",6,C000,C010", 0);
    EXPECT_EQ(app->ui.fileDialog.title + " " + app->ui.fileDialog.name, "Monitor save pic.prg");
    row(".L\"PIC\",6", 0);
    EXPECT_EQ(app->ui.fileDialog.title, "Monitor load: PIC");
    writeBytes(tmp.path / "pic.prg", {0x00, 0x20, 7});
    app->ui.fileDialog.onPath((tmp.path / "pic.prg").string());
    EXPECT_EQ(mon.rowText(2).substr(0, 36), "$0001 BYTES READ FROM $2000 TO $2001");
    // The load is an undo step of its own: a processor step cannot merge over it.
    EXPECT_EQ(app->undoBuffer.undoName(), "monitor load");
    // Of a big file only what lands is read: up to TO, or up to the end of memory.
    Bytes big(4 << 20, 0x33);
    big[0] = 0x00, big[1] = 0xC0;
    writeBytes(tmp.path / "big.prg", big);
    for (const auto& [command, report] : {std::pair<const char*, const char*>{".L\"BIG\",6,1000,1010", "$0010 BYTES READ FROM $1000 TO $1010"},
                                          {".L\"BIG\",6", "$4000 BYTES READ FROM $C000 TO $10000"}}) {
        row(command, 0);
        const long long before = bytesRead();
        app->ui.fileDialog.onPath((tmp.path / "big.prg").string());
        EXPECT_LE(bytesRead() - before, 0x4100) << command;
        EXPECT_EQ(mon.rowText(2).substr(0, std::strlen(report)), report);
    }
    row(".X", 0);
    EXPECT_FALSE(app->showMonitor);
    unsetenv("APPDATA");
}


TEST(SourceLine, SpansClampToTheText) {
    const std::vector<std::tuple<std::string, int, int>> cases = {
        {"AB\nCDE\nF", 1, 2}, {"AB\nCDE\nF", 2, 306}, {"AB\nCDE\nF", 3, 708}, {"AB\nCDE\nF", 9, 708},
        {"AB\nCDE\n", 3, 306}, {"AB\n\nX", 2, 303},   {"", 4, 0},
    };
    for (const auto& [text, line, span] : cases)
        EXPECT_EQ(SourceLineSpan(text, line).start * 100 + SourceLineSpan(text, line).end, span) << text << line;
}

}  // namespace
