#include <cstdint>

#include "cpu/CPU6502.h"

void CPU6502::reset() {
    a = x = y = 0;
    sp = 0xFF;
    p = 0x24;
}

void CPU6502::compare(u8 r, u8 m) {
    const u8 d = u8(r - m);
    p = u8((p & ~(FlagC | FlagZ | FlagN)) | (r >= m ? FlagC : 0) | (r == m ? FlagZ : 0) | (d & FlagN));
}

void CPU6502::adc(u8 m) {
    const int c = p & FlagC;
    if (!(p & FlagD)) {
        const int s = a + m + c;
        const bool v = ((a ^ s) & ~(m ^ a)) & 0x80;
        a = u8(s);
        p = u8((p & ~(FlagC | FlagZ | FlagN | FlagV)) | (s >= 256 ? FlagC : 0) | (a == 0 ? FlagZ : 0) |
               (a & FlagN) | (v ? FlagV : 0));
        return;
    }
    // NMOS decimal: Z from the binary sum, N and V from the high digit before its adjustment.
    int lo = (a & 0x0F) + (m & 0x0F) + c;
    int hi = (a >> 4) + (m >> 4) + (lo >= 10 ? 1 : 0);
    const bool z = ((a + m + c) & 0xFF) == 0;
    const bool n = hi & 0x08;
    const bool v = (~(a ^ m) & ((hi << 4) ^ a)) & 0x80;
    const bool carry = hi >= 10;
    lo = (lo >= 10 ? lo + 6 : lo) & 0x0F;
    hi = hi >= 10 ? hi + 6 : hi;
    a = u8(hi * 16 + lo);
    p = u8((p & ~(FlagC | FlagZ | FlagN | FlagV)) | (carry ? FlagC : 0) | (z ? FlagZ : 0) | (n ? FlagN : 0) |
           (v ? FlagV : 0));
}

void CPU6502::sbc(u8 m) {
    if (!(p & FlagD)) {
        adc(u8(~m));
        return;
    }
    const int borrow = (p & FlagC) ? 0 : 1;
    const int r = a - m - borrow;
    const bool v = ((r ^ a) & (m ^ a)) & 0x80;
    p = u8((p & ~(FlagC | FlagZ | FlagN | FlagV)) | (r >= 0 ? FlagC : 0) | ((r & 0xFF) == 0 ? FlagZ : 0) |
           (r & FlagN) | (v ? FlagV : 0));
    int lo = (a & 0x0F) - (m & 0x0F) - borrow;
    int digitBorrow = 0;
    if (lo < 0) {
        lo += 10;
        digitBorrow = 1;
    }
    int hi = (a >> 4) - (m >> 4) - digitBorrow;
    if (hi < 0) hi += 10;
    a = u8(((hi << 4) & 0xF0) | (lo & 0x0F));
}

