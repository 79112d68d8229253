#pragma once

// The value of a hex digit of either case, -1 for any other character.
constexpr int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Base-16 value of the leading hex digits of text; 0 when there are none.
// Longer runs keep their low 32 bits: callers mask what they use.
inline unsigned ParseHex(const char* text) {
    unsigned v = 0;
    for (const char* p = text; HexDigit(*p) >= 0; ++p) v = (v << 4) | unsigned(HexDigit(*p));
    return v;
}
