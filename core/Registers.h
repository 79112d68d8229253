#pragma once
#include <string>

#include "core/Machine.h"

// The 47 VIC-II registers $D000-$D02E as the registers window lists them.
namespace Registers {

constexpr int Count = VicReg::count;

// What register $D000 + index is for; "" outside 0-46.
const char* description(int index);
// The value as eight binary digits, bit 7 first.
std::string bits(int value);

}  // namespace Registers
