#include "core/HelpText.h"

std::vector<HelpLine> parseHelp(const std::string& text) {
    std::vector<HelpLine> out;
    bool joinable = false;  // the last line is a paragraph that the next plain line continues
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) nl = text.size();
        const std::string line = text.substr(start, nl - start);
        start = nl + 1;
        if (line.size() > 2 && line.compare(0, 3, "## ") == 0) {
            out.push_back({HelpLine::Section, line.substr(3)});
            joinable = false;
        } else if (line.size() > 3 && line.compare(0, 4, "### ") == 0) {
            out.push_back({HelpLine::Heading, line.substr(4)});
            joinable = false;
        } else if (line.empty()) {
            out.push_back({HelpLine::Paragraph, ""});
            joinable = false;
        } else if (joinable && line.compare(0, 2, "- ") != 0) {
            std::string& last = out.back().text;
            while (!last.empty() && last.back() == ' ') last.pop_back();
            last += ' ';
            last += line.substr(line.find_first_not_of(' ') == std::string::npos ? line.size() : line.find_first_not_of(' '));
        } else {
            out.push_back({HelpLine::Paragraph, line});
            joinable = true;
        }
    }
    return out;
}
