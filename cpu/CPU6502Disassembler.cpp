#include <cstdint>
#include <cstdio>

#include "cpu/CPU6502.h"

std::string CPU6502::disassembleInstr(u16 address, int* length) const {
    const u8* ram = machine.ram;
    const Op& op = ops[ram[address]];
    const u8 b1 = ram[u16(address + 1)];
    const int word = ram[u16(address + 2)] << 8 | b1;
    if (length) *length = instrLength(op.mode);

    char operand[16] = "";
    switch (op.mode) {
        case ModeImmediate: std::snprintf(operand, sizeof operand, "#$%02X", b1); break;
        case ModeZeroPage: std::snprintf(operand, sizeof operand, "$%02X", b1); break;
        case ModeZeroPageX: std::snprintf(operand, sizeof operand, "$%02X,X", b1); break;
        case ModeZeroPageY: std::snprintf(operand, sizeof operand, "$%02X,Y", b1); break;
        case ModeAbsolute: std::snprintf(operand, sizeof operand, "$%04X", word); break;
        case ModeAbsoluteX: std::snprintf(operand, sizeof operand, "$%04X,X", word); break;
        case ModeAbsoluteY: std::snprintf(operand, sizeof operand, "$%04X,Y", word); break;
        case ModeRelative:
            std::snprintf(operand, sizeof operand, "$%04X", (address + 2 + std::int8_t(b1)) & 0xFFFF);
            break;
        case ModeIndirectX: std::snprintf(operand, sizeof operand, "($%02X,X)", b1); break;
        case ModeIndirectY: std::snprintf(operand, sizeof operand, "($%02X),Y", b1); break;
        case ModeIndirect: std::snprintf(operand, sizeof operand, "($%04X)", word); break;
        default: return op.mnemonic;
    }
    return std::string(op.mnemonic) + " " + operand;
}

std::string CPU6502::disassemble(u16& address) const {
    int length = 1;
    const std::string text = disassembleInstr(address, &length);
    char head[8];
    std::snprintf(head, sizeof head, "%04X ", address);
    std::string line = head;
    for (int i = 0; i < length; i++) {
        std::snprintf(head, sizeof head, "%02X ", machine.ram[u16(address + i)]);
        line += head;
    }
    line.resize(15, ' ');
    address = u16(address + length);
    return line + text;
}

u16 CPU6502::backStep(u16 address) const {
    const u16 three = u16(address - 3);
    if (instrLength(ops[machine.ram[three]].mode) == 3) return three;
    const u16 two = u16(address - 2);
    if (instrLength(ops[machine.ram[two]].mode) == 2) return two;
    return u16(address - 1);
}
