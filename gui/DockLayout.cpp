#include "gui/DockLayout.h"

#include <imgui_internal.h>

#include <cstdio>
#include <initializer_list>
#include <unordered_map>
#include <vector>

#include "app/LayoutFile.h"
#include "platform/Platform.h"

namespace DockLayout {

namespace {

// Windows whose titles change are known by the part after "###", which the
// library hashes with the "###" itself.
const char* const kLeft[] = {"Screen"};
const char* const kUpper[] = {"###Second view", "Registers", "Monitor", "###Processor", "Assembler", "Memory bitmap"};
const char* const kLower[] = {"Character set", "Sprites", "###Character editor", "Sprite editor"};

bool keepFile = false;  // the layout file found at start could not be read

bool inDefaultLayout(ImGuiID window) {
    for (const char* n : kUpper)
        if (ImHashStr(n) == window) return true;
    for (const char* n : kLower)
        if (ImHashStr(n) == window) return true;
    return window == ImHashStr(kLeft[0]);
}

bool inMainTree(ImGuiID nodeId) {
    ImGuiDockNode* node = nodeId ? ImGui::DockBuilderGetNode(nodeId) : nullptr;
    while (node && node->ParentNode) node = node->ParentNode;
    return node && node->ID == MainId();
}

// The area the bars leave, as this frame's bars have made it (the viewport's work area
// follows only in the next frame).
ImRect dockArea() {
    return static_cast<ImGuiViewportP*>(ImGui::GetMainViewport())->GetBuildWorkRect();
}

void buildDefault(ImGuiID id, const ImRect& area) {
    ImGuiContext& g = *GImGui;
    // Windows the default layout does not hold lose their place in the old one: they open
    // again as on first use, at their first size, centred. Ones never shown in this run
    // forget their saved place for that.
    std::vector<ImGuiWindow*> fresh;
    for (ImGuiWindow* w : g.Windows)
        if (w->DockId && inMainTree(w->DockId) && !inDefaultLayout(w->ID)) fresh.push_back(w);
    for (ImGuiWindowSettings* s = g.SettingsWindows.begin(); s; s = g.SettingsWindows.next_chunk(s))
        if (s->DockId && inMainTree(s->DockId) && !inDefaultLayout(s->ID) && !ImGui::FindWindowByID(s->ID))
            s->WantDelete = true;

    ImGui::DockBuilderRemoveNode(id);
    ImGui::DockBuilderAddNode(id, ImGuiDockNodeFlags_DockSpace);
    ImGui::DockBuilderSetNodePos(id, area.Min);
    ImGui::DockBuilderSetNodeSize(id, area.GetSize());
    ImGuiID left = 0, right = 0, upper = 0, lower = 0;
    ImGui::DockBuilderSplitNode(id, ImGuiDir_Right, 0.30f, &right, &left);
    ImGui::DockBuilderSplitNode(right, ImGuiDir_Down, 0.50f, &lower, &upper);
    ImGui::DockBuilderDockWindow(kLeft[0], left);
    for (const char* name : kUpper) ImGui::DockBuilderDockWindow(name, upper);
    for (const char* name : kLower) ImGui::DockBuilderDockWindow(name, lower);
    ImGui::DockBuilderFinish(id);

    for (ImGuiWindow* w : fresh) {
        w->SetWindowPosAllowFlags |= ImGuiCond_FirstUseEver;
        w->SetWindowSizeAllowFlags |= ImGuiCond_FirstUseEver;
    }
}

// Floating windows stay inside the dock area and no larger than it, also after the main window shrank.
// Menus, tooltips and lists place themselves; the bars and the dock space's own window lie where they must.
void keepFloatingInside(const ImRect& area) {
    const ImGuiWindowFlags fixed = ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoTitleBar;
    for (ImGuiWindow* w : GImGui->Windows) {
        if (!w->WasActive || w->RootWindow != w || w->DockIsActive || (w->Flags & fixed) == fixed) continue;
        if (w->Flags & (ImGuiWindowFlags_Tooltip | ImGuiWindowFlags_ChildMenu)) continue;
        if ((w->Flags & ImGuiWindowFlags_Popup) && !(w->Flags & ImGuiWindowFlags_Modal)) continue;
        const ImVec2 size = ImMin(w->SizeFull, area.GetSize());
        const ImVec2 pos = ImClamp(w->Pos, area.Min, ImMax(area.Min, ImVec2(area.Max.x - size.x, area.Max.y - size.y)));
        const bool resized = size.x != w->SizeFull.x || size.y != w->SizeFull.y;
        const bool moved = pos.x != w->Pos.x || pos.y != w->Pos.y;
        if (!resized && !moved) continue;
        if (resized) ImGui::SetWindowSize(w, size);
        if (moved) ImGui::SetWindowPos(w, pos);
        // A floating node's host window takes its place from the node.
        if (ImGuiDockNode* node = w->DockNodeAsHost; node && !node->IsDockSpace()) {
            ImGui::DockBuilderSetNodePos(node->ID, pos);
            ImGui::DockBuilderSetNodeSize(node->ID, size);
        }
    }
}

// The chosen tab of a node comes into sight whenever the node's tabs or width change (a window
// opened, closed or chosen; the node resized). The library does so itself, but not while tabs are
// still being added to the bar and it lays them out anew, so this watches a few frames further.
struct TabWatch {
    ImGuiID selected = 0;
    int tabs = 0;
    float width = 0;
    int frames = 0;
    int seen = 0;  // the frame the node last had a tab bar of several tabs
};
std::unordered_map<ImGuiID, TabWatch> tabWatch;

void keepChosenTabsInSight() {
    const int frame = ImGui::GetFrameCount();
    for (const ImGuiStoragePair& p : GImGui->DockContext.Nodes.Data) {
        const ImGuiDockNode* node = static_cast<ImGuiDockNode*>(p.val_p);
        ImGuiTabBar* bar = node ? node->TabBar : nullptr;
        if (!bar || bar->Tabs.Size < 2) continue;
        TabWatch& tw = tabWatch[node->ID];
        tw.seen = frame;
        const float width = bar->BarRect.GetWidth();
        if (tw.selected != bar->SelectedTabId || tw.tabs != bar->Tabs.Size || tw.width != width) {
            tw = {bar->SelectedTabId, bar->Tabs.Size, width, 4, frame};
        }
        if (tw.frames == 0) continue;
        --tw.frames;
        const ImGuiTabItem* tab = ImGui::TabBarFindTabByID(bar, bar->SelectedTabId);
        if (!tab) continue;
        const float x0 = bar->BarRect.Min.x + tab->Offset - bar->ScrollingTarget, x1 = x0 + tab->Width;
        if (x0 < bar->ScrollingRectMinX - 0.5f || x1 > bar->ScrollingRectMaxX + 0.5f) bar->NextScrollToTabId = tab->ID;
    }
    // Nodes gone, or down to one tab, are forgotten.
    std::erase_if(tabWatch, [frame](const auto& e) { return e.second.seen != frame; });
}

}  // namespace

ImGuiID MainId() { return ImHashStr("MainDockSpace"); }

void LoadSaved() {
    const LayoutFile::Loaded saved = LayoutFile::load(MainId(), kLeft[0]);
    keepFile = saved.keep;
    if (!saved.message.empty()) std::fprintf(stderr, "%s\n", saved.message.c_str());
    if (!saved.text.empty()) ImGui::LoadIniSettingsFromMemory(saved.text.c_str(), saved.text.size());
}

void Save() {
    ImGui::GetIO().WantSaveIniSettings = false;
    if (keepFile) return;
    size_t size = 0;
    const char* text = ImGui::SaveIniSettingsToMemory(&size);
    Platform::saveText(LayoutFile::kName, std::string(text, size));
}

void Frame(bool& reset, bool& checked) {
    const ImGuiID id = MainId();
    const ImRect area = dockArea();
    keepFloatingInside(area);
    if (reset || (!checked && !ImGui::DockBuilderGetNode(id))) buildDefault(id, area);
    checked = true;
    reset = false;
    keepChosenTabsInSight();

    // The dock space's own window over the dock area, as DockSpaceOverViewport makes it but from this
    // frame's area. The docked windows cover it: its background would only be painted over.
    ImGuiViewport* vp = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(area.Min);
    ImGui::SetNextWindowSize(area.GetSize());
    ImGui::SetNextWindowViewport(vp->ID);
    ImGui::SetNextWindowBgAlpha(0.0f);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowRounding, 0.0f);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 0.0f);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0.0f, 0.0f));
    char label[32];
    ImFormatString(label, IM_COUNTOF(label), "WindowOverViewport_%08X", vp->ID);
    ImGui::Begin(label, nullptr,
                 ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoDocking | ImGuiWindowFlags_NoBringToFrontOnFocus | ImGuiWindowFlags_NoNavFocus);
    ImGui::PopStyleVar(3);
    ImGui::DockSpace(id, ImVec2(0.0f, 0.0f));
    ImGui::End();
}

}  // namespace DockLayout
