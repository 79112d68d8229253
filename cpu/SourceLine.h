#pragma once
#include <string_view>

// Byte offsets of one source line: from its first character to the newline
// that ends it (or the end of the text).
struct LineSpan {
    int start = 0;
    int end = 0;
};

// Line `line` (1-based) of the text; a line past the end is the last line, so
// a jump to a line of an older, longer text still lands inside this one.
LineSpan SourceLineSpan(std::string_view text, int line);
