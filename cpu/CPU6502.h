#pragma once
#include <string>
#include <string_view>

#include "core/Machine.h"
#include "core/Types.h"
#include "cpu/Breakpoints.h"

// An instruction-level NMOS 6502 on the editor's memory: the documented
// opcodes with decimal mode, no cycle timing, no interrupts. An undocumented
// opcode, BRK and an RTS with nothing to return to stop it. The opcode table,
// disassembler and line assembler live here as well.
struct CPU6502 {
    // Status bits.
    enum : u8 {
        FlagC = 0x01,
        FlagZ = 0x02,
        FlagI = 0x04,
        FlagD = 0x08,
        FlagB = 0x10,
        Flag5 = 0x20,
        FlagV = 0x40,
        FlagN = 0x80,
    };

    // Addressing modes; 0 marks an undocumented opcode.
    enum Mode {
        ModeNone = 0,
        ModeAccumulator = 1,
        ModeImmediate = 2,
        ModeZeroPage = 3,
        ModeZeroPageX = 4,
        ModeZeroPageY = 5,
        ModeAbsolute = 6,
        ModeAbsoluteX = 7,
        ModeAbsoluteY = 8,
        ModeImplied = 9,
        ModeRelative = 10,
        ModeIndirectX = 11,
        ModeIndirectY = 12,
        ModeIndirect = 13,
    };

    struct Op {
        const char* mnemonic;  // "---" for an undocumented opcode
        int mode;
    };

    // One row per opcode.
    static const Op ops[256];
    // Instruction length of modes 2-13, indexed by mode.
    static const u8 modeLength[14];
    // Mode for index kind 0 (none), 1 (,X), 2 (,Y).
    static const int zeroPageModes[3];
    static const int absoluteModes[3];

    u16 pc = 0xC000;
    u8 a = 0;
    u8 x = 0;
    u8 y = 0;
    u8 sp = 0xFF;
    u8 p = 0x24;
    bool stopped = false;
    std::string stopReason;
    Breakpoints breakpoints;  // tested by run and the caller, not by step
    Machine& machine;

    explicit CPU6502(Machine& m) : machine(m) {}

    // Registers to their power-on values; pc, the stop and breakpoints stay.
    void reset();

    // The processor's view of memory: $D000-$D02E reach the VIC registers.
    u8 rd(u16 address) const {
        return u16(address + 0x3000) < VicReg::count ? machine.vic[address & 63] : machine.ram[address];
    }
    // The stack is page 1 of RAM.
    void push(u8 v) { machine.ram[0x100 + sp--] = v; }
    void toggleFlag(int bit) { p ^= u8(1 << bit); }

    // Executes the instruction at pc. Looks at neither stopped nor breakpoints.
    void step();
    // Steps up to limit times; ends early after a stop or on reaching a breakpoint
    // (tested after each step, so a run may leave one). Returns the steps taken.
    long run(long limit);

    // Opcode table queries.
    static int instrLength(int mode);
    static bool isMnemonic(std::string_view text);
    static int findOpcode(std::string_view mnemonic, int mode);
    // A mnemonic in either case as a number 1-56 for the queries below; 0 for no mnemonic.
    static int mnemonicId(std::string_view word);
    static int findOpcode(int mnemonicId, int mode);
    // Bit m set when the mnemonic has a row of mode m; 0 for no mnemonic.
    static int modesOf(int mnemonicId);
    static int modesOf(std::string_view mnemonic) { return modesOf(mnemonicId(mnemonic)); }

    // Disassembler; reads plain RAM.
    std::string disassembleInstr(u16 address, int* length = nullptr) const;
    // One listing line "AAAA BB BB BB  TEXT"; advances address past the instruction.
    std::string disassemble(u16& address) const;
    // A guess of where the instruction before address starts; the longest fit wins.
    u16 backStep(u16 address) const;

    // "$" hex, "%" binary or decimal, below $1000000. isWord tells the line
    // assembler to take the absolute form even for a value below 256.
    static bool parseNumber(std::string_view text, int& value, bool* isWord = nullptr);
    // Assembles one line at pc; writes the bytes to RAM when write is set.
    // Returns the length, or 0 with the reason in error.
    int assemble(u16 pc, const std::string& line, bool write, std::string* error = nullptr);
    // The bytes of a mnemonic (its number) in a chosen mode with its operand value
    // (a branch target for mode 10): the last steps of both assemblers.
    int encode(u16 pc, int mnemonicId, int mode, int value, bool write, std::string* error = nullptr);

private:
    // Stops on the instruction at pc; kept out of step's hot path.
    [[gnu::noinline, gnu::cold]] void halt(const char* reason);
    // What an execute call leaves of its limit, and whether an instruction stopped the processor.
    struct Ran {
        long left;
        bool halted;
    };
    // Up to limit instructions; a run (Threaded) also ends where runTable is not 0.
    template <bool Threaded>
    Ran execute(long limit, const u8* runTable);
};

// Steps until budget instructions have run, one stops the processor or pc
// lands on a breakpoint; true when the run ends there. The breakpoint test
// follows each step, so a slice starting on one leaves it.
bool RunSlice(CPU6502& cpu, int budget);
