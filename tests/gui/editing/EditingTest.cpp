// Drives the real program with pointer and key events through the X server
// (XTest), one run checking step after step the C64 memory, the windows and
// the drawn picture. What the program's own self-test script checks is left to it.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_opengl.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <imgui.h>
#include <imgui_internal.h>
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cfloat>
#include <coroutine>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// X11's macro would rename an enumerator of the calculator's in the headers below.
#undef None

#include "app/App.h"
#include "gui/DockLayout.h"
#include "gui/Fit.h"
#include "gui/Program.h"
#include "core/Vic.h"
#include "disk/DiskDrive.h"
#include "app/FileActions.h"
#include "app/LayoutFile.h"
#include "formats/FileFormats.h"
#include "import/ColorReducer.h"
#include "app/ImportActions.h"
#include "import/PictureImport.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "tests/TempDir.h"

namespace fs = std::filesystem;

namespace {

// The script is a coroutine that the program's frame hook resumes: `co_await frames(n)`
// lets n frames pass, `co_await` on another script runs that one to its end.
struct Script {
    struct promise_type {
        std::coroutine_handle<> caller = std::noop_coroutine();
        Script get_return_object() { return Script{std::coroutine_handle<promise_type>::from_promise(*this)}; }
        std::suspend_always initial_suspend() noexcept { return {}; }
        auto final_suspend() noexcept {
            struct Back : std::suspend_always {
                std::coroutine_handle<> await_suspend(std::coroutine_handle<promise_type> h) noexcept {
                    return h.promise().caller;
                }
            };
            return Back{};
        }
        void return_void() {}
        void unhandled_exception() { std::terminate(); }
    };
    std::coroutine_handle<promise_type> h;
    explicit Script(std::coroutine_handle<promise_type> h) : h(h) {}
    Script(Script&& o) noexcept : h(std::exchange(o.h, {})) {}
    ~Script() {
        if (h) h.destroy();
    }
    bool await_ready() { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> c) {
        h.promise().caller = c;
        return h;
    }
    void await_resume() {}
};

std::coroutine_handle<> g_resume;
int g_frame = 0, g_waitUntil = 5;
auto frames(int n) {
    struct Wait : std::suspend_always {
        int n;
        void await_suspend(std::coroutine_handle<> h) {
            g_resume = h;
            g_waitUntil = g_frame + n;
        }
    };
    return Wait{{}, n};
}

Display* g_dpy = nullptr;

// Window coordinates (the GUI's) to the X screen.
void moveTo(ImVec2 p) {
    int wx = 0, wy = 0;
    SDL_GetWindowPosition(programWindow(), &wx, &wy);
    XTestFakeMotionEvent(g_dpy, -1, wx + int(p.x), wy + int(p.y), 0);
    XSync(g_dpy, False);
}
void button(int b, bool down) {
    XTestFakeButtonEvent(g_dpy, b, down ? True : False, 0);
    XSync(g_dpy, False);
}
void key(KeySym sym, bool down) {
    XTestFakeKeyEvent(g_dpy, XKeysymToKeycode(g_dpy, sym), down ? True : False, 0);
    XSync(g_dpy, False);
}

// Swaps the keys that type y and z (a QWERTZ keyboard), or swaps them back.
bool swapYZ() {
    KeyCode y = XKeysymToKeycode(g_dpy, XK_y), z = XKeysymToKeycode(g_dpy, XK_z);
    int per = 0;
    KeySym* ys = XGetKeyboardMapping(g_dpy, y, 1, &per);
    KeySym* zs = XGetKeyboardMapping(g_dpy, z, 1, &per);
    XChangeKeyboardMapping(g_dpy, y, per, zs, 1);
    XChangeKeyboardMapping(g_dpy, z, per, ys, 1);
    XFree(ys);
    XFree(zs);
    // A fresh connection reads the new mapping. It opens before the old one
    // closes: with no client left, Xvfb resets and refuses connections for a moment.
    Display* fresh = XOpenDisplay(nullptr);
    if (!fresh) return false;
    XCloseDisplay(g_dpy);
    g_dpy = fresh;
    return XKeysymToKeycode(g_dpy, XK_z) == y;
}

// Sets or clears the hidden (minimised) state on the window, as a window manager does.
void setHidden(bool hidden) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    SDL_GetWindowWMInfo(programWindow(), &info);
    Atom state = XInternAtom(g_dpy, "_NET_WM_STATE", False), atom = XInternAtom(g_dpy, "_NET_WM_STATE_HIDDEN", False);
    XChangeProperty(g_dpy, info.info.x11.window, state, XA_ATOM, 32, PropModeReplace, (unsigned char*)&atom, hidden);
    XSync(g_dpy, False);
}

Script tap(int b = 1) {
    button(b, true);
    co_await frames(2);
    button(b, false);
    co_await frames(4);
}
Script clickAt(ImVec2 p, int b = 1) {
    moveTo(p);
    co_await frames(3);
    co_await tap(b);
}
template <typename... K>
Script keys(K... held) {
    const std::vector<KeySym> ks{KeySym(held)...};
    for (KeySym k : ks) key(k, true);
    co_await frames(2);
    for (auto it = ks.rbegin(); it != ks.rend(); ++it) key(*it, false);
    co_await frames(3);
}
Script type(std::string text) {
    for (char c : text) {
        KeySym sym = c == ' ' ? XK_space : c == '.' ? XK_period : XStringToKeysym(std::string(1, c).c_str());
        key(sym, true);
        key(sym, false);
        co_await frames(2);
    }
}

// The font size in use: the base size at the UI scale (the hooks run between frames, where the library's
// current size is not that).
float fontSize() { return ImGui::GetStyle().FontSizeBase * ImGui::GetStyle().FontScaleMain; }

ImGuiWindow* findWindow(const std::string& title) {
    ImGuiWindow* w = ImGui::FindWindowByName(title.c_str());
    return w ? w : ImGui::FindWindowByName(("###" + title).c_str());
}
ImGuiID idIn(const char* window, const char* label) { return ImHashStr(label, 0, ImHashStr(window)); }
// The name of a child window (of a scrolling table, say) as the GUI library makes it.
std::string childName(const char* parent, const char* name, ImGuiID id) {
    char child[128];
    std::snprintf(child, sizeof child, "%s/%s_%08X", parent, name, id);
    return child;
}

// Keyboard navigation records where its item lies: focus an item, and after a
// few frames its rectangle is known.
Script itemRect(std::string window, ImGuiID id, ImRect& r) {
    ImGuiWindow* w = findWindow(window);
    EXPECT_NE(w, nullptr) << window;
    if (!w) co_return;
    // A docked window comes to the front of its node first, as a click on its tab brings it.
    ImGui::FocusWindow(w->RootWindow);
    co_await frames(2);
    ImGui::SetFocusID(id, w);
    co_await frames(3);
    r = w->NavRectRel[0];
    r.Translate(w->DC.CursorStartPos);  // the record is relative to where the content starts
}
// An item clicked (at fx, fy of it) like any user would.
Script clickItem(std::string window, ImGuiID id, float fx = 0.5f, float fy = 0.5f) {
    ImRect r;
    co_await itemRect(window, id, r);
    if (r.GetWidth() > 0) co_await clickAt(ImVec2(r.Min.x + r.GetWidth() * fx, r.Min.y + r.GetHeight() * fy));
}

// Slides the pointer along a window's bar, or down its middle, until the item of that label is hovered.
Script findItem(std::string window, std::string label, bool alongBar) {
    for (int k = 0;; ++k) {
        ImGuiWindow* w = findWindow(window);
        if (!w || k > (alongBar ? w->Size.x : w->Size.y) / fontSize() * 2.5f) {
            ADD_FAILURE() << "no item " << label;
            co_return;
        }
        float step = fontSize() * (alongBar ? 0.8f : 0.5f);
        float x = alongBar ? w->Pos.x + 2 + k * step : w->Pos.x + w->Size.x * 0.5f;
        moveTo(ImVec2(x, alongBar ? w->Pos.y + w->Size.y * 0.5f : w->Pos.y + 2 + k * step));
        co_await frames(1);
        ImGuiID h = GImGui->HoveredId;
        if (h == ImHashStr(label.c_str(), 0, w->ID) || h == ImHashStr(label.c_str(), 0, ImHashStr("##MenuBar", 0, w->ID)))
            co_return;
    }
}

