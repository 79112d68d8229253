#include "gui/Fit.h"

#include <imgui_internal.h>

namespace Fit {

void SameLineIfFits(float width) {
    ImGui::SameLine();
    const float right = ImGui::GetCurrentWindow()->ContentRegionRect.Max.x;
    if (ImGui::GetCursorScreenPos().x + width > right) ImGui::NewLine();
}

void PushWrapAtEdge() {
    ImGuiWindow* w = ImGui::GetCurrentWindow();
    ImGui::PushTextWrapPos(ImMax(w->Size.x - w->WindowPadding.x - w->ScrollbarSizes.x, 1.0f));
}

float ButtonWidth(const char* label) {
    return ImGui::CalcTextSize(label, nullptr, true).x + ImGui::GetStyle().FramePadding.x * 2;
}

float CheckboxWidth(const char* label) {
    return ImGui::GetFrameHeight() + ImGui::GetStyle().ItemInnerSpacing.x + ImGui::CalcTextSize(label, nullptr, true).x;
}

bool NoPopupOpen() { return !ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId); }

bool ModalOpen() { return ImGui::GetTopMostPopupModal() != nullptr; }

void LimitFloatingWindow() {
    const ImGuiViewport* vp = ImGui::GetMainViewport();
    ImGui::SetNextWindowSizeConstraints(ImVec2(0, 0), vp->WorkSize);
}

void FirstUse(ImVec2 size) {
    const ImGuiViewport* vp = ImGui::GetMainViewport();
    ImGui::SetNextWindowSize(ImMin(size, vp->WorkSize), ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowPos(vp->GetWorkCenter(), ImGuiCond_FirstUseEver, ImVec2(0.5f, 0.5f));
}

}  // namespace Fit
