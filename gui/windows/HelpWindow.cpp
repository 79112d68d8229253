#include <imgui.h>

#include <string>
#include <vector>

#include "app/App.h"
#include "core/HelpText.h"
#include "gui/Fit.h"
#include "gui/windows/Windows.h"
#include "platform/Platform.h"

void drawHelp(App& app) {
    // Read once: the file's lines are needed only to make these.
    static std::vector<HelpLine> shown;
    if (shown.empty()) {
        std::vector<std::string> lines;
        Bytes text;
        if (Platform::readFile(Platform::assetDir() + "/help.txt", text)) {
            std::string all(text.begin(), text.end());
            size_t start = 0;
            while (start < all.size()) {
                size_t nl = all.find('\n', start);
                if (nl == std::string::npos) nl = all.size();
                lines.push_back(all.substr(start, nl - start));
                start = nl + 1;
            }
        }
        if (lines.empty()) lines.push_back("Help text not found.");
        shown = parseHelp(lines);
    }
    Fit::FirstUse(ImVec2(640, 560));
    if (!ImGui::Begin("Vorlix Help", &app.showHelp)) {
        ImGui::End();
        return;
    }
    // Paragraphs wrap at the window's edge, whatever its width.
    ImGui::PushTextWrapPos(0.0f);
    for (const HelpLine& line : shown) {
        if (line.kind == HelpLine::Section) {
            ImGui::Spacing();
            ImGui::SeparatorText(line.text.c_str());
        } else if (line.kind == HelpLine::Heading) {
            ImGui::TextColored(ImVec4(0, 0, 140 / 255.0f, 1), "%s", line.text.c_str());
        } else {
            ImGui::TextUnformatted(line.text.c_str());
        }
    }
    ImGui::PopTextWrapPos();
    ImGui::End();
}
