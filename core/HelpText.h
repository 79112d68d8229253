#pragma once
// The help text as the help window shows it: section separators, headings and
// paragraphs. The file is written in lines of a fixed width; each paragraph is
// joined into one line so that it wraps anew at any window width.
#include <string>
#include <vector>

struct HelpLine {
    enum Kind { Paragraph, Section, Heading } kind;
    std::string text;  // without the "## " or "### " mark

    bool operator==(const HelpLine&) const = default;
};

// The file's lines: "## x" is a section, "### x" a heading; an empty line
// stays an empty paragraph; other lines in a row form one paragraph joined by
// single spaces, except that a line beginning with "- " starts a new one.
std::vector<HelpLine> parseHelp(const std::vector<std::string>& lines);
