#include "cpu/CPU6502.h"

// The documented NMOS 6502 instruction set; every other opcode is "---".
const CPU6502::Op CPU6502::ops[256] = {
    {"BRK", 9}, {"ORA", 11}, {"---", 0}, {"---", 0}, {"---", 0}, {"ORA", 3}, {"ASL", 3}, {"---", 0},  // $00
    {"PHP", 9}, {"ORA", 2}, {"ASL", 1}, {"---", 0}, {"---", 0}, {"ORA", 6}, {"ASL", 6}, {"---", 0},  // $08
    {"BPL", 10}, {"ORA", 12}, {"---", 0}, {"---", 0}, {"---", 0}, {"ORA", 4}, {"ASL", 4}, {"---", 0},  // $10
    {"CLC", 9}, {"ORA", 8}, {"---", 0}, {"---", 0}, {"---", 0}, {"ORA", 7}, {"ASL", 7}, {"---", 0},  // $18
    {"JSR", 6}, {"AND", 11}, {"---", 0}, {"---", 0}, {"BIT", 3}, {"AND", 3}, {"ROL", 3}, {"---", 0},  // $20
    {"PLP", 9}, {"AND", 2}, {"ROL", 1}, {"---", 0}, {"BIT", 6}, {"AND", 6}, {"ROL", 6}, {"---", 0},  // $28
    {"BMI", 10}, {"AND", 12}, {"---", 0}, {"---", 0}, {"---", 0}, {"AND", 4}, {"ROL", 4}, {"---", 0},  // $30
    {"SEC", 9}, {"AND", 8}, {"---", 0}, {"---", 0}, {"---", 0}, {"AND", 7}, {"ROL", 7}, {"---", 0},  // $38
    {"RTI", 9}, {"EOR", 11}, {"---", 0}, {"---", 0}, {"---", 0}, {"EOR", 3}, {"LSR", 3}, {"---", 0},  // $40
    {"PHA", 9}, {"EOR", 2}, {"LSR", 1}, {"---", 0}, {"JMP", 6}, {"EOR", 6}, {"LSR", 6}, {"---", 0},  // $48
    {"BVC", 10}, {"EOR", 12}, {"---", 0}, {"---", 0}, {"---", 0}, {"EOR", 4}, {"LSR", 4}, {"---", 0},  // $50
    {"CLI", 9}, {"EOR", 8}, {"---", 0}, {"---", 0}, {"---", 0}, {"EOR", 7}, {"LSR", 7}, {"---", 0},  // $58
    {"RTS", 9}, {"ADC", 11}, {"---", 0}, {"---", 0}, {"---", 0}, {"ADC", 3}, {"ROR", 3}, {"---", 0},  // $60
    {"PLA", 9}, {"ADC", 2}, {"ROR", 1}, {"---", 0}, {"JMP", 13}, {"ADC", 6}, {"ROR", 6}, {"---", 0},  // $68
    {"BVS", 10}, {"ADC", 12}, {"---", 0}, {"---", 0}, {"---", 0}, {"ADC", 4}, {"ROR", 4}, {"---", 0},  // $70
    {"SEI", 9}, {"ADC", 8}, {"---", 0}, {"---", 0}, {"---", 0}, {"ADC", 7}, {"ROR", 7}, {"---", 0},  // $78
    {"---", 0}, {"STA", 11}, {"---", 0}, {"---", 0}, {"STY", 3}, {"STA", 3}, {"STX", 3}, {"---", 0},  // $80
    {"DEY", 9}, {"---", 0}, {"TXA", 9}, {"---", 0}, {"STY", 6}, {"STA", 6}, {"STX", 6}, {"---", 0},  // $88
    {"BCC", 10}, {"STA", 12}, {"---", 0}, {"---", 0}, {"STY", 4}, {"STA", 4}, {"STX", 5}, {"---", 0},  // $90
    {"TYA", 9}, {"STA", 8}, {"TXS", 9}, {"---", 0}, {"---", 0}, {"STA", 7}, {"---", 0}, {"---", 0},  // $98
    {"LDY", 2}, {"LDA", 11}, {"LDX", 2}, {"---", 0}, {"LDY", 3}, {"LDA", 3}, {"LDX", 3}, {"---", 0},  // $A0
    {"TAY", 9}, {"LDA", 2}, {"TAX", 9}, {"---", 0}, {"LDY", 6}, {"LDA", 6}, {"LDX", 6}, {"---", 0},  // $A8
    {"BCS", 10}, {"LDA", 12}, {"---", 0}, {"---", 0}, {"LDY", 4}, {"LDA", 4}, {"LDX", 5}, {"---", 0},  // $B0
    {"CLV", 9}, {"LDA", 8}, {"TSX", 9}, {"---", 0}, {"LDY", 7}, {"LDA", 7}, {"LDX", 8}, {"---", 0},  // $B8
    {"CPY", 2}, {"CMP", 11}, {"---", 0}, {"---", 0}, {"CPY", 3}, {"CMP", 3}, {"DEC", 3}, {"---", 0},  // $C0
    {"INY", 9}, {"CMP", 2}, {"DEX", 9}, {"---", 0}, {"CPY", 6}, {"CMP", 6}, {"DEC", 6}, {"---", 0},  // $C8
    {"BNE", 10}, {"CMP", 12}, {"---", 0}, {"---", 0}, {"---", 0}, {"CMP", 4}, {"DEC", 4}, {"---", 0},  // $D0
    {"CLD", 9}, {"CMP", 8}, {"---", 0}, {"---", 0}, {"---", 0}, {"CMP", 7}, {"DEC", 7}, {"---", 0},  // $D8
    {"CPX", 2}, {"SBC", 11}, {"---", 0}, {"---", 0}, {"CPX", 3}, {"SBC", 3}, {"INC", 3}, {"---", 0},  // $E0
    {"INX", 9}, {"SBC", 2}, {"NOP", 9}, {"---", 0}, {"CPX", 6}, {"SBC", 6}, {"INC", 6}, {"---", 0},  // $E8
    {"BEQ", 10}, {"SBC", 12}, {"---", 0}, {"---", 0}, {"---", 0}, {"SBC", 4}, {"INC", 4}, {"---", 0},  // $F0
    {"SED", 9}, {"SBC", 8}, {"---", 0}, {"---", 0}, {"---", 0}, {"SBC", 7}, {"INC", 7}, {"---", 0},  // $F8
};

