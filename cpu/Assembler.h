#pragma once
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/Machine.h"
#include "core/Types.h"
#include "cpu/CPU6502.h"

// Two-pass source assembler: labels, variables, simple expressions and data
// directives, each instruction encoded through the processor's opcode table.
// Build a fresh one for every compile.
struct Assembler {
    struct Message {
        int line;  // 1-based source line; 0 for the summary
        std::string text;
        bool isError;
    };

    std::vector<Message> messages;
    int codeStart = -1;
    int finalAddr = 0xC000;  // $10000 when the code ends exactly at $FFFF
    std::map<std::string, int, std::less<>> symbols;  // upper-case names
    Machine& machine;
    CPU6502 cpu;
    u16 pc = 0xC000;
    bool writePass = false;
    std::map<int, bool> forwardRef;  // lines whose operand used a later symbol in pass 1

    explicit Assembler(Machine& m) : machine(m), cpu(m) {}
    Assembler(const Assembler&) = delete;  // the index points into this one's symbols
    Assembler& operator=(const Assembler&) = delete;
    ~Assembler() = default;

    bool assemble(std::string_view source);
    bool line(int lineNo, std::string_view text);
    bool data(int lineNo, std::string_view directive, std::string_view rest);
    bool evalExpr(std::string_view text, int& value, bool& undefinedUsed);
    void emit(u8 byte);
    void error(int lineNo, const std::string& text);

private:
    bool instruction(int lineNo, std::string_view text, int mnemonic, std::string_view rest);
    bool label(int lineNo, std::string_view word, bool& ok);
    // Moves pc on; reaching $10000 leaves pc at 0 with `full` set.
    void advance(int count);
    // The address the next byte would take: $10000 after a byte at $FFFF.
    int here() const { return full ? 0x10000 : pc; }
    // False, with the message, when count more bytes would run past $FFFF.
    bool fits(int lineNo, int count);

    // Looks a name up in any case; null when it is not defined.
    const int* findSymbol(std::string_view name);
    // Enters an upper-case name; false when it is already there.
    bool addSymbol(const std::string& name, int value);

    // Whether pass 1 marked the line in forwardRef. Pass 2 asks in line order,
    // so a cursor answers without a walk down the tree.
    bool markedForward(int lineNo);

    // A hash index over `symbols` (their values never change once entered), so a
    // lookup costs no walk down the tree; short names are kept in the slot itself.
    struct Slot {
        u32 hash = 0;
        int value = 0;
        const std::string* name = nullptr;  // null: a free slot
        char text[16] = {};                 // a short name, zero-filled; longer ones start with $FF
    };
    const int* lookUp(const char* upperName, size_t length, u32 hash) const;
    std::vector<Slot> slots;
    std::map<int, bool>::const_iterator forwardNext = forwardRef.end();

    bool full = false;            // the last byte went to $FFFF: nothing more fits
    int lineBytes = 0;            // bytes the current line has produced
    std::string_view lineText;    // the current source line, for messages

    // What pass 1 found on a line, so pass 2 goes straight to the part that
    // emits: its size, and where its directive or mnemonic and operand are.
    struct Shape {
        enum Kind : u8 { Whole, Nothing, Instruction, Data };  // Whole: run the line again
        u32 size = 0;
        u32 restAt = 0;        // where the operand or the data items start in the source
        u16 restLength = 0;
        u8 wordBack = 0;       // how far before them the directive starts
        u8 kind : 2 = Whole;
        u8 mnemonic : 6 = 0;
    };
    std::vector<Shape> shapes;
    Shape shape;                      // the current line's, while pass 1 reads it
    const char* shapeBase = nullptr;  // the text being assembled, which the shapes point into
    bool lineConverted = false;       // the current line is a copy with its currency signs replaced
    void noteShape(Shape::Kind kind, std::string_view word, std::string_view rest, int mnemonic);
    // Reused buffers for a long operand and a line with currency signs, so a line costs no allocation.
    std::string operand, converted;
};
