#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/App.h"
#include "gui/Classic.h"
#include "gui/Fit.h"
#include "gui/Keys.h"
#include "gui/Canvas.h"
#include "gui/Widgets.h"
#include "gui/windows/Windows.h"
#include "core/CharEdit.h"
#include "core/ScreenKeys.h"
#include "core/ScreenView.h"
#include "core/Vic.h"

namespace {

Canvas g_screen;

bool keyPressed(ImGuiKey key, bool repeat) { return ImGui::IsKeyPressed(key, repeat); }

// Dashes 4 on, 4 off along one edge from `a` to `b`, starting at length `s`.
void dashEdge(ImDrawList* dl, ImVec2 a, ImVec2 b, float s, ImU32 col) {
    float len = std::fabs(b.x - a.x) + std::fabs(b.y - a.y);
    if (len <= 0) return;
    float dx = (b.x - a.x) / len, dy = (b.y - a.y) / len;
    for (int k = 0;; ++k) {
        float d0 = s + 8.0f * k, d1 = d0 + 4.0f;
        if (d0 >= len) break;
        if (d1 <= 0) continue;
        if (d0 < 0) d0 = 0;
        if (d1 > len) d1 = len;
        dl->AddLine(ImVec2(a.x + dx * d0, a.y + dy * d0), ImVec2(a.x + dx * d1, a.y + dy * d1), col, 2.0f);
    }
}

void drawOverlay(App& app, ImDrawList* dl, ImVec2 origin, int z) {
    Editor& ed = app.editor;
    float L = origin.x + 32.0f * z, T = origin.y + 32.0f * z;
    double t = ImGui::GetTime();

    if (app.showGrid) {
        ImU32 c = app.palette.pixel(app.gridColor & 15);
        for (int i = 0; i <= 40; ++i) {
            float x = L + 8.0f * z * i;
            dl->AddRectFilled(ImVec2(x, T), ImVec2(x + 1, T + 200.0f * z), c);
        }
        for (int j = 0; j <= 25; ++j) {
            float y = T + 8.0f * z * j;
            dl->AddRectFilled(ImVec2(L, y), ImVec2(L + 320.0f * z, y + 1), c);
        }
    }

    bool showCursor = ed.tool == Editor::ToolText ||
                      ((ed.tool == Editor::ToolDot || ed.tool == Editor::ToolFreehand) && app.showActiveChar);
    if (showCursor) {
        ImU32 c = IM_COL32(0x80, 0x80, 0x80, 0xFF);
        if (ed.tool == Editor::ToolText) {
            int v = (int)(std::fabs(std::fmod(2.0 * t, 2.0) - 1.0) * 250.0);
            c = IM_COL32(v, v, v, 255);
        }
        ImVec2 a(L + 8.0f * z * ed.cursorCol, T + 8.0f * z * ed.cursorRow);
        dl->AddRect(a, ImVec2(a.x + 8.0f * z, a.y + 8.0f * z), c, 0.0f, z <= 2 ? 1.0f : 2.0f);
    }

    if (ed.pasting || ed.hasSelection) {
        int x0, y0, x1, y1;
        if (ed.pasting) {
            x0 = ed.pasteX;
            y0 = ed.pasteY;
            x1 = ed.pasteX + ed.clip.w - 1;
            y1 = ed.pasteY + ed.clip.h - 1;
        } else {
            ed.selRect(x0, y0, x1, y1);
        }
        ImVec2 a(L + 8.0f * z * x0, T + 8.0f * z * y0);
        ImVec2 b(L + (8.0f * x1 + 8.0f) * z, T + (8.0f * y1 + 8.0f) * z);
        dl->AddRect(a, b, IM_COL32(0, 0, 0, 255), 0.0f, 2.0f);
        ImU32 c = ed.pasting ? 0xFF50DCFFu : IM_COL32(255, 255, 255, 255);
        float s = -(float)std::fmod(16.0 * t, 8.0);
        // Same path as AddRect, so the dashes lie on the black frame.
        ImVec2 p0(a.x + 0.5f, a.y + 0.5f), p1(b.x - 0.5f, a.y + 0.5f), p2(b.x - 0.5f, b.y - 0.5f),
            p3(a.x + 0.5f, b.y - 0.5f);
        dashEdge(dl, p0, p1, s, c);
        dashEdge(dl, p1, p2, s, c);
        dashEdge(dl, p2, p3, s, c);
        dashEdge(dl, p3, p0, s, c);
    }
}

void handleKeys(App& app) {
    Editor& ed = app.editor;
    ImGuiIO& io = ImGui::GetIO();
    bool ctrl = io.KeyCtrl, shift = io.KeyShift, alt = io.KeyAlt;

    // One Escape cancels a floating paste and keeps the selection it started from.
    bool wasPasting = ed.pasting;
    if (ed.pasting && keyPressed(ImGuiKey_Escape, false)) ed.cancelPaste();

    if (ed.tool == Editor::ToolText) {
        // Ctrl+Shift flips between the two halves of the character set. Without
        // repeat: a held pair would otherwise flicker between them.
        bool shiftNow = keyPressed(ImGuiKey_LeftShift, false) || keyPressed(ImGuiKey_RightShift, false);
        bool ctrlNow = keyPressed(ImGuiKey_LeftCtrl, false) || keyPressed(ImGuiKey_RightCtrl, false);
        if (!alt && ((shiftNow && ctrl) || (ctrlNow && shift))) BankSelect::flipCharsetHalf(ed);
        for (EditKey k : Widgets::EditKeysPressed()) ed.editKey(k, shift);
        std::string chords;
        if (ctrl && !alt)
            for (const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 "; *k; ++k) {
                ImGuiKey key = *k == ' ' ? ImGuiKey_Space : *k <= '9' ? Keys::digit(*k - '0') : Keys::letter(*k);
                if (keyPressed(key, true)) chords += *k;
            }
        const std::vector<unsigned> text(io.InputQueueCharacters.begin(), io.InputQueueCharacters.end());
        for (u8 code : ScreenKeys::typedCodes(chords, ctrl, alt, shift, text)) ed.typeChar(code);
    } else {
        bool ctrlOnly = ctrl && !shift && !alt;
        if (ctrlOnly && keyPressed(ImGuiKey_C, true)) ed.copyBlock();
        if (ctrlOnly && keyPressed(ImGuiKey_X, true)) ed.cutBlock();
        if (ctrlOnly && keyPressed(ImGuiKey_V, true)) ed.startPaste();
        if (ctrlOnly && keyPressed(ImGuiKey_A, true)) {
            ed.tool = Editor::ToolSelect;
            ed.selectAll();
        }
        if (ed.tool == Editor::ToolSelect && !wasPasting && keyPressed(ImGuiKey_Escape, false))
            ed.hasSelection = false;
        if (keyPressed(ImGuiKey_KeypadAdd, true) || keyPressed(ImGuiKey_Equal, true))
            app.setZoom(app.zoom + 1, -1, -1);
        if (keyPressed(ImGuiKey_KeypadSubtract, true) || keyPressed(ImGuiKey_Minus, true))
            app.setZoom(app.zoom - 1, -1, -1);
        if (!ctrl && !shift && !alt) {
            using ScreenKeys::Action;
            for (const ScreenKeys::Key& k : ScreenKeys::letters) {
                if (!keyPressed(Keys::letter(k.letter), false)) continue;
                if (k.action == Action::ToggleGrid) app.showGrid = !app.showGrid;
                else if (k.action == Action::ResetZoom) app.setZoom(2, -1, -1);
                else ScreenKeys::apply(ed, k);
            }
            if (ed.tool == Editor::ToolSelect && ed.hasSelection && keyPressed(ImGuiKey_Delete, false))
                ed.clearBlock();
        }
    }
    io.InputQueueCharacters.resize(0);

    for (int slot = 0; slot < 4; ++slot) {
        if (keyPressed(Keys::f(5 + slot), true)) ed.cycleCellColor(slot, app.mouseX, app.mouseY, shift ? -1 : 1);
    }
    if (keyPressed(Keys::f(9), false)) app.ui.colorEditor.open = true;
}

void drawColorEditor(App& app) {
    int &cx = app.ui.colorEditor.cx, &cy = app.ui.colorEditor.cy;
    int(&cols)[4] = app.ui.colorEditor.cols;
    const char* id = "Color editor##dlg";
    if (app.ui.colorEditor.open && Fit::NoPopupOpen()) {
        app.ui.colorEditor.open = false;
        cx = app.mouseX;
        cy = app.mouseY;
        app.editor.cellColors(cx, cy, cols);
        ImGui::OpenPopup(id);
    }
    ImGuiViewport* vp = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(vp->GetCenter(), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
    if (!ImGui::BeginPopupModal(id, nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
    static const char* const labels[4] = {"Background", "Color 1", "Color 2", "Color 3"};
    const float s = Classic::Scale();
    for (int i = 0; i < 4; ++i) {
        ImGui::PushID(i);
        bool absent = cols[i] < 0;
        if (absent) ImGui::BeginDisabled();
        ImGui::AlignTextToFramePadding();
        ImGui::TextUnformatted(labels[i]);
        ImGui::SameLine(90 * s);
        Widgets::ColorSwatch(app, cols[i], ImVec2(24 * s, 18 * s));
        ImGui::SameLine();
        int v = absent ? 0 : cols[i];
        ImGui::SetNextItemWidth(160 * s);
        if (ImGui::SliderInt("##v", &v, 0, 15, "%d") && !absent) cols[i] = v & 15;
        if (absent) ImGui::EndDisabled();
        ImGui::PopID();
    }
    if (ImGui::Button("OK", ImVec2(90 * s, 0))) {
        app.editor.setCellColors(cx, cy, cols);
        ImGui::CloseCurrentPopup();
    }
    ImGui::SameLine();
    if (ImGui::Button("Cancel", ImVec2(90 * s, 0)) || keyPressed(ImGuiKey_Escape, false)) ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
}

}  // namespace

void drawScreenEditor(App& app) {
    Editor& ed = app.editor;
    ImGuiIO& io = ImGui::GetIO();

    // Docked without a tab bar: the screen is the one window of its node, which other windows may
    // split but not join as tabs (hidden behind the screen, they could never be seen).
    ImGuiWindowClass cls;
    cls.DockNodeFlagsOverrideSet = ImGuiDockNodeFlags_NoTabBar | ImGuiDockNodeFlags_NoDockingOverMe;
    ImGui::SetNextWindowClass(&cls);
    Fit::FirstUse(ImVec2(800, 600));
    // No background of its own: the canvas paints the border colour around the picture instead, so that no
    // pixel is painted twice (a software renderer pays for each).
    ImGui::PushStyleColor(ImGuiCol_WindowBg, IM_COL32(0, 0, 0, 0));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
    bool visible = ImGui::Begin("Screen", nullptr, ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse);
    ImGui::PopStyleVar();
    ImGui::PopStyleColor();
    if (!visible) {
        app.ui.screenEditor.focused = false;
        ImGui::End();
        drawColorEditor(app);
        return;
    }
    if (app.focusScreen) {
        ImGui::SetWindowFocus();
        app.focusScreen = false;
    }

    g_screen.redrawFrame(app.machine, app.palette);

    int z = std::clamp(app.zoom, 1, 24);
    ImVec2 picture(float(Vic::FrameWidth * z), float(Vic::FrameHeight * z));
    ImGui::BeginChild("##canvas", ImVec2(0, 0), false,
                      ImGuiWindowFlags_HorizontalScrollbar | ImGuiWindowFlags_NoScrollWithMouse);
    if (app.pendingScroll.x >= 0) ImGui::SetScrollX(app.pendingScroll.x);
    if (app.pendingScroll.y >= 0) ImGui::SetScrollY(app.pendingScroll.y);
    app.pendingScroll = {-1, -1};

    ImVec2 childPos = ImGui::GetWindowPos();
    ImVec2 avail = ImGui::GetContentRegionAvail();
    ImVec2 cur = ImGui::GetCursorScreenPos();
    ImVec2 origin(cur.x + (picture.x < avail.x ? std::floor((avail.x - picture.x) * 0.5f) : 0.0f),
                  cur.y + (picture.y < avail.y ? std::floor((avail.y - picture.y) * 0.5f) : 0.0f));
    ImDrawList* dl = ImGui::GetWindowDrawList();
    DrawPixels(dl, g_screen.tex, origin, ImVec2(origin.x + picture.x, origin.y + picture.y),
               ImGui::GetCurrentWindow()->InnerRect, app.palette.pixel(app.machine.vic[VicReg::Border] & 15));
    ImGui::SetCursorScreenPos(origin);
    ImGui::InvisibleButton("##input", picture,
                           ImGuiButtonFlags_MouseButtonLeft | ImGuiButtonFlags_MouseButtonRight |
                               ImGuiButtonFlags_MouseButtonMiddle);
    bool hovered = ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenBlockedByActiveItem);

    int px = ScreenView::mouseToPixel(io.MousePos.x, origin.x, z);
    int py = ScreenView::mouseToPixel(io.MousePos.y, origin.y, z);
    if (hovered || app.ui.screenEditor.activeButton >= 0) {
        app.mouseX = std::clamp(px, 0, 319);
        app.mouseY = std::clamp(py, 0, 199);
    }
    ed.shift = io.KeyShift;

    bool panMode = ImGui::IsKeyDown(ImGuiKey_Space) && ed.tool != Editor::ToolText;
    bool moved = io.MouseDelta.x != 0 || io.MouseDelta.y != 0;

    if (hovered && io.MouseWheel != 0) {
        int zn = z + (io.MouseWheel > 0 ? 1 : -1);
        if (zn >= 1 && zn <= 24) {
            app.pendingScroll.x = ScreenView::wheelZoomScroll(io.MousePos.x, origin.x, childPos.x, z, zn);
            app.pendingScroll.y = ScreenView::wheelZoomScroll(io.MousePos.y, origin.y, childPos.y, z, zn);
            app.zoom = zn;
            app.zoomSetting = zn;
        }
    }

    if (app.ui.screenEditor.activeButton < 0) {
        int clicked = -1;
        if (hovered)
            for (int b = 0; b < 3 && clicked < 0; ++b)
                if (ImGui::IsMouseClicked(b)) clicked = b;
        if (clicked >= 0) {
            ImGui::SetWindowFocus("Screen");
            app.ui.screenEditor.activeButton = clicked;
            if (panMode || ed.tool == Editor::ToolMoveView)
                app.ui.screenEditor.panning = true;
            else
                ed.mouseDown(px, py, clicked);
        } else if (hovered && moved) {
            ed.mouseMove(px, py);
        }
    } else {
        if (app.ui.screenEditor.panning) {
            ImGui::SetScrollX(ImGui::GetScrollX() - io.MouseDelta.x);
            ImGui::SetScrollY(ImGui::GetScrollY() - io.MouseDelta.y);
        } else if (moved) {
            ed.mouseMove(px, py);
        }
        if (!ImGui::IsMouseDown(app.ui.screenEditor.activeButton)) {
            if (!app.ui.screenEditor.panning) ed.mouseUp(px, py, app.ui.screenEditor.activeButton);
            app.ui.screenEditor.activeButton = -1;
            app.ui.screenEditor.panning = false;
        }
    }
    if (ed.takePixelWarning()) app.noColorsUntil = ImGui::GetTime() + 1.0;
    if (hovered) {
        if (panMode || ed.tool == Editor::ToolMoveView)
            ImGui::SetMouseCursor(ImGuiMouseCursor_Hand);
        else if (ed.tool != Editor::ToolText)
            ImGui::SetMouseCursor(ImGuiMouseCursor_Arrow);
    }

    drawOverlay(app, dl, origin, z);

    // Where the frame lies, for the status bar, the second view and the self-test.
    app.screenOriginX = origin.x + 32.0f * z;
    app.screenOriginY = origin.y + 32.0f * z;
    app.screenZoom = float(z);
    ImVec2 childSize = ImGui::GetWindowSize();
    app.viewArea = {ImGui::GetScrollX() / z, ImGui::GetScrollY() / z,
                    std::fmin(childSize.x, picture.x) / z, std::fmin(childSize.y, picture.y) / z};
    ImGui::EndChild();

    app.ui.screenEditor.focused = ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows);
    if (app.ui.screenEditor.focused && !io.WantTextInput) handleKeys(app);
    ImGui::End();
    drawColorEditor(app);
}
