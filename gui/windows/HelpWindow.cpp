#include <imgui.h>

#include <string>
#include <vector>

#include "app/App.h"
#include "gui/Compat.h"
#include "gui/windows/Windows.h"
#include "platform/Platform.h"

void drawHelp(App& app) {
    static std::vector<std::string> lines;
    if (lines.empty()) {
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
    }
    Compat::PlaceWindow("Vorlix Help");
    if (!ImGui::Begin("Vorlix Help", &app.showHelp)) {
        ImGui::End();
        return;
    }
    // Lines wrap at the window's edge, whatever its width.
    ImGui::PushTextWrapPos(0.0f);
    for (const std::string& line : lines) {
        if (line.size() > 2 && line.compare(0, 3, "## ") == 0) {
            ImGui::Spacing();
            Compat::SeparatorText(line.c_str() + 3);
        } else if (line.size() > 3 && line.compare(0, 4, "### ") == 0) {
            ImGui::TextColored(ImVec4(0, 0, 140 / 255.0f, 1), "%s", line.c_str() + 4);
        } else {
            ImGui::TextUnformatted(line.c_str());
        }
    }
    ImGui::PopTextWrapPos();
    ImGui::End();
}
