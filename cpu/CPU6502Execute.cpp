#include <bit>
#include <cstdint>
#include <cstring>

#include "cpu/CPU6502.h"

void CPU6502::reset() {
    a = x = y = 0;
    sp = 0xFF;
    p = 0x24;
}

void CPU6502::halt(const char* reason) {
    stopped = true;
    stopReason = reason;
}

namespace {

// Two bytes in the 6502's order.
inline u16 loadWord(const u8* at) {
    u16 word;
    std::memcpy(&word, at, 2);
    if constexpr (std::endian::native == std::endian::big) word = u16(word << 8 | word >> 8);
    return word;
}

// Decimal mode stays out of line; both return the new a in the low byte and p in the high byte.
// NMOS decimal: Z from the binary sum, N and V from the high digit before its adjustment.
[[gnu::noinline]] u16 decimalAdc(u8 a, u8 p, u8 m) {
    const int c = p & CPU6502::FlagC;
    int lo = (a & 0x0F) + (m & 0x0F) + c;
    int hi = (a >> 4) + (m >> 4) + (lo >= 10 ? 1 : 0);
    const bool z = ((a + m + c) & 0xFF) == 0;
    const bool n = hi & 0x08;
    const bool v = (~(a ^ m) & ((hi << 4) ^ a)) & 0x80;
    const bool carry = hi >= 10;
    lo = (lo >= 10 ? lo + 6 : lo) & 0x0F;
    hi = hi >= 10 ? hi + 6 : hi;
    p = u8((p & ~(CPU6502::FlagC | CPU6502::FlagZ | CPU6502::FlagN | CPU6502::FlagV)) | (carry ? CPU6502::FlagC : 0) |
           (z ? CPU6502::FlagZ : 0) | (n ? CPU6502::FlagN : 0) | (v ? CPU6502::FlagV : 0));
    return u16(p << 8 | u8(hi * 16 + lo));
}

// C and V as a run keeps them, with C changed to carry (0 or 1).
inline u8 setC(u8 cv, unsigned carry) { return u8((cv & CPU6502::FlagV) | carry); }

// Flags from the binary difference, then each digit adjusted.
[[gnu::noinline]] u16 decimalSbc(u8 a, u8 p, u8 m) {
    const int borrow = (p & CPU6502::FlagC) ? 0 : 1;
    const int r = a - m - borrow;
    const bool v = ((r ^ a) & (m ^ a)) & 0x80;
    p = u8((p & ~(CPU6502::FlagC | CPU6502::FlagZ | CPU6502::FlagN | CPU6502::FlagV)) | (r >= 0 ? CPU6502::FlagC : 0) |
           ((r & 0xFF) == 0 ? CPU6502::FlagZ : 0) | (r & CPU6502::FlagN) | (v ? CPU6502::FlagV : 0));
    int lo = (a & 0x0F) - (m & 0x0F) - borrow;
    int digitBorrow = 0;
    if (lo < 0) {
        lo += 10;
        digitBorrow = 1;
    }
    int hi = (a >> 4) - (m >> 4) - digitBorrow;
    if (hi < 0) hi += 10;
    return u16(p << 8 | ((hi << 4) & 0xF0) | (lo & 0x0F));
}

}  // namespace

// Operand bytes and effective addresses of the instruction at pc; operand and pointer bytes come
// from plain RAM, and every address wraps at 16 bits. A run never starts an instruction at $FFFE
// or $FFFF (the run table sends those to single steps), so its operands are read without a wrap,
// both bytes of a word in one load; a single step wraps each address.
#define B1 (Threaded ? ram[pc + 1] : ram[u16(pc + 1)])
#define WORD (Threaded ? loadWord(ram + pc + 1) : u16(ram[u16(pc + 2)] << 8 | ram[u16(pc + 1)]))
#define ADVANCE(length) pc = Threaded ? pc + (length) : u16(pc + (length))
#define EA_ZP u16(B1)
#define EA_ZPX u16(u8(B1 + x))
#define EA_ZPY u16(u8(B1 + y))
#define EA_ABS WORD
#define EA_ABX u16(WORD + x)
#define EA_ABY u16(WORD + y)
#define EA_IZX u16(ram[u8(B1 + x + 1)] << 8 | ram[u8(B1 + x)])
#define EA_IZY u16((ram[u8(B1 + 1)] << 8 | ram[B1]) + y)

