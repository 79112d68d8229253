#include <imgui.h>

#include <cmath>

#include "app/App.h"
#include "gui/Fit.h"
#include "gui/Canvas.h"
#include "gui/Widgets.h"
#include "gui/windows/Windows.h"
#include "core/ScreenCodes.h"
#include "core/Vic.h"

namespace {

void handleKeys(Monitor& mon, App& app) {
    ImGuiIO& io = ImGui::GetIO();
    bool shift = io.KeyShift;
    for (EditKey k : Widgets::EditKeysPressed()) mon.editKey(k, shift);
    // Without repeat: a held Escape must not close the window right after stopping a listing.
    if (ImGui::IsKeyPressed(ImGuiKey_Escape, false)) {
        if (mon.listing) mon.listing = false;
        else app.showMonitor = false;
    }
    for (int i = 0; i < io.InputQueueCharacters.Size; ++i) {
        int code = CharToUpperScreenCode(io.InputQueueCharacters[i]);
        if (code >= 0) mon.typeChar(u8(code));
    }
    io.InputQueueCharacters.resize(0);
}

}  // namespace

void drawMonitor(App& app) {
    static Canvas canvas;
    Monitor& mon = app.monitor;

    Fit::FirstUse(ImVec2(680, 440));
    if (!ImGui::Begin("Monitor", &app.showMonitor, ImGuiWindowFlags_HorizontalScrollbar)) {
        ImGui::End();
        return;
    }
    mon.tick();

    u32 colors[2] = {app.palette.pixel(6), app.palette.pixel(1)};
    u32 reversed[2] = {colors[1], colors[0]};
    // The screen is drawn again only when its text or colours changed.
    const u8* rom = app.machine.charRom;
    canvas.redraw(320, 200, {{mon.screen, 1000}, {rom, sizeof app.machine.charRom}, {colors, sizeof colors}},
                  [&](u32* pixels) {
                      for (int r = 0; r < 25; ++r)
                          for (int c = 0; c < 40; ++c) {
                              u8 code = mon.screen[r * 40 + c];
                              Vic::renderCharData(rom + (code & 0x7F) * 8, false, code & 0x80 ? reversed : colors,
                                                  pixels + r * 8 * 320 + c * 8, 320);
                          }
                  });

    ImVec2 avail = ImGui::GetContentRegionAvail();
    avail.y -= ImGui::GetTextLineHeightWithSpacing();
    ImVec2 a, b;
    // Whole multiples only: a fraction would drop columns of the letters.
    Widgets::ImageFit(canvas.tex, avail, a, b, true);
    if (ImGui::IsItemClicked(ImGuiMouseButton_Left)) {
        ImVec2 mp = ImGui::GetIO().MousePos;
        int c = int(std::floor((mp.x - a.x) / (b.x - a.x) * 40)), r = int(std::floor((mp.y - a.y) / (b.y - a.y) * 25));
        if (c >= 0 && c < 40 && r >= 0 && r < 25) {
            mon.col = c;
            mon.row = r;
        }
    }
    if (std::fmod(ImGui::GetTime(), 0.6) < 0.35) {
        float cw = (b.x - a.x) / 40, ch = (b.y - a.y) / 25;
        ImVec2 p(a.x + mon.col * cw, a.y + mon.row * ch);
        ImGui::GetWindowDrawList()->AddRectFilled(p, ImVec2(p.x + cw, p.y + ch), IM_COL32(160, 160, 255, 140));
    }
    ImGui::TextDisabled("? = help   Return executes the line   Esc closes%s", mon.listing ? "   (any key stops)" : "");

    // Keys and typed characters only while the monitor has the keyboard.
    if (ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows) && !ImGui::GetIO().WantTextInput)
        handleKeys(mon, app);
    ImGui::End();
}
