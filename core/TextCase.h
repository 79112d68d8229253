#pragma once
#include <string>
#include <string_view>

// Letter case of plain ASCII only, whatever the locale: C64 file and disk
// names, host file extensions and assembler words. Other bytes stay as they
// are, so names in any 8-bit encoding are safe.
constexpr char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }
constexpr char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

inline std::string UpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = UpperAscii(c);
    return out;
}

inline std::string LowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = LowerAscii(c);
    return out;
}