// Every opcode, the 151 documented ones through D and the others through U.
#define OPCODES(D, U) \
    D(0x00) D(0x01) U(0x02) U(0x03) U(0x04) D(0x05) D(0x06) U(0x07) D(0x08) D(0x09) D(0x0A) U(0x0B) U(0x0C) D(0x0D) D(0x0E) U(0x0F) \
    D(0x10) D(0x11) U(0x12) U(0x13) U(0x14) D(0x15) D(0x16) U(0x17) D(0x18) D(0x19) U(0x1A) U(0x1B) U(0x1C) D(0x1D) D(0x1E) U(0x1F) \
    D(0x20) D(0x21) U(0x22) U(0x23) D(0x24) D(0x25) D(0x26) U(0x27) D(0x28) D(0x29) D(0x2A) U(0x2B) D(0x2C) D(0x2D) D(0x2E) U(0x2F) \
    D(0x30) D(0x31) U(0x32) U(0x33) U(0x34) D(0x35) D(0x36) U(0x37) D(0x38) D(0x39) U(0x3A) U(0x3B) U(0x3C) D(0x3D) D(0x3E) U(0x3F) \
    D(0x40) D(0x41) U(0x42) U(0x43) U(0x44) D(0x45) D(0x46) U(0x47) D(0x48) D(0x49) D(0x4A) U(0x4B) D(0x4C) D(0x4D) D(0x4E) U(0x4F) \
    D(0x50) D(0x51) U(0x52) U(0x53) U(0x54) D(0x55) D(0x56) U(0x57) D(0x58) D(0x59) U(0x5A) U(0x5B) U(0x5C) D(0x5D) D(0x5E) U(0x5F) \
    D(0x60) D(0x61) U(0x62) U(0x63) U(0x64) D(0x65) D(0x66) U(0x67) D(0x68) D(0x69) D(0x6A) U(0x6B) D(0x6C) D(0x6D) D(0x6E) U(0x6F) \
    D(0x70) D(0x71) U(0x72) U(0x73) U(0x74) D(0x75) D(0x76) U(0x77) D(0x78) D(0x79) U(0x7A) U(0x7B) U(0x7C) D(0x7D) D(0x7E) U(0x7F) \
    U(0x80) D(0x81) U(0x82) U(0x83) D(0x84) D(0x85) D(0x86) U(0x87) D(0x88) U(0x89) D(0x8A) U(0x8B) D(0x8C) D(0x8D) D(0x8E) U(0x8F) \
    D(0x90) D(0x91) U(0x92) U(0x93) D(0x94) D(0x95) D(0x96) U(0x97) D(0x98) D(0x99) D(0x9A) U(0x9B) U(0x9C) D(0x9D) U(0x9E) U(0x9F) \
    D(0xA0) D(0xA1) D(0xA2) U(0xA3) D(0xA4) D(0xA5) D(0xA6) U(0xA7) D(0xA8) D(0xA9) D(0xAA) U(0xAB) D(0xAC) D(0xAD) D(0xAE) U(0xAF) \
    D(0xB0) D(0xB1) U(0xB2) U(0xB3) D(0xB4) D(0xB5) D(0xB6) U(0xB7) D(0xB8) D(0xB9) D(0xBA) U(0xBB) D(0xBC) D(0xBD) D(0xBE) U(0xBF) \
    D(0xC0) D(0xC1) U(0xC2) U(0xC3) D(0xC4) D(0xC5) D(0xC6) U(0xC7) D(0xC8) D(0xC9) D(0xCA) U(0xCB) D(0xCC) D(0xCD) D(0xCE) U(0xCF) \
    D(0xD0) D(0xD1) U(0xD2) U(0xD3) U(0xD4) D(0xD5) D(0xD6) U(0xD7) D(0xD8) D(0xD9) U(0xDA) U(0xDB) U(0xDC) D(0xDD) D(0xDE) U(0xDF) \
    D(0xE0) D(0xE1) U(0xE2) U(0xE3) D(0xE4) D(0xE5) D(0xE6) U(0xE7) D(0xE8) D(0xE9) D(0xEA) U(0xEB) D(0xEC) D(0xED) D(0xEE) U(0xEF) \
    D(0xF0) D(0xF1) U(0xF2) U(0xF3) U(0xF4) D(0xF5) D(0xF6) U(0xF7) D(0xF8) D(0xF9) U(0xFA) U(0xFB) U(0xFC) D(0xFD) D(0xFE) U(0xFF)
