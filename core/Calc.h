#pragma once
#include <cstdint>

// The programmer's calculator: one 64-bit value, a pending operation and a
// memory. All arithmetic wraps at 64 bits; nothing here is undefined for any input.
struct Calc {
    enum Op { None = 0, Add, Sub, Mul, Div, Or, And, Xor, Shl, Shr };

    std::int64_t value = 0;
    std::int64_t left = 0;
    int op = None;
    bool fresh = false;  // the next digit starts a new number
    std::int64_t mem = 0;

    // left op right into out; false (out untouched) for a division by zero.
    static bool apply(std::int64_t left, int op, std::int64_t right, std::int64_t& out);

    // Keypad. The operations return false when the pending operation was
    // refused (division by zero): then nothing changes.
    void digit(int d);  // 0-15
    bool operate(int newOp);
    bool equals();
    void complement();  // low 32 bits inverted, high 32 bits cleared
    void negate();
    void clear();
    void memoryStore() { mem = value; }
    void memoryRecall() {
        value = mem;
        fresh = true;
    }
    void memoryAdd();
    void memoryClear() { mem = 0; }

    // The text fields. A number too large for 64 bits is refused (false) and
    // leaves value as it was; text without digits reads as 0.
    bool setDecimal(const char* text);
    bool setHex(const char* text);
    bool setBinary(const char* text);
    // value's low 32 bits as binary digits, no leading zeros; out holds at least 33 bytes.
    void binaryText(char* out) const;
};
