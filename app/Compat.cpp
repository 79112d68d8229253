#include "app/Compat.h"

#include <imgui_internal.h>

namespace Compat {

void SeparatorText(const char* label) {
    ImGui::TextUnformatted(label);
    ImGui::SameLine();
    ImVec2 p = ImGui::GetCursorScreenPos();
    float y = p.y + ImGui::GetTextLineHeight() * 0.5f;
    float right = ImGui::GetWindowPos().x + ImGui::GetWindowContentRegionMax().x;
    if (right > p.x)
        ImGui::GetWindowDrawList()->AddLine(ImVec2(p.x, y), ImVec2(right, y),
                                            ImGui::GetColorU32(ImGuiCol_Separator));
    ImGui::NewLine();
}

}  // namespace Compat
