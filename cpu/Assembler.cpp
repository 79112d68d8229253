#include "cpu/Assembler.h"

#include <cctype>
#include <cstdio>

namespace {

std::string upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
}

std::string hex(const char* format, int value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

// A value below 256 in the text that the line assembler reads as a byte, so it
// picks the zero-page form wherever the instruction has one.
std::string byteText(int value) { return hex(value < 16 ? "$%X" : "$%02X", value); }

// Splits at the first blank or tab (and "=" when asked); the rest is trimmed.
void splitWord(const std::string& s, bool atEquals, std::string& word, std::string& rest) {
    size_t i = 0;
    while (i < s.size() && !isBlank(s[i]) && !(atEquals && s[i] == '=')) ++i;
    word = s.substr(0, i);
    rest = Assembler::trim(s.substr(i));
}

// Text before the first ";" that is not inside double quotes.
std::string cutComment(const std::string& s) {
    bool quoted = false;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '"') quoted = !quoted;
        else if (s[i] == ';' && !quoted) return s.substr(0, i);
    }
    return s;
}

// The UTF-8 currency sign stands for "$".
std::string readCurrency(const std::string& s) {
    if (s.find('\xC2') == std::string::npos) return s;
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\xC2' && i + 1 < s.size() && s[i + 1] == '\xA4') {
            out += '$';
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

constexpr int kZeroPageMode[3] = {3, 4, 5};
constexpr int kAbsoluteMode[3] = {6, 7, 8};
constexpr int kRelativeMode = 10;

}  // namespace

std::string Assembler::trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

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
    size_t start = 0;
    while (true) {
        size_t end = source.find('\n', start);
        std::string l = source.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(std::move(l));
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
    messages.push_back({0, codeStart < 0 ? "No code start" : hex("Code start address: $%04X", codeStart), false});
    messages.push_back({0, hex("Final address: $%04X", finalAddr), false});
    return true;
}

