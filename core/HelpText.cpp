#include "core/HelpText.h"

std::vector<HelpLine> parseHelp(const std::vector<std::string>& lines) {
    std::vector<HelpLine> out;
    bool joinable = false;  // the last line is a paragraph that the next plain line continues
    for (const std::string& line : lines) {
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
