#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/App.h"
#include "gui/Classic.h"
#include "gui/Fit.h"
#include "gui/Keys.h"
#include "app/CpuActions.h"
#include "gui/Widgets.h"
#include "gui/windows/Windows.h"
#include "cpu/CPU6502.h"

namespace {

bool key(ImGuiKey k, bool live, bool repeat) { return live && ImGui::IsKeyPressed(k, repeat); }

u16 nextInstr(CPU6502& cpu, u16 address) {
    int len = 1;
    cpu.disassembleInstr(address, &len);
    return u16(address + len);
}

// The wheel over a pane moves what the pane shows: owning it keeps the window
// around from scrolling as well (from the next wheel event on, the pointer
// having rested here a frame).
void takeWheel() { ImGui::SetKeyOwner(ImGuiKey_MouseWheelY, ImGui::GetID("##wheel")); }

void toggleBreakpoint(CPU6502& cpu, u16 address) {
    if (!cpu.breakpoints.erase(address)) cpu.breakpoints.insert(address);
}

}  // namespace

void drawProcessor(App& app) {
    u16& viewTop = app.ui.processor.viewTop;
    int& selRow = app.ui.processor.selRow;
    bool& followPc = app.ui.processor.followPc;
    int& memAddr = app.ui.processor.memAddr;
    CPU6502& cpu = app.cpu;

    char title[64];
    std::snprintf(title, sizeof title, "Processor%s###Processor", app.cpuRunning ? " - Running" : "");
    Fit::FirstUse(ImVec2(620, 520));
    if (!ImGui::Begin(title, &app.showProcessor, ImGuiWindowFlags_HorizontalScrollbar)) {
        ImGui::End();
        return;
    }
    bool live = ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows) && !ImGui::GetIO().WantTextInput;

    if (CpuActions::runFrame(app)) followPc = true;
    if (app.cpuRunning) {
        if (ImGui::Button("Stop") || key(ImGuiKey_Escape, live, false)) {
            app.cpuRunning = false;
            followPc = true;
        }
    } else {
        if (ImGui::Button("Step (F7)") || key(Keys::f(7), live, true)) {
            CpuActions::step(app);
            followPc = true;
        }
        ImGui::SameLine();
        if (ImGui::Button("Run (F9)") || key(Keys::f(9), live, false)) CpuActions::run(app);
    }

    u16 selected = viewTop;
    for (int i = 0; i < selRow; ++i) selected = nextInstr(cpu, selected);

    // The rows wrap in a narrow window rather than hiding their ends.
    Fit::SameLineIfFits(Fit::ButtonWidth("Breakpoint (F5)"));
    if (ImGui::Button("Breakpoint (F5)") || key(Keys::f(5), live, false)) toggleBreakpoint(cpu, selected);
    Fit::SameLineIfFits(Fit::ButtonWidth("PC here (G)"));
    if (ImGui::Button("PC here (G)") || key(ImGuiKey_G, live, false)) cpu.pc = selected;
    Fit::SameLineIfFits(Fit::ButtonWidth("Reset regs"));
    if (ImGui::Button("Reset regs")) {
        cpu.reset();
        cpu.stopped = false;
    }
    Fit::SameLineIfFits(Fit::CheckboxWidth("Follow PC"));
    ImGui::Checkbox("Follow PC", &followPc);
    if (cpu.stopped && !cpu.stopReason.empty()) {
        const std::string stop = "Stopped: " + cpu.stopReason;
        Fit::SameLineIfFits(ImGui::CalcTextSize(stop.c_str()).x);
        ImGui::PushStyleColor(ImGuiCol_Text, ImVec4(0.7f, 0.3f, 0.0f, 1.0f));
        Fit::PushWrapAtEdge();
        ImGui::TextUnformatted(stop.c_str());
        ImGui::PopTextWrapPos();
        ImGui::PopStyleColor();
    }

    const float s = Classic::Scale();
    int v = cpu.pc;
    ImGui::TextUnformatted("PC");
    ImGui::SameLine();
    if (Widgets::HexWordInput("##pc", v, 56 * s)) {
        cpu.pc = u16(v);
        followPc = true;
    }
    struct Reg {
        const char* label;
        const char* id;
        u8* value;
    } regs[] = {{"A", "##a", &cpu.a}, {"X", "##x", &cpu.x}, {"Y", "##y", &cpu.y}, {"SP", "##sp", &cpu.sp}};
    for (const Reg& r : regs) {
        Fit::SameLineIfFits(ImGui::CalcTextSize(r.label).x + ImGui::GetStyle().ItemSpacing.x + 32 * s);
        ImGui::TextUnformatted(r.label);
        ImGui::SameLine();
        v = *r.value;
        if (Widgets::HexByteInput(r.id, v, 32 * s)) *r.value = u8(v);
    }
    static const struct {
        const char* label;
        int bit;
    } flags[] = {{"N", 7}, {"V", 6}, {"B", 4}, {"D", 3}, {"I", 2}, {"Z", 1}, {"C", 0}};
    for (const auto& f : flags) {
        Fit::SameLineIfFits(Fit::CheckboxWidth(f.label));
        bool on = (cpu.p >> f.bit) & 1;
        if (ImGui::Checkbox(f.label, &on)) cpu.toggleFlag(f.bit);
    }

    if (followPc) {
        u16 a = viewTop;
        int found = -1;
        for (int i = 0; i < 20 && found < 0; ++i, a = nextInstr(cpu, a))
            if (a == cpu.pc) found = i;
        if (found >= 0) {
            selRow = found;
        } else {
            viewTop = cpu.pc;
            selRow = 0;
        }
        if (!app.cpuRunning) followPc = false;
    }
    if (key(ImGuiKey_UpArrow, live, true)) {
        if (selRow > 0) --selRow;
        else viewTop = cpu.backStep(viewTop);
    }
    if (key(ImGuiKey_DownArrow, live, true)) {
        if (selRow < 24) ++selRow;
        else viewTop = nextInstr(cpu, viewTop);
    }

    if (Classic::MonoFont) ImGui::PushFont(Classic::MonoFont, 0.0f);
    float lineH = ImGui::GetTextLineHeightWithSpacing();
    // The memory rows below keep their room; wrapped rows above take it from the listing.
    const ImGuiStyle& st = ImGui::GetStyle();
    // Eight memory rows in their bordered pane, under the line of its address field.
    const float memRowsH = 8 * ImGui::GetTextLineHeight() + 7 * st.ItemSpacing.y + 2 * st.WindowPadding.y + 2;
    const float memH = ImGui::GetFrameHeightWithSpacing() + memRowsH;
    float childH = std::max(ImGui::GetContentRegionAvail().y - memH - st.ItemSpacing.y, 5 * lineH);
    const float stackW = ImGui::CalcTextSize("$01FF FF").x + 2 * st.WindowPadding.x + st.ScrollbarSize;
    ImGui::BeginChild("##dis", ImVec2(std::max(ImGui::GetContentRegionAvail().x - stackW - st.ItemSpacing.x, 100 * s), childH),
                      true, ImGuiWindowFlags_NoScrollWithMouse | ImGuiWindowFlags_HorizontalScrollbar);
    if (ImGui::IsWindowHovered()) {
        takeWheel();
        float wheel = ImGui::GetIO().MouseWheel;
        if (wheel > 0) viewTop = cpu.backStep(viewTop);
        else if (wheel < 0) viewTop = nextInstr(cpu, viewTop);
    }
    u16 a = viewTop;
    // The selection's colour covers a line's background: a marker column beside
    // the lines keeps breakpoints and the PC visible on the selected line too.
    const float mark = ImGui::GetTextLineHeight() * 0.5f;
    ImDrawList* dl = ImGui::GetWindowDrawList();
    for (int i = 0; i < 25; ++i) {
        u16 lineAddr = a;
        std::string text = cpu.disassemble(a);
        ImVec2 p = ImGui::GetCursorScreenPos();
        ImVec2 q(p.x + ImGui::GetContentRegionAvail().x, p.y + ImGui::GetTextLineHeight());
        const bool bp = cpu.breakpoints.count(lineAddr), atPc = lineAddr == cpu.pc;
        if (bp) dl->AddRectFilled(p, q, IM_COL32(150, 30, 30, 255));
        else if (atPc) dl->AddRectFilled(p, q, IM_COL32(150, 140, 30, 200));
        if (bp) dl->AddRectFilled(p, ImVec2(p.x + mark, q.y), IM_COL32(150, 30, 30, 255));
        if (atPc) dl->AddRectFilled(ImVec2(p.x + mark, p.y), ImVec2(p.x + 2 * mark, q.y), IM_COL32(150, 140, 30, 255));
        ImGui::SetCursorScreenPos(ImVec2(p.x + 2.5f * mark, p.y));
        ImGui::PushID(i);
        if (ImGui::Selectable(text.c_str(), i == selRow, ImGuiSelectableFlags_AllowDoubleClick)) {
            selRow = i;
            if (ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left)) toggleBreakpoint(cpu, lineAddr);
        }
        ImGui::PopID();
    }
    ImGui::EndChild();
    ImGui::SameLine();
    ImGui::BeginChild("##stack", ImVec2(0, childH), true);
    ImGui::TextDisabled("Stack");
    for (int slot = 0xFF; slot > cpu.sp; --slot) ImGui::Text("$01%02X %02X", slot, app.machine.ram[0x100 + slot]);
    ImGui::EndChild();

    ImGui::TextUnformatted("Memory $");
    ImGui::SameLine();
    Widgets::HexWordInput("##memaddr", memAddr, 56 * s);
    ImGui::SameLine();
    if (ImGui::SmallButton("PC")) memAddr = cpu.pc;
    ImGui::SameLine();
    if (ImGui::SmallButton("Stack")) memAddr = 0x0100 | ((cpu.sp + 1) & 0xF8);
    // Never squeezed below its eight rows and scroll bar: in a low window the window scrolls to them instead.
    ImGui::BeginChild("##mem", ImVec2(0, std::max(ImGui::GetContentRegionAvail().y, memRowsH + st.ScrollbarSize)), true,
                      ImGuiWindowFlags_NoScrollWithMouse | ImGuiWindowFlags_HorizontalScrollbar);
    if (ImGui::IsWindowHovered()) {
        takeWheel();
        memAddr = (memAddr - int(ImGui::GetIO().MouseWheel) * 8) & 0xFFFF;
    }
    for (int line = 0; line < 8; ++line) {
        int base = (memAddr + line * 8) & 0xFFFF;
        char buf[64];
        int n = std::snprintf(buf, sizeof buf, "%04X ", base);
        u8 bytes[8];
        for (int i = 0; i < 8; ++i) {
            bytes[i] = app.machine.ram[(base + i) & 0xFFFF];
            n += std::snprintf(buf + n, sizeof buf - n, " %02X", bytes[i]);
        }
        n += std::snprintf(buf + n, sizeof buf - n, "  ");
        for (int i = 0; i < 8; ++i) buf[n++] = bytes[i] >= 32 && bytes[i] <= 126 ? char(bytes[i]) : '.';
        buf[n] = 0;
        ImGui::TextUnformatted(buf);
    }
    ImGui::EndChild();
    if (Classic::MonoFont) ImGui::PopFont();
    ImGui::End();
}
