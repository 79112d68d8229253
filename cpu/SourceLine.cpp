#include "cpu/SourceLine.h"

LineSpan SourceLineSpan(std::string_view text, int line) {
    LineSpan s;
    for (int n = 1; n < line; ++n) {
        size_t nl = text.find('\n', size_t(s.start));
        // The empty rest after a final newline is no line of its own.
        if (nl == std::string_view::npos || nl + 1 == text.size()) break;
        s.start = int(nl) + 1;
    }
    size_t nl = text.find('\n', size_t(s.start));
    s.end = nl == std::string_view::npos ? int(text.size()) : int(nl);
    return s;
}
