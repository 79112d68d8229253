#pragma once
#include <imgui.h>

// Dear ImGui without a window: frames are built and thrown away, so widgets
// and popups can be driven through io directly.
struct HeadlessGui {
    ImGuiContext* ctx;
    explicit HeadlessGui(ImVec2 displaySize = ImVec2(1400, 900)) {
        ctx = ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = displaySize;
        io.DeltaTime = 1.0f / 60;
        unsigned char* px = nullptr;
        int w = 0, h = 0;
        io.Fonts->GetTexDataAsRGBA32(&px, &w, &h);
    }
    ~HeadlessGui() { ImGui::DestroyContext(ctx); }
    HeadlessGui(const HeadlessGui&) = delete;
    HeadlessGui& operator=(const HeadlessGui&) = delete;
};
