#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/App.h"
#include "gui/Classic.h"
#include "gui/Fit.h"
#include "app/CpuActions.h"
#include "gui/windows/Windows.h"
#include "cpu/Assembler.h"
#include "cpu/SourceLine.h"
#include "platform/FileIO.h"

namespace {

int g_jumpLine = -1;  // a source line to select in the editor; -1 none

int resizeCallback(ImGuiInputTextCallbackData* data) {
    auto* source = static_cast<std::string*>(data->UserData);
    if (data->EventFlag == ImGuiInputTextFlags_CallbackResize) {
        source->resize(size_t(data->BufTextLen));
        data->Buf = source->data();
    } else if (g_jumpLine > 0) {
        LineSpan s = SourceLineSpan(std::string_view(data->Buf, size_t(data->BufTextLen)), g_jumpLine);
        data->SelectionStart = s.start;
        data->SelectionEnd = s.end;
        data->CursorPos = s.end;
        g_jumpLine = -1;
    }
    return 0;
}

}  // namespace

void drawAssembler(App& app) {
    std::vector<Assembler::Message>& messages = app.ui.assembler.messages;
    int& lastStart = app.ui.assembler.lastStart;
    int& fontSize = app.ui.assembler.fontSize;

    Fit::FirstUse(ImVec2(620, 560));
    if (!ImGui::Begin("Assembler", &app.showAssembler, ImGuiWindowFlags_HorizontalScrollbar)) {
        ImGui::End();
        return;
    }
    if (ImGui::Button("Load...")) {
        FileIO::open(app.ui.fileDialog, "Load source", {{"Source (*.asm;*.s;*.txt)", {"asm", "s", "txt", "src"}}, FileIO::allFiles},
                     [&app](const std::string&, std::vector<uint8_t>& bytes) {
                         app.asmSource.assign(bytes.begin(), bytes.end());
                         app.ui.assembler.watch.replaced();
                     });
    }
    // The buttons wrap in a narrow window.
    Fit::SameLineIfFits(Fit::ButtonWidth("Save..."));
    if (ImGui::Button("Save..."))
        FileIO::save(app.ui.fileDialog, "Save source", "source.asm", Bytes(app.asmSource.begin(), app.asmSource.end()), nullptr);
    Fit::SameLineIfFits(Fit::ButtonWidth("Compile"));
    if (ImGui::Button("Compile")) {
        CpuActions::Compiled c = CpuActions::compile(app);
        messages = std::move(c.messages);
        lastStart = c.start;
    }
    Fit::SameLineIfFits(Fit::ButtonWidth("Run in processor"));
    ImGui::BeginDisabled(lastStart < 0);
    if (ImGui::Button("Run in processor")) CpuActions::runCompiled(app, lastStart);
    ImGui::EndDisabled();
    Fit::SameLineIfFits(Fit::ButtonWidth("New"));
    if (ImGui::Button("New"))
        app.confirm("New source", "Remove all source code?", [&app] {
            app.asmSource.clear();
            app.ui.assembler.watch.replaced();
        });
    const ImGuiStyle& st = ImGui::GetStyle();
    // The field's width holds its two buttons too.
    const float fsWidth = 70 * Classic::Scale();
    Fit::SameLineIfFits(ImGui::CalcTextSize("Font size:").x + st.ItemSpacing.x + fsWidth);
    ImGui::TextUnformatted("Font size:");
    ImGui::SameLine();
    ImGui::SetNextItemWidth(fsWidth);
    ImGui::InputInt("##fs", &fontSize, 1, 2);
    fontSize = std::clamp(fontSize, 8, 32);

    ImGui::TextDisabled("Code");
    // A source replaced from outside (a drop, Load...) while the editor has the
    // keyboard: the field would write its own copy back over it. It lets go and
    // takes the keyboard again, which reads the new text.
    SourceWatch& watch = app.ui.assembler.watch;
    const ImGuiID srcId = ImGui::GetID("##src");
    if (ImGui::GetActiveID() == srcId && watch.changedSinceShown(app.asmSource)) {
        ImGui::ClearActiveID();
        // The editor's text of before must not be written back over the new source.
        GImGui->InputTextDeactivatedState.ClearFreeMemory();
        ImGui::SetKeyboardFocusHere();
    }
    if (g_jumpLine > 0) ImGui::SetKeyboardFocusHere();
    float line = ImGui::GetTextLineHeightWithSpacing();
    // Both keep a few lines in a low window, which then scrolls.
    float height = std::max(ImGui::GetContentRegionAvail().y - 7 * line, 4 * line);
    ImGui::PushFont(Classic::MonoFont, float(fontSize));
    ImGui::InputTextMultiline("##src", app.asmSource.data(), app.asmSource.capacity() + 1, ImVec2(-1, height),
                              ImGuiInputTextFlags_AllowTabInput | ImGuiInputTextFlags_CallbackResize |
                                  ImGuiInputTextFlags_CallbackAlways,
                              resizeCallback, &app.asmSource);
    watch.shown(app.asmSource);
    ImGui::PopFont();

    ImGui::TextDisabled("Messages (click an error to go to the line)");
    ImGui::BeginChild("##msgs", ImVec2(0, std::max(ImGui::GetContentRegionAvail().y, 4 * line)), true, ImGuiWindowFlags_HorizontalScrollbar);
    for (size_t i = 0; i < messages.size(); ++i) {
        const Assembler::Message& msg = messages[i];
        char label[512];
        if (msg.line > 0) std::snprintf(label, sizeof label, "Line %d: %s##m%zu", msg.line, msg.text.c_str(), i);
        else std::snprintf(label, sizeof label, "%s##m%zu", msg.text.c_str(), i);
        ImVec4 color = msg.isError ? ImVec4(0.75f, 0.0f, 0.0f, 1.0f) : ImVec4(0.0f, 0.45f, 0.0f, 1.0f);
        ImGui::PushStyleColor(ImGuiCol_Text, color);
        if (ImGui::Selectable(label) && msg.line > 0) g_jumpLine = msg.line;
        ImGui::PopStyleColor();
    }
    ImGui::EndChild();
    ImGui::End();
}
