#include "core/Calc.h"

#include <cerrno>
#include <cstdlib>

namespace {

using u64 = std::uint64_t;
using i64 = std::int64_t;

// Two's-complement wrap without signed overflow.
i64 wrap(u64 v) { return i64(v); }

bool parse(const char* text, int base, bool isSigned, i64& out) {
    const char* p = text;
    char* end = nullptr;
    errno = 0;
    i64 v = isSigned ? std::strtoll(p, &end, base) : wrap(std::strtoull(p, &end, base));
    if (errno == ERANGE) return false;
    // An unsigned parse accepts a leading minus and negates; these fields show none.
    if (!isSigned && end != p) {
        while (*p == ' ') ++p;
        if (*p == '-') return false;
    }
    out = end == text ? 0 : v;
    return true;
}

}  // namespace

bool Calc::apply(i64 l, int o, i64 r, i64& out) {
    const u64 a = u64(l), b = u64(r);
    switch (o) {
    case Add: out = wrap(a + b); return true;
    case Sub: out = wrap(a - b); return true;
    case Mul: out = wrap(a * b); return true;
    case Div:
        if (r == 0) return false;
        // The one quotient that does not fit wraps to the dividend.
        out = (r == -1) ? wrap(0 - a) : l / r;
        return true;
    case Or: out = wrap(a | b); return true;
    case And: out = wrap(a & b); return true;
    case Xor: out = wrap(a ^ b); return true;
    case Shl:
    case Shr: {
        unsigned n = unsigned(b & 31);
        if (o == Shl) out = wrap(a << n);
        else out = l >> n;  // arithmetic: the sign fills
        return true;
    }
    default: out = r; return true;
    }
}

void Calc::digit(int d) {
    if (fresh) {
        value = 0;
        fresh = false;
    }
    value = wrap(u64(value) * 16 + u64(d & 15));
}

bool Calc::operate(int newOp) {
    if (op != None && !apply(left, op, value, value)) return false;
    fresh = true;
    left = value;
    op = newOp;
    return true;
}

bool Calc::equals() {
    if (op != None && !apply(left, op, value, value)) return false;
    op = None;
    fresh = true;
    return true;
}

void Calc::complement() { value = i64(~u64(value) & 0xFFFFFFFFu); }

void Calc::negate() { value = wrap(0 - u64(value)); }

void Calc::clear() {
    left = 0;
    value = 0;
    op = None;
}

void Calc::memoryAdd() { mem = wrap(u64(mem) + u64(value)); }

bool Calc::setDecimal(const char* text) { return parse(text, 10, true, value); }

bool Calc::setHex(const char* text) { return parse(text, 16, false, value); }

bool Calc::setBinary(const char* text) { return parse(text, 2, false, value); }

void Calc::binaryText(char* out) const {
    u64 v = u64(value) & 0xFFFFFFFFu;
    int n = 0;
    for (int bit = 31; bit >= 0; --bit)
        if (n > 0 || ((v >> bit) & 1) || bit == 0) out[n++] = char('0' + ((v >> bit) & 1));
    out[n] = 0;
}
