#include <cstdint>

#include "cpu/CPU6502.h"

void CPU6502::reset() {
    a = x = y = 0;
    sp = 0xFF;
    p = 0x24;
}

inline void CPU6502::compare(u8 r, u8 m) {
    const u8 d = u8(r - m);
    p = u8((p & ~(FlagC | FlagZ | FlagN)) | (r >= m ? FlagC : 0) | (r == m ? FlagZ : 0) | (d & FlagN));
}

inline void CPU6502::adc(u8 m) {
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

inline void CPU6502::sbc(u8 m) {
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

// Effective addresses; operand and pointer bytes come from plain RAM.
#define EA_ZP u16(b1)
#define EA_ZPX u16(u8(b1 + x))
#define EA_ZPY u16(u8(b1 + y))
#define EA_ABS u16(b2 << 8 | b1)
#define EA_ABX u16((b2 << 8 | b1) + x)
#define EA_ABY u16((b2 << 8 | b1) + y)
#define EA_IZX u16(ram[u8(b1 + x + 1)] << 8 | ram[u8(b1 + x)])
#define EA_IZY u16((ram[u8(b1 + 1)] << 8 | ram[b1]) + y)

// One case per opcode of an instruction that reads its operand m: immediate (read
// from RAM like every operand byte), zp, zp,X, abs, abs,X, abs,Y, (zp,X), (zp),Y.
#define READ8(imm, zp, zpx, abs, abx, aby, izx, izy, body)      \
    READ(imm, 2, b1, body)                                      \
    READ(zp, 2, rd(EA_ZP), body)                                \
    READ(zpx, 2, rd(EA_ZPX), body)                              \
    READ(abs, 3, rd(EA_ABS), body)                              \
    READ(abx, 3, rd(EA_ABX), body)                              \
    READ(aby, 3, rd(EA_ABY), body)                              \
    READ(izx, 2, rd(EA_IZX), body)                              \
    READ(izy, 2, rd(EA_IZY), body)
#define READ(op, length, value, body) \
    case op: { pc = u16(at + length); const u8 m = value; body } break;
#define WRITE(op, length, ea, value) \
    case op: pc = u16(at + length); wr(ea, value); break;
// Read-modify-write at zp, zp,X, abs, abs,X.
#define MODIFY(zp, zpx, abs, abx, f) \
    MODIFY1(zp, 2, EA_ZP, f)         \
    MODIFY1(zpx, 2, EA_ZPX, f)       \
    MODIFY1(abs, 3, EA_ABS, f)       \
    MODIFY1(abx, 3, EA_ABX, f)
#define MODIFY1(op, length, ea, f) \
    case op: { pc = u16(at + length); const u16 e = ea; const u8 v = f(rd(e)); wr(e, v); setNZ(v); } break;

void CPU6502::halt(u16 at, const char* reason) {
    stopped = true;
    stopReason = reason;
    pc = at;
}

void CPU6502::step() {
    const u8* ram = machine.ram;
    const u16 at = pc;
    const u8 opcode = ram[at];
    const u8 b1 = ram[u16(at + 1)];
    const u8 b2 = ram[u16(at + 2)];
    // The next pc is set from `at` alone, so it never waits for the opcode's table row.
    pc = u16(at + 1);

    auto setCarry = [&](bool c) { p = u8(c ? p | FlagC : p & ~FlagC); };
    auto asl = [&](u8 v) { setCarry(v & 0x80); return u8(v << 1); };
    auto lsr = [&](u8 v) { setCarry(v & 0x01); return u8(v >> 1); };
    auto rol = [&](u8 v) { const int c = p & FlagC; setCarry(v & 0x80); return u8(v << 1 | c); };
    auto ror = [&](u8 v) { const int c = p & FlagC; setCarry(v & 0x01); return u8(v >> 1 | c << 7); };
    auto inc = [](u8 v) { return u8(v + 1); };
    auto dec = [](u8 v) { return u8(v - 1); };
    auto branch = [&](bool taken) { pc = u16(at + 2 + (taken ? std::int8_t(b1) : 0)); };
    auto bit = [&](u8 m) {
        p = u8((p & ~(FlagZ | FlagN | FlagV)) | ((a & m) == 0 ? FlagZ : 0) | (m & (FlagN | FlagV)));
    };

    switch (opcode) {
        READ8(0xA9, 0xA5, 0xB5, 0xAD, 0xBD, 0xB9, 0xA1, 0xB1, a = m; setNZ(a);)
        READ8(0x29, 0x25, 0x35, 0x2D, 0x3D, 0x39, 0x21, 0x31, a &= m; setNZ(a);)
        READ8(0x09, 0x05, 0x15, 0x0D, 0x1D, 0x19, 0x01, 0x11, a |= m; setNZ(a);)
        READ8(0x49, 0x45, 0x55, 0x4D, 0x5D, 0x59, 0x41, 0x51, a ^= m; setNZ(a);)
        READ8(0xC9, 0xC5, 0xD5, 0xCD, 0xDD, 0xD9, 0xC1, 0xD1, compare(a, m);)
        READ8(0x69, 0x65, 0x75, 0x6D, 0x7D, 0x79, 0x61, 0x71, adc(m);)
        READ8(0xE9, 0xE5, 0xF5, 0xED, 0xFD, 0xF9, 0xE1, 0xF1, sbc(m);)
        READ(0xA2, 2, b1, x = m; setNZ(x);)
        READ(0xA6, 2, rd(EA_ZP), x = m; setNZ(x);)
        READ(0xB6, 2, rd(EA_ZPY), x = m; setNZ(x);)
        READ(0xAE, 3, rd(EA_ABS), x = m; setNZ(x);)
        READ(0xBE, 3, rd(EA_ABY), x = m; setNZ(x);)
        READ(0xA0, 2, b1, y = m; setNZ(y);)
        READ(0xA4, 2, rd(EA_ZP), y = m; setNZ(y);)
        READ(0xB4, 2, rd(EA_ZPX), y = m; setNZ(y);)
        READ(0xAC, 3, rd(EA_ABS), y = m; setNZ(y);)
        READ(0xBC, 3, rd(EA_ABX), y = m; setNZ(y);)
        READ(0xE0, 2, b1, compare(x, m);)
        READ(0xE4, 2, rd(EA_ZP), compare(x, m);)
        READ(0xEC, 3, rd(EA_ABS), compare(x, m);)
        READ(0xC0, 2, b1, compare(y, m);)
        READ(0xC4, 2, rd(EA_ZP), compare(y, m);)
        READ(0xCC, 3, rd(EA_ABS), compare(y, m);)
        READ(0x24, 2, rd(EA_ZP), bit(m);)
        READ(0x2C, 3, rd(EA_ABS), bit(m);)

        WRITE(0x85, 2, EA_ZP, a)
        WRITE(0x95, 2, EA_ZPX, a)
        WRITE(0x8D, 3, EA_ABS, a)
        WRITE(0x9D, 3, EA_ABX, a)
        WRITE(0x99, 3, EA_ABY, a)
        WRITE(0x81, 2, EA_IZX, a)
        WRITE(0x91, 2, EA_IZY, a)
        WRITE(0x86, 2, EA_ZP, x)
        WRITE(0x96, 2, EA_ZPY, x)
        WRITE(0x8E, 3, EA_ABS, x)
        WRITE(0x84, 2, EA_ZP, y)
        WRITE(0x94, 2, EA_ZPX, y)
        WRITE(0x8C, 3, EA_ABS, y)

        MODIFY(0x06, 0x16, 0x0E, 0x1E, asl)
        MODIFY(0x46, 0x56, 0x4E, 0x5E, lsr)
        MODIFY(0x26, 0x36, 0x2E, 0x3E, rol)
        MODIFY(0x66, 0x76, 0x6E, 0x7E, ror)
        MODIFY(0xE6, 0xF6, 0xEE, 0xFE, inc)
        MODIFY(0xC6, 0xD6, 0xCE, 0xDE, dec)
        case 0x0A: a = asl(a); setNZ(a); break;
        case 0x4A: a = lsr(a); setNZ(a); break;
        case 0x2A: a = rol(a); setNZ(a); break;
        case 0x6A: a = ror(a); setNZ(a); break;
        case 0xE8: setNZ(++x); break;
        case 0xC8: setNZ(++y); break;
        case 0xCA: setNZ(--x); break;
        case 0x88: setNZ(--y); break;

        case 0xAA: x = a; setNZ(x); break;
        case 0xA8: y = a; setNZ(y); break;
        case 0x8A: a = x; setNZ(a); break;
        case 0x98: a = y; setNZ(a); break;
        case 0xBA: x = sp; setNZ(x); break;
        case 0x9A: sp = x; break;

        case 0x90: branch(!(p & FlagC)); break;
        case 0xB0: branch(p & FlagC); break;
        case 0xF0: branch(p & FlagZ); break;
        case 0xD0: branch(!(p & FlagZ)); break;
        case 0x30: branch(p & FlagN); break;
        case 0x10: branch(!(p & FlagN)); break;
        case 0x50: branch(!(p & FlagV)); break;
        case 0x70: branch(p & FlagV); break;
        case 0x4C: pc = EA_ABS; break;
        // The pointer's high byte comes from the same page: ($10FF) reads $10FF and $1000.
        case 0x6C: pc = u16(ram[(b2 << 8) | u8(b1 + 1)] << 8 | ram[EA_ABS]); break;
        case 0x20:
            push(u8((at + 2) >> 8));
            push(u8(at + 2));
            pc = EA_ABS;
            break;
        case 0x60:
            if (sp >= 0xFE) {
                halt(at, "RTS from top level");
            } else {
                const u8 lo = pull();
                pc = u16((pull() << 8 | lo) + 1);
            }
            break;
        case 0x40: {
            p = u8((pull() & 0xCF) | Flag5);
            const u8 lo = pull();
            pc = u16(pull() << 8 | lo);
            break;
        }

        case 0x48: push(a); break;
        case 0x08: push(u8(p | FlagB | Flag5)); break;
        case 0x68: a = pull(); setNZ(a); break;
        case 0x28: p = u8((pull() & 0xCF) | Flag5); break;

        case 0x18: p &= u8(~FlagC); break;
        case 0xD8: p &= u8(~FlagD); break;
        case 0x58: p &= u8(~FlagI); break;
        case 0xB8: p &= u8(~FlagV); break;
        case 0x38: p |= FlagC; break;
        case 0xF8: p |= FlagD; break;
        case 0x78: p |= FlagI; break;
        case 0xEA: break;

        case 0x00: halt(at, "BRK"); break;
        default: halt(at, "Illegal opcode"); break;  // undocumented
    }
}

#undef MODIFY1
#undef MODIFY
#undef WRITE
#undef READ
#undef READ8
#undef EA_IZY
#undef EA_IZX
#undef EA_ABY
#undef EA_ABX
#undef EA_ABS
#undef EA_ZPY
#undef EA_ZPX
#undef EA_ZP

bool RunSlice(CPU6502& cpu, int budget) {
    for (int i = 0; i < budget; ++i) {
        cpu.step();
        if (cpu.stopped || cpu.breakpoints.count(cpu.pc)) return true;
    }
    return false;
}
