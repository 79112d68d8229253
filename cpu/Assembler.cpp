#include "cpu/Assembler.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>

#include "core/TextCase.h"

namespace {

using View = std::string_view;

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isSpace(char c) { return isBlank(c) || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isNameChar(char c) { return isLetter(c) || isDigit(c) || c == '_' || c == '.'; }

[[gnu::always_inline]] inline View trimView(View s) {
    size_t b = 0, e = s.size();
    while (b < e && isSpace(s[b])) ++b;
    while (e > b && isSpace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// A character constant starts at i: a quote, any one character, a quote. Its
// character is taken as it stands, blank, case, ";" and "," included.
bool quotedChar(View s, size_t i) { return s[i] == '\'' && i + 2 < s.size() && s[i + 2] == '\''; }

bool hasMode(int modes, int mode) { return (modes >> mode) & 1; }

std::string hexAddress(int value) {
    char s[16];
    std::snprintf(s, sizeof s, "$%04X", value);
    return s;
}

// Splits at the first blank or tab (and "=" when asked); the rest is trimmed.
void splitWord(View s, bool atEquals, View& word, View& rest) {
    size_t i = 0;
    while (i < s.size() && !isBlank(s[i]) && !(atEquals && s[i] == '=')) ++i;
    word = s.substr(0, i);
    rest = trimView(s.substr(i));
}

// Text before the first ";" that is neither inside double quotes nor a character
// constant; currency is set when that text holds the first byte of a UTF-8 "¤".
View cutComment(View s, bool& currency) {
    // Most of a line is plain text: skip it a byte at a time by one table look-up.
    static const auto special = [] {
        std::array<bool, 256> t{};
        for (u8 c : {u8(';'), u8('"'), u8('\''), u8(0xC2)}) t[c] = true;
        return t;
    }();
    bool quoted = false;
    for (size_t i = 0; i < s.size(); ++i) {
        while (i < s.size() && !special[u8(s[i])]) ++i;
        if (i == s.size()) break;
        currency = currency || s[i] == '\xC2';
        if (s[i] == '"') quoted = !quoted;
        else if (quoted) continue;
        else if (quotedChar(s, i)) i += 2;
        else if (s[i] == ';') return s.substr(0, i);
    }
    return s;
}

// The next item of a list at pos, up to a "," outside a character constant; pos moves past the ",".
View nextItem(View s, size_t& pos) {
    const size_t start = pos;
    while (pos < s.size() && s[pos] != ',') pos += quotedChar(s, pos) ? 3 : 1;
    const View item = s.substr(start, std::min(pos, s.size()) - start);
    ++pos;
    return trimView(item);
}

bool sameWord(View word, View upperName) {
    if (word.size() != upperName.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (UpperAscii(word[i]) != upperName[i]) return false;
    return true;
}

// The multiplications carry only upwards: mix the high bits into the low ones the table uses.
u32 finishHash(u32 h) {
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    return h ^ (h >> 12);
}

// One character of an upper-case name into the hash; finishHash ends it.
constexpr u32 hashSeed = 2166136261u;
u32 hashStep(u32 h, char c) { return (h ^ u8(c)) * 16777619u; }

u32 hashName(std::string_view upperName) {
    u32 h = hashSeed;
    for (char c : upperName) h = hashStep(h, c);
    return finishHash(h);
}

// The first ")" or needle of an operand that is not inside a character constant; npos when none.
size_t findOutside(View op, View needle) {
    for (size_t i = 0; i < op.size(); i += quotedChar(op, i) ? 3 : 1)
        if (op.compare(i, needle.size(), needle) == 0) return i;
    return View::npos;
}

// A sixteen-bit field takes $0000-$FFFF, and a negative value down to -$8000 as its two's complement.
bool fitsWord(int value) { return value >= -0x8000 && value <= 0xFFFF; }

int selectByte(int value, int byteSel) {
    return byteSel == 1 ? value & 0xFF : byteSel == 2 ? (value >> 8) & 0xFF : value;
}

}  // namespace

const int* Assembler::findSymbol(View text) {
    const std::string key = UpperCase(text);
    return lookUp(key.data(), key.size(), hashName(key));
}

const int* Assembler::lookUp(const char* key, size_t length, u32 hash) const {
    if (slots.empty()) return nullptr;
    char padded[16] = {};
    if (length <= sizeof padded) std::copy_n(key, length, padded);
    for (size_t i = hash & (slots.size() - 1);; i = (i + 1) & (slots.size() - 1)) {
        const Slot& slot = slots[i];
        if (!slot.name) return nullptr;
        if (slot.hash != hash) continue;
        if (length <= sizeof padded ? std::memcmp(slot.text, padded, sizeof padded) == 0
                                    : *slot.name == View(key, length))
            return &slot.value;
    }
}

bool Assembler::addSymbol(const std::string& nameText, int value) {
    const auto [it, added] = symbols.try_emplace(nameText, value);
    if (!added) return false;
    auto place = [this](const Slot& slot) {
        size_t i = slot.hash & (slots.size() - 1);
        while (slots[i].name) i = (i + 1) & (slots.size() - 1);
        slots[i] = slot;
    };
    if (symbols.size() * 2 > slots.size()) {
        // Twice the size, so at most half the slots are in use.
        std::vector<Slot> old(std::max<size_t>(64, slots.size() * 2));
        old.swap(slots);
        for (const Slot& slot : old)
            if (slot.name) place(slot);
    }
    Slot slot{hashName(it->first), value, &it->first, {}};
    if (it->first.size() <= sizeof slot.text) std::copy(it->first.begin(), it->first.end(), slot.text);
    else slot.text[0] = '\xFF';
    place(slot);
    return true;
}

bool Assembler::markedForward(int lineNo) {
    if (forwardNext != forwardRef.begin() && std::prev(forwardNext)->first >= lineNo)
        forwardNext = forwardRef.lower_bound(lineNo);  // asked out of order
    while (forwardNext != forwardRef.end() && forwardNext->first < lineNo) ++forwardNext;
    return forwardNext != forwardRef.end() && forwardNext->first == lineNo;
}

void Assembler::error(int lineNo, const std::string& text) { messages.push_back({lineNo, text, true}); }

void Assembler::advance(int count) {
    const int next = pc + count;
    pc = u16(next);
    full = full || next > 0xFFFF;
    lineBytes += count;
}

bool Assembler::fits(int lineNo, int count) {
    if (!full && pc + count <= 0x10000) [[likely]]
        return true;
    if ((full ? 0x10000 : pc) + count <= 0x10000) return true;
    error(lineNo, "Runs past $FFFF: " + std::string(lineText));
    return false;
}

void Assembler::emit(u8 byte) {
    if (writePass && !full) machine.ram[pc] = byte;
    advance(1);
}

bool Assembler::assemble(View text) {
    const View source = text;
    messages.clear();
    symbols.clear();
    slots.clear();
    forwardRef.clear();
    forwardNext = forwardRef.end();
    shapes.clear();
    shapes.reserve(size_t(std::count(text.begin(), text.end(), '\n')) + 1);
    shapeBase = text.data();

    bool ok = true;
    for (int pass = 0; pass < 2 && ok; ++pass) {
        pc = 0xC000;
        full = false;
        codeStart = -1;
        writePass = pass == 1;
        forwardNext = forwardRef.begin();
        int lineNo = 0;
        for (size_t start = 0;;) {
            size_t end = source.find('\n', start);
            if (end == View::npos) end = source.size();
            View l = source.substr(start, end - start);
            if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
            const u16 pcBefore = pc;
            const bool fullBefore = full;
            bool lineOk;
            if (!writePass) {
                shape = Shape{};
                lineOk = line(++lineNo, l);
                shape.size = lineBytes;
                shapes.push_back(shape);
            } else {
                const Shape& sh = shapes[size_t(lineNo++)];
                lineBytes = 0;
                lineText = l;
                const View rest(source.data() + sh.restAt, sh.restLength);
                switch (sh.kind) {
                case Shape::Nothing: lineOk = true; break;
                case Shape::Instruction: lineOk = instruction(lineNo, l, sh.mnemonic, rest); break;
                case Shape::Data: {
                    const char* word = rest.data() - sh.wordBack;
                    size_t length = 0;
                    while (word + length < source.data() + source.size() && !isBlank(word[length])) ++length;
                    lineOk = data(lineNo, View(word, length), rest);
                    break;
                }
                default: lineOk = line(lineNo, l); break;
                }
                if (!lineOk) {
                    // Whatever failed, the lines after it stay where pass 1 put their labels.
                    pc = pcBefore, full = fullBefore;
                    advance(sh.size);
                }
            }
            ok = ok && lineOk;
            if (end == source.size()) break;
            start = end + 1;
        }
    }
    finalAddr = full ? 0x10000 : pc;
    shapeBase = nullptr;

    if (!ok) {
        messages.push_back({0, "Compile failed!", true});
        return false;
    }
    messages.push_back({0, "Compiled OK!", false});
    messages.push_back({0, codeStart < 0 ? "No code start" : "Code start address: " + hexAddress(codeStart), false});
    messages.push_back({0, "Final address: " + hexAddress(finalAddr), false});
    return true;
}

bool Assembler::line(int lineNo, View text) {
    lineBytes = 0;
    lineText = text;
    bool currency = false;
    View s = cutComment(text, currency);
    lineConverted = currency;
    if (currency) {
        // The UTF-8 currency sign stands for "$".
        converted.clear();
        for (size_t i = 0; i < s.size(); ++i) {
            const bool sign = s[i] == '\xC2' && i + 1 < s.size() && s[i + 1] == '\xA4';
            converted += sign ? '$' : s[i];
            i += sign;
        }
        s = converted;
    }
    s = trimView(s);
    if (s.empty()) {
        noteShape(Shape::Nothing, {}, {}, 0);
        return true;
    }

    if (s[0] == '*') {
        const View rest = trimView(s.substr(1));
        if (rest.empty() || rest[0] != '=') {
            error(lineNo, "Syntax error");
            return false;
        }
        int value;
        bool undefined = false;
        if (!evalExpr(rest.substr(1), value, undefined) || undefined || !fitsWord(value)) {
            error(lineNo, "Bad address");
            return false;
        }
        pc = u16(value);
        full = false;
        return true;
    }

    View word, rest;
    splitWord(s, true, word, rest);
    if (word.empty()) {
        error(lineNo, "Syntax error");
        return false;
    }

    if (!rest.empty() && rest[0] == '=') {
        int value;
        bool undefined = false;
        if (!evalExpr(rest.substr(1), value, undefined)) {
            error(lineNo, "Bad value for " + UpperCase(word));
            return false;
        }
        if (writePass) return true;
        const std::string var = UpperCase(word);
        if (undefined) {
            error(lineNo, (findSymbol(var) ? "Duplicate variable: " : "Variable uses an unknown symbol: ") + var);
            return false;
        }
        if (!addSymbol(var, value)) {
            error(lineNo, "Duplicate variable: " + var);
            return false;
        }
        noteShape(Shape::Nothing, {}, {}, 0);  // pass 2 finds the same value
        return true;
    }

    bool ok = true;
    if (word[0] != '.' && CPU6502::mnemonicId(word) == 0) {
        if (!label(lineNo, word, ok)) return false;
        if (rest.empty()) {
            noteShape(Shape::Nothing, {}, {}, 0);
            return ok;
        }
        splitWord(rest, false, word, rest);
    }
    if (word[0] == '.') {
        noteShape(Shape::Data, word, rest, 0);
        return data(lineNo, word, rest) && ok;
    }
    const int mnemonic = CPU6502::mnemonicId(word);
    if (mnemonic == 0) {
        error(lineNo, "Unknown mnemonic: " + std::string(word));
        return false;
    }
    noteShape(Shape::Instruction, word, rest, mnemonic);
    return instruction(lineNo, text, mnemonic, rest) && ok;
}

// Kept only for lines that are views of the source being assembled (not of a
// line whose currency signs were replaced); any other line runs again whole.
void Assembler::noteShape(Shape::Kind kind, View word, View rest, int mnemonic) {
    if (writePass || !shapeBase || lineConverted || rest.size() > 0xFFFF) return;
    // An empty rest stands right after its word.
    const char* restAt = rest.data() ? rest.data() : word.data() ? word.data() + word.size() : shapeBase;
    if (word.data() && restAt - word.data() > 0xFF) return;
    shape.kind = kind;
    shape.mnemonic = u8(mnemonic) & 63;
    shape.restAt = u32(restAt - shapeBase);
    shape.restLength = u16(rest.size());
    shape.wordBack = u8(word.data() ? restAt - word.data() : 0);
}

// A label: false when its form is bad, which ends the line; a duplicate only
// clears ok, so the rest still counts and later labels keep their places.
bool Assembler::label(int lineNo, View word, bool& ok) {
    View l = word;
    if (l.back() == ':') l.remove_suffix(1);
    if (l.empty() || !(isLetter(l[0]) || l[0] == '_')) {
        error(lineNo, "Syntax error");
        return false;
    }
    for (char c : l) {
        if (!isNameChar(c)) {
            error(lineNo, "Bad label: " + UpperCase(l));
            return false;
        }
    }
    if (writePass) return true;
    const std::string name = UpperCase(l);
    if (!addSymbol(name, here())) {
        error(lineNo, "Duplicate label: " + name);
        ok = false;
    }
    return true;
}

bool Assembler::instruction(int lineNo, View text, int mnemonic, View rest) {
    const int modes = CPU6502::modesOf(mnemonic);

    // The operand without blanks, upper-cased but for character constants; in a
    // stack buffer unless it is long.
    char small[128];
    if (rest.size() > sizeof small) operand.resize(rest.size());
    char* const out = rest.size() > sizeof small ? operand.data() : small;
    size_t used = 0;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (quotedChar(rest, i)) {
            out[used++] = rest[i], out[used++] = rest[i + 1], out[used++] = rest[i + 2];
            i += 2;
        } else if (!isBlank(rest[i])) {
            out[used++] = UpperAscii(rest[i]);
        }
    }

    int mode = CPU6502::ModeNone, value = 0;
    const View op(out, used);
    if (op.empty()) {
        mode = hasMode(modes, CPU6502::ModeAccumulator) ? CPU6502::ModeAccumulator : CPU6502::ModeImplied;
    } else if (op == "A") {
        mode = CPU6502::ModeAccumulator;
    } else {
        View prefix, expr, suffix;
        if (op[0] == '#') {
            prefix = op.substr(0, 1);
            expr = op.substr(1);
        } else if (op[0] == '(') {
            prefix = op.substr(0, 1);
            // A ")" or "," in a character constant is that character.
            const size_t close = findOutside(op, ")");
            if (close == View::npos) {
                error(lineNo, "Missing )");
                return false;
            }
            const size_t comma = findOutside(op, ",X)");
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

        const bool immediate = !prefix.empty() && prefix[0] == '#';
        const int byteSel = !immediate || expr.empty() ? 0 : expr[0] == '<' ? 1 : expr[0] == '>' ? 2 : 0;
        bool undefined = false;
        if (!evalExpr(expr.substr(byteSel ? 1 : 0), value, undefined)) {
            error(lineNo, (writePass ? "Unknown symbol or bad value: " : "Bad value: ") + std::string(expr));
            return false;
        }
        value = selectByte(value, byteSel);
        const bool unresolved = undefined && !writePass;
        if (unresolved) forwardRef.emplace_hint(forwardRef.end(), lineNo, true);
        const bool forward = unresolved || (writePass && markedForward(lineNo));

        if (immediate) {
            if ((value < 0 || value >= 256) && !unresolved) {
                error(lineNo, "Immediate value out of range");
                return false;
            }
            value &= 0xFF;
            mode = CPU6502::ModeImmediate;
        } else {
            // A forward line's stand-in may run past $FFFF in pass 1; its real value is checked in pass 2.
            if (!unresolved && !fitsWord(value)) {
                error(lineNo, "Address out of range: " + std::string(text));
                return false;
            }
            value &= 0xFFFF;
            // Forward lines keep one form in both passes: absolute where the instruction
            // has it, else the zero-page form (the indirect modes and STX zp,Y / STY zp,X),
            // for which pass 1 only needs a stand-in byte.
            bool zeroPageOnly = suffix == ",X)" || suffix.substr(0, 3) == "),Y";
            const int index = suffix == ",X" ? 1 : suffix == ",Y" ? 2 : 0;
            if (forward && prefix.empty() && !hasMode(modes, CPU6502::ModeRelative))
                zeroPageOnly = !hasMode(modes, CPU6502::absoluteModes[index]) &&
                               hasMode(modes, CPU6502::zeroPageModes[index]);
            if (zeroPageOnly && unresolved) value &= 0xFF;
            const bool word = value >= 256 || (forward && !zeroPageOnly);
            if (!prefix.empty()) {
                // The indirect forms, told apart by what follows the value.
                const size_t indexX = suffix.find(",X)"), indexY = suffix.find("),Y");
                if (indexX == 0 || (indexX == View::npos && indexY == 0))
                    mode = value >= 256 ? -1 : indexX == 0 ? CPU6502::ModeIndirectX : CPU6502::ModeIndirectY;
                else if (indexX != View::npos || indexY != View::npos) mode = -1;
                else if (suffix == ")") mode = CPU6502::ModeIndirect;
            } else if (index == 0 && hasMode(modes, CPU6502::ModeRelative)) {
                mode = CPU6502::ModeRelative;
            } else if (word || !hasMode(modes, CPU6502::zeroPageModes[index])) {
                mode = CPU6502::absoluteModes[index];
            } else {
                mode = CPU6502::zeroPageModes[index];
            }
        }
    }

    const bool room = (full ? 0x10000 : pc) + CPU6502::instrLength(mode) <= 0x10000;
    std::string err;
    // Mode -1: a bad zero page address; mode 0: an indirect form with more after its ")".
    int length = mode == -1 ? (err = "Bad zero page address", 0)
                 : mode == CPU6502::ModeNone ? (err = "Syntax error", 0)
                 : cpu.encode(pc, mnemonic, mode, value, writePass && room, &err);
    if (length == 0) {
        if (writePass || !hasMode(modes, CPU6502::ModeRelative)) {
            error(lineNo, err + ": " + std::string(text));
            return false;
        }
        length = 2;  // a branch whose target comes later
    }
    if (!fits(lineNo, length)) return false;
    if (codeStart < 0) codeStart = pc;
    advance(length);
    return true;
}

bool Assembler::data(int lineNo, View directive, View rest) {
    if (sameWord(directive, ".TEXT")) {
        const size_t first = rest.find('"'), last = rest.rfind('"');
        if (first == View::npos || first == last) {
            error(lineNo, "Syntax error in .text");
            return false;
        }
        if (!fits(lineNo, int(last - first - 1))) return false;
        for (size_t i = first + 1; i < last; ++i) emit(u8(rest[i]));
        return true;
    }
    const bool bytes = sameWord(directive, ".BYTE") || sameWord(directive, ".DATA");
    const bool words = sameWord(directive, ".WORD"), wordsHighFirst = sameWord(directive, ".WORDHL");
    if (!bytes && !words && !wordsHighFirst) {
        error(lineNo, "Unknown directive " + std::string(directive));
        return false;
    }
    if (rest.find_first_not_of(", \t\n\r\v\f") == View::npos) {
        error(lineNo, "Missing data");
        return false;
    }

    for (size_t pos = 0; pos <= rest.size();) {
        const View item = nextItem(rest, pos);
        if (item.empty()) continue;
        const int byteSel = item[0] == '<' ? 1 : item[0] == '>' ? 2 : 0;
        int value;
        bool undefined = false;
        if (!evalExpr(item.substr(byteSel ? 1 : 0), value, undefined)) {
            error(lineNo, "Bad value: " + std::string(item));
            return false;
        }
        value = selectByte(value, byteSel);
        const bool unresolved = undefined && !writePass;
        if (bytes && (value < 0 || value >= 256) && !unresolved) {
            error(lineNo, "Byte value out of range: " + std::string(item));
            return false;
        }
        if (!bytes && !fitsWord(value) && !unresolved) {
            error(lineNo, "Word value out of range: " + std::string(item));
            return false;
        }
        if (!fits(lineNo, bytes ? 1 : 2)) return false;
        if (bytes) {
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

bool Assembler::evalExpr(View text, int& value, bool& undefinedUsed) {
    const View s = trimView(text);
    const size_t n = s.size();
    // The exact sum: whether it fits is for the field that takes it to say.
    long long sum = 0;
    int sign = 1;
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
            term = here();
            ++i;
        } else if (c == '$' || c == '%' || isDigit(c)) {
            // The line assembler's number rules, on a run with no blanks in it.
            const int base = c == '$' ? 16 : c == '%' ? 2 : 10;
            size_t j = isDigit(c) ? i : i + 1;
            if (j >= n || !(isLetter(s[j]) || isDigit(s[j]))) return false;
            term = 0;
            for (; j < n && (isLetter(s[j]) || isDigit(s[j])); ++j) {
                const char u = UpperAscii(s[j]);
                const int digit = isDigit(u) ? u - '0' : u <= 'F' ? u - 'A' + 10 : 99;
                if (digit >= base) return false;
                term = term * base + digit;
                if (term >= 0x1000000) return false;
            }
            i = j;
        } else if (c == '\'') {
            if (!quotedChar(s, i)) return false;
            term = static_cast<unsigned char>(s[i + 1]);
            i += 3;
        } else if (isLetter(c) || c == '_' || c == '.') {
            // Upper-cased and hashed as it is read, for one look-up in the index.
            char key[64];
            u32 h = hashSeed;
            size_t j = i;
            for (; j < n && isNameChar(s[j]); ++j) {
                const char u = UpperAscii(s[j]);
                if (j - i < sizeof key) key[j - i] = u;
                h = hashStep(h, u);
            }
            const int* symbol = j - i <= sizeof key ? lookUp(key, j - i, finishHash(h)) : findSymbol(s.substr(i, j - i));
            if (symbol) {
                term = *symbol;
            } else {
                if (writePass) return false;
                term = 0xFFFF;
                undefinedUsed = true;
            }
            i = j;
        } else {
            return false;
        }
        sum += sign * term;
        wantTerm = false;
    }
    if (wantTerm || sum < INT_MIN || sum > INT_MAX) return false;
    value = int(sum);
    return true;
}
