#include "gui/Widgets.h"

#include <imgui.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "app/App.h"
#include "gui/Texture.h"
#include "core/CharEdit.h"
#include "core/Hex.h"

namespace Widgets {

namespace {

// Text of the hex fields being edited, by id: it is kept so that an edit still
// commits when a click on another field takes the focus away.
struct PendingEdit {
    char text[8] = {};
    bool edited = false;
    int frame = 0;  // last frame the field was drawn
};
std::unordered_map<ImGuiID, PendingEdit> g_pending;

bool keyPressed(ImGuiKey k) { return ImGui::IsKeyPressed(k, false); }

// The field edits its text live (so this release never drops typed text); the
// text is kept here between frames and committed on Enter or on focus loss.
bool hexInput(const char* label, int& value, float width, unsigned mask, const char* fmt) {
    char buf[8];
    std::snprintf(buf, sizeof buf, fmt, unsigned(value) & mask);
    ImGuiID id = ImGui::GetID(label);
    auto it = g_pending.find(id);
    // A field that went undrawn mid-edit drops the edit: its value may belong to something else by now.
    if (it != g_pending.end() && it->second.frame < ImGui::GetFrameCount() - 1) {
        g_pending.erase(it);
        it = g_pending.end();
    }
    if (it != g_pending.end()) std::memcpy(buf, it->second.text, sizeof buf);

    ImGui::SetNextItemWidth(width);
    bool changed = ImGui::InputText(label, buf, sizeof buf,
                                    ImGuiInputTextFlags_CharsHexadecimal | ImGuiInputTextFlags_CharsUppercase |
                                        ImGuiInputTextFlags_AutoSelectAll);
    buf[sizeof buf - 1] = 0;
    if (ImGui::IsItemActive()) {
        PendingEdit& p = g_pending[id];
        std::memcpy(p.text, buf, sizeof buf);
        p.edited = p.edited || changed;
        p.frame = ImGui::GetFrameCount();
        return false;
    }
    if (it == g_pending.end()) return false;
    // Deactivated: by Enter, Escape (which restores the old text) or a click elsewhere.
    bool deactivated = ImGui::IsItemDeactivated();
    bool enter = deactivated && (keyPressed(ImGuiKey_Enter) || keyPressed(ImGuiKey_KeypadEnter));
    bool escape = deactivated && keyPressed(ImGuiKey_Escape);
    bool commit = !escape && (enter || it->second.edited || changed);
    g_pending.erase(it);
    if (!commit) return false;
    value = int(ParseHex(buf) & mask);
    return true;
}

}  // namespace

void ColorSwatch(App& app, int color, ImVec2 size) {
    ImDrawList* dl = ImGui::GetWindowDrawList();
    ImVec2 a = ImGui::GetCursorScreenPos();
    ImVec2 b(a.x + size.x, a.y + size.y);
    if (color >= 0) {
        dl->AddRectFilled(a, b, app.palette.pixel(color));
    } else {
        dl->AddRectFilled(a, b, IM_COL32(110, 110, 110, 255));
        dl->AddLine(a, b, IM_COL32(60, 60, 60, 255), 1.0f);
    }
    dl->AddRect(a, b, IM_COL32(0, 0, 0, 255), 0.0f, 1.0f);
    ImGui::Dummy(size);
}

void PenChoices(App& app, int& pen, const int colors[3], const char* const labels[3]) {
    for (int i = 0; i < 3; ++i) {
        ImGui::PushID(i);
        ImGui::RadioButton("##mc", &pen, i + 1);
        ImGui::SameLine();
        ColorSwatch(app, colors[i], ImVec2(18, 14));
        ImGui::SameLine();
        ImGui::TextUnformatted(labels[i]);
        ImGui::PopID();
    }
}

bool PaletteGrid(const char* id, App& app, int marked1, int marked2, int& clicked, bool& rightClick,
                 float cellSize, int columns) {
    bool result = false;
    rightClick = false;
    if (columns < 1) columns = 1;
    ImGui::PushID(id);
    int rows = 16 / columns;
    float pitch = cellSize + 5;
    ImVec2 start = ImGui::GetCursorScreenPos();
    ImDrawList* dl = ImGui::GetWindowDrawList();
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            int i = r * columns + c;
            ImVec2 tl(start.x + c * pitch + 2, start.y + r * pitch + 2);
            ImVec2 br(tl.x + cellSize, tl.y + cellSize);
            ImGui::SetCursorScreenPos(tl);
            ImGui::PushID(i);
            ImGui::InvisibleButton("c", ImVec2(cellSize, cellSize),
                                   ImGuiButtonFlags_MouseButtonLeft | ImGuiButtonFlags_MouseButtonRight);
            if (ImGui::IsItemClicked(ImGuiMouseButton_Left)) {
                clicked = i;
                result = true;
            } else if (ImGui::IsItemClicked(ImGuiMouseButton_Right)) {
                clicked = i;
                rightClick = true;
                result = true;
            }
            if (ImGui::IsItemHovered()) ImGui::SetTooltip("Color %d", i);
            ImGui::PopID();
            dl->AddRectFilled(tl, br, app.palette.pixel(i));
            dl->AddRect(tl, br, IM_COL32(0, 0, 0, 255));
            if (i == marked1)
                dl->AddRect(ImVec2(tl.x - 2, tl.y - 2), ImVec2(br.x + 2, br.y + 2), IM_COL32(255, 255, 255, 255), 0.0f, 2.0f);
            else if (i == marked2)
                dl->AddRect(ImVec2(tl.x - 2, tl.y - 2), ImVec2(br.x + 2, br.y + 2), IM_COL32(160, 160, 160, 255));
        }
    }
    ImGui::SetCursorScreenPos(ImVec2(start.x, start.y + rows * pitch + 2));
    ImGui::Dummy(ImVec2(columns * pitch, 0));
    ImGui::PopID();
    return result;
}