const u8 CPU6502::modeLength[14] = {1, 1, 2, 2, 2, 2, 3, 3, 3, 1, 2, 2, 2, 3};
const int CPU6502::zeroPageModes[3] = {ModeZeroPage, ModeZeroPageX, ModeZeroPageY};
const int CPU6502::absoluteModes[3] = {ModeAbsolute, ModeAbsoluteX, ModeAbsoluteY};

int CPU6502::instrLength(int mode) {
    return mode >= ModeImmediate && mode <= ModeIndirect ? modeLength[mode] : 1;
}

namespace {

// Index of a word of three upper-case letters; -1 for any other text.
int wordIndex(std::string_view w) {
    if (w.size() != 3) return -1;
    int index = 0;
    for (char c : w) {
        if (c < 'A' || c > 'Z') return -1;
        index = index * 26 + (c - 'A');
    }
    return index;
}

// The same for either case.
int anyCaseWordIndex(std::string_view w) {
    if (w.size() != 3) return -1;
    char upper[3];
    for (int i = 0; i < 3; i++) upper[i] = w[size_t(i)] >= 'a' && w[size_t(i)] <= 'z' ? char(w[size_t(i)] - 32) : w[size_t(i)];
    return wordIndex(std::string_view(upper, 3));
}

// Each mnemonic's lowest opcode per mode and its modes, reached from the word
// in one step, so the assemblers look mnemonics up instead of scanning the table.
struct OpcodeIndex {
    static constexpr int Mnemonics = 57;  // 56 documented, and 0 for no mnemonic
    u8 id[26 * 26 * 26] = {};
    short opcode[Mnemonics][14];
    u16 modes[Mnemonics] = {};
    OpcodeIndex() {
        for (auto& row : opcode)
            for (short& o : row) o = -1;
        int next = 1;
        for (int i = 255; i >= 0; i--) {
            const CPU6502::Op& op = CPU6502::ops[i];
            const int w = wordIndex(op.mnemonic);
            if (w < 0 || op.mode == 0) continue;
            if (id[w] == 0) id[w] = u8(next++);
            opcode[id[w]][op.mode] = short(i);
            modes[id[w]] |= u16(1 << op.mode);
        }
    }
};

// Built before main (the opcode table is constant data), so no lookup pays for a guard.
const OpcodeIndex index;

}  // namespace

int CPU6502::mnemonicId(std::string_view word) {
    const int w = anyCaseWordIndex(word);
    return w < 0 ? 0 : index.id[w];
}

int CPU6502::modesOf(int mnemonicId) { return index.modes[mnemonicId]; }

int CPU6502::findOpcode(int mnemonicId, int mode) {
    return mode >= 0 && mode < 14 && mnemonicId > 0 ? index.opcode[mnemonicId][mode] : -1;
}

bool CPU6502::isMnemonic(std::string_view text) { return modesOf(text) != 0; }

int CPU6502::findOpcode(std::string_view mnemonic, int mode) {
    const int w = wordIndex(mnemonic);
    if (w >= 0) return findOpcode(index.id[w], mode);
    for (int i = 0; i < 256; i++)
        if (ops[i].mode == mode && mnemonic == ops[i].mnemonic) return i;
    return -1;
}
