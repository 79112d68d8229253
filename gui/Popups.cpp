#include "gui/Popups.h"

#include <imgui.h>

#include "app/App.h"
#include "gui/Fit.h"

void drawPopups(App& app) {
    if (app.popups.empty()) return;
    std::string id = app.popups.front().title + "##popup";
    if (!ImGui::IsPopupOpen(id.c_str())) {
        // Another modal (the file dialog, the Clear dialog) keeps its place; this one waits.
        if (!Fit::NoPopupOpen()) return;
        ImGui::OpenPopup(id.c_str());
    }
    ImGui::SetNextWindowPos(ImGui::GetMainViewport()->GetCenter(), ImGuiCond_Appearing,
                            ImVec2(0.5f, 0.5f));
    if (!ImGui::BeginPopupModal(id.c_str(), nullptr,
                                ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings))
        return;
    App::Popup& p = app.popups.front();
    ImGui::TextUnformatted(p.text.c_str());
    ImGui::Spacing();
    bool enter = ImGui::IsKeyPressed(ImGuiKey_Enter, true) ||
                 ImGui::IsKeyPressed(ImGuiKey_KeypadEnter, true);
    bool escape = ImGui::IsKeyPressed(ImGuiKey_Escape, true);
    bool close = false, yes = false;
    if (p.isConfirm) {
        yes = ImGui::Button("Yes", ImVec2(90, 0)) || enter;
        ImGui::SameLine();
        bool no = ImGui::Button("No", ImVec2(90, 0)) || escape;
        close = yes || no;
    } else {
        close = ImGui::Button("OK", ImVec2(90, 0)) || enter || escape;
    }
    std::function<void()> action;
    if (close) {
        if (yes) action = p.onYes;
        ImGui::CloseCurrentPopup();
        app.popups.erase(app.popups.begin());
    }
    ImGui::EndPopup();
    if (action) action();
}
