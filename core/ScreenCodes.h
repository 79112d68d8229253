#pragma once
#include <string>

#include "core/Machine.h"

// Screen code 0-127 of the lower-case character set that shows the typed
// character (a Unicode code point), or -1 when there is none.
int CharToScreenCode(unsigned int codePoint);
// The same for the upper-case set the monitor shows: letters of either case
// give 1-26.
int CharToUpperScreenCode(unsigned int codePoint);

// "" when the 2 KB character-set position slot (0-7) of the current VIC bank
// can hold a RAM character set, else the reason.
std::string CharsetSlotProblem(const Machine& m, int slot);