bool HexByteInput(const char* label, int& value, float width) { return hexInput(label, value, width, 0xFF, "%02X"); }

bool HexWordInput(const char* label, int& value, float width) {
    return hexInput(label, value, width, 0xFFFF, "%04X");
}

void ImageFit(const Texture& tex, ImVec2 avail, ImVec2& topLeft, ImVec2& bottomRight, bool integerScale) {
    float s = 1.0f;
    if (tex.w > 0 && tex.h > 0) s = std::fmin(avail.x / tex.w, avail.y / tex.h);
    if (integerScale) {
        s = std::floor(s);
        if (s < 1) s = 1;
    }
    ImVec2 size(s * tex.w, s * tex.h);
    ImVec2 cur = ImGui::GetCursorScreenPos();
    topLeft = ImVec2(cur.x + std::fmax(0.0f, (avail.x - size.x) * 0.5f), cur.y + std::fmax(0.0f, (avail.y - size.y) * 0.5f));
    bottomRight = ImVec2(topLeft.x + size.x, topLeft.y + size.y);
    ImGui::SetCursorScreenPos(topLeft);
    ImagePixels(tex, size);
}

std::string CharDescription(int screenCode) {
    int n = screenCode & 0xFF;
    std::string prefix;
    if (n >= 128) {
        prefix = "rev. ";
        n -= 128;
    }
    std::string t;
    if (n >= 1 && n <= 26)
        t = std::string(1, char(n | 0x60));
    // Punctuation, digits and capitals are their own ASCII.
    else if ((n >= 33 && n <= 63) || (n >= 65 && n <= 90))
        t = std::string(1, char(n));
    else if (n == 0)
        t = "@";
    else if (n == 27)
        t = "[";
    else if (n == 28)
        t = "\xC2\xA3";
    else if (n == 29)
        t = "]";
    else if (n == 30)
        t = "up arrow";
    else if (n == 31)
        t = "left arrow";
    else if (n == 32)
        t = "space";
    else
        return std::string();
    return prefix + t;
}

std::vector<EditKey> EditKeysPressed() {
    static const struct {
        ImGuiKey key;
        EditKey edit;
    } keys[] = {
        {ImGuiKey_Insert, EditKey::Insert},       {ImGuiKey_Delete, EditKey::Delete},
        {ImGuiKey_Backspace, EditKey::Backspace}, {ImGuiKey_UpArrow, EditKey::Up},
        {ImGuiKey_DownArrow, EditKey::Down},           {ImGuiKey_LeftArrow, EditKey::Left},
        {ImGuiKey_RightArrow, EditKey::Right},         {ImGuiKey_Enter, EditKey::Return},
        {ImGuiKey_KeypadEnter, EditKey::Return},  {ImGuiKey_Home, EditKey::Home},
    };
    std::vector<EditKey> pressed;
    for (const auto& k : keys)
        if (ImGui::IsKeyPressed(k.key, true)) pressed.push_back(k.edit);
    return pressed;
}

void VicBankMenu(App& app, const char* title, const char* const (&names)[4]) {
    if (!ImGui::BeginMenu(title)) return;
    for (int i = 0; i < 4; ++i)
        if (ImGui::MenuItem(names[i], nullptr, app.machine.bank == i)) BankSelect::vicBank(app.editor, i);
    ImGui::EndMenu();
}

}  // namespace Widgets