void CPU6502::step() {
    const u8* ram = machine.ram;
    const u8 opcode = ram[pc];
    const int mode = ops[opcode].mode;
    if (mode == ModeNone) {
        stopped = true;
        stopReason = "Illegal opcode";
        return;
    }
    // Operand and pointer bytes come from plain RAM.
    const u8 b1 = ram[u16(pc + 1)];
    const u8 b2 = ram[u16(pc + 2)];
    const u16 abs = u16(b2 << 8 | b1);
    const u16 at = pc;
    u16 ea = 0;
    switch (mode) {
        case ModeImmediate: ea = u16(pc + 1); break;
        case ModeZeroPage: ea = b1; break;
        case ModeZeroPageX: ea = u8(b1 + x); break;
        case ModeZeroPageY: ea = u8(b1 + y); break;
        case ModeAbsolute: ea = abs; break;
        case ModeAbsoluteX: ea = u16(abs + x); break;
        case ModeAbsoluteY: ea = u16(abs + y); break;
        case ModeRelative: ea = u16(pc + 2 + std::int8_t(b1)); break;
        case ModeIndirectX: ea = u16(ram[u8(b1 + x + 1)] << 8 | ram[u8(b1 + x)]); break;
        case ModeIndirectY: ea = u16((ram[u8(b1 + 1)] << 8 | ram[b1]) + y); break;
        case ModeIndirect: ea = u16(ram[(abs & 0xFF00) | u8(b1 + 1)] << 8 | ram[abs]); break;
        default: break;
    }
    pc = u16(pc + modeLength[mode]);

    // The data operand: an immediate byte is read from RAM like the rest of the instruction.
    auto operand = [&]() -> u8 { return mode == ModeImmediate ? b1 : rd(ea); };
    // Read-modify-write on the accumulator or at EA.
    auto modify = [&](auto f) {
        if (mode == ModeAccumulator) {
            a = f(a);
            setNZ(a);
        } else {
            const u8 v = f(rd(ea));
            wr(ea, v);
            setNZ(v);
        }
    };
    auto setCarry = [&](bool c) { p = u8(c ? p | FlagC : p & ~FlagC); };
    auto branch = [&](bool taken) {
        if (taken) pc = ea;
    };

    switch (opcode) {
        // Loads and stores.
        case 0xA9: case 0xA5: case 0xB5: case 0xAD: case 0xBD: case 0xB9: case 0xA1: case 0xB1:
            a = operand();
            setNZ(a);
            break;
        case 0xA2: case 0xA6: case 0xB6: case 0xAE: case 0xBE:
            x = operand();
            setNZ(x);
            break;
        case 0xA0: case 0xA4: case 0xB4: case 0xAC: case 0xBC:
            y = operand();
            setNZ(y);
            break;
        case 0x85: case 0x95: case 0x8D: case 0x9D: case 0x99: case 0x81: case 0x91: wr(ea, a); break;
        case 0x86: case 0x96: case 0x8E: wr(ea, x); break;
        case 0x84: case 0x94: case 0x8C: wr(ea, y); break;

        // Transfers.
        case 0xAA: x = a; setNZ(x); break;
        case 0xA8: y = a; setNZ(y); break;
        case 0x8A: a = x; setNZ(a); break;
        case 0x98: a = y; setNZ(a); break;
        case 0xBA: x = sp; setNZ(x); break;
        case 0x9A: sp = x; break;

        // Increments and decrements.
        case 0xE8: setNZ(++x); break;
        case 0xC8: setNZ(++y); break;
        case 0xCA: setNZ(--x); break;
        case 0x88: setNZ(--y); break;
        case 0xE6: case 0xF6: case 0xEE: case 0xFE: modify([](u8 v) { return u8(v + 1); }); break;
        case 0xC6: case 0xD6: case 0xCE: case 0xDE: modify([](u8 v) { return u8(v - 1); }); break;

        // Logic.
        case 0x29: case 0x25: case 0x35: case 0x2D: case 0x3D: case 0x39: case 0x21: case 0x31:
            a &= operand();
            setNZ(a);
            break;
        case 0x09: case 0x05: case 0x15: case 0x0D: case 0x1D: case 0x19: case 0x01: case 0x11:
            a |= operand();
            setNZ(a);
            break;
        case 0x49: case 0x45: case 0x55: case 0x4D: case 0x5D: case 0x59: case 0x41: case 0x51:
            a ^= operand();
            setNZ(a);
            break;
        case 0x24: case 0x2C: {
            const u8 m = rd(ea);
            p = u8((p & ~(FlagZ | FlagN | FlagV)) | ((a & m) == 0 ? FlagZ : 0) | (m & (FlagN | FlagV)));
            break;
        }

        // Comparisons.
        case 0xC9: case 0xC5: case 0xD5: case 0xCD: case 0xDD: case 0xD9: case 0xC1: case 0xD1:
            compare(a, operand());
            break;
        case 0xE0: case 0xE4: case 0xEC: compare(x, operand()); break;
        case 0xC0: case 0xC4: case 0xCC: compare(y, operand()); break;

        // Shifts and rotates.
        case 0x0A: case 0x06: case 0x16: case 0x0E: case 0x1E:
            modify([&](u8 v) {
                setCarry(v & 0x80);
                return u8(v << 1);
            });
            break;
        case 0x4A: case 0x46: case 0x56: case 0x4E: case 0x5E:
            modify([&](u8 v) {
                setCarry(v & 0x01);
                return u8(v >> 1);
            });
            break;
        case 0x2A: case 0x26: case 0x36: case 0x2E: case 0x3E:
            modify([&](u8 v) {
                const int c = p & FlagC;
                setCarry(v & 0x80);
                return u8(v << 1 | c);
            });
            break;
        case 0x6A: case 0x66: case 0x76: case 0x6E: case 0x7E:
            modify([&](u8 v) {
                const int c = p & FlagC;
                setCarry(v & 0x01);
                return u8(v >> 1 | c << 7);
            });
            break;

        // Arithmetic.
        case 0x69: case 0x65: case 0x75: case 0x6D: case 0x7D: case 0x79: case 0x61: case 0x71:
            adc(operand());
            break;
        case 0xE9: case 0xE5: case 0xF5: case 0xED: case 0xFD: case 0xF9: case 0xE1: case 0xF1:
            sbc(operand());
            break;

        // Branches and jumps.
        case 0x90: branch(!(p & FlagC)); break;
        case 0xB0: branch(p & FlagC); break;
        case 0xF0: branch(p & FlagZ); break;
        case 0xD0: branch(!(p & FlagZ)); break;
        case 0x30: branch(p & FlagN); break;
        case 0x10: branch(!(p & FlagN)); break;
        case 0x50: branch(!(p & FlagV)); break;
        case 0x70: branch(p & FlagV); break;
        case 0x4C: case 0x6C: pc = ea; break;
        case 0x20: {
            const u16 ret = u16(at + 2);
            push(u8(ret >> 8));
            push(u8(ret));
            pc = ea;
            break;
        }
        case 0x60:
            if (sp >= 0xFE) {
                stopped = true;
                stopReason = "RTS from top level";
                pc = at;
                break;
            } else {
                const u8 lo = pull();
                const u8 hi = pull();
                pc = u16((hi << 8 | lo) + 1);
            }
            break;
        case 0x40: {
            p = u8((pull() & 0xCF) | Flag5);
            const u8 lo = pull();
            const u8 hi = pull();
            pc = u16(hi << 8 | lo);
            break;
        }

        // Stack.
        case 0x48: push(a); break;
        case 0x08: push(u8(p | FlagB | Flag5)); break;
        case 0x68: a = pull(); setNZ(a); break;
        case 0x28: p = u8((pull() & 0xCF) | Flag5); break;

        // Flags.
        case 0x18: p &= u8(~FlagC); break;
        case 0xD8: p &= u8(~FlagD); break;
        case 0x58: p &= u8(~FlagI); break;
        case 0xB8: p &= u8(~FlagV); break;
        case 0x38: p |= FlagC; break;
        case 0xF8: p |= FlagD; break;
        case 0x78: p |= FlagI; break;

        case 0x00:
            stopped = true;
            stopReason = "BRK";
            pc = at;
            break;
        case 0xEA: break;
        default: break;
    }
}