bool Assembler::line(int lineNo, const std::string& text) {
    std::string s = trim(readCurrency(cutComment(text)));
    if (s.empty()) return true;

    if (s[0] == '*') {
        const std::string rest = trim(s.substr(1));
        if (rest.empty() || rest[0] != '=') {
            error(lineNo, "Syntax error");
            return false;
        }
        int value;
        bool undefined = false;
        if (!evalExpr(rest.substr(1), value, undefined) || undefined) {
            error(lineNo, "Bad address");
            return false;
        }
        pc = u16(value);
        return true;
    }

    std::string word, rest;
    splitWord(s, true, word, rest);
    if (word.empty()) {
        error(lineNo, "Syntax error");
        return false;
    }

    if (!rest.empty() && rest[0] == '=') {
        const std::string name = upper(word);
        int value;
        bool undefined = false;
        if (!evalExpr(rest.substr(1), value, undefined)) {
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

    if (word[0] == '.') return data(lineNo, word, rest);
    if (cpu.isMnemonic(word)) return instruction(lineNo, text, word, rest);

    std::string label = upper(word);
    if (!label.empty() && label.back() == ':') label.pop_back();
    if (label.empty() || !(std::isalpha(static_cast<unsigned char>(label[0])) || label[0] == '_')) {
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
    if (word[0] == '.') return data(lineNo, word, rest) && ok;
    if (!cpu.isMnemonic(word)) {
        error(lineNo, "Unknown mnemonic: " + word);
        return false;
    }
    return instruction(lineNo, text, word, rest) && ok;
}

bool Assembler::instruction(int lineNo, const std::string& text, const std::string& mnemonicWord,
                            const std::string& rest) {
    const std::string mnemonic = upper(mnemonicWord);
    std::string operand;
    for (char c : upper(rest))
        if (!isBlank(c)) operand += c;

    std::string asmLine = mnemonic + " ";
    if (operand.empty() || operand == "A") {
        asmLine += operand;
    } else {
        std::string prefix, expr, suffix;
        int byteSel = 0;  // 1: "<" low byte, 2: ">" high byte
        if (operand[0] == '#') {
            prefix = "#";
            expr = operand.substr(1);
        } else if (operand[0] == '(') {
            prefix = "(";
            const size_t close = operand.find(')');
            if (close == std::string::npos) {
                error(lineNo, "Missing )");
                return false;
            }
            const size_t comma = operand.find(",X)");
            if (comma < close) {
                expr = operand.substr(1, comma - 1);
                suffix = ",X)";
            } else {
                expr = operand.substr(1, close - 1);
                suffix = operand.substr(close);
            }
        } else if (operand.size() >= 3 && operand[operand.size() - 2] == ',' &&
                   (operand.back() == 'X' || operand.back() == 'Y')) {
            expr = operand.substr(0, operand.size() - 2);
            suffix = operand.substr(operand.size() - 2);
        } else {
            expr = operand;
        }

        std::string evalText = expr;
        if (prefix == "#" && !expr.empty() && (expr[0] == '<' || expr[0] == '>')) {
            byteSel = expr[0] == '<' ? 1 : 2;
            evalText = expr.substr(1);
        }
        int value;
        bool undefined = false;
        if (!evalExpr(evalText, value, undefined)) {
            error(lineNo, (writePass ? "Unknown symbol or bad value: " : "Bad value: ") + expr);
            return false;
        }
        if (byteSel == 1) value &= 0xFF;
        if (byteSel == 2) value = (value >> 8) & 0xFF;
        const bool unresolved = undefined && !writePass;
        if (unresolved) forwardRef[lineNo] = true;
        const bool forward = forwardRef.count(lineNo) > 0;

        std::string valueText;
        if (prefix == "#") {
            if (value >= 256 && !unresolved) {
                error(lineNo, "Immediate value out of range");
                return false;
            }
            valueText = hex("$%02X", value & 0xFF);
        } else {
            // Forward lines keep one form in both passes: absolute where the instruction
            // has it, else the zero-page form (the indirect modes and STX zp,Y / STY zp,X),
            // for which pass 1 only needs a stand-in byte.
            bool zeroPageOnly = suffix == ",X)" || suffix.rfind("),Y", 0) == 0;
            if (forward && prefix.empty() && cpu.findOpcode(mnemonic, kRelativeMode) < 0) {
                const int index = suffix == ",X" ? 1 : suffix == ",Y" ? 2 : 0;
                zeroPageOnly = cpu.findOpcode(mnemonic, kAbsoluteMode[index]) < 0 &&
                               cpu.findOpcode(mnemonic, kZeroPageMode[index]) >= 0;
            }
            if (zeroPageOnly && unresolved) value &= 0xFF;
            if (value >= 256 || (forward && !zeroPageOnly)) valueText = hex("$%04X", value);
            else valueText = byteText(value);
        }
        asmLine += prefix + valueText + suffix;
    }

    std::string err;
    int length = cpu.assemble(pc, asmLine, writePass, &err);
    if (length == 0) {
        if (writePass || cpu.findOpcode(mnemonic, kRelativeMode) < 0) {
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

    std::vector<std::string> items;
    for (size_t start = 0;;) {
        const size_t comma = rest.find(',', start);
        std::string item = trim(rest.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (!item.empty()) items.push_back(std::move(item));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (items.empty()) {
        error(lineNo, "Missing data");
        return false;
    }

    for (const std::string& item : items) {
        const int byteSel = item[0] == '<' ? 1 : item[0] == '>' ? 2 : 0;
        int value;
        bool undefined = false;
        if (!evalExpr(byteSel ? item.substr(1) : item, value, undefined)) {
            error(lineNo, "Bad value: " + item);
            return false;
        }
        if (byteSel == 1) value &= 0xFF;
        if (byteSel == 2) value = (value >> 8) & 0xFF;
        if (bytes) {
            if (value >= 256 && !(undefined && !writePass)) {
                error(lineNo, "Byte value out of range: " + item);
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
    const std::string s = trim(text);
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
        } else if (c == '$' || c == '%' || std::isdigit(static_cast<unsigned char>(c))) {
            size_t j = std::isdigit(static_cast<unsigned char>(c)) ? i : i + 1;
            while (j < n && std::isalnum(static_cast<unsigned char>(s[j]))) ++j;
            if (!cpu.parseNumber(s.substr(i, j - i), term, nullptr)) return false;
            i = j;
        } else if (c == '\'') {
            if (i + 2 >= n || s[i + 2] != '\'') return false;
            term = static_cast<unsigned char>(s[i + 1]);
            i += 3;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '.') {
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
