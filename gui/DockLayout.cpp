#include "gui/DockLayout.h"

#include <imgui_internal.h>

#include <initializer_list>

namespace DockLayout {

namespace {

void buildDefault(ImGuiID id) {
    const ImGuiViewport* vp = ImGui::GetMainViewport();
    ImGui::DockBuilderRemoveNode(id);
    ImGui::DockBuilderAddNode(id, ImGuiDockNodeFlags_DockSpace);
    ImGui::DockBuilderSetNodeSize(id, vp->WorkSize);
    ImGuiID left = 0, right = 0, upper = 0, lower = 0;
    ImGui::DockBuilderSplitNode(id, ImGuiDir_Right, 0.30f, &right, &left);
    ImGui::DockBuilderSplitNode(right, ImGuiDir_Down, 0.50f, &lower, &upper);
    ImGui::DockBuilderDockWindow("Screen", left);
    // Windows whose titles change are known by the part after "###", which the
    // library hashes with the "###" itself.
    for (const char* name : {"###Second view", "Registers", "Monitor", "###Processor", "Assembler", "Memory bitmap"})
        ImGui::DockBuilderDockWindow(name, upper);
    for (const char* name : {"Character set", "Sprites", "###Character editor", "Sprite editor"})
        ImGui::DockBuilderDockWindow(name, lower);
    ImGui::DockBuilderFinish(id);
}

}  // namespace

ImGuiID MainId() { return ImHashStr("MainDockSpace"); }

void Frame(bool& reset, bool& checked) {
    const ImGuiID id = MainId();
    if (reset || (!checked && !ImGui::DockBuilderGetNode(id))) buildDefault(id);
    checked = true;
    reset = false;
    // The docked windows cover the dock space: its own background would only be painted over.
    ImGui::SetNextWindowBgAlpha(0.0f);
    ImGui::DockSpaceOverViewport(id, ImGui::GetMainViewport());
}

}  // namespace DockLayout