// The sizes of the pictures a window draws: each is one quad whose first and third corners span it.
std::vector<std::pair<int, int>> pictureSizes(const ImGuiWindow* w) {
    std::vector<std::pair<int, int>> images;
    const ImDrawList* dl = w->DrawList;
    for (const ImDrawCmd& c : dl->CmdBuffer) {
        if (c.GetTexID() == ImGui::GetIO().Fonts->TexRef.GetTexID() || c.ElemCount != 6) continue;
        ImVec2 lo = dl->VtxBuffer[c.VtxOffset + dl->IdxBuffer[c.IdxOffset]].pos;
        ImVec2 hi = dl->VtxBuffer[c.VtxOffset + dl->IdxBuffer[c.IdxOffset + 2]].pos;
        images.push_back({int(hi.x - lo.x + 0.5f), int(hi.y - lo.y + 0.5f)});
    }
    return images;
}
// Pixels of exactly that colour (0xRRGGBB) drawn inside a rectangle of the window, in this frame.
int pixelsOf(ImRect r, u32 rgb) {
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(programWindow(), &dw, &dh);
    const int x0 = std::max(0, int(r.Min.x)), y0 = std::max(0, int(r.Min.y));
    const int w = std::min(dw, int(r.Max.x)) - x0, h = std::min(dh, int(r.Max.y)) - y0;
    if (w <= 0 || h <= 0) return 0;
    std::vector<u8> px(size_t(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x0, dh - y0 - h, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    int n = 0;
    for (size_t i = 0; i < px.size(); i += 4) n += u32(px[i] << 16 | px[i + 1] << 8 | px[i + 2]) == rgb;
    return n;
}
// The middle of a window's close box in its title bar.
ImVec2 closeBox(const char* window) {
    ImGuiWindow* w = findWindow(window);
    const ImGuiStyle& st = ImGui::GetStyle();
    return ImVec2(w->Pos.x + w->Size.x - st.FramePadding.x - fontSize() * 0.5f,
                  w->Pos.y + w->TitleBarHeight * 0.5f);
}
// A window's title bar, or its tab when it is docked.
ImVec2 titleBar(const char* window) {
    ImGuiWindow* w = ImGui::FindWindowByName(window);
    if (w && w->DockIsActive && w->DockNode->TabBar)
        if (ImGuiTabItem* tab = ImGui::TabBarFindTabByID(w->DockNode->TabBar, w->TabId))
            return ImVec2(w->DockNode->TabBar->BarRect.Min.x + tab->Offset - w->DockNode->TabBar->ScrollingAnim + tab->Width * 0.5f,
                          w->DockNode->TabBar->BarRect.GetCenter().y);
    return w ? ImVec2(w->Pos.x + 30, w->Pos.y + w->TitleBarHeight / 2) : ImVec2(-1, -1);
}
// The window a bar's content scrolls in: its child where it has one.
ImGuiWindow* barContent(const char* bar) {
    ImGuiWindow* w = ImGui::FindWindowByName(bar);
    return w && w->DC.ChildWindows.Size ? w->DC.ChildWindows[0] : w;
}
// A point of a bar's content, in its units at UI scale 1, where it lies now.
ImVec2 inBar(const char* bar, float x, float y) {
    ImGuiWindow* w = barContent(bar);
    float sc = fontSize() / 12.0f;
    return ImVec2(w->Pos.x - w->Scroll.x + x * sc, w->Pos.y - w->Scroll.y + y * sc);
}
// Scrolls a bar, as a user does with a click at the end of its scroll bar, until the point is in view.
Script showInBar(const char* bar, float x, float y) {
    for (ImGuiAxis axis : {ImGuiAxis_X, ImGuiAxis_Y}) {
        ImGuiWindow* w = barContent(bar);
        const ImVec2 p = inBar(bar, x, y);
        const ImRect view = w->InnerClipRect;
        const float at = axis == ImGuiAxis_X ? p.x : p.y;
        const bool before = at < (axis == ImGuiAxis_X ? view.Min.x : view.Min.y) + 1;
        const bool after = at > (axis == ImGuiAxis_X ? view.Max.x : view.Max.y) - 1;
        if (!before && !after) continue;
        if (!(axis == ImGuiAxis_X ? w->ScrollbarX : w->ScrollbarY)) {
            ADD_FAILURE() << bar << ": " << x << "," << y << " out of view and no scroll bar";
            co_return;
        }
        const ImRect track = ImGui::GetWindowScrollbarRect(w, axis);
        const ImVec2 mid = track.GetCenter();
        co_await clickAt(axis == ImGuiAxis_X ? ImVec2(after ? track.Max.x - 2 : track.Min.x + 2, mid.y)
                                             : ImVec2(mid.x, after ? track.Max.y - 2 : track.Min.y + 2));
    }
}
Script clickInBar(const char* bar, float x, float y, int b = 1) {
    co_await showInBar(bar, x, y);
    co_await clickAt(inBar(bar, x, y), b);
}
// Slides the pointer along a bar until it is over a button, and clicks that.
Script clickFirstButton(const char* bar) {
    ImGuiWindow* w = barContent(bar);
    const ImRect view = w->InnerClipRect;
    for (float x = view.Min.x + 2; x < view.Max.x; x += 6) {
        moveTo(ImVec2(x, view.GetCenter().y));
        co_await frames(1);
        if (GImGui->HoveredId && GImGui->HoveredWindow == w) {
            co_await tap();
            co_return;
        }
    }
    ADD_FAILURE() << "no button in " << bar;
}

// RAM and VIC registers, as one list of bytes.
using Memory = std::vector<u8>;
Memory snapshot(const Machine& m) {
    Memory mem(m.ram, m.ram + 65536);
    mem.insert(mem.end(), m.vic, m.vic + 47);
    return mem;
}
double ms(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}
// Main-thread CPU and wall time per frame, over n frames.
Script timeFrames(int n, double& cpuMs, double& wallMs) {
    const double cpu = ms(CLOCK_THREAD_CPUTIME_ID), wall = ms(CLOCK_MONOTONIC);
    co_await frames(n);
    cpuMs = (ms(CLOCK_THREAD_CPUTIME_ID) - cpu) / n;
    wallMs = (ms(CLOCK_MONOTONIC) - wall) / n;
}

// What the run leaves for the checks after it.
double g_frameCpuMs = -1, g_frameWallMs = -1, g_idleFps = -1, g_monitorCpuMs = -1, g_monitorWallMs = -1;
bool g_quitAnswered = false;
fs::path g_config;

// Every window: its title, where the main menu offers it, where its toolbar button lies (x at UI scale 1).
// The font import is offered by the character set window; the picture import, in a submenu, floats.
const struct WindowRow { bool App::*flag; const char *title, *menu, *item; float toolbarX = -1; } kWindows[] = {
    {&App::showMountDisk, "Mount disk", "File", "Mount disk..."},
    {&App::showPreferences, "Preferences", "Edit", "Preferences..."},
    {&App::showCharsetConverter, "Convert bitmap to charset", "Edit", "Convert bitmap to charset..."},
    {&App::showSprites, "Sprites", "View", "Sprites", 112},
    {&App::showSpriteEditor, "Sprite editor", "View", "Sprite editor", 144},
    {&App::showRegisters, "Registers", "View", "Registers", 240},
    {&App::showMonitor, "Monitor", "View", "Monitor", 80},
    {&App::showSecondView, "Second view", "View", "Second view", 48},
    {&App::showCharset, "Character set", "View", "Charset", 176},
    {&App::showCharEditor, "Character editor", "View", "Char editor", 208},
    {&App::showCalc, "Calc converter", "View", "Calc converter"},
    {&App::showBitmapMem, "Memory bitmap", "View", "Memory bitmap"},
    {&App::showProcessor, "Processor", "View", "Processor"},
    {&App::showAssembler, "Assembler", "View", "Assembler"},
    {&App::showHelp, "Vorlix Help", "Help", "Vorlix Help", 832},
    {&App::showAbout, "About Vorlix", "Help", "About Vorlix"},
    {&App::showImportCharset, "Import charset from font", nullptr, nullptr},
    {&App::showImportPicture, nullptr, "File", "Import PC image..."},
};

void setAllWindows(App& a, bool open) {
    for (const WindowRow& w : kWindows) a.*w.flag = open;
}
void checkReachable(ImGuiWindow* w);

// With every window open: the bars and the docked windows shown lie side by side in the main window,
// every control of the bars is reachable, and the screen window fills its node.
void checkLayout(float scale) {
    SCOPED_TRACE("scale " + std::to_string(scale));
    std::vector<std::string> names = {"##MainMenuBar", "##toolbar", "##statusbar", "##tools"};
    std::vector<ImRect> r;
    for (const std::string& n : names) {
        ImGuiWindow* w = findWindow(n);
        ASSERT_TRUE(w && w->WasActive) << n << " not drawn";
        r.push_back(w->Rect());
    }
    // The docked windows shown: the front tab of each node.
    for (ImGuiWindow* w : GImGui->Windows)
        if (w->WasActive && !w->Hidden && w->DockIsActive && w->RootWindow == w) {
            names.push_back(w->Name);
            r.push_back(w->Rect());
        }
    EXPECT_GE(names.size(), 7u) << "the screen and the front windows of the two stacks";
    // The menu bar's frame reaches half a pixel beyond the main window.
    const float right = ImGui::GetIO().DisplaySize.x + 1.5f;
    for (const char* n : {"##MainMenuBar", "##toolbar", "##statusbar"})
        for (const ImDrawVert& v : ImGui::FindWindowByName(n)->DrawList->VtxBuffer)
            ASSERT_LE(v.pos.x, right) << n << " draws beyond the window";
    // What the bars hold can be reached, scrolling where it does not fit.
    for (const char* n : {"##toolbar", "##statusbar", "##tools"}) checkReachable(ImGui::FindWindowByName(n));
    // The tools bar may scroll to its controls.
    ImGuiWindow* tools = ImGui::FindWindowByName("##tools");
    ImGuiWindow* w = tools->DC.ChildWindows.Size ? tools->DC.ChildWindows[0] : tools;
    EXPECT_LE(w->DC.CursorMaxPos.y, w->Pos.y + w->Size.y + w->ScrollMax.y - w->Scroll.y + 0.5f) << "tools content";
    // Its scroll bar as wide as any at this scale, and beside the tools rather than over them.
    if (w->ScrollbarY) {
        EXPECT_NEAR(w->ScrollbarSizes.x, ImGui::GetStyle().ScrollbarSize * scale, 0.5f) << "tools scroll bar";
        EXPECT_LE(w->DC.CursorMaxPos.x, w->InnerRect.Max.x + 0.5f) << "tools under the scroll bar";
    }
    // The screen fills its node, without a tab bar, and the dock space the area the bars leave.
    ImGuiWindow* screen = findWindow("Screen");
    ASSERT_TRUE(screen && screen->DockNode) << "screen docked";
    EXPECT_TRUE(screen->DockNode->IsNoTabBar()) << "screen without a tab bar";
    const ImGuiDockNode* sn = screen->DockNode;
    for (float d : {screen->Pos.x - sn->Pos.x, screen->Pos.y - sn->Pos.y, screen->Size.x - sn->Size.x, screen->Size.y - sn->Size.y})
        EXPECT_NEAR(d, 0, 1) << "Screen in its node";
    const ImGuiDockNode* root = ImGui::DockBuilderGetNode(DockLayout::MainId());
    ASSERT_NE(root, nullptr);
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    for (float d : {root->Pos.x - r[3].Max.x, root->Pos.y - r[1].Max.y, root->Pos.x + root->Size.x - display.x,
                    root->Pos.y + root->Size.y - r[2].Min.y})
        EXPECT_NEAR(d, 0, 1) << "dock space between the bars";
    for (ImRect& q : r) q.Expand(-0.25f);  // shared edges and sub-pixel rounding do not count
    for (size_t i = 0; i < r.size(); ++i)
        for (size_t j = i + 1; j < r.size(); ++j)
            EXPECT_FALSE(r[i].Overlaps(r[j])) << names[i] << " overlaps " << names[j];
}

// What a window holds can be reached: where its content, or a child's, is larger than the room, that
// way it has a scroll bar.
void checkReachable(ImGuiWindow* w) {
    SCOPED_TRACE(w->Name);
    EXPECT_TRUE(w->ScrollMax.x <= 0.5f || w->ScrollbarX) << "content cut at the right: " << w->ContentSize.x << " in " << w->Size.x;
    EXPECT_TRUE(w->ScrollMax.y <= 0.5f || w->ScrollbarY) << "content cut at the bottom: " << w->ContentSize.y << " in " << w->Size.y;
    // A table's columns hold what they show: where that does not fit, the table or the window scrolls.
    for (int i = 0; i < GImGui->Tables.GetMapSize(); ++i) {
        const ImGuiTable* t = GImGui->Tables.TryGetMapData(i);
        if (!t || t->OuterWindow != w || t->LastFrameActive != GImGui->FrameCount) continue;
        for (int n = 0; n < t->ColumnsCount; ++n) {
            const ImGuiTableColumn& c = t->Columns[n];
            if (!c.IsEnabled) continue;
            EXPECT_LE(std::max(c.ContentMaxXFrozen, c.ContentMaxXUnfrozen), c.MaxX + 0.5f) << "column " << n << " cut";
        }
    }
    // A text editor scrolls to its cursor instead.
    for (ImGuiWindow* c : w->DC.ChildWindows)
        if (c->WasActive && !strstr(c->Name, "/##src_")) checkReachable(c);
}
void checkReachable() {
    for (const WindowRow& row : kWindows)
        if (ImGuiWindow* w = row.title ? findWindow(row.title) : nullptr; w && w->WasActive) checkReachable(w);
}

// The eleven windows of the default layout and where it puts them: 0 the left part, 1 the upper and
// 2 the lower right part.
const std::pair<const char*, int> kDefaultPlaces[] = {
    {"Screen", 0},    {"Second view", 1}, {"Registers", 1},     {"Monitor", 1},          {"Processor", 1},
    {"Assembler", 1}, {"Memory bitmap", 1}, {"Character set", 2}, {"Sprites", 2}, {"Character editor", 2},
    {"Sprite editor", 2}};

// The dock space split right at 0.30, its right part down at 0.50, and each window of the default
// layout docked in its node, by the library's own record of where a window is docked.
void checkDefaultLayout() {
    const ImGuiDockNode* root = ImGui::DockBuilderGetNode(DockLayout::MainId());
    ASSERT_TRUE(root && root->IsDockSpace() && root->IsSplitNode());
    const ImGuiDockNode* right = root->ChildNodes[1];
    ASSERT_TRUE(root->SplitAxis == ImGuiAxis_X && right->IsSplitNode() && right->SplitAxis == ImGuiAxis_Y);
    // Built from the dock area, the parts keep their shares to the pixel.
    EXPECT_NEAR(right->Size.x / root->Size.x, 0.30f, 1.0f / root->Size.x) << "right part";
    EXPECT_NEAR(right->ChildNodes[1]->Size.y / right->Size.y, 0.50f, 1.0f / right->Size.y) << "lower right part";
    const ImGuiID nodes[3] = {root->ChildNodes[0]->ID, right->ChildNodes[0]->ID, right->ChildNodes[1]->ID};
    for (auto [title, place] : kDefaultPlaces) {
        ImGuiWindow* w = findWindow(title);
        ASSERT_TRUE(w && w->WasActive) << title;
        EXPECT_EQ(w->DockId, nodes[place]) << title;
    }
}


void setDefaultWindows(App& a, bool open) {
    for (bool App::*flag : {&App::showSecondView, &App::showRegisters, &App::showMonitor, &App::showProcessor,
                            &App::showAssembler, &App::showBitmapMem, &App::showCharset, &App::showSprites,
                            &App::showCharEditor, &App::showSpriteEditor})
        a.*flag = open;
}

// A fresh configuration: the default layout, each window opened after it was built taking its node.
Script defaultLayout(App& a) {
    SDL_RaiseWindow(programWindow());
    SDL_SetWindowInputFocus(programWindow());
    co_await frames(3);
    setDefaultWindows(a, true);
    co_await frames(4);
    checkDefaultLayout();
    // The second view's zoom, in its title, changes neither its identity nor its place.
    ImGuiWindow* second = findWindow("Second view");
    const ImGuiID node = second ? second->DockId : 0;
    // Its tab, scrolled out of sight by the tabs opened after it, brought to the front (as the tab list
    // offers it), then clicked.
    if (second) ImGui::FocusWindow(second);
    co_await frames(10);
    co_await clickAt(titleBar(second ? second->Name : ""));
    co_await keys(XK_equal);
    second = findWindow("Second view");
    EXPECT_TRUE(second && std::string(second->Name) == "Second view - 2x###Second view" && second->DockId == node)
        << (second ? second->Name : "no second view");
    co_await keys(XK_r);
    setDefaultWindows(a, false);
    co_await frames(3);
}

// No window grows while the pointer moves across the main window (the monitor's content once grew from
// 216 to 9,704 pixels so).
Script noGrowthWhilePointerMoves() {
    std::vector<std::pair<std::string, ImVec4>> before;
    for (ImGuiWindow* w : GImGui->Windows)
        if (w->WasActive && !w->Hidden)
            before.push_back({w->Name, ImVec4(w->Size.x, w->Size.y, w->ContentSize.x, w->ContentSize.y)});
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    for (int k = 0; k <= 24; ++k) {
        moveTo(ImVec2(display.x * (k % 2 ? 0.9f : 0.1f), display.y * (0.1f + 0.8f * k / 24)));
        co_await frames(1);
    }
    for (const auto& [name, was] : before) {
        ImGuiWindow* w = ImGui::FindWindowByName(name.c_str());
        if (!w || !w->WasActive) continue;
        EXPECT_TRUE(w->Size.x <= was.x + 0.5f && w->Size.y <= was.y + 0.5f && w->ContentSize.x <= was.z + 0.5f &&
                    w->ContentSize.y <= was.w + 0.5f)
            << name << " grew: " << was.x << "x" << was.y << " content " << was.z << "x" << was.w << " to "
            << w->Size.x << "x" << w->Size.y << " content " << w->ContentSize.x << "x" << w->ContentSize.y;
    }
}

// The processor's memory rows keep their room: in a low window the window scrolls to them.
void checkProcessorMemory() {
    ImGuiWindow* p = findWindow("Processor");
    if (!p || !p->WasActive || p->Hidden) return;
    for (ImGuiWindow* c : p->DC.ChildWindows)
        if (strstr(c->Name, "/##mem_")) {
            EXPECT_GE(c->Size.y, 8 * fontSize()) << "memory pane";
            return;
        }
    ADD_FAILURE() << "no memory pane";
}

// Each docked window brought to the front of its node in turn, as a click on its tab does: its content
// whole or reachable by scrolling, the processor's memory rows whole.
Script eachTabInFront() {
    for (const WindowRow& row : kWindows) {
        ImGuiWindow* w = row.title ? findWindow(row.title) : nullptr;
        if (!w || !w->WasActive || !w->DockIsActive) continue;
        ImGui::FocusWindow(w);
        co_await frames(3);
        SCOPED_TRACE(row.title);
        checkReachable(w);
        checkProcessorMemory();
    }
}

// Each window opened alone: its content whole or reachable by scrolling; docked ones beside the screen,
// floating ones no larger than the main window; About undocked, centred on top.
Script eachWindowAlone(App& a) {
    for (const WindowRow& row : kWindows) {
        if (!row.title) continue;
        setAllWindows(a, false);
        a.*row.flag = true;
        co_await frames(4);
        ImGuiWindow* w = findWindow(row.title);
        if (!w || !w->WasActive) {
            ADD_FAILURE() << row.title << " not drawn";
            continue;
        }
        SCOPED_TRACE(row.title);
        checkReachable(w);
        checkProcessorMemory();
        const ImVec2 display = ImGui::GetIO().DisplaySize;
        if (a.showAbout) {
            EXPECT_FALSE(w->DockIsActive) << "About docked";
            EXPECT_NEAR(w->Pos.x + w->Size.x * 0.5f, display.x * 0.5f, 1);
            EXPECT_NEAR(w->Pos.y + w->Size.y * 0.5f, display.y * 0.5f, 1);
        } else if (w->DockIsActive) {
            ImRect screen = findWindow("Screen")->Rect();
            screen.Expand(-0.25f);
            EXPECT_FALSE(screen.Overlaps(w->Rect())) << "beside the screen";
        } else {
            EXPECT_TRUE(w->Size.x <= display.x && w->Size.y <= display.y) << "larger than the main window";
        }
    }
    setAllWindows(a, false);
    co_await frames(2);
}

// The window's one picture is drawn at a whole multiple of 320 x 200, so no column of a letter is lost.
void expectWholeMultiple(const ImGuiWindow* w) {
    const auto pictures = pictureSizes(w);
    EXPECT_EQ(pictures.size(), 1u);
    for (auto [pw, ph] : pictures) EXPECT_TRUE(pw >= 320 && pw % 320 == 0 && pw / 320 * 200 == ph) << pw << " x " << ph;
}

// Compares the screen area as drawn with the renderer's frame at the same zoom.
void compareScreen(App& app) {
    std::vector<u32> frame(Vic::FrameWidth * Vic::FrameHeight);
    Vic::renderFrame(app.machine, app.palette, frame.data());
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(programWindow(), &dw, &dh);
    const int z = int(app.screenZoom), x0 = int(app.screenOriginX), y0 = int(app.screenOriginY), w = 320 * z,
              h = 200 * z;
    ASSERT_TRUE(x0 >= 0 && y0 >= 0 && x0 + w <= dw && y0 + h <= dh) << "screen not wholly shown";
    std::vector<u32> px(size_t(w) * h);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(x0, dh - y0 - h, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    int bad = 0;
    // Every pixel of each zoomed block, rows flipped back to top-down.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bad += (px[size_t(h - 1 - y) * w + x] | 0xFF000000u) !=
                   frame[size_t(32 + y / z) * Vic::FrameWidth + 32 + x / z];
    EXPECT_EQ(bad, 0) << "drawn screen against the renderer";
}

// Help shows the whole of our help text; About shows both pictures.
void checkHelpAndAbout() {
    std::ifstream help(VORLIX_ASSET_DIR "/help.txt");
    int lines = int(std::count(std::istreambuf_iterator<char>(help), {}, '\n'));
    ImGuiWindow* hw = findWindow("Vorlix Help");
    ImGuiWindow* about = findWindow("About Vorlix");
    ASSERT_TRUE(help && hw && about);
    EXPECT_GE(hw->ContentSize.y / fontSize(), lines * 0.9f);
    // Its sections name what the windows offer, and nothing they lack.
    std::ifstream again(VORLIX_ASSET_DIR "/help.txt");
    const std::string text{std::istreambuf_iterator<char>(again), {}};
    const struct { const char *section, *offered, *lacking; } sections[] = {
        {"### Sprite editor", "cut, copy, paste, clear, invert, flip and mirror", "shift"},
        {"### Memory bitmap", "\"8 bit\" shows each byte as a grey level, \"1 bit\" each bit", "picture of bits"}};
    for (const auto& sec : sections) {
        const size_t at = text.find(sec.section), end = text.find("###", at + 4);
        const std::string part = at == text.npos ? "" : text.substr(at, end - at);
        EXPECT_NE(part.find(sec.offered), part.npos) << part;
        EXPECT_EQ(part.find(sec.lacking), part.npos) << part;
    }
    const std::vector<std::pair<int, int>> images = pictureSizes(about);
    for (const char* name : {"zelk.bmp", "limit.bmp"}) {
        int w = 0, h = 0, n = 0;
        ASSERT_TRUE(stbi_info((std::string(VORLIX_ASSET_DIR "/") + name).c_str(), &w, &h, &n));
        EXPECT_NE(std::find(images.begin(), images.end(), std::pair{w, h}), images.end()) << name;
    }
}

// Drawing with the pointer and the keys; popups; the screen as drawn.
Script drawing(App& a) {
    SDL_RaiseWindow(programWindow());
    SDL_SetWindowInputFocus(programWindow());
    EXPECT_TRUE(swapYZ()) << "the chords must press the keys of a QWERTZ layout";
    a.editor.brush = 1;
    a.editor.tool = Editor::ToolDot;
    co_await frames(10);
    const Memory before = snapshot(a.machine);
    // Background colour 2: right click on the tools bar's palette cell (row 1, left).
    co_await clickInBar("##tools", 9 + 12, 345 + 40 + 19 * 1 + 7, 3);
    EXPECT_EQ(std::pair(a.machine.vic[VicReg::Background0] & 15, int(a.machine.pen)), std::pair(2, 14)) << "background, pen kept";
    const Memory afterBg = snapshot(a.machine);
    // The click on the tools bar handed the keyboard back to the screen.
    co_await keys(XK_l);
    EXPECT_EQ(a.editor.tool, Editor::ToolLine) << "L key after the palette click";
    co_await clickInBar("##tools", 18 + 12, 62 + 12);
    EXPECT_EQ(a.editor.tool, Editor::ToolFreehand) << "freehand button";
    co_await keys(XK_Control_L, XK_Alt_L, XK_z);
    EXPECT_TRUE(snapshot(a.machine) == before) << "Ctrl+Alt+Z";
    co_await keys(XK_Control_L, XK_Alt_L, XK_y);
    EXPECT_TRUE(snapshot(a.machine) == afterBg) << "Ctrl+Alt+Y";
    // Behind a modal popup the chords do nothing; Escape closes it.
    a.message("Info", "modal");
    co_await frames(4);
    co_await keys(XK_Control_L, XK_Alt_L, XK_z);
    EXPECT_TRUE(snapshot(a.machine) == afterBg && a.popups.size() == 1) << "undo behind the popup";
    co_await keys(XK_Escape);
    EXPECT_TRUE(a.popups.empty()) << "popup after Escape";
    a.focusScreen = true;
    co_await frames(3);
    co_await keys(XK_b);
    EXPECT_EQ(a.editor.tool, Editor::ToolRect) << "B key";
    // The toolbar and the status bar hand the keyboard back to the screen: after a click on an empty spot of
    // the toolbar, on a colour field of the status bar, or twice on a window button, O picks the circle.
    for (int where = 0; where < 3; ++where) {
        a.focusScreen = true;
        co_await frames(2);
        co_await keys(XK_b);
        if (where == 0) co_await clickInBar("##toolbar", 300, 20);
        if (where == 1) co_await clickFirstButton("##statusbar");
        for (int i = 0; where == 2 && i < 2; ++i) co_await clickInBar("##toolbar", 240 + 11, 8 + 11);
        co_await keys(XK_o);
        EXPECT_EQ(a.editor.tool, Editor::ToolCircle) << "O key after bar click " << where;
    }
    // Text tool: Ctrl+1 types the reversed 1 once, where a click put the cursor.
    a.editor.tool = Editor::ToolText;
    a.focusScreen = true;
    co_await frames(3);
    co_await clickAt(ImVec2(a.screenOriginX + 44 * a.screenZoom, a.screenOriginY + 28 * a.screenZoom));
    const int cell = a.machine.screenAddr() + 3 * 40 + 5;
    a.machine.ram[cell] = a.machine.ram[cell + 1] = 0x20;
    co_await keys(XK_Control_L, XK_1);
    EXPECT_EQ((std::vector<int>{a.machine.ram[cell], a.machine.ram[cell + 1], a.editor.cursorCol}),
              (std::vector<int>{0xB1, 0x20, 6})) << "Ctrl+1";
    a.editor.tool = Editor::ToolRect;
    // Every character, its colour changing along the rows, for the comparison with the renderer.
    for (int i = 0; i < 1000; ++i) {
        a.machine.ram[a.machine.screenAddr() + i] = u8(i);
        a.machine.ram[Machine::colorRamAddr + i] = u8(i / 40);
    }
    co_await frames(3);
    compareScreen(a);
    // Another palette alone changes no memory: the picture is drawn again all the same.
    const int paletteBefore = a.paletteIndex;
    a.setPalette(paletteBefore == 1 ? 2 : 1);
    co_await frames(3);
    compareScreen(a);
    a.setPalette(paletteBefore);
    co_await frames(3);
    // A wheel step zooms also while a button is held on the canvas.
    a.editor.tool = Editor::ToolMoveView;
    moveTo(ImVec2(160.5f * a.screenZoom + a.screenOriginX, 100.5f * a.screenZoom + a.screenOriginY));
    co_await frames(3);
    EXPECT_EQ(a.mouseX, 160) << "pixel under the pointer";
    button(1, true);
    co_await frames(3);
    const int zoom = a.zoom;
    co_await tap(4);
    button(1, false);
    EXPECT_EQ(a.zoom, zoom + 1) << "wheel zoom with a button held";
    co_await frames(3);
    // Escape during a floating paste cancels the paste only; the next one drops the selection.
    a.editor.tool = Editor::ToolSelect;
    a.editor.selectAll();
    a.editor.copyBlock();
    a.editor.startPaste();
    a.focusScreen = true;
    co_await frames(4);
    co_await keys(XK_Escape);
    EXPECT_EQ(std::pair(a.editor.pasting, a.editor.hasSelection), std::pair(false, true)) << "first Escape";
    co_await keys(XK_Escape);
    EXPECT_FALSE(a.editor.hasSelection);
}

// The bars' controls in a small main window, each shown by scrolling its bar as a user would: the toolbar's
// combos, whole, and its Help button; the status bar's warning field.
Script barControls(App& a) {
    const ImGuiID bar = barContent("##toolbar")->ID;
    const struct { const char* id; float right; } combos[] = {{"##gfxmode", 468 + 181}, {"##zoom", 696 + 77}};
    for (const auto& c : combos) {
        co_await clickInBar("##toolbar", c.right - 6, 8 + 11);
        const ImGuiID popup = ImHashStr("##ComboPopup", 0, ImHashStr(c.id, 0, bar));
        EXPECT_TRUE(GImGui->OpenPopupStack.Size == 1 && GImGui->OpenPopupStack[0].PopupId == popup) << c.id << " opened at its right end";
        co_await keys(XK_Escape);
    }
    const bool help = a.showHelp;
    for (bool open : {!help, help}) {
        co_await clickInBar("##toolbar", 832 + 11, 8 + 11);
        EXPECT_EQ(a.showHelp, open) << "Help button";
    }
    // The warning with no floating window over it.
    setAllWindows(a, false);
    a.noColorsUntil = ImGui::GetTime() + 60;
    co_await frames(3);
    co_await showInBar("##statusbar", 70 + 80 + 160 + 4 * 40 + 80 + 50, 10);
    co_await frames(2);
    EXPECT_GT(pixelsOf(barContent("##statusbar")->InnerClipRect, 0xFF0000), 0) << "\"No free colors!\" shown";
    a.noColorsUntil = 0;
    setAllWindows(a, true);
    a.showImportPicture = false;
    co_await frames(6);
}

// Fields wide enough for their values at the UI scale, in font sizes: the assembler's font size between its
// two buttons, the processor's address and register fields.
const struct FieldWidth { const char *window, *id; float ems; } kFieldWidths[] = {
    {"Assembler", "##fs", 1.5f}, {"###Processor", "##pc", 2.6f}, {"###Processor", "##a", 1.5f},
    {"###Processor", "##memaddr", 2.6f}};
Script fieldWidths() {
    for (const FieldWidth& f : kFieldWidths) {
        ImRect r;
        co_await itemRect(f.window, idIn(f.window, f.id), r);
        EXPECT_GE(r.GetWidth(), f.ems * fontSize()) << f.id;
    }
}

// The colour editor's labels end before their swatches.
Script colorEditorRows(App& a) {
    a.focusScreen = true;
    co_await frames(3);
    co_await keys(XK_F9);
    ImRect slider;
    const char* popup = "Color editor##dlg";
    int row = 0;
    co_await itemRect(popup, ImHashStr("##v", 0, ImHashData(&row, sizeof row, ImHashStr(popup))), slider);
    ImGuiWindow* w = findWindow(popup);
    const float label = ImGui::GetIO().Fonts->Fonts[0]->CalcTextSizeA(fontSize(), FLT_MAX, 0, "Background").x;
    const float swatch = 24 * fontSize() / 12;
    EXPECT_TRUE(w && slider.Min.x - w->DC.CursorStartPos.x >= label + swatch) << "swatch over the label";
    co_await keys(XK_Escape);
}

// Every window the main menu or the toolbar offers, opened the way a user does; then all
// but the picture import (with the font import, which the character set window offers) laid out.
Script openByPointer(App& a) {
    for (float scale : {2.0f, 1.0f}) {
        setAllWindows(a, false);
        a.uiScale = ImGui::GetStyle().FontScaleMain = scale;
        a.machine.setGfxMode(GfxMode::Bitmap);  // the converter is offered in a bitmap mode only
        co_await frames(5);
        co_await eachWindowAlone(a);
        for (const WindowRow& w : kWindows) {
            if (!w.menu) continue;
            co_await findItem("##MainMenuBar", w.menu, true);
            co_await tap();
            // The picture import lies in a submenu that opens as the pointer rests on it.
            const bool sub = !w.title;
            if (sub) {
                co_await findItem("###Menu_00", "Load", false);
                co_await frames(2);
            }
            co_await findItem(sub ? "###Menu_01" : "###Menu_00", w.item, false);
            co_await tap();
            EXPECT_TRUE(a.*w.flag) << w.item << " at scale " << scale;
        }
        co_await frames(3);
        // The picture import and the file dialog it offers float, at the UI scale, and open no larger
        // than the main window (the import once opened 1,840 x 1,120 in 1,400 x 900 at 200 %).
        for (const char* name : {"Import PC image", "##filedialog"}) {
            if (name[0] == '#' && !a.ui.fileDialog.open) continue;  // offered on the first opening only
            ImGuiWindow* f = findWindow(name);
            if (!f || !f->WasActive) {
                ADD_FAILURE() << name << " not shown";
                continue;
            }
            const ImVec2 display = ImGui::GetIO().DisplaySize;
            EXPECT_TRUE(!f->DockIsActive && f->Pos.x >= 0 && f->Pos.y >= 0 && f->Pos.x + f->Size.x <= display.x &&
                        f->Pos.y + f->Size.y <= display.y)
                << name << " at " << f->Pos.x << "," << f->Pos.y << " size " << f->Size.x << "x" << f->Size.y;
            if (scale == 2) {
                EXPECT_GT(f->Size.x, 640) << name << " at the UI scale";
            }
        }
        FileIO::cancel(a.ui.fileDialog);  // the picker the picture import offers at first
        a.showImportPicture = false;
        for (const WindowRow& w : kWindows)
            for (bool open : {false, true}) {
                if (w.toolbarX < 0) break;
                co_await clickInBar("##toolbar", w.toolbarX + 11, 8 + 11);
                EXPECT_EQ(a.*w.flag, open) << "toolbar button of " << w.title << ", scale " << scale;
            }
        a.showImportCharset = true;
        co_await frames(5);
        checkLayout(scale);
        checkReachable();
        co_await fieldWidths();
        co_await colorEditorRows(a);
        co_await eachTabInFront();
        co_await noGrowthWhilePointerMoves();
        // In a small main window too.
        SDL_SetWindowSize(programWindow(), 1000, 650);
        co_await frames(6);
        checkLayout(scale);
        checkReachable();
        co_await barControls(a);
        co_await eachTabInFront();
        co_await noGrowthWhilePointerMoves();
        if (scale == 1) co_await eachWindowAlone(a);
        SDL_SetWindowSize(programWindow(), 1400, 900);
        setAllWindows(a, true);
        a.showImportPicture = false;
        co_await frames(6);
    }
}

// Help and About; a pixel painted in the character editor, into the RAM set at $3000; the font import's
// close box. The floating windows, which open over the middle of the dock space, are closed first.
Script charEditorHelpAbout(App& a) {
    checkHelpAndAbout();
    setAllWindows(a, false);
    a.showImportCharset = a.showCharEditor = true;
    a.charEditorChar = 1;
    a.charPen = 3;
    const Memory before(a.machine.ram + 0x3008, a.machine.ram + 0x3010);
    co_await frames(4);
    // The grid's top right-hand cell: bit 0 of the first row in hires.
    co_await clickItem("###Character editor", idIn("###Character editor", "##chargrid"), 7.5f / 8, 0.5f / 8);
    Memory expected = before;
    expected[0] |= 1;
    EXPECT_EQ(Memory(a.machine.ram + 0x3008, a.machine.ram + 0x3010), expected);
    EXPECT_EQ(a.undoBuffer.undoName(), "edit character");
    EXPECT_TRUE(a.showImportCharset);
    co_await clickAt(closeBox("Import charset from font"));
    EXPECT_FALSE(a.showImportCharset) << "font window after its close box";
    setAllWindows(a, false);
    co_await frames(5);
}

// Ids of the mount-disk window's widgets: the tab of a device, or a widget in it.
ImGuiID mountDiskId(int d, const char* label) {
    const ImGuiID id = ImHashStr(("Device " + std::to_string(d + 8)).c_str(), 0, idIn("Mount disk", "##drives"));
    return label ? ImHashStr(label, 0, ImHashData(&d, sizeof d, id)) : id;
}

// The mount-disk window: a dropped cc1541 image on drive 8, a blank one on
// drive 9; a file loaded by clicks, then a memory range saved to the blank disk.
Script drives(App& a) {
    TempDir disks{"vorlix-disks"};
    Bytes file;
    for (int i = 0; i < 600; i++) file.push_back(u8(i == 1 ? 0xC0 : i * 7));
    Platform::writeFile((disks.path / "data.prg").string(), file);
    std::system(("cd " + disks.path.string() + " && cc1541 -q -f data -w data.prg peer.d64 >/dev/null").c_str());
    Platform::writeFile((disks.path / "blank.d64").string(), DiskDrive::blankD64("blank", "01"));
    Actions::openDropped(a, (disks.path / "peer.d64").string());
    Actions::openDropped(a, (disks.path / "blank.d64").string());
    co_await frames(6);
    const ImGuiID table = mountDiskId(0, "files");
    co_await clickItem(childName("Mount disk", "files", table), ImHashStr("3##f0", 0, table));
    co_await clickItem("Mount disk", mountDiskId(0, "Load"));
    EXPECT_TRUE(std::equal(file.begin() + 2, file.end(), a.machine.ram + 0xC000));
    EXPECT_TRUE(!a.popups.empty() && a.popups[0].text == "$0256 bytes written from $C000 to $C256");
    co_await keys(XK_Return);
    co_await clickItem("Mount disk", mountDiskId(1, nullptr));
    // The start address typed in is taken to 16 bits.
    co_await clickItem("Mount disk", mountDiskId(1, "##from"));
    co_await type("12000");
    co_await keys(XK_Return);
    for (int i = 0x2000; i < 0x3F40; i++) a.machine.ram[i] = u8(i * 3 + i / 256);
    const Bytes saved = FileFormats::savePrg(a.machine, 0x2000, 8000);
    co_await clickItem("Mount disk", mountDiskId(1, "Save to disk"));
    std::system(("cd " + disks.path.string() + " && cbmconvert -N -d blank.d64 >/dev/null 2>&1").c_str());
    Bytes written;
    Platform::readFile((disks.path / "picture.prg").string(), written);
    EXPECT_EQ(written, saved);
    for (DiskDrive& d : a.drives) d.unmount();
    a.showMountDisk = false;
}

// A pixel in the sprite editor, a register typed in, sprites saved through the dialog.
// How a register edit ends and the value it leaves; outside the coroutine, as
// GCC 12 can crash on a coroutine that declares its own types.
enum End { Return, ClickD001, ClickTitle, Escape, Hide };
struct RegisterEdit {
    const char* typed;
    End end;
    int value;
};

Script spritesAndRegisters(App& a) {
    a.spriteBlock = 13;
    std::fill(a.machine.ram + 0x340, a.machine.ram + 0x380, 0);
    a.showSpriteEditor = true;
    co_await frames(8);
    co_await clickItem("Sprite editor", idIn("Sprite editor", "##sprgrid"), 5.5f / 24, 2.5f / 21);
    Memory block(64, 0);
    block[6] = 0x04;  // row 2, pixel 5
    EXPECT_EQ(Memory(a.machine.ram + 0x340, a.machine.ram + 0x380), block);
    EXPECT_EQ(a.undoBuffer.undoName(), "Edit sprite");
    a.showSpriteEditor = false;
    a.showRegisters = true;
    co_await frames(8);
    // $D000 and $D001, rows 0 and 1 of the table. Only Return or a click elsewhere after an edit
    // commits, over what the machine put there meanwhile; Escape drops the edit, and so does hiding the field.
    const ImGuiID regs = idIn("Registers", "regs");
    const std::string table = childName("Registers", "regs", regs);
    auto field = [regs](int row) { return ImHashStr("##v", 0, ImHashData(&row, sizeof row, regs)); };
    a.machine.vic[VicReg::SpriteY0] = 0x34;
    const RegisterEdit rows[] = {{"", ClickD001, 0x66}, {"9", Hide, 0x66},       {"5", Escape, 0x66},
                {"fff", Return, 0xFF}, {"7", ClickD001, 0x07}, {"ab", ClickTitle, 0xAB}};
    for (const auto& r : rows) {
        a.machine.vic[VicReg::SpriteX0] = 0x12;
        co_await clickItem(table, field(0));
        co_await type(r.typed);
        EXPECT_EQ(a.machine.vic[VicReg::SpriteX0], 0x12) << r.typed << ": nothing commits while typing";
        a.machine.vic[VicReg::SpriteX0] = 0x66;
        if (r.end == Return || r.end == Escape) co_await keys(r.end == Return ? XK_Return : XK_Escape);
        if (r.end == ClickD001) co_await clickItem(table, field(1));
        if (r.end == ClickTitle) co_await clickAt(titleBar("Registers"));
        a.showRegisters = r.end != Hide;
        co_await frames(3);
        a.showRegisters = true;
        co_await frames(3);
        EXPECT_EQ(a.machine.vic[VicReg::SpriteX0], r.value) << r.typed;
        EXPECT_EQ(a.undoBuffer.undoName(), r.value == 0x66 ? "Edit sprite" : "register change") << r.typed;
    }
    EXPECT_EQ(a.machine.vic[VicReg::SpriteY0], 0x34);
    a.showRegisters = false;
    // Sprites 0-3 of bank 1 saved through the dialog.
    a.machine.bank = 1;
    Bytes expected = {0x00, 0x40};
    for (int i = 0; i < 256; ++i) expected.push_back(a.machine.ram[0x4000 + i] = u8(i ^ 0x5A));
    a.saveSpritesFirst = 7;
    a.saveSpritesLast = 9;
    a.saveSpritesOpen = true;
    co_await frames(6);
    // A message waits behind the open dialog, the file dialog behind the message; keys answer only what shows.
    a.message("Info", "waiting");
    // With nothing active, Tab goes to the first field of the dialog.
    for (KeySym k : {XK_Tab, XK_0, XK_Tab, XK_3, XK_Return}) co_await keys(k);
    EXPECT_EQ(a.popups.size(), 1u) << "a message answered while not shown";
    co_await clickItem("Save sprites", idIn("Save sprites", "Save..."));
    EXPECT_TRUE(a.ui.fileDialog.openPending) << "the file dialog opened over the message";
    co_await keys(XK_Return);
    EXPECT_TRUE(!a.ui.fileDialog.openPending && a.ui.fileDialog.title == "Save memory area");
    a.ui.fileDialog.dir = g_config.string();
    FileIO::accept(a.ui.fileDialog);
    co_await frames(6);
    Bytes saved;
    Platform::readFile((g_config / "sprites.prg").string(), saved);
    EXPECT_EQ(saved, expected);
    a.machine.bank = 0;
    co_await frames(4);
    co_await keys(XK_Escape);  // the saved message
}

// A click gives the monitor the keyboard, Shift+Home blanks its screen, then a command and Return.
Script monitorCommand(std::string text) {
    co_await clickAt(titleBar("Monitor"));
    ImGuiWindow* w = ImGui::FindWindowByName("Monitor");
    co_await clickAt(ImVec2(w->Pos.x + w->Size.x * 0.5f, w->Pos.y + w->Size.y * 0.5f));
    co_await keys(XK_Shift_L, XK_Home);
    co_await type(text);
    co_await keys(XK_Return);
}
Script monitor(App& a) {
    a.showMonitor = true;
    co_await frames(5);
    expectWholeMultiple(findWindow("Monitor"));
    co_await monitorCommand(".f c000 c0ff 42");  // lower case: shown and read as upper case
    EXPECT_EQ(a.machine.ram[0xC000], 0x42);
    EXPECT_EQ(a.monitor.rowText(0).substr(0, 15), ".F C000 C0FF 42");
    // A save to a file here whose file dialog Escape cancels ends with a new prompt.
    a.monitor.clear();
    a.monitor.print(".S\"PIC\",6,C000,C010");
    co_await keys(XK_Return);
    EXPECT_TRUE(a.ui.fileDialog.open) << "the save's file dialog";
    co_await frames(2);
    co_await keys(XK_Escape);
    EXPECT_EQ(a.monitor.rowText(1).substr(0, 10) + "|" + a.monitor.rowText(2).substr(0, 2) + "|" +
                  std::to_string(a.ui.fileDialog.open),
              "SAVING PIC|. |0");
    const Memory shown(a.machine.monitorScreen, a.machine.monitorScreen + 1000);
    a.focusScreen = true;
    a.editor.tool = Editor::ToolText;
    co_await frames(4);
    co_await type("xx");  // typed on the screen while it has the keyboard
    EXPECT_TRUE(std::equal(shown.begin(), shown.end(), a.machine.monitorScreen)) << "monitor kept off the typing";
    a.editor.tool = Editor::ToolFreehand;
    co_await frames(1);
    co_await monitorCommand(".m 0000 ffff");
    co_await timeFrames(120, g_monitorCpuMs, g_monitorWallMs);
    EXPECT_TRUE(a.monitor.listing);
    co_await keys(XK_Escape);
    EXPECT_FALSE(a.monitor.listing) << "listing after Escape";
    EXPECT_TRUE(a.showMonitor) << "Escape that stopped a listing closed the window";
    co_await keys(XK_Escape);
    EXPECT_FALSE(a.showMonitor) << "open after two Escapes";
}

// The button right of an item on its row, clicked where it lies, whether it takes clicks or not: keyboard
// navigation skips a disabled one.
Script clickRightOf(std::string window, ImGuiID left, const char* label) {
    ImGuiWindow* w = findWindow(window);
    ImGui::FocusWindow(w->RootWindow);
    co_await frames(2);
    ImGui::SetFocusID(left, w);
    co_await frames(3);
    ImRect r = w->NavRectRel[0];
    r.Translate(w->DC.CursorStartPos);
    co_await clickAt(ImVec2(r.Max.x + ImGui::GetStyle().ItemSpacing.x + Fit::ButtonWidth(label) * 0.5f, r.GetCenter().y));
}

// Assembler: "Run in processor" works only after a compile that succeeded; the processor's breakpoint and PC
// marks show on the selected line; a source dropped while the code editor has the keyboard replaces its text.
Script assembler(App& a) {
    a.showAssembler = true;
    a.asmSource = "*=$C000\n LDA #$1G\n";
    co_await frames(5);
    const ImGuiID compile = idIn("Assembler", "Compile");
    co_await clickRightOf("Assembler", compile, "Run in processor");
    EXPECT_FALSE(a.showProcessor) << "processor before a compile";
    co_await clickItem("Assembler", compile);
    co_await clickRightOf("Assembler", compile, "Run in processor");
    EXPECT_FALSE(a.showProcessor) << "processor after a failed compile";
    a.asmSource = "*=$C000\n LDX #$05\n LDY #$00\nloop INY\n DEX\n BNE loop\n LDA #$42\n STA $C100\n BRK\n";
    a.machine.ram[0xC100] = 0;
    co_await frames(2);
    co_await clickItem("Assembler", compile);
    co_await clickRightOf("Assembler", compile, "Run in processor");
    EXPECT_TRUE(a.showProcessor) << "processor after a compile";
    // The processor window opened on top: a click on its title bar gives it the keys.
    co_await clickAt(titleBar("Processor###Processor"));
    for (KeySym k : {XK_Down, XK_Down, XK_Down, XK_Down, XK_Down, XK_Down, XK_F5, XK_F9}) co_await keys(k);
    // pc, a, x, y, $C100, breakpoints, running
    EXPECT_EQ((std::vector<int>{a.cpu.pc, a.cpu.a, a.cpu.x, a.cpu.y, a.machine.ram[0xC100],
                                int(a.cpu.breakpoints.size()), a.cpuRunning}),
              (std::vector<int>{0xC00A, 0x42, 0, 5, 0, 1, 0}));
    // Stopped at the breakpoint, which is the selected line: both marks in their own colours.
    ImGuiWindow* listing = nullptr;
    for (ImGuiWindow* c : findWindow("Processor###Processor")->DC.ChildWindows)
        if (strstr(c->Name, "/##dis_")) listing = c;
    const ImRect shown = listing ? listing->Rect() : ImRect();
    EXPECT_GT(pixelsOf(shown, 0x961E1E), 0) << "breakpoint mark on the selected line";
    EXPECT_GT(pixelsOf(shown, 0x968C1E), 0) << "PC mark on the selected line";
    a.showProcessor = false;
    // Typing in the code editor, then a source dropped on the window.
    const ImGuiID src = idIn("Assembler", "##src");
    co_await clickItem("Assembler", src);
    co_await type("abc");
    EXPECT_EQ(GImGui->ActiveId, src) << "the code editor has the keyboard";
    TempDir dir{"vorlix-drop"};
    // As long as the edited text, so only the drop itself can tell the editor that it changed.
    std::string dropped = "*=$C000\n NOP\n";
    dropped.resize(a.asmSource.size(), ' ');
    Platform::writeFile((dir.path / "drop.s").string(), Bytes(dropped.begin(), dropped.end()));
    SDL_Event e{.drop = {SDL_DROPFILE, 0, SDL_strdup((dir.path / "drop.s").c_str()), SDL_GetWindowID(programWindow())}};
    SDL_PushEvent(&e);
    co_await frames(6);
    EXPECT_EQ(a.asmSource, dropped) << "source dropped while the editor had the keyboard";
    EXPECT_EQ(GImGui->ActiveId == src ? std::string(GImGui->InputTextState.TextA.Data) : dropped, dropped) << "editor text";
    a.showAssembler = false;
    co_await frames(2);
}

// In a low main window the processor window scrolls; over its listing and memory panes the wheel moves what
// they show, and not the window.
Script processorWheel(App& a) {
    SDL_SetWindowSize(programWindow(), 1000, 650);
    setAllWindows(a, false);
    a.showProcessor = true;
    co_await frames(6);
    ImGuiWindow* p = findWindow("Processor");
    ImGui::FocusWindow(p);
    co_await frames(3);
    EXPECT_GT(p->ScrollMax.y, 0) << "the processor window scrolls";
    for (const char* pane : {"/##dis_", "/##mem_"}) {
        const bool mem = pane[3] == 'm';
        // The memory pane brought into view: the window at its end, where the wheel up would scroll it.
        ImGui::SetScrollY(p, mem ? p->ScrollMax.y : 0);
        co_await frames(2);
        ImGuiWindow* c = nullptr;
        for (ImGuiWindow* child : p->DC.ChildWindows)
            if (strstr(child->Name, pane)) c = child;
        if (!c) {
            ADD_FAILURE() << "no pane " << pane;
            continue;
        }
        ImRect shown = c->Rect();
        shown.ClipWith(p->InnerClipRect);
        moveTo(shown.GetCenter());
        co_await frames(3);
        const int before = mem ? a.ui.processor.memAddr : a.ui.processor.viewTop;
        int length = 1;
        a.cpu.disassembleInstr(u16(before), &length);
        const float scroll = p->Scroll.y;
        co_await tap(mem ? 4 : 5);  // up over the memory, down over the listing: one line each
        EXPECT_EQ(mem ? a.ui.processor.memAddr : a.ui.processor.viewTop, (before + (mem ? -8 : length)) & 0xFFFF) << pane;
        EXPECT_EQ(p->Scroll.y, scroll) << "window scrolled by the wheel over " << pane;
    }
    a.showProcessor = false;
    SDL_SetWindowSize(programWindow(), 1400, 900);
    co_await frames(6);
}

// A PNG dropped on the window opens the import; OK stores the default
// multicolour conversion as one undo step.
Script pictureImport(App& a) {
    const Memory before = snapshot(a.machine);
    TempDir dir{"vorlix-drop"};
    const fs::path png = dir.path / "drop.png";
    std::vector<u32> pic(90 * 60);
    for (int i = 0; i < 90 * 60; ++i) pic[i] = (i % 90 / 10 + i / 900) % 3 ? 0xFF20C0F0u : 0xFF402010u;
    stbi_write_png(png.c_str(), 90, 60, 4, pic.data(), 90 * 4);
    // As the window system delivers a drop.
    SDL_Event e{.drop = {SDL_DROPFILE, 0, SDL_strdup(png.c_str()), SDL_GetWindowID(programWindow())}};
    SDL_PushEvent(&e);
    co_await frames(8);
    fs::remove(png);
    const std::string options = childName("Import PC image", "##options", idIn("Import PC image", "##options"));
    const float optionsY = findWindow(options)->Pos.y;
    co_await clickItem("Import PC image", idIn("Import PC image", "OK"));
    const Memory imported = snapshot(a.machine);
    co_await keys(XK_Control_L, XK_Alt_L, XK_z);
    EXPECT_TRUE(snapshot(a.machine) == before) << "import undone";
    // The picture stays for the next opening, which shows its previews made again and asks for no file; so does
    // a close by the close box.
    for (int closeBy = 0; closeBy < 2; ++closeBy) {
        a.showImportPicture = true;
        co_await frames(3);
        EXPECT_FALSE(a.ui.fileDialog.open) << "no file asked for a kept picture";
        const auto shown = pictureSizes(findWindow("Import PC image"));
        EXPECT_EQ(std::count(shown.begin(), shown.end(), std::pair{320, 200}), 2) << "both previews made again";
        EXPECT_EQ(importShownName(a.ui.importPicture), "drop.png");
        if (closeBy) co_await clickAt(closeBox("Import PC image"));
        else co_await clickItem("Import PC image", idIn("Import PC image", "Cancel"));
        EXPECT_FALSE(a.showImportPicture);
    }
    // What the default conversion of the dropped picture stores.
    auto m = std::make_unique<Machine>(a.machine);
    auto r = std::make_unique<ColorReducer>();
    r->SetPalette(a.palette.rgb);
    r->Reduce(ColorReducer::Resize(pic.data(), 90, 60, 160, true, false), 160, 2, 1, -1);
    r->Store(*m);
    EXPECT_TRUE(snapshot(*m) == imported) << "import as the default conversion";

    // A large PNG is read over many frames under a progress bar; its Cancel leaves the window closed, as it was.
    const fs::path big = dir.path / "big.png";
    EXPECT_EQ(std::system(("/usr/bin/convert -size 6000x4000 gradient:red-blue " + big.string()).c_str()), 0);
    SDL_Event drop{.drop = {SDL_DROPFILE, 0, SDL_strdup(big.c_str()), SDL_GetWindowID(programWindow())}};
    SDL_PushEvent(&drop);
    co_await frames(3);
    EXPECT_TRUE(a.showImportPicture && importLoading(a.ui.importPicture)) << "reading over frames";
    EXPECT_EQ(importShownName(a.ui.importPicture), "big.png") << "the file being read is named";
    EXPECT_EQ(findWindow(options)->Pos.y, optionsY) << "the options stay where they were under the progress bar";
    co_await clickItem("Import PC image", idIn("Import PC image", "Cancel##reading"));
    EXPECT_FALSE(a.showImportPicture || importLoading(a.ui.importPicture)) << "reading cancelled";
}

// The node the calculator was docked into by a drag, for the next run.
ImGuiID g_draggedInto = 0;

// Presses the left button at from, moves to `to` in twelve steps a frame apart, and lets go there.
Script dragTitle(ImVec2 from, ImVec2 to) {
    moveTo(from);
    co_await frames(2);
    button(1, true);
    co_await frames(2);
    for (int k = 1; k <= 12; ++k) {
        moveTo(ImVec2(from.x + (to.x - from.x) * k / 12, from.y + (to.y - from.y) * k / 12));
        co_await frames(1);
    }
    co_await frames(3);
    button(1, false);
    co_await frames(4);
}

// The calculator, floating, dragged by its title bar onto the middle of the lower right node: it docks there.
Script dockByDrag(App& a) {
    setAllWindows(a, false);
    a.showCalc = a.showSprites = true;
    co_await frames(4);
    ImGuiWindow* sprites = findWindow("Sprites");
    ImGuiWindow* calc = findWindow("Calc converter");
    if (!sprites || !sprites->DockNode || !calc || calc->DockIsActive) {
        ADD_FAILURE() << "the sprites docked and the calculator floating";
        co_return;
    }
    const ImGuiID node = sprites->DockNode->ID;
    const ImVec2 from = titleBar("Calc converter");
    const ImVec2 to = sprites->DockNode->Rect().GetCenter();
    co_await dragTitle(from, to);
    EXPECT_EQ(findWindow("Calc converter")->DockId, node) << "docked by the drag";
    g_draggedInto = node;
}

// The calculator, floating, dragged by its title bar onto the middle of the screen: the screen's node takes no
// tab, so the calculator stays where it was let go, in sight.
Script dropOnScreen(App& a) {
    setAllWindows(a, false);
    a.showCalc = true;
    co_await frames(4);
    ImGuiWindow* screen = findWindow("Screen");
    ImGuiWindow* calc = findWindow("Calc converter");
    if (!screen || !screen->DockNode || !calc || calc->DockIsActive) {
        ADD_FAILURE() << "the screen docked and the calculator floating";
        co_return;
    }
    const ImVec2 from = titleBar("Calc converter");
    const ImVec2 to = screen->DockNode->Rect().GetCenter();
    co_await dragTitle(from, to);
    calc = findWindow("Calc converter");
    EXPECT_FALSE(calc->DockIsActive) << "calculator docked";
    EXPECT_EQ(screen->DockNode->Windows.Size, 1) << "a tab behind the screen";
    EXPECT_TRUE(calc->WasActive && !calc->Hidden) << "calculator out of sight";
}

// Every window open: minimised and restored, the layout is as it was. Then the timed frames: zoom 8, grid on,
// every window open; and an idle editor at zoom 2.
Script layoutAndTiming(App& a) {
    setAllWindows(a, true);
    co_await frames(5);
    setHidden(true);
    co_await frames(6);
    EXPECT_TRUE(SDL_GetWindowFlags(programWindow()) & SDL_WINDOW_MINIMIZED);
    setHidden(false);
    co_await frames(6);
    checkLayout(1);
    FileIO::cancel(a.ui.fileDialog);  // the picture import's picker, which would take the pointer
    co_await frames(3);
    a.showGrid = true;
    a.setZoom(8, -1, -1);
    co_await frames(10);
    co_await timeFrames(120, g_frameCpuMs, g_frameWallMs);
    a.setZoom(2, -1, -1);
    a.showGrid = false;
    const double idleStart = ms(CLOCK_MONOTONIC);
    const int startFrame = g_frame;
    co_await frames(60);
    g_idleFps = (g_frame - startFrame) * 1000.0 / (ms(CLOCK_MONOTONIC) - idleStart);
    // The picture import, opened without a picture, offered the file dialog.
    FileIO::cancel(a.ui.fileDialog);
    co_await dropOnScreen(a);
    co_await dockByDrag(a);
}

// Popups answered with the keys one after another, two of one title too, the exit question among them: two
// requests to close ask once; Escape is OK to a message and No to a question, Return and keypad Enter are Yes;
// a message an answer brings waits behind those already waiting. Then Yes to the exit question ends the program.
Script popupsAndQuit(App& a) {
    a.message("Error", "one");
    a.message("Error", "two");
    a.confirm("Question", "go?", [&a] { a.message("Success!", "from the answer"); });
    a.message("Info", "waiting");
    SDL_Event q{SDL_QUIT};
    for (int i = 0; i < 2; ++i) {
        SDL_PushEvent(&q);
        co_await frames(2);
    }
    EXPECT_EQ(a.popups.size(), 5u);
    const struct { KeySym key; const char* shown; size_t left; } rows[] = {{XK_Return, "Error", 4}, {XK_Escape, "Error", 3}, {XK_KP_Enter, "Question", 3},
                {XK_Return, "Info", 2},  {XK_Escape, "Exit Vorlix?", 1}, {XK_Return, "Success!", 0}};
    for (const auto& r : rows) {
        co_await frames(2);
        ImGuiWindow* shown = ImGui::FindWindowByName((std::string(r.shown) + "##popup").c_str());
        EXPECT_TRUE(shown && shown->WasActive) << r.shown;
        co_await keys(r.key);
        EXPECT_EQ(a.popups.size(), r.left) << r.shown;
    }
    SDL_PushEvent(&q);
    co_await frames(4);
    g_quitAnswered = true;
    key(XK_Return, true);
    co_await frames(20);
    ADD_FAILURE() << "Yes on the exit question did not end the program";
}

// Without fonts in the assets the program draws with the GUI library's own font: the toolbar's Help button
// keeps its place, shown and working at both UI scales, in the default and in a small main window.
Script builtInFont(App& a) {
    SDL_RaiseWindow(programWindow());
    SDL_SetWindowInputFocus(programWindow());
    co_await frames(3);
    for (float scale : {1.0f, 2.0f})
        for (int width : {1400, 1000}) {
            a.uiScale = ImGui::GetStyle().FontScaleMain = scale;
            SDL_SetWindowSize(programWindow(), width, width == 1400 ? 900 : 650);
            co_await frames(6);
            co_await clickInBar("##toolbar", 832 + 11, 8 + 11);
            EXPECT_TRUE(a.showHelp) << "Help button at scale " << scale << ", width " << width;
            a.showHelp = false;
            co_await frames(2);
        }
}

Script editing(App& a) {
    for (Script (*step)(App&) : {defaultLayout, drawing, openByPointer, charEditorHelpAbout, drives, spritesAndRegisters, monitor,
                                 assembler, processorWheel, pictureImport, layoutAndTiming, popupsAndQuit})
        co_await step(a);
}

}  // namespace

TEST(Editing, ThroughRealPointerAndKeysWithFrameTimes) {
    g_dpy = XOpenDisplay(nullptr);
    ASSERT_NE(g_dpy, nullptr) << "needs an X server (run under xvfb-run)";
    static TempDir cfg{"vorlix-editing"};  // the next test starts the program again on it
    g_config = cfg.path;
    setenv("XDG_CONFIG_HOME", cfg.path.c_str(), 1);
    unsetenv("APPDATA");
    setenv("VORLIX_ASSETS", VORLIX_ASSET_DIR, 1);
    std::optional<Script> script;
    ProgramHooks hooks;
    hooks.onFrame = [&](App& app, int frame) {
        g_frame = frame;
        if (!script) g_resume = script.emplace(editing(app)).h;
        if (frame >= g_waitUntil) g_resume.resume();
        return !script->h.done();
    };
    EXPECT_EQ(runProgram("vorlix", &hooks), 0);
    key(XK_Return, false);
    EXPECT_TRUE(g_quitAnswered) << "the program ended before the script did";
    XCloseDisplay(g_dpy);
    ASSERT_TRUE(g_frameCpuMs > 0 && g_monitorCpuMs > 0);
    std::printf("frame at zoom 8 with grid, every window open: %.3f ms main-thread CPU, %.3f ms wall "
                "(budget 3 ms CPU); idle %.1f fps\n", g_frameCpuMs, g_frameWallMs, g_idleFps);
    std::printf("frame with the monitor listing: %.3f ms main-thread CPU, %.3f ms wall (budget 3 ms CPU)\n",
                g_monitorCpuMs, g_monitorWallMs);
    EXPECT_LE(g_idleFps, 65);
}

// The layout the run above left, read again: the calculator where the drag docked it; "Reset window
// layout" brings back the default, windows opened after it taking their nodes, the calculator floating.
TEST(Editing, LayoutKeptAcrossRunsAndReset) {
    if (!g_draggedInto) GTEST_SKIP() << "needs the run above";
    setenv("XDG_CONFIG_HOME", g_config.c_str(), 1);
    setenv("VORLIX_ASSETS", VORLIX_ASSET_DIR, 1);
    ProgramHooks hooks;
    static bool checked = false;
    hooks.onFrame = [](App& a, int frame) {
        if (frame == 1) {
            setAllWindows(a, false);
            a.showCalc = a.showSprites = true;
        } else if (frame == 5) {
            EXPECT_EQ(findWindow("Calc converter")->DockId, g_draggedInto) << "after the restart";
            EXPECT_EQ(findWindow("Sprites")->DockId, g_draggedInto);
            a.resetLayout = true;
        } else if (frame == 8) {
            setDefaultWindows(a, true);
        } else if (frame == 12) {
            checkDefaultLayout();
            // The calculator, outside the default layout, floats at its first size, centred.
            const ImGuiWindow* calc = findWindow("Calc converter");
            EXPECT_FALSE(calc->DockIsActive) << "calculator after the reset";
            const ImGuiViewport* vp = ImGui::GetMainViewport();
            const ImVec2 centre = vp->GetWorkCenter(), size(330 * a.uiScale, 330 * a.uiScale);
            EXPECT_TRUE(std::abs(calc->Size.x - size.x) < 1 && std::abs(calc->Size.y - size.y) < 1 &&
                        std::abs(calc->Pos.x + calc->Size.x / 2 - centre.x) < 1 && std::abs(calc->Pos.y + calc->Size.y / 2 - centre.y) < 1)
                << "calculator at " << calc->Pos.x << "," << calc->Pos.y << " size " << calc->Size.x << "x" << calc->Size.y;
            checked = true;
            return false;
        }
        return true;
    };
    EXPECT_EQ(runProgram("vorlix", &hooks), 0);
    EXPECT_TRUE(checked) << "the program ended before the checks";
}

namespace {

std::string readText(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}
void writeText(const fs::path& p, const std::string& s) { std::ofstream(p, std::ios::binary) << s; }

// One program run on the configuration in XDG_CONFIG_HOME, its script resumed from the first frame shown.
int runScript(Script (*make)(App&)) {
    std::optional<Script> script;
    ProgramHooks hooks;
    g_waitUntil = 1;
    hooks.onFrame = [&](App& app, int frame) {
        g_frame = frame;
        if (!script) g_resume = script.emplace(make(app)).h;
        if (frame >= g_waitUntil) g_resume.resume();
        return !script->h.done();
    };
    return runProgram("vorlix", &hooks);
}

// Pixels of the empty dock space's colour inside the dock space, in the frame drawn last.
int emptyDockPixels() {
    const ImGuiDockNode* root = ImGui::DockBuilderGetNode(DockLayout::MainId());
    if (!root) return -1;
    return pixelsOf(ImRect(root->Pos, ImVec2(root->Pos.x + root->Size.x, root->Pos.y + root->Size.y)), 0xABABAB);
}

// The default layout's windows open, one after another as a user opens them: each node's chosen tab
// lies wholly in its tab bar's visible part.
void checkChosenTabsInSight() {
    for (const char* title : {"Assembler", "Sprite editor"}) {
        ImGuiWindow* w = findWindow(title);
        ASSERT_TRUE(w && w->DockNode && w->DockNode->TabBar) << title;
        ImGuiTabBar* bar = w->DockNode->TabBar;
        EXPECT_EQ(bar->SelectedTabId, w->TabId) << title << " chosen";
        const ImGuiTabItem* tab = ImGui::TabBarFindTabByID(bar, w->TabId);
        ASSERT_NE(tab, nullptr);
        const float x = bar->BarRect.Min.x + tab->Offset - bar->ScrollingAnim;
        EXPECT_TRUE(x >= bar->ScrollingRectMinX - 0.5f && x + tab->Width <= bar->ScrollingRectMaxX + 0.5f)
            << title << " tab at " << x << "-" << x + tab->Width << " of " << bar->ScrollingRectMinX << "-" << bar->ScrollingRectMaxX;
    }
}

// Every floating window shown lies inside the dock area and is no larger than it.
void checkFloatingInside(const char* when) {
    SCOPED_TRACE(when);
    const ImGuiDockNode* root = ImGui::DockBuilderGetNode(DockLayout::MainId());
    ASSERT_NE(root, nullptr);
    const ImRect area(root->Pos, ImVec2(root->Pos.x + root->Size.x, root->Pos.y + root->Size.y));
    int seen = 0;
    for (const char* title : {"Vorlix Help", "Calc converter", "Mount disk", "Preferences", "Information##popup"}) {
        ImGuiWindow* w = findWindow(title);
        if (!w || !w->WasActive) {
            ADD_FAILURE() << title << " not shown";
            continue;
        }
        ++seen;
        EXPECT_FALSE(w->DockIsActive) << title;
        EXPECT_TRUE(w->Pos.x >= area.Min.x - 0.5f && w->Pos.y >= area.Min.y - 0.5f && w->Pos.x + w->Size.x <= area.Max.x + 0.5f &&
                    w->Pos.y + w->Size.y <= area.Max.y + 0.5f)
            << title << " at " << w->Pos.x << "," << w->Pos.y << " size " << w->Size.x << "x" << w->Size.y << " in "
            << area.Min.x << "," << area.Min.y << " - " << area.Max.x << "," << area.Max.y;
    }
    EXPECT_EQ(seen, 5) << "floating windows shown";
}

// A fresh start: the default layout from the dock area; tabs opened one by one stay in sight; the floating
// windows stay inside the main window as it shrinks; the layout it saves is sound.
Script freshStart(App& a) {
    co_await frames(3);
    setDefaultWindows(a, false);
    co_await frames(2);
    for (bool App::*flag : {&App::showRegisters, &App::showMonitor, &App::showSecondView, &App::showBitmapMem,
                            &App::showProcessor, &App::showAssembler, &App::showCharset, &App::showSprites,
                            &App::showCharEditor, &App::showSpriteEditor}) {
        a.*flag = true;
        co_await frames(1);
    }
    co_await frames(6);
    checkDefaultLayout();
    checkChosenTabsInSight();
    // The font import refuses the ROM character set in a message, a modal popup.
    a.showHelp = a.showCalc = a.showMountDisk = a.showPreferences = a.showImportCharset = true;
    co_await frames(4);
    checkFloatingInside("1400 x 900");
    for (auto [w, h] : {std::pair{1000, 650}, std::pair{640, 400}}) {
        SDL_SetWindowSize(programWindow(), w, h);
        co_await frames(6);
        checkFloatingInside((std::to_string(w) + " x " + std::to_string(h)).c_str());
    }
    SDL_SetWindowSize(programWindow(), 1400, 900);
    a.popups.clear();
    a.showHelp = a.showMountDisk = a.showPreferences = a.showImportCharset = false;
    co_await frames(4);
}

// A start with a layout file that must not be used: the default layout, every default window shown; so also
// after "Reset window layout".
Script startsWithDefault(App& a) {
    co_await frames(2);
    setDefaultWindows(a, true);
    co_await frames(5);
    checkDefaultLayout();
    a.resetLayout = true;
    co_await frames(5);
    checkDefaultLayout();
}

// A start with a sound layout: the first frame shown already shows the windows, and the calculator, once
// saved as a tab behind the screen, is back in sight.
Script startsWithSaved(App& a) {
    EXPECT_LT(emptyDockPixels(), 200) << "empty dock space in the first frame";
    co_await frames(4);
    ImGuiWindow* calc = findWindow("Calc converter");
    ImGuiWindow* screen = findWindow("Screen");
    if (!calc || !calc->WasActive || !screen || !screen->DockNode) {
        ADD_FAILURE() << "the calculator shown and the screen docked";
        co_return;
    }
    EXPECT_NE(calc->DockNode, screen->DockNode) << "calculator with the screen";
    EXPECT_EQ(screen->DockNode->Windows.Size, 1);
    EXPECT_TRUE(a.showCalc);
}

}  // namespace

// The layout file as the program finds it at start. Damaged files (made from one the program wrote) start the
// default layout, are kept beside it and named once on standard error; a file too large to be one the program
// wrote starts the default layout and is kept as it is; each run saves a sound layout.
TEST(Editing, LayoutFileAtStart) {
    TempDir cfg{"vorlix-layout"};
    setenv("XDG_CONFIG_HOME", cfg.path.c_str(), 1);
    unsetenv("APPDATA");
    setenv("VORLIX_ASSETS", VORLIX_ASSET_DIR, 1);
    const fs::path dir = cfg.path / "vorlix", ini = dir / "imgui.ini", damaged = dir / "imgui.ini.damaged";
    ASSERT_EQ(runScript(freshStart), 0);
    const std::string saved = readText(ini);
    ASSERT_TRUE(LayoutFile::check(saved, DockLayout::MainId(), "Screen").sound) << saved;

    // Node lines of the saved file; the screen's node.
    std::vector<std::string> lines;
    for (size_t at = 0, end; at < saved.size(); at = end + 1) {
        end = saved.find('\n', at);
        if (end == std::string::npos) end = saved.size();
        lines.push_back(saved.substr(at, end - at));
    }
    auto joined = [](const std::vector<std::string>& ls) {
        std::string s;
        for (const std::string& l : ls) s += l + "\n";
        return s;
    };
    auto field = [](const std::string& line, const std::string& key) {
        const size_t at = line.find(key);
        return at == std::string::npos ? std::string() : line.substr(at + key.size(), 10);
    };
    int lastNode = -1, childNode = -1;
    std::string screenDock;
    for (int i = 0; i < int(lines.size()); ++i) {
        if (lines[i].find("DockNode") != std::string::npos) {
            lastNode = i;
            if (childNode < 0 && lines[i].find("Parent=") != std::string::npos) childNode = i;
        }
        if (lines[i] == "[Window][Screen]")
            for (int k = i + 1; k < int(lines.size()) && !lines[k].empty(); ++k)
                if (lines[k].rfind("DockId=", 0) == 0) screenDock = lines[k].substr(7, 10);
    }
    ASSERT_TRUE(lastNode > 0 && childNode > 0 && !screenDock.empty()) << saved;
    std::vector<std::string> cut = lines, selfParent = lines;
    cut.erase(cut.begin() + lastNode);
    std::string& child = selfParent[childNode];
    child.replace(child.find("Parent=") + 7, 10, field(child, "ID="));
    std::string noAxis = saved;
    noAxis.erase(noAxis.find(" Split=X"), 8);
    std::string big = saved;
    for (int i = 0; big.size() <= LayoutFile::kMaxSize; ++i) big += "[Window][w" + std::to_string(i) + "]\nPos=1,1\n\n";
    const std::string screenTab = saved + "[Window][Calc converter]\nPos=0,0\nSize=330,330\nDockId=" + screenDock + ",1\n\n";

    const struct {
        const char* what;
        std::string text;
        bool damaged, kept;  // set aside with a message; left as it is
        Script (*script)(App&);
    } rows[] = {
        {"last node cut", joined(cut), true, false, startsWithDefault},
        {"node its own parent", joined(selfParent), true, false, startsWithDefault},
        {"the library's window docked",
         saved + "[Window][Debug##Default]\nPos=60,60\nSize=400,400\nDockId=0x0000ABCD,0\n\n", true, false,
         startsWithDefault},
        {"split without axis", noAxis, true, false, startsWithDefault},
        {"over the size read", big, false, true, startsWithDefault},
        {"a tab behind the screen", screenTab, false, false, startsWithSaved},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        fs::remove(damaged);
        writeText(ini, r.text);
        // The windows of the default layout open, as a user left them.
        writeText(dir / "vorlix.ini", "win.secondView=1\nwin.registers=1\nwin.monitor=1\nwin.processor=1\nwin.assembler=1\n"
                                      "win.bitmapMem=1\nwin.calc=1\n");
        testing::internal::CaptureStderr();
        EXPECT_EQ(runScript(r.script), 0);
        const std::string err = testing::internal::GetCapturedStderr();
        int said = 0;
        for (size_t at = err.find("window layout file"); at != std::string::npos; at = err.find("window layout file", at + 1)) ++said;
        EXPECT_EQ(said, r.damaged || r.kept ? 1 : 0) << err;
        EXPECT_EQ(fs::exists(damaged) ? readText(damaged) : "", r.damaged ? r.text : "") << "set aside";
        const std::string after = readText(ini);
        if (r.kept) {
            EXPECT_TRUE(after == r.text) << "the file left as it was";
        } else {
            EXPECT_TRUE(LayoutFile::check(after, DockLayout::MainId(), "Screen").sound) << after;
        }
    }
}

// A run on assets without fonts.
TEST(Editing, HelpButtonWithTheBuiltInFont) {
    g_dpy = XOpenDisplay(nullptr);
    ASSERT_NE(g_dpy, nullptr) << "needs an X server (run under xvfb-run)";
    TempDir dir{"vorlix-builtin-font"};
    fs::copy(VORLIX_ASSET_DIR, dir.path / "assets", fs::copy_options::recursive);
    fs::remove_all(dir.path / "assets" / "fonts");
    setenv("XDG_CONFIG_HOME", dir.path.c_str(), 1);
    setenv("VORLIX_ASSETS", (dir.path / "assets").c_str(), 1);
    EXPECT_EQ(runScript(builtInFont), 0);
    XCloseDisplay(g_dpy);
}
