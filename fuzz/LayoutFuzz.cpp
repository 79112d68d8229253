// Window layout file: read as the program reads it at start (checked, then given to the GUI library), with the
// program's dock space and window titles drawn over a few frames, the main window shrunk and the layout reset;
// what is then saved must pass the check and read back the same way. The GUI library runs headless here, with
// its assertions on. Input: three bytes choosing the open windows, then the file's text.
#include <imgui.h>
#include <imgui_internal.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/LayoutFile.h"
#include "gui/DockLayout.h"

namespace {

struct Title {
    const char* name;
    ImGuiWindowFlags flags;
};
// The program's windows, as each names itself; the screen first, always open.
const Title kTitles[] = {
    {"Screen", ImGuiWindowFlags_NoScrollbar},
    {"Second view - 2x###Second view", 0},
    {"Sprites", 0},
    {"Sprite editor", ImGuiWindowFlags_MenuBar},
    {"Character set", ImGuiWindowFlags_MenuBar},
    {"Character editor - $3000###Character editor", ImGuiWindowFlags_MenuBar},
    {"Registers", 0},
    {"Memory bitmap", 0},
    {"Calc converter", 0},
    {"Monitor", 0},
    {"Processor###Processor", 0},
    {"Assembler", 0},
    {"Mount disk", 0},
    {"Import PC image", ImGuiWindowFlags_NoDocking},
    {"Import charset from font", ImGuiWindowFlags_NoDocking},
    {"Preferences", 0},
    {"About Vorlix", ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoDocking},
    {"Vorlix Help", 0},
    {"Convert bitmap to charset", 0},
};

// One font atlas for every run, as building it takes most of a run's time; its owner is this file, so it is told
// of each frame.
ImFontAtlas& atlas() {
    static ImFontAtlas* a = new ImFontAtlas();
    return *a;
}
int atlasFrame = 0;

// The textures the library asks for, handed over as a renderer would.
void serveTextures() {
    for (ImTextureData* t : ImGui::GetPlatformIO().Textures) {
        if (t->Status == ImTextureStatus_WantCreate || t->Status == ImTextureStatus_WantUpdates) {
            t->SetTexID(ImTextureID(1));
            t->SetStatus(ImTextureStatus_OK);
        } else if (t->Status == ImTextureStatus_WantDestroy) {
            t->SetTexID(ImTextureID_Invalid);
            t->SetStatus(ImTextureStatus_Destroyed);
        }
    }
}

void frame(uint32_t open, ImVec2 display, bool& reset, bool& checked) {
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = display;
    io.DeltaTime = 1.0f / 60;
    ImFontAtlasUpdateNewFrame(&atlas(), ++atlasFrame, true);
    ImGui::NewFrame();
    if (ImGui::BeginMainMenuBar()) ImGui::EndMainMenuBar();
    const float bar = ImGui::GetFrameHeight();
    for (auto [name, dir] : {std::pair{"##toolbar", ImGuiDir_Up}, {"##statusbar", ImGuiDir_Down}, {"##tools", ImGuiDir_Left}}) {
        if (ImGui::BeginViewportSideBar(name, ImGui::GetMainViewport(), dir, bar, ImGuiWindowFlags_NoSavedSettings)) {}
        ImGui::End();
    }
    DockLayout::Frame(reset, checked);
    for (size_t i = 0; i < std::size(kTitles); ++i) {
        if (i && !(open >> i & 1)) continue;
        if (i == 0) {
            ImGuiWindowClass cls;
            cls.DockNodeFlagsOverrideSet = ImGuiDockNodeFlags_NoTabBar | ImGuiDockNodeFlags_NoDockingOverMe;
            ImGui::SetNextWindowClass(&cls);
        }
        ImGui::SetNextWindowSize(ImVec2(330, 330), ImGuiCond_FirstUseEver);
        bool keep = true;
        if (ImGui::Begin(kTitles[i].name, i ? &keep : nullptr, kTitles[i].flags)) ImGui::TextUnformatted("text");
        ImGui::End();
    }
    ImGui::Render();
    serveTextures();
}

// One run of the program on the layout text; returns the layout it saves.
std::string run(const std::string& text, uint32_t open, bool shrink) {
    ImGuiContext* ctx = ImGui::CreateContext(&atlas());
    ImGuiIO& io = ImGui::GetIO();
    io.ConfigFlags |= ImGuiConfigFlags_DockingEnable;
    io.BackendFlags |= ImGuiBackendFlags_RendererHasTextures;
    io.IniFilename = nullptr;
    const LayoutFile::Checked c = LayoutFile::check(text, DockLayout::MainId(), "Screen");
    if (c.sound && !c.text.empty()) ImGui::LoadIniSettingsFromMemory(c.text.c_str(), c.text.size());
    bool reset = false, checked = false;
    for (int f = 0; f < 3; ++f) frame(open, ImVec2(1400, 900), reset, checked);
    if (shrink) {
        frame(open, ImVec2(640, 400), reset, checked);
        reset = true;
        for (int f = 0; f < 2; ++f) frame(open, ImVec2(640, 400), reset, checked);
    }
    size_t size = 0;
    const char* saved = ImGui::SaveIniSettingsToMemory(&size);
    std::string out(saved, size);
    ImGui::DestroyContext(ctx);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const uint32_t open = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16;
    const std::string text(reinterpret_cast<const char*>(data) + 3, size - 3);
    const std::string saved = run(text, open, true);
    // What the program saves is sound, and reads back without harm.
    if (!LayoutFile::check(saved, DockLayout::MainId(), "Screen").sound) abort();
    run(saved, open, false);
    return 0;
}
