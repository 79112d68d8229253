#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "core/Calc.h"

namespace {

// Keys as the keypad has them: hex digits, + - * / | & ^ < > (shifts), = N(OT) ~(+/-) C(lear),
// S R M (MS, MR, M+). 'D', 'T' and 'B' enter decimal, hex or binary text up to ';'.
std::int64_t run(const std::string& keys, bool& refused) {
    Calc c;
    refused = false;
    for (size_t i = 0; i < keys.size(); ++i) {
        char k = keys[i];
        bool ok = true;
        if (k >= '0' && k <= '9') c.digit(k - '0');
        else if (k >= 'a' && k <= 'f') c.digit(k - 'a' + 10);
        else if (k == 'D' || k == 'T' || k == 'B') {
            size_t end = keys.find(';', i);
            std::string text = keys.substr(i + 1, end - i - 1);
            ok = k == 'D' ? c.setDecimal(text.c_str()) : k == 'T' ? c.setHex(text.c_str()) : c.setBinary(text.c_str());
            i = end;
        } else if (k == '=') ok = c.equals();
        else if (k == 'N') c.complement();
        else if (k == '~') c.negate();
        else if (k == 'C') c.clear();
        else if (k == 'S') c.memoryStore();
        else if (k == 'R') c.memoryRecall();
        else if (k == 'M') c.memoryAdd();
        else ok = c.operate(int(std::strchr("+-*/|&^<>", k) - "+-*/|&^<>") + 1);
        refused = refused || !ok;
    }
    return c.value;
}

TEST(Calc, KeySequences) {
    struct Case {
        const char* keys;
        std::int64_t value;
        bool refused;
    } cases[] = {
        {"7/0=", 0, true},                     // division by zero keeps the value
        {"7/0=5=", 1, true},                   // ... and the pending division waits for a divisor
        {"1<D33;=", 2, false},                 // shift count uses the low 5 bits
        {"D-8;>1=", -4, false},                // arithmetic right shift
        {"D-1;N", 0, false},
        {"1=ab", 171, false},                  // a digit after "=" starts a new number
        {"2+3*", 5, false},                    // operators chain
        {"D9223372036854775807;+1=", LLONG_MIN, false},  // overflow wraps
        {"D-9223372036854775808;~", LLONG_MIN, false},
        {"D-9223372036854775808;-1=", LLONG_MAX, false},
        {"D-9223372036854775808;/D-1;=", LLONG_MIN, false},
        {"D4294967296;*D4294967296;=", 0, false},
        {"D-7;/2=", -3, false},                // truncates toward zero
        {"D99999999999999999999;", 0, true},   // too large: refused, value kept
        {"5D-99999999999999999999;", 5, true},
        {"TFFFFFFFFFFFFFFFF;", -1, false},
        {"3TFFFFFFFFFFFFFFFFF;", 3, true},
        {"D12abc;", 12, false},
        {"9D;", 0, false},
        {"5+5C", 0, false},
        {"B101;", 5, false},
        {"D9223372036854775807;SMR", -2, false},  // M+ wraps too
        {"5SR1", 1, false},                    // a digit after MR starts a new number
    };
    for (const Case& t : cases) {
        bool refused = false;
        EXPECT_EQ(run(t.keys, refused), t.value) << t.keys;
        EXPECT_EQ(refused, t.refused) << t.keys;
    }
    Calc c;
    char bin[40];
    c.binaryText(bin);
    EXPECT_STREQ(bin, "0");
    c.setDecimal("-1");
    c.binaryText(bin);
    EXPECT_EQ(std::string(bin), std::string(32, '1'));
}

}  // namespace
