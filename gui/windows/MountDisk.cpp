#include <imgui.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/App.h"
#include "gui/Fit.h"
#include "gui/Widgets.h"
#include "gui/windows/Windows.h"
#include "app/DiskActions.h"
#include "app/FileActions.h"
#include "formats/FileFormats.h"
#include "core/TextCase.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"

namespace {

void mountButtons(App& app, MountState& st, int d) {
    DiskDrive& drive = app.drives[d];
    if (ImGui::Button("Mount D64...")) {
        FileIO::openPath(app.ui.fileDialog, "Mount D64 image", {{"D64 image (*.d64)", {"d64"}}, FileIO::allFiles},
                         [&app, &st, d](const std::string& path) {
                             DiskDrive& dr = app.drives[d];
                             if (!dr.mountD64(path)) app.message("Error", "Could not mount D64-file: " + dr.error);
                             st.selected[d] = -1;
                         });
    }
    ImGui::SameLine();
    if (ImGui::Button("Mount directory...")) {
        FileIO::chooseDirectory(app.ui.fileDialog, "Mount directory (.prg files)", [&app, &st, d](const std::string& path) {
            DiskDrive& dr = app.drives[d];
            if (!dr.mountDirectory(path)) app.message("Error", dr.error);
            st.selected[d] = -1;
        });
    }
    ImGui::SameLine();
    if (ImGui::Button("New D64...")) ImGui::OpenPopup("New D64");
    if (drive.mode != DiskDrive::NoDisk) {
        ImGui::SameLine();
        if (ImGui::Button("Unmount")) {
            drive.unmount();
            st.selected[d] = -1;
        }
    }
    if (drive.mode == DiskDrive::D64Image) {
        ImGui::SameLine();
        if (ImGui::Button("Save copy...")) {
            std::vector<uint8_t> bytes;
            // An empty copy could overwrite a good file: nothing is offered then.
            if (!Platform::readFile(drive.path, bytes)) {
                app.message("Error", "Couldn't read " + drive.path);
            } else {
                DiskActions::saveImage(app, "Save D64 image", FileIO::baseName(drive.path), std::move(bytes), nullptr);
            }
        }
    }
}

void newImagePopup(App& app, MountState& st) {
    if (!ImGui::BeginPopupModal("New D64", nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
    ImGui::InputText("Disk name", st.newName, sizeof st.newName, ImGuiInputTextFlags_CharsUppercase);
    ImGui::InputText("ID", st.newId, sizeof st.newId, ImGuiInputTextFlags_CharsUppercase);
    if (ImGui::Button("Create", ImVec2(100, 0))) {
        DiskActions::saveImage(
            app, "Create D64 image", LowerCase(std::string(st.newName) + ".d64"),
            DiskDrive::blankD64(st.newName, st.newId), [&app](const std::string&) {
                app.message("New disk", "Disk image created. Mount it with \"Mount D64...\".");
            });
        ImGui::CloseCurrentPopup();
    }
    ImGui::SameLine();
    if (ImGui::Button("Cancel", ImVec2(100, 0))) ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
}

void fileTable(MountState& st, int d, const std::vector<DiskDrive::Entry>& files) {
    float height = ImGui::GetContentRegionAvail().y - 5.5f * ImGui::GetFrameHeightWithSpacing();
    if (height < ImGui::GetFrameHeight() * 3) height = ImGui::GetFrameHeight() * 3;
    const ImGuiTableFlags flags = ImGuiTableFlags_RowBg | ImGuiTableFlags_BordersOuter | ImGuiTableFlags_ScrollY;
    if (!ImGui::BeginTable("files", 3, flags, ImVec2(0, height))) return;
    ImGui::TableSetupScrollFreeze(0, 1);
    ImGui::TableSetupColumn("Blocks", ImGuiTableColumnFlags_WidthFixed, 50);
    ImGui::TableSetupColumn("Name", ImGuiTableColumnFlags_WidthStretch);
    ImGui::TableSetupColumn("Type", ImGuiTableColumnFlags_WidthFixed, 40);
    ImGui::TableHeadersRow();
    for (int i = 0; i < int(files.size()); i++) {
        const DiskDrive::Entry& e = files[size_t(i)];
        ImGui::TableNextRow();
        ImGui::TableSetColumnIndex(0);
        char label[32];
        std::snprintf(label, sizeof label, "%d##f%d", e.blocks, i);
        if (ImGui::Selectable(label, st.selected[d] == i, ImGuiSelectableFlags_SpanAllColumns)) st.selected[d] = i;
        ImGui::TableSetColumnIndex(1);
        ImGui::Text("\"%s\"", DiskActions::printable(e.name).c_str());
        ImGui::TableSetColumnIndex(2);
        ImGui::TextUnformatted(DiskDrive::typeName(e.type));
    }
    ImGui::EndTable();
}

void loadRow(App& app, MountState& st, int d, int rows) {
    DiskDrive& drive = app.drives[d];
    const int sel = st.selected[d];
    ImGui::BeginDisabled(sel < 0 || sel >= rows);
    if (ImGui::Button("Load")) DiskActions::loadFile(app, drive, sel);
    ImGui::SameLine();
    ImGui::SetNextItemWidth(200);
    if (ImGui::BeginCombo("##fmt", FileFormats::name(st.formatIdx).c_str())) {
        for (int i = 0; i < FileFormats::count(); i++)
            if (ImGui::Selectable(FileFormats::name(i).c_str(), i == st.formatIdx)) st.formatIdx = i;
        ImGui::EndCombo();
    }
    if (ImGui::IsItemHovered()) ImGui::SetTooltip("%s", FileFormats::information(st.formatIdx).c_str());
    ImGui::SameLine();
    if (ImGui::Button("Load as image")) DiskActions::loadImage(app, drive, sel, st.formatIdx);
    ImGui::EndDisabled();
}

void saveRow(App& app, MountState& st, int d) {
    ImGui::BeginDisabled(app.drives[d].readOnly());
    ImGui::SetNextItemWidth(150);
    ImGui::InputText("Name", st.saveName, sizeof st.saveName, ImGuiInputTextFlags_CharsUppercase);
    ImGui::SameLine();
    ImGui::TextUnformatted("From $");
    ImGui::SameLine(0, 0);
    Widgets::HexWordInput("##from", st.saveStart, 56);
    ImGui::SameLine();
    ImGui::TextUnformatted("to $");
    ImGui::SameLine(0, 0);
    Widgets::HexWordInput("##to", st.saveEnd, 56);
    ImGui::SameLine();
    if (ImGui::Button("Save to disk")) DiskActions::saveRange(app, app.drives[d], st.saveName, st.saveStart, st.saveEnd);
    if (ImGui::IsItemHovered()) ImGui::SetTooltip("Prefix the name with @: to replace an existing file");
    ImGui::EndDisabled();

    static const char* const ranges[4] = {"Bitmap", "Video matrix", "Color memory", "Charset"};
    for (int k = 0; k < 4; k++) {
        if (k) ImGui::SameLine();
        if (ImGui::SmallButton(ranges[k])) DiskActions::presetRange(app.machine, k, st.saveStart, st.saveEnd);
    }
}

void driveTab(App& app, MountState& st, int d) {
    DiskDrive& drive = app.drives[d];
    st.selection(d, drive);
    mountButtons(app, st, d);
    newImagePopup(app, st);
    ImGui::Separator();
    if (drive.mode == DiskDrive::NoDisk) {
        ImGui::TextDisabled("Not mounted");
        return;
    }
    ImGui::Text("Disc mounted (%s)", drive.readOnly() ? "read only" : "read+write");
    ImGui::TextDisabled("%s", drive.path.c_str());
    ImGui::Text("\"%-16s\" %s", DiskActions::printable(drive.diskName()).c_str(),
                DiskActions::printable(drive.diskId()).c_str());
    const std::vector<DiskDrive::Entry> files = drive.list();
    fileTable(st, d, files);
    loadRow(app, st, d, int(files.size()));
    ImGui::Separator();
    saveRow(app, st, d);
}

}  // namespace

void drawMountDisk(App& app) {
    MountState& st = app.ui.mountDisk;
    Fit::FirstUse(ImVec2(560, 520));
    if (!ImGui::Begin("Mount disk", &app.showMountDisk, ImGuiWindowFlags_HorizontalScrollbar)) {
        ImGui::End();
        return;
    }
    if (ImGui::BeginTabBar("##drives")) {
        for (int d = 0; d < 4; d++) {
            char tab[16];
            std::snprintf(tab, sizeof tab, "Device %d", d + 8);
            if (!ImGui::BeginTabItem(tab)) continue;
            ImGui::PushID(d);
            driveTab(app, st, d);
            ImGui::PopID();
            ImGui::EndTabItem();
        }
        ImGui::EndTabBar();
    }
    ImGui::End();
}