#define IGNORE(code)
#define DOCUMENTED(X) OPCODES(X, IGNORE)

// Each opcode has a label; its handler ends by going on to the next instruction. pc stays on
// the instruction until its handler moves it.
#define OP(code) op_##code:
#define NEXT                                \
    do {                                    \
        if (--left == 0) [[unlikely]]       \
            goto done;                      \
        if constexpr (Threaded) {           \
            if (runTable[pc]) [[unlikely]]  \
                goto done;                  \
            goto* next[ram[pc]];            \
        } else {                            \
            goto dispatch;                  \
        }                                   \
    } while (0)
#define CASE(code) \
    case code:     \
        goto op_##code;
// A stop leaves pc on the stopping instruction and counts it as a step.
#define STOP(reason)   \
    do {               \
        stop = reason; \
        --left;        \
        goto done;     \
    } while (0)

// One handler per opcode of an instruction that reads its operand m: immediate (read
// from RAM like every operand byte), zp, zp,X, abs, abs,X, abs,Y, (zp,X), (zp),Y.
#define READ8(imm, zp, zpx, abs, abx, aby, izx, izy, body) \
    READ(imm, 2, B1, body)                                 \
    READ(zp, 2, rd(EA_ZP), body)                           \
    READ(zpx, 2, rd(EA_ZPX), body)                         \
    READ(abs, 3, rd(EA_ABS), body)                         \
    READ(abx, 3, rd(EA_ABX), body)                         \
    READ(aby, 3, rd(EA_ABY), body)                         \
    READ(izx, 2, rd(EA_IZX), body)                         \
    READ(izy, 2, rd(EA_IZY), body)
#define READ(op, length, value, body) \
    OP(op) {                          \
        const u8 m = value;           \
        ADVANCE(length);              \
        body                          \
    }                                 \
    NEXT;
#define WRITE(op, length, ea, value) \
    OP(op) {                         \
        const u16 e = ea;            \
        ADVANCE(length);             \
        wr(e, value);                \
    }                                \
    NEXT;
// Read-modify-write at zp, zp,X, abs, abs,X.
#define MODIFY(zp, zpx, abs, abx, f) \
    MODIFY1(zp, 2, EA_ZP, f)         \
    MODIFY1(zpx, 2, EA_ZPX, f)       \
    MODIFY1(abs, 3, EA_ABS, f)       \
    MODIFY1(abx, 3, EA_ABX, f)
#define MODIFY1(op, length, ea, f) \
    OP(op) {                       \
        const u16 e = ea;          \
        ADVANCE(length);           \
        const u8 r = f(rd(e));     \
        wr(e, r);                  \
        setNZ(r);                  \
    }                              \
    NEXT;
// One-byte instructions.
#define IMPLIED(op, body) \
    OP(op) {              \
        ADVANCE(1);       \
        body;             \
    }                     \
    NEXT;

