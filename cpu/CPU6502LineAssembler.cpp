#include <vector>

#include "core/Hex.h"
#include "core/TextCase.h"
#include "cpu/CPU6502.h"

bool CPU6502::parseNumber(std::string_view text, int& value, bool* isWord) {
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos) return false;
    const size_t end = text.find_last_not_of(" \t\r\n") + 1;

    int base = 10;
    if (text[begin] == '$') {
        base = 16;
        begin++;
    } else if (text[begin] == '%') {
        base = 2;
        begin++;
    }
    if (begin == end) return false;

    long v = 0;
    for (size_t i = begin; i < end; i++) {
        const int d = HexDigit(text[i]);
        if (d < 0 || d >= base) return false;
        v = v * base + d;
        if (v >= 0x1000000) return false;
    }
    value = int(v);
    if (isWord) {
        const size_t digits = end - begin;
        // Hex goes by its width, so "$05" is a byte and "$0005" a word, as the
        // disassembler prints them; elsewhere a leading zero asks for a word.
        if (base == 16)
            *isWord = digits >= 3;
        else
            *isWord = text[begin] == '0' && digits >= 2;
    }
    return true;
}

namespace {

bool hasMode(const std::string& mnemonic, int mode) { return (CPU6502::modesOf(mnemonic) >> mode) & 1; }

int fail(std::string* error, const char* text) {
    if (error) *error = text;
    return 0;
}

}  // namespace

int CPU6502::assemble(u16 pc, const std::string& line, bool write, std::string* error) {
    const std::string upper = UpperCase(line);

    // Words before the mnemonic (an address, say) are skipped.
    std::vector<std::string> words;
    words.reserve(8);
    std::string word;
    for (char c : upper + " ") {
        if (c == ' ' || c == '\t') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    size_t w = 0;
    while (w < words.size() && !isMnemonic(words[w])) w++;
    if (w == words.size()) return fail(error, "Unknown mnemonic");
    const std::string& mnemonic = words[w];
    std::string operand;
    for (size_t i = w + 1; i < words.size(); i++) operand += words[i];

    int mode = ModeNone;
    int value = 0;
    if (operand.empty()) {
        mode = hasMode(mnemonic, ModeAccumulator) ? ModeAccumulator : ModeImplied;
    } else if (operand == "A") {
        mode = ModeAccumulator;
    } else if (operand[0] == '#') {
        if (!parseNumber(operand.substr(1), value)) return fail(error, "Bad value");
        if (value >= 256) return fail(error, "Value out of range");
        mode = ModeImmediate;
    } else if (operand[0] == '(') {
        const size_t indexX = operand.size() >= 3 ? operand.find(",X)") : std::string::npos;
        const size_t indexY = operand.find("),Y");
        const size_t close = operand.find(')');
        if (indexX != std::string::npos) {
            if (!parseNumber(operand.substr(1, indexX - 1), value) || value >= 256)
                return fail(error, "Bad zero page address");
            mode = ModeIndirectX;
        } else if (indexY != std::string::npos) {
            if (!parseNumber(operand.substr(1, indexY - 1), value) || value >= 256)
                return fail(error, "Bad zero page address");
            mode = ModeIndirectY;
        } else if (close != std::string::npos) {
            if (!parseNumber(operand.substr(1, close - 1), value)) return fail(error, "Bad address");
            if (close + 1 != operand.size()) return fail(error, "Syntax error");
            if (value >= 0x10000) return fail(error, "Address out of range");
            mode = ModeIndirect;
        } else {
            return fail(error, "Syntax error");
        }
    } else {
        int index = 0;
        std::string number = operand;
        if (operand.size() >= 3 && operand[operand.size() - 2] == ',') {
            const char r = operand.back();
            if (r == 'X' || r == 'Y') {
                index = r == 'X' ? 1 : 2;
                number.resize(number.size() - 2);
            }
        }
        bool isWord = false;
        if (!parseNumber(number, value, &isWord)) return fail(error, "Bad address");
        if (value >= 0x10000) return fail(error, "Address out of range");
        if (index == 0 && hasMode(mnemonic, ModeRelative))
            mode = ModeRelative;
        else if (value >= 256 || isWord)
            mode = absoluteModes[index];
        else if (hasMode(mnemonic, zeroPageModes[index]))
            mode = zeroPageModes[index];
        else
            mode = absoluteModes[index];
    }

    return encode(pc, mnemonicId(mnemonic), mode, value, write, error);
}

int CPU6502::encode(u16 pc, int mnemonic, int mode, int value, bool write, std::string* error) {
    int opcode = findOpcode(mnemonic, mode);
    if (opcode < 0 && mode == ModeAccumulator) {
        mode = ModeImplied;
        opcode = findOpcode(mnemonic, mode);
    }
    if (opcode < 0) return fail(error, "Illegal addressing mode");

    if (mode == ModeRelative) {
        // Distance around the 64 KB ring, so branches across $FFFF/$0000 work.
        int d = (value - pc) & 0xFFFF;
        if (d >= 0x8000) d -= 0x10000;
        if (d < -126 || d > 129) return fail(error, "Branch out of range");
        value = (d - 2) & 0xFF;
    }

    const int length = instrLength(mode);
    if (write) {
        const u8 bytes[3] = {u8(opcode), u8(value), u8(value >> 8)};
        for (int i = 0; i < length; i++) machine.ram[u16(pc + i)] = bytes[i];
    }
    return length;
}
