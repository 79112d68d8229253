#include <imgui.h>

#include <string>
#include <vector>

#include "app/App.h"
#include "core/HelpText.h"
#include "gui/Fit.h"
#include "gui/windows/Windows.h"
#include "platform/Platform.h"

void drawHelp(App& app) {
    static std::vector<HelpLine> lines;
    if (lines.empty()) {
        Bytes text;
        if (Platform::readFile(Platform::assetDir() + "/help.txt", text)) lines = parseHelp(std::string(text.begin(), text.end()));
        if (lines.empty()) lines.push_back({HelpLine::Paragraph, "Help text not found."});
    }
    Fit::FirstUse(ImVec2(640, 560));
    if (!ImGui::Begin("Vorlix Help", &app.showHelp)) {
        ImGui::End();
        return;
    }
    // Paragraphs wrap at the window's edge, whatever its width.
    ImGui::PushTextWrapPos(0.0f);
    for (const HelpLine& line : lines) {
        switch (line.kind) {
        case HelpLine::Section:
            ImGui::Spacing();
            ImGui::SeparatorText(line.text.c_str());
            break;
        case HelpLine::Heading:
            ImGui::TextColored(ImVec4(0, 0, 140 / 255.0f, 1), "%s", line.text.c_str());
            break;
        case HelpLine::Paragraph:
            ImGui::TextUnformatted(line.text.c_str());
            break;
        }
    }
    ImGui::PopTextWrapPos();
    ImGui::End();
}
