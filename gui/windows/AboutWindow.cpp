#include <imgui.h>
#include <imgui_internal.h>

#include "app/App.h"
#include "gui/Classic.h"
#include "gui/Texture.h"
#include "gui/windows/Windows.h"
#include "platform/Platform.h"

namespace {

void picture(const Texture& t) {
    // At the UI scale, as the text beside it.
    if (t.id) ImagePixels(t, ImVec2(float(t.w) * Classic::Scale(), float(t.h) * Classic::Scale()));
}

}  // namespace

void drawAbout(App& app) {
    static Texture zelk, limit;
    static bool loaded = false;
    if (!loaded) {
        loaded = true;
        zelk.loadFile(Platform::assetDir() + "/zelk.bmp");
        limit.loadFile(Platform::assetDir() + "/limit.bmp");
    }
    // Never docked: sized to its content and centred over the others when it
    // opens, and again when its size follows a new UI scale.
    static int lastFrame = -2;
    static ImVec2 centredSize;
    const bool opening = ImGui::GetFrameCount() != lastFrame + 1;
    lastFrame = ImGui::GetFrameCount();
    ImGuiWindow* w = ImGui::FindWindowByName("About Vorlix");
    if (opening || !w || w->Size.x != centredSize.x || w->Size.y != centredSize.y) {
        ImGui::SetNextWindowPos(ImGui::GetMainViewport()->GetCenter(), ImGuiCond_Always, ImVec2(0.5f, 0.5f));
        if (w) centredSize = w->Size;
    }
    if (opening) ImGui::SetNextWindowFocus();
    if (!ImGui::Begin("About Vorlix", &app.showAbout, ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoDocking |
                                                  ImGuiWindowFlags_HorizontalScrollbar)) {
        ImGui::End();
        return;
    }
    ImGui::BeginGroup();
    picture(limit);
    ImGui::TextColored(ImVec4(204 / 255.0f, 0, 0, 1), "STOP !");
    ImGui::TextUnformatted("You have to be at least this\nhigh to use this editor!");
    ImGui::EndGroup();
    ImGui::SameLine(0, 24);
    ImGui::BeginGroup();
    picture(zelk);
    ImGui::TextUnformatted("Yet another ****** C64 editor...");
    ImGui::Spacing();
    ImGui::TextDisabled("Created by...");
    ImGui::TextUnformatted("Code: the Vorlix developers");
    ImGui::TextUnformatted("Icons and pictures: drawn for Vorlix by its developers");
    ImGui::Spacing();
    ImGui::TextUnformatted("Made for C64 artists and coders - see the project's home page");
    ImGui::Spacing();
    ImGui::TextDisabled("Version 3.0 beta - Linux & browser port");
    ImGui::TextDisabled("Dear ImGui %s, SDL2", ImGui::GetVersion());
    ImGui::Spacing();
    if (ImGui::Button("Close", ImVec2(100 * Classic::Scale(), 0))) app.showAbout = false;
    ImGui::EndGroup();
    ImGui::End();
}
