#include "cpu/Assembler.h"

#include <cctype>
#include <string_view>

namespace {

using View = std::string_view;

char upperChar(char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; }

std::string upper(View s) {
    std::string u(s);
    for (char& c : u) c = upperChar(c);
    return u;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isSpace(char c) { return isBlank(c) || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isNameChar(char c) { return isLetter(c) || isDigit(c) || c == '_' || c == '.'; }

View trimView(View s) {
    size_t b = 0, e = s.size();
    while (b < e && isSpace(s[b])) ++b;
    while (e > b && isSpace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// Bit m set when the mnemonic has a row of mode m; 0 for a word that is no mnemonic.
// Looked up in a table of all three-letter words, so a line costs no table scans.
int modeMask(View word) {
    static const std::vector<u16> masks = [] {
        std::vector<u16> t(26 * 26 * 26, 0);
        for (const CPU6502::Op& op : CPU6502::ops) {
            const char* m = op.mnemonic;
            if (op.mode != 0) t[(m[0] - 'A') * 676 + (m[1] - 'A') * 26 + (m[2] - 'A')] |= u16(1 << op.mode);
        }
        return t;
    }();
    if (word.size() != 3) return 0;
    int index = 0;
    for (char c : word) {
        c = upperChar(c);
        if (c < 'A' || c > 'Z') return 0;
        index = index * 26 + (c - 'A');
    }
    return masks[size_t(index)];
}

bool hasMode(int modes, int mode) { return (modes >> mode) & 1; }

// "$" and the value in that many upper-case hex digits.
std::string hex(int value, int digits) {
    std::string s(size_t(digits + 1), '$');
    for (int i = digits; i > 0; --i, value >>= 4) s[size_t(i)] = "0123456789ABCDEF"[value & 15];
    return s;
}

// A value below 256 in the text that the line assembler reads as a byte, so it
// picks the zero-page form wherever the instruction has one.
std::string byteText(int value) { return hex(value, value < 16 ? 1 : 2); }

// Splits at the first blank or tab (and "=" when asked); the rest is trimmed.
void splitWord(View s, bool atEquals, View& word, View& rest) {
    size_t i = 0;
    while (i < s.size() && !isBlank(s[i]) && !(atEquals && s[i] == '=')) ++i;
    word = s.substr(0, i);
    rest = trimView(s.substr(i));
}

// Text before the first ";" that is not inside double quotes.
View cutComment(View s) {
    bool quoted = false;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '"') quoted = !quoted;
        else if (s[i] == ';' && !quoted) return s.substr(0, i);
    }
    return s;
}

// The UTF-8 currency sign stands for "$".
std::string readCurrency(View s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const bool sign = s[i] == '\xC2' && i + 1 < s.size() && s[i + 1] == '\xA4';
        out += sign ? '$' : s[i];
        i += sign;
    }
    return out;
}

int selectByte(int value, int byteSel) {
    return byteSel == 1 ? value & 0xFF : byteSel == 2 ? (value >> 8) & 0xFF : value;
}

}  // namespace

void Assembler::error(int lineNo, const std::string& text) { messages.push_back({lineNo, text, true}); }

void Assembler::emit(u8 byte) {
    if (writePass) machine.ram[pc] = byte;
    pc = u16(pc + 1);
}

bool Assembler::assemble(const std::string& source) {
    messages.clear();
    symbols.clear();
    forwardRef.clear();

    std::vector<std::string> lines;
    for (size_t start = 0;;) {
        const size_t end = source.find('\n', start);
        View l = View(source).substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
        lines.emplace_back(l);
        if (end == std::string::npos) break;
        start = end + 1;
    }

    bool ok = true;
    for (int pass = 0; pass < 2 && ok; ++pass) {
        pc = 0xC000;
        codeStart = -1;
        writePass = pass == 1;
        for (size_t i = 0; i < lines.size(); ++i)
            if (!line(int(i + 1), lines[i])) ok = false;
    }
    finalAddr = pc;

    if (!ok) {
        messages.push_back({0, "Compile failed!", true});
        return false;
    }
    messages.push_back({0, "Compiled OK!", false});
    messages.push_back({0, codeStart < 0 ? "No code start" : "Code start address: " + hex(codeStart, 4), false});
    messages.push_back({0, "Final address: " + hex(finalAddr, 4), false});
    return true;
}

bool Assembler::line(int lineNo, const std::string& text) {
    const View uncommented = cutComment(text);
    std::string converted;
    View s = uncommented;
    if (uncommented.find('\xC2') != View::npos) s = converted = readCurrency(uncommented);
    s = trimView(s);
    if (s.empty()) return true;

    if (s[0] == '*') {
        const View rest = trimView(s.substr(1));
        if (rest.empty() || rest[0] != '=') {
            error(lineNo, "Syntax error");
            return false;
        }
        int value;
        bool undefined = false;
        if (!evalView(rest.substr(1), value, undefined) || undefined) {
            error(lineNo, "Bad address");
            return false;
        }
        pc = u16(value);
        return true;
    }

    View word, rest;
    splitWord(s, true, word, rest);
    if (word.empty()) {
        error(lineNo, "Syntax error");
        return false;
    }

    if (!rest.empty() && rest[0] == '=') {
        const std::string name = upper(word);
        int value;
        bool undefined = false;
        if (!evalView(rest.substr(1), value, undefined)) {
            error(lineNo, "Bad value for " + name);
            return false;
        }
        if (writePass) return true;
        if (symbols.count(name)) {
            error(lineNo, "Duplicate variable: " + name);
            return false;
        }
        if (undefined) {
            error(lineNo, "Variable uses an unknown symbol: " + name);
            return false;
        }
        symbols[name] = value;
        return true;
    }

    if (word[0] == '.') return data(lineNo, std::string(word), std::string(rest));
    if (modeMask(word) != 0) return instruction(lineNo, text, word, rest);

    std::string label = upper(word);
    if (label.back() == ':') label.pop_back();
    if (label.empty() || !(isLetter(label[0]) || label[0] == '_')) {
        error(lineNo, "Syntax error");
        return false;
    }
    for (char c : label) {
        if (!isNameChar(c)) {
            error(lineNo, "Bad label: " + label);
            return false;
        }
    }
    bool ok = true;
    if (!writePass) {
        if (symbols.count(label)) {
            error(lineNo, "Duplicate label: " + label);
            ok = false;  // the rest still counts, so later labels keep their places
        } else {
            symbols[label] = pc;
        }
    }
    if (rest.empty()) return ok;

    splitWord(rest, false, word, rest);
    if (word[0] == '.') return data(lineNo, std::string(word), std::string(rest)) && ok;
    if (modeMask(word) == 0) {
        error(lineNo, "Unknown mnemonic: " + std::string(word));
        return false;
    }
    return instruction(lineNo, text, word, rest) && ok;
}

bool Assembler::instruction(int lineNo, const std::string& text, View mnemonicWord, View rest) {
    std::string operand;
    operand.reserve(rest.size());
    for (char c : rest)
        if (!isBlank(c)) operand += upperChar(c);

    std::string asmLine = upper(mnemonicWord);
    const int modes = modeMask(asmLine);
    asmLine += ' ';
    if (operand.empty() || operand == "A") {
        asmLine += operand;
    } else {
        const View op = operand;
        View prefix, expr, suffix;
        if (op[0] == '#') {
            prefix = op.substr(0, 1);
            expr = op.substr(1);
        } else if (op[0] == '(') {
            prefix = op.substr(0, 1);
            const size_t close = op.find(')');
            if (close == View::npos) {
                error(lineNo, "Missing )");
                return false;
            }
            const size_t comma = op.find(",X)");
            if (comma < close) {
                expr = op.substr(1, comma - 1);
                suffix = ",X)";
            } else {
                expr = op.substr(1, close - 1);
                suffix = op.substr(close);
            }
        } else if (op.size() >= 3 && op[op.size() - 2] == ',' && (op.back() == 'X' || op.back() == 'Y')) {
            expr = op.substr(0, op.size() - 2);
            suffix = op.substr(op.size() - 2);
        } else {
            expr = op;
        }

        const bool immediate = prefix == "#";
        const int byteSel = !immediate || expr.empty() ? 0 : expr[0] == '<' ? 1 : expr[0] == '>' ? 2 : 0;
        int value;
        bool undefined = false;
        if (!evalView(expr.substr(byteSel ? 1 : 0), value, undefined)) {
            error(lineNo, (writePass ? "Unknown symbol or bad value: " : "Bad value: ") + std::string(expr));
            return false;
        }
        value = selectByte(value, byteSel);
        const bool unresolved = undefined && !writePass;
        if (unresolved) forwardRef[lineNo] = true;
        const bool forward = !forwardRef.empty() && forwardRef.count(lineNo) > 0;

        asmLine += prefix;
        if (immediate) {
            if (value >= 256 && !unresolved) {
                error(lineNo, "Immediate value out of range");
                return false;
            }
            asmLine += hex(value & 0xFF, 2);
        } else {
            // Forward lines keep one form in both passes: absolute where the instruction
            // has it, else the zero-page form (the indirect modes and STX zp,Y / STY zp,X),
            // for which pass 1 only needs a stand-in byte.
            bool zeroPageOnly = suffix == ",X)" || suffix.substr(0, 3) == "),Y";
            if (forward && prefix.empty() && !hasMode(modes, CPU6502::ModeRelative)) {
                const int index = suffix == ",X" ? 1 : suffix == ",Y" ? 2 : 0;
                zeroPageOnly = !hasMode(modes, CPU6502::absoluteModes[index]) &&
                               hasMode(modes, CPU6502::zeroPageModes[index]);
            }
            if (zeroPageOnly && unresolved) value &= 0xFF;
            asmLine += value >= 256 || (forward && !zeroPageOnly) ? hex(value, 4) : byteText(value);
        }
        asmLine += suffix;
    }

    std::string err;
    int length = cpu.assemble(pc, asmLine, writePass, &err);
    if (length == 0) {
        if (writePass || !hasMode(modes, CPU6502::ModeRelative)) {
            error(lineNo, err + ": " + text);
            return false;
        }
        length = 2;  // a branch whose target comes later
    }
    if (codeStart < 0) codeStart = pc;
    pc = u16(pc + length);
    return true;
}

bool Assembler::data(int lineNo, const std::string& directive, const std::string& rest) {
    const std::string kind = upper(directive);
    if (kind == ".TEXT") {
        const size_t first = rest.find('"'), last = rest.rfind('"');
        if (first == std::string::npos || first == last) {
            error(lineNo, "Syntax error in .text");
            return false;
        }
        for (size_t i = first + 1; i < last; ++i) emit(u8(rest[i]));
        return true;
    }
    const bool bytes = kind == ".BYTE" || kind == ".DATA";
    const bool words = kind == ".WORD", wordsHighFirst = kind == ".WORDHL";
    if (!bytes && !words && !wordsHighFirst) {
        error(lineNo, "Unknown directive " + directive);
        return false;
    }

    std::vector<View> items;
    for (size_t start = 0;;) {
        const size_t comma = rest.find(',', start);
        const View item = trimView(View(rest).substr(start, comma == std::string::npos ? View::npos : comma - start));
        if (!item.empty()) items.push_back(item);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (items.empty()) {
        error(lineNo, "Missing data");
        return false;
    }

    for (const View item : items) {
        const int byteSel = item[0] == '<' ? 1 : item[0] == '>' ? 2 : 0;
        int value;
        bool undefined = false;
        if (!evalView(item.substr(byteSel ? 1 : 0), value, undefined)) {
            error(lineNo, "Bad value: " + std::string(item));
            return false;
        }
        value = selectByte(value, byteSel);
        if (bytes) {
            if (value >= 256 && !(undefined && !writePass)) {
                error(lineNo, "Byte value out of range: " + std::string(item));
                return false;
            }
            emit(u8(value));
        } else if (words) {
            emit(u8(value));
            emit(u8(value >> 8));
        } else {
            emit(u8(value >> 8));
            emit(u8(value));
        }
    }
    return true;
}

bool Assembler::evalExpr(const std::string& text, int& value, bool& undefinedUsed) {
    return evalView(text, value, undefinedUsed);
}

bool Assembler::evalView(View text, int& value, bool& undefinedUsed) {
    const View s = trimView(text);
    const size_t n = s.size();
    int sum = 0, sign = 1;
    bool wantTerm = true;
    for (size_t i = 0; i < n;) {
        const char c = s[i];
        if (isBlank(c)) {
            ++i;
            continue;
        }
        if (!wantTerm) {
            if (c != '+' && c != '-') return false;
            sign = c == '+' ? 1 : -1;
            wantTerm = true;
            ++i;
            continue;
        }
        int term;
        if (c == '*') {
            term = pc;
            ++i;
        } else if (c == '$' || c == '%' || isDigit(c)) {
            size_t j = isDigit(c) ? i : i + 1;
            while (j < n && (isLetter(s[j]) || isDigit(s[j]))) ++j;
            if (!cpu.parseNumber(std::string(s.substr(i, j - i)), term, nullptr)) return false;
            i = j;
        } else if (c == '\'') {
            if (i + 2 >= n || s[i + 2] != '\'') return false;
            term = static_cast<unsigned char>(s[i + 1]);
            i += 3;
        } else if (isLetter(c) || c == '_' || c == '.') {
            size_t j = i;
            while (j < n && isNameChar(s[j])) ++j;
            const auto it = symbols.find(upper(s.substr(i, j - i)));
            if (it != symbols.end()) {
                term = it->second;
            } else {
                if (writePass) return false;
                term = 0xFFFF;
                undefinedUsed = true;
            }
            i = j;
        } else {
            return false;
        }
        sum = (sum + sign * term) & 0xFFFF;
        wantTerm = false;
    }
    if (wantTerm) return false;
    value = sum;
    return true;
}
