#pragma once
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/Machine.h"
#include "core/Types.h"
#include "cpu/CPU6502.h"

// Two-pass source assembler: labels, variables, simple expressions and data
// directives, each instruction handed to the processor's line assembler.
// Build a fresh one for every compile.
struct Assembler {
    struct Message {
        int line;  // 1-based source line; 0 for the summary
        std::string text;
        bool isError;
    };

    std::vector<Message> messages;
    int codeStart = -1;
    int finalAddr = 0xC000;
    std::map<std::string, int> symbols;  // upper-case names
    Machine& machine;
    CPU6502 cpu;
    u16 pc = 0xC000;
    bool writePass = false;
    std::map<int, bool> forwardRef;  // lines whose operand used a later symbol in pass 1

    explicit Assembler(Machine& m) : machine(m), cpu(m) {}
    ~Assembler() = default;

    bool assemble(const std::string& source);
    bool line(int lineNo, const std::string& text);
    bool data(int lineNo, const std::string& directive, const std::string& rest);
    bool evalExpr(const std::string& text, int& value, bool& undefinedUsed);
    void emit(u8 byte);
    void error(int lineNo, const std::string& text);

private:
    bool instruction(int lineNo, const std::string& text, std::string_view mnemonic,
                     std::string_view rest);
    bool evalView(std::string_view text, int& value, bool& undefinedUsed);
};
