#pragma once

// Base-16 value of the leading hex digits of text; 0 when there are none.
// Longer runs keep their low 32 bits: callers mask what they use.
inline unsigned ParseHex(const char* text) {
    unsigned v = 0;
    for (const char* p = text; *p; ++p) {
        const char c = *p;
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else break;
        v = (v << 4) | unsigned(d);
    }
    return v;
}
