#include <imgui.h>

#include <string>
#include <vector>

#include "gui/Classic.h"
#include "gui/Fit.h"
#include "gui/windows/Windows.h"
#include "platform/FileIO.h"

namespace FileIO {

namespace {

// The row (directory and name) that the last press in the listing hit.
std::string g_lastPress;

// The second press of a double click counts only on the row its first press hit:
// after a click entered a directory, it must not act in the new listing.
bool pressCounts(const Dialog& d, const std::string& name) {
    std::string key = d.dir + '\n' + name;
    bool counts = !ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left) || key == g_lastPress;
    g_lastPress = key;
    return counts;
}

// Closes the popup when an action ended the request or a callback started a new one.
bool settle(const Dialog& d, unsigned serial) {
    if (!d.open || d.serial != serial) {
        ImGui::CloseCurrentPopup();
        return true;
    }
    return false;
}

ListingCache g_listing;

void drawDriveCombo(Dialog& d) {
    std::string root = rootName(d.dir);
    float width = ImGui::CalcTextSize("C:\\ ").x + ImGui::GetFrameHeight() + 8.0f;
    ImGui::SetNextItemWidth(width);
    if (!ImGui::BeginCombo("##drive", root.c_str())) return;
    std::vector<std::string> letters = drives();
    if (letters.empty()) {
        // No drive letters here: the file system's root stands in for them.
        if (ImGui::Selectable(root.c_str(), true)) enterDir(d, root);
    }
    for (const std::string& l : letters) {
        if (ImGui::Selectable(l.c_str(), l == root)) goDrive(d, l[0]);
    }
    ImGui::EndCombo();
}

}  // namespace

void draw(Dialog& d) {
    if (!d.open) {
        // Ended outside this window (e.g. by a direct accept): take the popup down too.
        if (ImGui::IsPopupOpen("##filedialog") && ImGui::BeginPopupModal("##filedialog", nullptr)) {
            ImGui::CloseCurrentPopup();
            ImGui::EndPopup();
        }
        return;
    }
    const unsigned serial = d.serial;
    if (d.openPending) {
        // Opening over another modal would close it; wait for its turn.
        if (!Fit::NoPopupOpen()) return;
        ImGui::OpenPopup("##filedialog");
        d.openPending = false;
    }
    const ImGuiViewport* vp = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(vp->GetCenter(), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
    // At the UI scale, and never larger than the main window.
    const float s = Classic::Scale();
    ImGui::SetNextWindowSize(ImVec2(std::min(620 * s, vp->WorkSize.x), std::min(440 * s, vp->WorkSize.y)), ImGuiCond_Appearing);
    bool keepOpen = true;
    if (!ImGui::BeginPopupModal("##filedialog", &keepOpen, ImGuiWindowFlags_NoSavedSettings)) {
        if (!keepOpen) cancel(d);
        // Closed from outside (another popup took its place): show it again when possible.
        else d.openPending = true;
        return;
    }

    ImGui::TextUnformatted(d.title.c_str());
    ImGui::Separator();

    if (ImGui::Button("Up")) goUp(d);
    ImGui::SameLine();
    if (ImGui::Button("Home")) goHome(d);
    ImGui::SameLine();
    drawDriveCombo(d);
    ImGui::SameLine();
    ImGui::TextWrapped("%s", d.dir.c_str());

    if (d.filterIndex < 0 || d.filterIndex >= int(d.filters.size())) d.filterIndex = 0;
    const Filter& filter = d.filters.empty() ? FileIO::allFiles : d.filters[size_t(d.filterIndex)];
    const std::vector<Entry>& entries = cachedList(g_listing, d.dir, filter, serial, ImGui::GetTime());

    float reserve = 3 * ImGui::GetFrameHeightWithSpacing();
    if (!d.error.empty()) reserve += ImGui::GetTextLineHeightWithSpacing();
    bool done = false;
    ImGui::BeginChild("##files", ImVec2(0, -reserve), true);
    // Only the rows in view are laid out.
    ImGuiListClipper clipper;
    clipper.Begin(int(entries.size()));
    bool stale = false;
    while (!stale && clipper.Step()) {
        for (int i = clipper.DisplayStart; i < clipper.DisplayEnd && !stale; ++i) {
            const Entry& e = entries[size_t(i)];
            if (e.isDir) {
                std::string label = "[" + e.name + "]";
                if (ImGui::Selectable(label.c_str(), false, ImGuiSelectableFlags_AllowDoubleClick) &&
                    pressCounts(d, label)) {
                    enterDir(d, e.name);
                    stale = true;  // the listing is stale now
                }
            } else if (ImGui::Selectable(e.name.c_str(), e.name == d.name, ImGuiSelectableFlags_AllowDoubleClick) &&
                       pressCounts(d, e.name)) {
                pickFile(d, e.name);
                if (ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left)) {
                    accept(d);
                    done = settle(d, serial);
                    stale = true;
                }
            }
        }
    }
    clipper.End();
    ImGui::EndChild();

    if (!done) {
        ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x - 200.0f);
        bool enter = ImGui::InputText("##name", d.name, sizeof d.name, ImGuiInputTextFlags_EnterReturnsTrue);
        if (ImGui::IsItemEdited()) nameEdited(d);
        ImGui::SameLine();
        ImGui::SetNextItemWidth(-1.0f);
        const char* preview = d.filters.empty() ? "" : d.filters[size_t(d.filterIndex)].name.c_str();
        if (ImGui::BeginCombo("##filter", preview)) {
            for (int i = 0; i < int(d.filters.size()); ++i) {
                if (ImGui::Selectable(d.filters[size_t(i)].name.c_str(), i == d.filterIndex)) d.filterIndex = i;
            }
            ImGui::EndCombo();
        }
        if (enter) {
            accept(d);
            done = settle(d, serial);
        }
    }

    if (!done && !d.error.empty()) ImGui::TextColored(ImVec4(0.8f, 0.0f, 0.0f, 1.0f), "%s", d.error.c_str());

    if (!done) {
        if (d.chooseDir) {
            if (ImGui::Button("Use this directory", ImVec2(160 * s, 0))) {
                useThisDirectory(d);
                done = settle(d, serial);
            }
        } else if (ImGui::Button(d.save ? "Save" : "Open", ImVec2(100 * s, 0)) && d.open) {
            accept(d);
            done = settle(d, serial);
        }
    }
    if (!done) {
        ImGui::SameLine();
        if (ImGui::Button("Cancel", ImVec2(100 * s, 0)) || ImGui::IsKeyPressed(ImGuiKey_Escape, true)) {
            cancel(d);
            settle(d, serial);
        }
    }
    ImGui::EndPopup();
    if (!keepOpen) cancel(d);
}

}  // namespace FileIO