// The registers live in locals for the whole run: stores into RAM through a byte
// pointer could alias the members and would force them back to memory on every write.
// A run has no register to spare, so the flags share two: Z and N in nz (Z set when its
// low byte is 0, N when bit 7 or bit 15 is set), so that most instructions set both with
// one move; C and V in cv as in the status byte. D, I, B and bit 5 are seldom read and
// stay in the object's p. Status bytes are put together only where the program or the
// caller sees them. The step count runs down in left, so that one register holds both
// the count and the limit; what is left is returned.
// Aligned to a cache line: the handlers' place in the lines, and with it the run's speed
// (by up to an eighth), would otherwise move with whatever is linked before it.
template <bool Threaded>
[[gnu::aligned(64)]] CPU6502::Ran CPU6502::execute(long limit, const u8* runTable) {
    if (limit <= 0) return {0, false};
    // The object is kept in memory: only the end and the VIC registers need it, and a register
    // holding it (or the VIC's address) would push one of the 6502's out.
    CPU6502* volatile self = this;
    u8* const ram = machine.ram;
    std::size_t pc = this->pc;  // as wide as an index, so that none is widened first
    u8 a = this->a, x = this->x, y = this->y, sp = this->sp;
    u8 cv;
    unsigned nz;
    const char* stop = nullptr;
    long left = limit;

    // Every helper is inlined: one left out of line would take the registers' addresses.
    // Macros rather than lambdas, and no lambda calls another: a lambda captured by another
    // keeps the registers it captures in memory.
#define SET_STATUS(status)                                                      \
    do {                                                                        \
        const u8 s_ = status;                                                   \
        self->p = s_;                                                           \
        cv = s_ & (FlagC | FlagV);                                              \
        nz = unsigned(s_ & FlagN) << 8 | ((s_ & FlagZ) ? 0 : 1);                \
    } while (0)
#define STATUS() \
    u8((self->p & (FlagD | FlagI | FlagB | Flag5)) | ((nz & 0x8080) ? FlagN : 0) | ((nz & 0xFF) ? 0 : FlagZ) | cv)
    SET_STATUS(this->p);

    auto rd = [&](u16 address) __attribute__((always_inline)) -> u8 {
        if (u16(address + 0x3000) < VicReg::count) [[unlikely]]
            return self->machine.vic[address & 63];
        return ram[address];
    };
    auto wr = [&](u16 address, u8 value) __attribute__((always_inline)) {
        if (u16(address + 0x3000) < VicReg::count) [[unlikely]]
            self->machine.vic[address & 63] = value;
        else
            ram[address] = value;
    };
    auto push = [&](u8 value) __attribute__((always_inline)) { ram[0x100 + sp--] = value; };
    auto pull = [&]() __attribute__((always_inline)) -> u8 { return ram[0x100 + ++sp]; };
    auto setNZ = [&](u8 value) __attribute__((always_inline)) { nz = value; };
    auto zero = [&]() __attribute__((always_inline)) { return !(nz & 0xFF); };
    auto negative = [&]() __attribute__((always_inline)) { return (nz & 0x8080) != 0; };
    // Shifts and compares set C and keep V.
    auto asl = [&](u8 m) __attribute__((always_inline)) { cv = setC(cv, m >> 7); return u8(m << 1); };
    auto lsr = [&](u8 m) __attribute__((always_inline)) { cv = setC(cv, m & 1); return u8(m >> 1); };
    auto rol = [&](u8 m) __attribute__((always_inline)) {
        const u8 r = u8(m << 1 | (cv & FlagC));
        cv = setC(cv, m >> 7);
        return r;
    };
    auto ror = [&](u8 m) __attribute__((always_inline)) {
        const u8 r = u8(m >> 1 | cv << 7);
        cv = setC(cv, m & 1);
        return r;
    };
    auto inc = [](u8 m) __attribute__((always_inline)) { return u8(m + 1); };
    auto dec = [](u8 m) __attribute__((always_inline)) { return u8(m - 1); };
    // Z from a AND m, N from bit 7 of m alone: bit 15 carries it.
    auto bit = [&](u8 m) __attribute__((always_inline)) {
        nz = unsigned(a & m) | unsigned(m & 0x80) << 8;
        cv = u8((cv & FlagC) | (m & FlagV));
    };
    auto compare = [&](u8 r, u8 m) __attribute__((always_inline)) {
        cv = setC(cv, r >= m);
        nz = u8(r - m);
    };
    // Binary ADC of m; SBC adds its complement. The decimal forms put the status byte together.
    auto adc = [&](u8 m, bool subtract) __attribute__((always_inline)) {
        if (self->p & FlagD) [[unlikely]] {
            const u16 r = subtract ? decimalSbc(a, STATUS(), m) : decimalAdc(a, STATUS(), m);
            a = u8(r);
            SET_STATUS(u8(r >> 8));
            return;
        }
        const u8 overflowMask = subtract ? u8(m ^ a) : u8(~(m ^ a));
        const int s = a + (subtract ? u8(~m) : m) + (cv & FlagC);
        cv = u8((((a ^ s) & overflowMask) >> 1 & FlagV) | s >> 8);
        a = u8(s);
        nz = a;
    };
    auto branch = [&](bool taken) __attribute__((always_inline)) {
        pc = u16(pc + 2 + (taken ? std::int8_t(B1) : 0));
    };

    // A run jumps from each instruction straight to the next one's handler (threaded), which
    // predicts far better than one shared jump; a single step goes through one switch. The table
    // is made once; a single step has none, which leaves it free to be inlined.
#define TARGET(code) Threaded ? &&op_##code : nullptr,
#define ILLEGAL(code) Threaded ? &&illegal : nullptr,
    static const void* const next[256] = {OPCODES(TARGET, ILLEGAL)};
#undef ILLEGAL
#undef TARGET
dispatch:
    __attribute__((unused));
    switch (ram[pc]) {
        DOCUMENTED(CASE)
        default: goto illegal;
    }

    READ8(0xA9, 0xA5, 0xB5, 0xAD, 0xBD, 0xB9, 0xA1, 0xB1, a = m; setNZ(a);)
    READ8(0x29, 0x25, 0x35, 0x2D, 0x3D, 0x39, 0x21, 0x31, a &= m; setNZ(a);)
    READ8(0x09, 0x05, 0x15, 0x0D, 0x1D, 0x19, 0x01, 0x11, a |= m; setNZ(a);)
    READ8(0x49, 0x45, 0x55, 0x4D, 0x5D, 0x59, 0x41, 0x51, a ^= m; setNZ(a);)
    READ8(0xC9, 0xC5, 0xD5, 0xCD, 0xDD, 0xD9, 0xC1, 0xD1, compare(a, m);)
    READ8(0x69, 0x65, 0x75, 0x6D, 0x7D, 0x79, 0x61, 0x71, adc(m, false);)
    READ8(0xE9, 0xE5, 0xF5, 0xED, 0xFD, 0xF9, 0xE1, 0xF1, adc(m, true);)
    READ(0xA2, 2, B1, x = m; setNZ(x);)
    READ(0xA6, 2, rd(EA_ZP), x = m; setNZ(x);)
    READ(0xB6, 2, rd(EA_ZPY), x = m; setNZ(x);)
    READ(0xAE, 3, rd(EA_ABS), x = m; setNZ(x);)
    READ(0xBE, 3, rd(EA_ABY), x = m; setNZ(x);)
    READ(0xA0, 2, B1, y = m; setNZ(y);)
    READ(0xA4, 2, rd(EA_ZP), y = m; setNZ(y);)
    READ(0xB4, 2, rd(EA_ZPX), y = m; setNZ(y);)
    READ(0xAC, 3, rd(EA_ABS), y = m; setNZ(y);)
    READ(0xBC, 3, rd(EA_ABX), y = m; setNZ(y);)
    READ(0xE0, 2, B1, compare(x, m);)
    READ(0xE4, 2, rd(EA_ZP), compare(x, m);)
    READ(0xEC, 3, rd(EA_ABS), compare(x, m);)
    READ(0xC0, 2, B1, compare(y, m);)
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
    IMPLIED(0x0A, a = asl(a); setNZ(a))
    IMPLIED(0x4A, a = lsr(a); setNZ(a))
    IMPLIED(0x2A, a = rol(a); setNZ(a))
    IMPLIED(0x6A, a = ror(a); setNZ(a))
    IMPLIED(0xE8, setNZ(++x))
    IMPLIED(0xC8, setNZ(++y))
    IMPLIED(0xCA, setNZ(--x))
    IMPLIED(0x88, setNZ(--y))

    IMPLIED(0xAA, x = a; setNZ(x))
    IMPLIED(0xA8, y = a; setNZ(y))
    IMPLIED(0x8A, a = x; setNZ(a))
    IMPLIED(0x98, a = y; setNZ(a))
    IMPLIED(0xBA, x = sp; setNZ(x))
    IMPLIED(0x9A, sp = x)

    OP(0x90) branch(!(cv & FlagC)); NEXT;
    OP(0xB0) branch(cv & FlagC); NEXT;
    OP(0xF0) branch(zero()); NEXT;
    OP(0xD0) branch(!zero()); NEXT;
    OP(0x30) branch(negative()); NEXT;
    OP(0x10) branch(!negative()); NEXT;
    OP(0x50) branch(!(cv & FlagV)); NEXT;
    OP(0x70) branch(cv & FlagV); NEXT;
    OP(0x4C) pc = EA_ABS; NEXT;
    // The pointer's high byte comes from the same page: ($10FF) reads $10FF and $1000.
    OP(0x6C) {
        const u16 pointer = WORD;
        pc = u16(ram[(pointer & 0xFF00) | u8(pointer + 1)] << 8 | ram[pointer]);
    }
    NEXT;
    // Both operand bytes are read before the pushes, which may land on them.
    OP(0x20) {
        const u16 target = EA_ABS;
        push(u8((pc + 2) >> 8));
        push(u8(pc + 2));
        pc = target;
    }
    NEXT;
    OP(0x60)
        if (sp >= 0xFE) STOP("RTS from top level");
        else {
            const u8 lo = pull();
            pc = u16((pull() << 8 | lo) + 1);
        }
        NEXT;
    OP(0x40) {
        SET_STATUS(u8((pull() & 0xCF) | Flag5));
        const u8 lo = pull();
        pc = u16(pull() << 8 | lo);
        NEXT;
    }

    IMPLIED(0x48, push(a))
    IMPLIED(0x08, push(u8(STATUS() | FlagB | Flag5)))
    IMPLIED(0x68, a = pull(); setNZ(a))
    IMPLIED(0x28, SET_STATUS(u8((pull() & 0xCF) | Flag5)))

    IMPLIED(0x18, cv &= FlagV)
    IMPLIED(0xD8, self->p &= u8(~FlagD))
    IMPLIED(0x58, self->p &= u8(~FlagI))
    IMPLIED(0xB8, cv &= FlagC)
    IMPLIED(0x38, cv |= FlagC)
    IMPLIED(0xF8, self->p |= FlagD)
    IMPLIED(0x78, self->p |= FlagI)
    IMPLIED(0xEA, )

    OP(0x00) STOP("BRK");

illegal:  // undocumented
    STOP("Illegal opcode");

done:
    CPU6502& cpu = *self;
    cpu.pc = u16(pc);
    cpu.a = a, cpu.x = x, cpu.y = y, cpu.sp = sp, cpu.p = STATUS();
    if (stop) cpu.halt(stop);
    return {left, stop != nullptr};
}

#undef CASE
#undef SET_STATUS
#undef STATUS
#undef NEXT
#undef IMPLIED
#undef OP
#undef DOCUMENTED
#undef IGNORE
#undef OPCODES
#undef STOP
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
#undef WORD
#undef ADVANCE
#undef B1
#undef EA_ZPY
#undef EA_ZPX
#undef EA_ZP

// One instruction inlines the whole switch.
[[gnu::flatten]] void CPU6502::step() {
    execute<false>(1, nullptr);
}

long CPU6502::run(long limit) {
    const u8* table = breakpoints.runTable();
    long steps = 0;
    while (steps < limit) {
        // An instruction whose operands wrap past $FFFF is taken as a single step.
        const bool wraps = table[pc] & Breakpoints::Wrap;
        const long n = wraps ? 1 : limit - steps;
        const Ran ran = wraps ? execute<false>(1, nullptr) : execute<true>(n, table);
        steps += n - ran.left;
        if (ran.halted || table[pc] & Breakpoints::Break) break;
    }
    return steps;
}

bool RunSlice(CPU6502& cpu, int budget) {
    if (budget <= 0) return false;
    cpu.run(budget);
    return cpu.stopped || cpu.breakpoints.count(cpu.pc);
}
