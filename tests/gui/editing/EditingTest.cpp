// Drives the real program with pointer and key events through the X server
// (XTest) and checks the C64 memory and the drawn picture afterwards.
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

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "app/App.h"
#include "app/Compat.h"
#include "app/Program.h"
#include "core/Editor.h"
#include "core/Vic.h"
#include "disk/DiskDrive.h"
#include "formats/FileActions.h"
#include "formats/FileFormats.h"
#include "tests/DiskTestSupport.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "import/ColorReducer.h"
#include "import/PictureImport.h"

#include <stb/stb_image_write.h>

#include <stb/stb_image.h>

namespace fs = std::filesystem;

namespace {

// One step of the script: an action, then frames to let the events arrive.
struct Step {
    std::string name;
    std::function<void(App&)> action;
    int wait = 4;
    // Run the action again while this holds (checked after the wait).
    std::function<bool(App&)> repeat;
    int runs = 0;
};

Display* g_dpy = nullptr;

void flush() { XSync(g_dpy, False); }

// Window coordinates (the GUI's) to the X screen.
void moveTo(float x, float y) {
    int wx = 0, wy = 0;
    SDL_GetWindowPosition(programWindow(), &wx, &wy);
    XTestFakeMotionEvent(g_dpy, -1, wx + int(x), wy + int(y), 0);
    flush();
}
void button(int b, bool down) {
    XTestFakeButtonEvent(g_dpy, b, down ? True : False, 0);
    flush();
}
void key(KeySym sym, bool down) {
    XTestFakeKeyEvent(g_dpy, XKeysymToKeycode(g_dpy, sym), down ? True : False, 0);
    flush();
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
    flush();
}

// Where the self-test aims at C64 pixel (x, y).
ImVec2 aim(const App& app, int x, int y) {
    return ImVec2((x + 0.5f) * app.screenZoom + app.screenOriginX, (y + 0.5f) * app.screenZoom + app.screenOriginY);
}

struct Memory {
    std::vector<u8> ram;
    std::vector<u8> vic;
};
Memory snapshot(const App& app) {
    return {std::vector<u8>(app.machine.ram, app.machine.ram + 65536),
            std::vector<u8>(app.machine.vic, app.machine.vic + 47)};
}

// What the editor alone makes of the same mouse operations on a copy of the machine.
Memory reference(const Memory& before, const App& app, int tool, int x0, int y0, int x1, int y1) {
    auto m = std::make_unique<Machine>(app.machine);
    std::copy(before.ram.begin(), before.ram.end(), m->ram);
    std::copy(before.vic.begin(), before.vic.end(), m->vic);
    auto u = std::make_unique<UndoBuffer>(*m);
    auto e = std::make_unique<Editor>(*m, *u);
    e->pixels.noNewColours = app.editor.pixels.noNewColours;
    e->tool = tool;
    e->brush = app.editor.brush;
    e->filled = app.editor.filled;
    e->mouseDown(x0, y0, 0);
    e->mouseMove(x1, y1);
    e->mouseUp(x1, y1, 0);
    return {std::vector<u8>(m->ram, m->ram + 65536), std::vector<u8>(m->vic, m->vic + 47)};
}

int differences(const Memory& a, const Memory& b) {
    int n = 0;
    for (size_t i = 0; i < a.ram.size(); ++i) n += a.ram[i] != b.ram[i];
    for (size_t i = 0; i < a.vic.size(); ++i) n += a.vic[i] != b.vic[i];
    return n;
}

struct Rect {
    std::string name;
    float x0, y0, x1, y1;
};
bool overlaps(const Rect& a, const Rect& b) {
    // Shared edges and sub-pixel rounding do not count.
    return a.x0 < b.x1 - 0.5f && b.x0 < a.x1 - 0.5f && a.y0 < b.y1 - 0.5f && b.y0 < a.y1 - 0.5f;
}

// Results collected while the program runs, checked by the tests below.
struct Results {
    bool ran = false;
    Memory afterBg, afterStroke, afterUndo, afterRedo, afterLine, afterRect;
    Memory expectStroke, expectLine, expectRect;
    int bgAfterPick = -1, penAfterPick = -1;
    int toolAfterButton = -1, toolAfterL = -1, toolAfterB = -1;
    std::string undoNameAfterUndo;
    Memory afterUndoUnderPopup;
    int popupsShown = -1, popupsAfterEscape = -1;
    int screenMismatches = -1, screenSamples = 0;
    std::vector<std::string> overlapReports;
    int toolAfterPaletteKey = -1;
    bool keymapSwapped = false, sawMinimised = false;
    ImVec2 screenSize[4];  // before minimising, minimised, restored, saved at the end
    double idleFps = -1;
    std::vector<std::string> openReports;  // windows the menus or toolbar did not open
    int windowsChecked = 0;
    u8 charBefore[8] = {}, charAfter[8] = {};
    std::string charUndoName;
    float helpHeight = 0;
    int helpLines = 0;
    std::vector<std::pair<int, int>> aboutImages;
    std::vector<float> scalesChecked;
    double frameCpuMs = -1, frameWallMs = -1;
    int pixelAfterMouse = -1;
    int zoomBeforeWheel = -1, zoomAfterWheel = -1;
    int pastingAfterEscape = -1, selectionAfterEscape = -1, selectionAfterSecondEscape = -1;
    std::vector<u8> loadedFromDisk, fileOnDisk, savedOnDisk, savedFromMemory;
    std::string loadMessage;
    std::vector<u8> spriteBlock, savedSprites, expectSprites;
    std::string spriteUndo, registerUndo;
    int registerValue = -1;
    int monitorFilled = -1;
    std::string monitorRow;
    std::vector<u8> monitorScreen;
    int monitorKeptTypingElsewhere = -1, listingWhileTimed = -1, listingAfterEscape = -1, monitorOpenAfterEscapes = -1;
    double monitorFrameCpuMs = -1, monitorFrameWallMs = -1;
    int procOpenBeforeCompile = -1, procOpenAfterFailedCompile = -1, breakpointsSet = -1, runningAfterBreak = -1;
    std::vector<int> registersAtBreak;  // pc, a, x, y, the byte the next instruction stores to
    Memory beforeImport, afterImport, expectImport, afterImportUndo;
};
Results R;

double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}
double wallMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

ImVec2 windowPos(const char* name) {
    ImGuiWindow* w = ImGui::FindWindowByName(name);
    return w ? w->Pos : ImVec2(-1, -1);
}


// Ids of the mount-disk window's widgets: the tab of a device, or a widget in it.
ImGuiID mountDiskId(int d, const char* label) {
    ImGuiWindow* w = ImGui::FindWindowByName("Mount disk");
    char tab[24];
    std::snprintf(tab, sizeof tab, "Device %d", d + 8);
    ImGuiID id = ImHashStr(tab, 0, ImHashStr("##drives", 0, w ? w->ID : 0));
    return label ? ImHashStr(label, 0, ImHashData(&d, sizeof d, id)) : id;
}

// Keyboard navigation records where its item lies: focus an item, and after a
// frame its centre is known, to be clicked like any user would.
std::string g_navWindow;
void focusItem(const std::string& window, ImGuiID id) {
    g_navWindow = window;
    ImGui::SetFocusID(id, ImGui::FindWindowByName(window.c_str()));
}
void moveToFocused() {
    ImGuiWindow* w = ImGui::FindWindowByName(g_navWindow.c_str());
    if (!w) return;
    ImRect r = w->NavRectRel[0];
    ImVec2 o = w->DC.CursorStartPos;  // the record is relative to where the content starts
    moveTo(o.x + (r.Min.x + r.Max.x) * 0.5f, o.y + (r.Min.y + r.Max.y) * 0.5f);
}

// Every window of the program, by the part of its title that stays.
const char* const windowTitles[] = {
    "Second view", "Sprites", "Sprite editor", "Registers", "Monitor", "Character set", "Character editor",
    "Memory bitmap", "Calc converter", "Processor", "Assembler", "Mount disk", "Import charset from font", "Preferences", "About Vorlix", "Vorlix Help", "Convert bitmap to charset"};

ImGuiWindow* findWindow(const std::string& title) {
    ImGuiWindow* w = ImGui::FindWindowByName(title.c_str());
    return w ? w : ImGui::FindWindowByName(("###" + title).c_str());
}

void checkLayout(float scale) {
    R.scalesChecked.push_back(scale);
    std::vector<Rect> rects;
    for (const char* n : {"##MainMenuBar", "##toolbar", "##statusbar", "##tools", "Screen"}) {
        ImGuiWindow* w = ImGui::FindWindowByName(n);
        if (!w || !w->WasActive) {
            R.overlapReports.push_back(std::string("missing ") + n);
            continue;
        }
        rects.push_back({n, w->Pos.x, w->Pos.y, w->Pos.x + w->Size.x, w->Pos.y + w->Size.y});
    }
    auto report = [scale](const std::string& what, float got, float limit) {  // a control out of place
        char buf[160];
        std::snprintf(buf, sizeof buf, "scale %.2f: %s at %.0f, limit %.0f", scale, what.c_str(), got, limit);
        R.overlapReports.push_back(buf);
    };
    // Every control of the bars lies inside the main window (the menu bar's frame reaches half a
    // pixel beyond); the tools bar may scroll to them.
    const float right = ImGui::GetIO().DisplaySize.x + 1.5f;
    for (const char* n : {"##MainMenuBar", "##toolbar", "##statusbar"}) {
        float most = 0;
        for (const ImDrawVert& v : ImGui::FindWindowByName(n)->DrawList->VtxBuffer) most = std::max(most, v.pos.x);
        if (most > right) report(std::string(n) + " draws", most, right);
    }
    ImGuiWindow* tools = ImGui::FindWindowByName("##tools");
    ImGuiWindow* w = tools->DC.ChildWindows.Size ? tools->DC.ChildWindows[0] : tools;
    float bottom = w->Pos.y + w->Size.y + w->ScrollMax.y - w->Scroll.y + 0.5f;
    if (w->DC.CursorMaxPos.y > bottom) report("tools content", w->DC.CursorMaxPos.y, bottom);
    // The screen window still fills its tile between the bars: it followed the scale and the main window's size.
    if (rects.size() == 5) {
        ImVec4 tile = Compat::DefaultWindowRect("Screen", ImVec4(rects[3].x1, rects[1].y1, ImGui::GetIO().DisplaySize.x - rects[3].x1,
                                                                 rects[2].y0 - rects[1].y1));
        for (auto [what, got, limit] : {std::tuple{"Screen left", rects[4].x0, rects[3].x1},
                                        {"Screen top", rects[4].y0, rects[1].y1},
                                        {"Screen bottom", rects[4].y1, tile.y + tile.w},
                                        {"Screen right", rects[4].x1, tile.x + tile.z}})
            if (std::abs(got - limit) > 1) report(what, got, limit);
    }
    // Windows still to come are not drawn yet; those that are must fit. The
    // picture import alone floats: its smallest width exceeds the right-hand area.
    for (const char* n : windowTitles) {
        ImGuiWindow* w = findWindow(n);
        if (!w || !w->WasActive) continue;
        ++R.windowsChecked;
        rects.push_back({n, w->Pos.x, w->Pos.y, w->Pos.x + w->Size.x, w->Pos.y + w->Size.y});
    }
    for (size_t i = 0; i < rects.size(); ++i)
        for (size_t j = i + 1; j < rects.size(); ++j)
            if (overlaps(rects[i], rects[j])) {
                char buf[256];
                std::snprintf(buf, sizeof buf, "scale %.2f: %s (%.0f,%.0f-%.0f,%.0f) overlaps %s (%.0f,%.0f-%.0f,%.0f)",
                              scale, rects[i].name.c_str(), rects[i].x0, rects[i].y0, rects[i].x1, rects[i].y1,
                              rects[j].name.c_str(), rects[j].x0, rects[j].y0, rects[j].x1, rects[j].y1);
                R.overlapReports.push_back(buf);
            }
}

// Compares the screen area as drawn with the renderer's frame at the same zoom.
void compareScreen(App& app) {
    std::vector<u32> frame(Vic::FrameWidth * Vic::FrameHeight);
    Vic::renderFrame(app.machine, app.palette, frame.data());
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(programWindow(), &dw, &dh);
    int z = int(app.screenZoom);
    int x0 = int(app.screenOriginX), y0 = int(app.screenOriginY);
    int w = 320 * z, h = 200 * z;
    if (x0 < 0 || y0 < 0 || x0 + w > dw || y0 + h > dh) return;
    std::vector<u32> px(size_t(w) * h);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(x0, dh - y0 - h, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    int bad = 0, n = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            // Every pixel of the zoomed block, rows flipped back to top-down.
            for (int sy = 0; sy < z; ++sy)
                for (int sx = 0; sx < z; ++sx) {
                    int gy = h - 1 - (y * z + sy);
                    u32 got = px[size_t(gy) * w + x * z + sx] | 0xFF000000u;
                    u32 want = frame[size_t(32 + y) * Vic::FrameWidth + 32 + x];
                    ++n;
                    if (got != want) ++bad;
                }
        }
    R.screenMismatches = bad;
    R.screenSamples = n;
}

// The sprite editor's grid, found in the drawn frame by its ring in the border colour.
struct Grid {
    float x, y, z;
} g_grid;
void findSpriteGrid(App& app) {
    ImGuiWindow* w = ImGui::FindWindowByName("Sprite editor");
    if (!w) return;
    int dw = 0, dh = 0, x0 = int(w->Pos.x) + 50, y0 = int(w->Pos.y), W = int(w->Size.x) - 50, H = int(w->Size.y);
    SDL_GL_GetDrawableSize(programWindow(), &dw, &dh);
    std::vector<u32> px(size_t(W) * H);
    glReadPixels(x0, dh - y0 - H, W, H, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    int minX = W, maxX = -1, minY = H;
    for (int i = 0; i < W * H; ++i)
        if ((px[i] | 0xFF000000u) == app.palette.pixel(app.machine.vic[0x20]))
            minX = std::min(minX, i % W), maxX = std::max(maxX, i % W), minY = std::min(minY, H - 1 - i / W);
    g_grid = {float(x0 + minX + 2), float(y0 + minY + 2), float(maxX - minX - 3) / 24};
}

// One step per character through the X keyboard map.
void typeText(std::vector<Step>& s, const std::string& text) {
    for (char c : text) {
        KeySym sym = c == ' ' ? XK_space : c == '.' ? XK_period : XStringToKeysym(std::string(1, c).c_str());
        s.push_back({"type", [=](App&) { key(sym, true), key(sym, false); }, 2});
    }
}

ImVec2 windowMiddle(const char* name) {
    ImGuiWindow* w = ImGui::FindWindowByName(name);
    return w ? ImVec2(w->Pos.x + w->Size.x * 0.5f, w->Pos.y + w->Size.y * 0.5f) : ImVec2(-1, -1);
}

// The middle of the n-th button of the assembler's first row.
ImVec2 assemblerButton(size_t n) {
    static const char* const labels[] = {"Load...", "Save...", "Compile", "Run in processor"};
    ImGuiWindow* w = ImGui::FindWindowByName("Assembler");
    const ImGuiStyle& st = ImGui::GetStyle();
    ImVec2 p = w ? w->DC.CursorStartPos : ImVec2(-1000, -1000);
    for (size_t i = 0; i < n; ++i) p.x += ImGui::CalcTextSize(labels[i]).x + st.FramePadding.x * 2 + st.ItemSpacing.x;
    return ImVec2(p.x + ImGui::CalcTextSize(labels[n]).x / 2 + st.FramePadding.x, p.y + ImGui::GetFrameHeight() / 2);
}

void setAllWindows(App& a, bool open) {
    for (bool App::*f : {&App::showSecondView, &App::showSprites, &App::showSpriteEditor, &App::showRegisters,
                         &App::showMonitor, &App::showCharset, &App::showCharEditor, &App::showBitmapMem,
                         &App::showCalc, &App::showProcessor, &App::showAssembler, &App::showMountDisk,
                         &App::showImportPicture, &App::showImportCharset, &App::showPreferences, &App::showAbout,
                         &App::showHelp, &App::showCharsetConverter})
        a.*f = open;
}

// Slides the pointer along a window's bar, or down the window at x (its middle
// when no xOf is given), until the item of that label is hovered; items are
// identified as the GUI library names them.
void findItem(std::vector<Step>& s, const std::string& window, const std::string& label, bool alongBar,
              float (*xOf)(ImGuiWindow*) = nullptr) {
    auto k = std::make_shared<int>(-1);
    Step st{"find " + label, [=](App&) {
                ImGuiWindow* w = findWindow(window);
                if (!w) return;
                ++*k;
                float x = alongBar ? w->Pos.x + 2 + *k * 5.0f : xOf ? xOf(w) : w->Pos.x + w->Size.x * 0.5f;
                float y = alongBar ? w->Pos.y + w->Size.y * 0.5f : w->Pos.y + 2 + *k * 4.0f;
                moveTo(x, y);
            },
            2};
    st.repeat = [=](App&) {
        ImGuiWindow* w = findWindow(window);
        if (!w || *k > (alongBar ? w->Size.x / 5 : w->Size.y / 4)) {
            R.openReports.push_back("no item " + label);
            return false;
        }
        ImGuiID h = GImGui->HoveredId;
        return h != ImHashStr(label.c_str(), 0, w->ID) && h != ImHashStr(label.c_str(), 0, ImHashStr("##menubar", 0, w->ID));
    };
    s.push_back(st);
}

void click(std::vector<Step>& s) {
    s.push_back({"down", [](App&) { button(1, true); }, 2});
    s.push_back({"up", [](App&) { button(1, false); }, 3});
}

void clickMenu(std::vector<Step>& s, const std::string& menu, const std::string& item) {
    findItem(s, "##MainMenuBar", menu, true);
    click(s);
    findItem(s, "##Menu_00", item, false);
    click(s);
}

void clickToolbar(std::vector<Step>& s, float x) {
    s.push_back({"to button", [x](App&) {
                     ImGuiWindow* bar = ImGui::FindWindowByName("##toolbar");
                     float sc = ImGui::GetFontSize() / 12.0f;
                     // A button the window is too narrow for moves in from the right edge.
                     moveTo(bar->Pos.x + std::min(x * sc, bar->Size.x - 4 - 23 * sc) + 11 * sc, bar->Pos.y + (8 + 11) * sc);
                 },
                 2});
    click(s);
}

void expectOpen(std::vector<Step>& s, bool App::*flag, bool want, const std::string& what) {
    s.push_back({"check " + what, [=](App& a) {
                     if (a.*flag != want) R.openReports.push_back(what + (want ? " did not open" : " did not close"));
                 },
                 1});
}

// Opens the windows of the menus and the toolbar the way a user does.
void openByPointer(std::vector<Step>& s, float scale) {
    s.push_back({"scale", [scale](App& a) {
                     a.uiScale = scale;
                     ImGui::GetIO().FontGlobalScale = scale;
                     a.showCharset = a.showCharEditor = a.showCalc = a.showPreferences = a.showHelp = a.showAbout =
                         a.showCharsetConverter = false;
                     // The converter is offered in a bitmap mode only.
                     a.machine.setGfxMode(3);
                 },
                 5});
    struct Entry {
        const char *menu, *item;
        bool App::*flag;
    };
    static const Entry entries[] = {
        {"View", "Charset", &App::showCharset},
        {"View", "Char editor", &App::showCharEditor},
        {"View", "Calc converter", &App::showCalc},
        {"Edit", "Preferences...", &App::showPreferences},
        {"Edit", "Convert bitmap to charset...", &App::showCharsetConverter},
        {"Help", "Vorlix Help", &App::showHelp},
        {"Help", "About Vorlix", &App::showAbout},
    };
    for (const Entry& e : entries) {
        clickMenu(s, e.menu, e.item);
        expectOpen(s, e.flag, true, e.item);
    }
    struct Button {
        float x;
        bool App::*flag;
        const char* what;
    };
    static const Button buttons[] = {{176, &App::showCharset, "Charset button"},
                                     {208, &App::showCharEditor, "Char editor button"},
                                     {832, &App::showHelp, "Help button"}};
    for (const Button& b : buttons) {
        clickToolbar(s, b.x);
        expectOpen(s, b.flag, false, b.what);
        clickToolbar(s, b.x);
        expectOpen(s, b.flag, true, b.what);
    }
}

std::vector<Step> script() {
    std::vector<Step> s;
    auto drag = [&s](int x0, int y0, int x1, int y1) {
        s.push_back({"move to start", [=](App& a) { ImVec2 p = aim(a, x0, y0); moveTo(p.x, p.y); }, 3});
        s.push_back({"press", [](App&) { button(1, true); }, 3});
        for (int k = 1; k <= 6; ++k)
            s.push_back({"drag", [=](App& a) {
                             ImVec2 p = aim(a, x0 + (x1 - x0) * k / 6, y0 + (y1 - y0) * k / 6);
                             moveTo(p.x, p.y);
                         },
                         2});
        s.push_back({"release", [](App&) { button(1, false); }, 4});
    };
    auto tap = [&s](int b = 1) {
        s.push_back({"press", [b](App&) { button(b, true); }, 3});
        s.push_back({"release", [b](App&) { button(b, false); }, 6});
    };
    auto chord = [&s](std::vector<KeySym> keys) {
        s.push_back({"keys down", [=](App&) { for (KeySym k : keys) key(k, true); }, 3});
        s.push_back({"keys up", [=](App&) { for (auto it = keys.rbegin(); it != keys.rend(); ++it) key(*it, false); }, 4});
    };

    s.push_back({"focus", [](App& a) {
                     SDL_RaiseWindow(programWindow());
                     SDL_SetWindowInputFocus(programWindow());
                     R.keymapSwapped = swapYZ();
                     a.editor.brush = 1;
                     a.editor.tool = 2;
                 },
                 10});
    // Background colour 2: right click on the tools bar's palette cell (row 1, left).
    s.push_back({"to palette", [](App&) {
                     ImVec2 p = windowPos("##tools");
                     float sc = ImGui::GetFontSize() / 12.0f;
                     moveTo(p.x + (9 + 12) * sc, p.y + (345 + 40 + 19 * 1 + 7) * sc);
                 },
                 3});
    tap(3);
    s.push_back({"record bg", [](App& a) {
                     R.bgAfterPick = a.machine.vic[0x21] & 15;
                     R.penAfterPick = a.machine.pen;
                     R.afterBg = snapshot(a);
                 },
                 1});
    // The click on the tools bar handed the keyboard back to the screen.
    chord({XK_l});
    s.push_back({"record key after palette", [](App& a) { R.toolAfterPaletteKey = a.editor.tool; }, 1});
    // The freehand tool by its button.
    s.push_back({"to draw button", [](App&) {
                     ImVec2 p = windowPos("##tools");
                     float sc = ImGui::GetFontSize() / 12.0f;
                     moveTo(p.x + (18 + 12) * sc, p.y + (62 + 12) * sc);
                 },
                 3});
    tap();
    s.push_back({"record tool", [](App& a) {
                     R.toolAfterButton = a.editor.tool;
                     R.expectStroke = reference(R.afterBg, a, 3, 40, 100, 120, 100);
                 },
                 1});
    drag(40, 100, 120, 100);
    s.push_back({"record stroke", [](App& a) { R.afterStroke = snapshot(a); }, 1});
    chord({XK_Control_L, XK_Alt_L, XK_z});
    s.push_back({"record undo", [](App& a) {
                     R.afterUndo = snapshot(a);
                     R.undoNameAfterUndo = a.undoBuffer.undoName();
                 },
                 1});
    chord({XK_Control_L, XK_Alt_L, XK_y});
    s.push_back({"record redo", [](App& a) { R.afterRedo = snapshot(a); }, 1});
    // Behind a modal popup the chords do nothing.
    s.push_back({"popup", [](App& a) { a.message("Info", "modal"); }, 4});
    chord({XK_Control_L, XK_Alt_L, XK_z});
    s.push_back({"record under popup", [](App& a) {
                     R.afterUndoUnderPopup = snapshot(a);
                     R.popupsShown = int(a.popups.size());
                 },
                 1});
    chord({XK_Escape});
    s.push_back({"refocus screen", [](App& a) {
                     R.popupsAfterEscape = int(a.popups.size());
                     a.focusScreen = true;
                 },
                 3});
    // Line tool by its key; the screen has focus after the tool button.
    chord({XK_l});
    s.push_back({"record line tool", [](App& a) {
                     R.toolAfterL = a.editor.tool;
                     R.expectLine = reference(R.afterRedo, a, 4, 10, 150, 200, 180);
                 },
                 1});
    drag(10, 150, 200, 180);
    s.push_back({"record line", [](App& a) { R.afterLine = snapshot(a); }, 1});
    chord({XK_b});
    s.push_back({"record rect tool", [](App& a) {
                     R.toolAfterB = a.editor.tool;
                     R.expectRect = reference(R.afterLine, a, 6, 50, 20, 150, 60);
                 },
                 1});
    drag(50, 20, 150, 60);
    s.push_back({"record rect", [](App& a) {
                     R.afterRect = snapshot(a);
                     R.pixelAfterMouse = a.mouseX;
                 },
                 2});
    s.push_back({"compare screen", [](App& a) { compareScreen(a); }, 1});
    // A wheel step zooms also while a button is held on the canvas.
    s.push_back({"move tool", [](App& a) {
                     a.editor.tool = 8;
                     R.zoomBeforeWheel = a.zoom;
                     ImVec2 p = aim(a, 160, 100);
                     moveTo(p.x, p.y);
                 },
                 3});
    s.push_back({"hold", [](App&) { button(1, true); }, 3});
    s.push_back({"wheel down", [](App&) { button(4, true); }, 2});
    s.push_back({"wheel up", [](App&) { button(4, false); }, 3});
    s.push_back({"let go", [](App& a) {
                     button(1, false);
                     R.zoomAfterWheel = a.zoom;
                 },
                 3});
    // Escape during a floating paste cancels the paste only; the next one drops the selection.
    auto floatingPaste = [](App& a) {
        a.editor.tool = 9;
        a.editor.selectAll();
        a.editor.copyBlock();
        a.editor.startPaste();
        a.focusScreen = true;
    };
    s.push_back({"paste", floatingPaste, 4});
    chord({XK_Escape});
    s.push_back({"record escape", [](App& a) {
                     R.pastingAfterEscape = a.editor.pasting;
                     R.selectionAfterEscape = a.editor.hasSelection;
                 },
                 1});
    chord({XK_Escape});
    s.push_back({"record second escape", [](App& a) { R.selectionAfterSecondEscape = a.editor.hasSelection; }, 1});
    openByPointer(s, 2.0f);
    openByPointer(s, 1.0f);
    // A pixel painted in the character editor, into the RAM set at $3000.
    s.push_back({"char editor", [](App& a) {
                     a.charEditorChar = 1;
                     a.charPen = 3;
                     std::memcpy(R.charBefore, a.machine.ram + 0x3008, 8);
                 },
                 3});
    // Down the grid's right-hand column.
    findItem(s, "Character editor", "##chargrid", false, [](ImGuiWindow* w) { return w->DC.CursorMaxPos.x - 6; });
    click(s);
    s.push_back({"record char", [](App& a) {
                     std::memcpy(R.charAfter, a.machine.ram + 0x3008, 8);
                     R.charUndoName = a.undoBuffer.undoName();
                     if (ImGuiWindow* w = findWindow("Vorlix Help")) R.helpHeight = w->ContentSize.y / ImGui::GetFontSize();
                     if (ImGuiWindow* w = findWindow("About Vorlix")) {
                         ImTextureID font = ImGui::GetIO().Fonts->TexID;
                         const ImDrawList* dl = w->DrawList;
                         for (const ImDrawCmd& c : dl->CmdBuffer) {
                             if (c.TextureId == font || c.ElemCount != 6) continue;
                             // A picture is one quad: its first and third corners span it.
                             ImVec2 lo = dl->VtxBuffer[c.VtxOffset + dl->IdxBuffer[c.IdxOffset]].pos;
                             ImVec2 hi = dl->VtxBuffer[c.VtxOffset + dl->IdxBuffer[c.IdxOffset + 2]].pos;
                             R.aboutImages.push_back({int(hi.x - lo.x + 0.5f), int(hi.y - lo.y + 0.5f)});
                         }
                     }
                     setAllWindows(a, false);
                 },
                 5});
    // The mount-disk window: a dropped cc1541 image on drive 8, a blank one on
    // drive 9; a file loaded by clicks, then a memory range saved to the blank disk.
    auto click = [&s](std::function<void(App&)> focus) {
        s.push_back({"focus item", focus, 3});
        s.push_back({"aim", [](App&) { moveToFocused(); }, 3});
        s.push_back({"press", [](App&) { button(1, true); }, 3});
        s.push_back({"release", [](App&) { button(1, false); }, 4});
    };
    static const fs::path disks = fs::temp_directory_path() / ("vorlix-disks-" + std::to_string(getpid()));
    s.push_back({"drop disks", [](App& a) {
                     fs::create_directories(disks);
                     for (int i = 0; i < 600; i++) R.fileOnDisk.push_back(u8(i == 1 ? 0xC0 : i * 7));
                     disktest::writeFile(disks / "data.prg", R.fileOnDisk);
                     std::system(("cd " + disks.string() + " && cc1541 -q -f data -w data.prg peer.d64 >/dev/null").c_str());
                     disktest::writeFile(disks / "blank.d64", DiskDrive::blankD64("blank", "01"));
                     Actions::openDropped(a, (disks / "peer.d64").string());
                     Actions::openDropped(a, (disks / "blank.d64").string());
                 },
                 6});
    click([](App&) {
        ImGuiWindow* w = ImGui::FindWindowByName("Mount disk");
        const int device = 0;
        ImGuiID table = ImHashStr("files", 0, ImHashData(&device, sizeof device, mountDiskId(0, nullptr)));
        char child[128];
        std::snprintf(child, sizeof child, "%s/files_%08X", w ? w->Name : "", table);
        focusItem(child, ImHashStr("3##f0", 0, table));
    });
    click([](App&) { focusItem("Mount disk", mountDiskId(0, "Load")); });
    s.push_back({"record load", [](App& a) {
                     R.loadedFromDisk.assign(a.machine.ram + 0xC000, a.machine.ram + 0xC000 + 598);
                     R.loadMessage = a.popups.empty() ? "" : a.popups[0].text;
                 },
                 1});
    chord({XK_Return});
    click([](App&) { focusItem("Mount disk", mountDiskId(1, nullptr)); });
    click([](App& a) {
        for (int i = 0x2000; i < 0x3F40; i++) a.machine.ram[i] = u8(i * 3 + i / 256);
        R.savedFromMemory = FileFormats::savePrg(a.machine, 0x2000, 8000);
        focusItem("Mount disk", mountDiskId(1, "Save to disk"));
    });
    s.push_back({"unpack the saved disk", [](App& a) {
                     std::system(("cd " + disks.string() + " && cbmconvert -N -d blank.d64 >/dev/null 2>&1").c_str());
                     R.savedOnDisk = disktest::readFile(disks / "picture.prg");
                     for (DiskDrive& d : a.drives) d.unmount();
                     a.showMountDisk = false;
                     fs::remove_all(disks);
                 },
                 3});
    // Sprite editor: one pixel painted by a click on its grid.
    s.push_back({"sprite editor", [](App& a) {
                     a.spriteBlock = 13;
                     std::fill(a.machine.ram + 0x340, a.machine.ram + 0x380, 0);
                     a.showSpriteEditor = true;
                 },
                 8});
    s.push_back({"find grid", [](App& a) { findSpriteGrid(a); }, 1});
    s.push_back({"to pixel 5,2", [](App&) { moveTo(g_grid.x + 5.5f * g_grid.z, g_grid.y + 2.5f * g_grid.z); }, 3});
    tap();
    s.push_back({"record sprite", [](App& a) {
                     R.spriteBlock.assign(a.machine.ram + 0x340, a.machine.ram + 0x380);
                     R.spriteUndo = a.undoBuffer.undoName();
                     a.showSpriteEditor = false;
                     a.showRegisters = true;
                 },
                 8});
    // Registers: $D000 typed into its field.
    s.push_back({"to $D000", [](App&) {
                     ImGuiWindow* w = ImGui::FindWindowByName("Registers");
                     ImGuiTable* t = w ? ImGui::TableFindByID(w->GetID("regs")) : nullptr;
                     if (!t) return;
                     float row = ImGui::GetFrameHeight() + 2 * ImGui::GetStyle().CellPadding.y;
                     moveTo((t->Columns[1].MinX + t->Columns[1].MaxX) / 2,
                            t->OuterRect.Min.y + t->LastFirstRowHeight + row / 2);
                 },
                 3});
    tap();
    for (KeySym k : {XK_7, XK_f, XK_Return}) chord({k});
    s.push_back({"record register", [](App& a) {
                     R.registerValue = a.machine.vic[0];
                     R.registerUndo = a.undoBuffer.undoName();
                     a.showRegisters = false;
                     // Save sprites 0-3 of bank 1 through the dialog.
                     a.machine.bank = 1;
                     for (int i = 0; i < 256; ++i) a.machine.ram[0x4000 + i] = u8(i ^ 0x5A);
                     R.expectSprites = {0x00, 0x40};
                     R.expectSprites.insert(R.expectSprites.end(), a.machine.ram + 0x4000, a.machine.ram + 0x4100);
                     a.saveSpritesFirst = 7;
                     a.saveSpritesLast = 9;
                     a.saveSpritesOpen = true;
                 },
                 6});
    // With nothing active, Tab goes to the first field of the dialog.
    for (KeySym k : {XK_Tab, XK_0, XK_Tab, XK_3, XK_Return}) chord({k});
    s.push_back({"to Save...", [](App&) {
                     ImGuiWindow* w = ImGui::FindWindowByName("Save sprites");
                     if (!w) return;
                     const ImGuiStyle& st = ImGui::GetStyle();
                     moveTo(w->Pos.x + st.WindowPadding.x + 30,
                            w->Pos.y + w->Size.y - st.WindowPadding.y - ImGui::GetFrameHeight() / 2);
                 },
                 3});
    tap();
    s.push_back({"accept the proposed name", [](App&) {
                     if (!FileIO::dialog().open || FileIO::dialog().title != "Save memory area") return;
                     FileIO::dialog().dir = std::getenv("XDG_CONFIG_HOME");
                     FileIO::accept();
                 },
                 6});
    s.push_back({"record saved", [](App& a) {
                     Platform::readFile(std::string(std::getenv("XDG_CONFIG_HOME")) + "/sprites.prg", R.savedSprites);
                     a.machine.bank = 0;
                 },
                 4});
    chord({XK_Escape});  // the saved message
    // Monitor: a click gives it the keyboard, Shift+Home blanks its screen, then a command and Return.
    auto monitorCommand = [&](const std::string& text) {
        s.push_back({"to monitor", [](App&) { moveTo(windowMiddle("Monitor").x, windowMiddle("Monitor").y); }, 3});
        tap();
        chord({XK_Shift_L, XK_Home});
        typeText(s, text);
        chord({XK_Return});
    };
    s.push_back({"open monitor", [](App& a) { a.showMonitor = true; }, 5});
    monitorCommand(".f c000 c0ff 42");  // lower case: shown and read as upper case
    s.push_back({"record fill", [](App& a) {
                     R.monitorFilled = a.machine.ram[0xC000];
                     R.monitorRow = a.monitor.rowText(0);
                     R.monitorScreen.assign(a.machine.monitorScreen, a.machine.monitorScreen + 1000);
                     a.focusScreen = true;
                     a.editor.tool = 1;
                 },
                 4});
    typeText(s, "xx");  // typed on the screen while it has the keyboard
    s.push_back({"compare", [](App& a) {
                     R.monitorKeptTypingElsewhere = std::equal(R.monitorScreen.begin(), R.monitorScreen.end(), a.machine.monitorScreen);
                     a.editor.tool = 3;
                 },
                 1});
    monitorCommand(".m 0000 ffff");
    s.push_back({"time listing", [](App&) { R.monitorFrameCpuMs = threadCpuMs(), R.monitorFrameWallMs = wallMs(); }, 120});
    s.push_back({"end timing", [](App& a) {
                     R.monitorFrameCpuMs = (threadCpuMs() - R.monitorFrameCpuMs) / 120;
                     R.monitorFrameWallMs = (wallMs() - R.monitorFrameWallMs) / 120;
                     R.listingWhileTimed = a.monitor.listing;
                 },
                 1});
    chord({XK_Escape});
    s.push_back({"record escape", [](App& a) { R.listingAfterEscape = a.monitor.listing; }, 1});
    chord({XK_Escape});
    s.push_back({"record close", [](App& a) { R.monitorOpenAfterEscapes = a.showMonitor; }, 1});
    // Assembler: "Run in processor" works only after a compile that succeeded.
    auto assemblerClick = [&](size_t n) {
        s.push_back({"to button", [n](App&) { moveTo(assemblerButton(n).x, assemblerButton(n).y); }, 3});
        tap();
    };
    s.push_back({"open assembler", [](App& a) { a.showAssembler = true, a.asmSource = "*=$C000\n LDA #$1G\n"; }, 5});
    assemblerClick(3);
    s.push_back({"record", [](App& a) { R.procOpenBeforeCompile = a.showProcessor; }, 1});
    assemblerClick(2);
    assemblerClick(3);
    s.push_back({"good source", [](App& a) {
                     R.procOpenAfterFailedCompile = a.showProcessor;
                     a.asmSource = "*=$C000\n LDX #$05\n LDY #$00\nloop INY\n DEX\n BNE loop\n LDA #$42\n STA $C100\n BRK\n";
                     a.machine.ram[0xC100] = 0;
                 },
                 2});
    assemblerClick(2);
    assemblerClick(3);
    // The processor window opened on top: a click on its title bar gives it the keys.
    s.push_back({"to processor", [](App&) {
                     ImGuiWindow* w = ImGui::FindWindowByName("Processor###Processor");
                     if (w) moveTo(w->Pos.x + 30, w->Pos.y + w->TitleBarHeight() / 2);
                 },
                 3});
    tap();
    for (KeySym k : {XK_Down, XK_Down, XK_Down, XK_Down, XK_Down, XK_Down, XK_F5, XK_F9}) chord({k});
    s.push_back({"record break", [](App& a) {
                     R.registersAtBreak = {a.cpu.pc, a.cpu.a, a.cpu.x, a.cpu.y, a.machine.ram[0xC100]};
                     R.breakpointsSet = int(a.cpu.breakpoints.size());
                     R.runningAfterBreak = a.cpuRunning;
                     a.showProcessor = a.showAssembler = false;
                 },
                 2});
    // A PNG dropped on the window opens the import; OK stores the default
    // multicolour conversion as one undo step.
    static const fs::path png = fs::temp_directory_path() / ("vorlix-drop-" + std::to_string(getpid()) + ".png");
    s.push_back({"drop png", [](App& a) {
                     R.beforeImport = snapshot(a);
                     std::vector<u32> pic(90 * 60);
                     for (int i = 0; i < 90 * 60; ++i) pic[i] = (i % 90 / 10 + i / 900) % 3 ? 0xFF20C0F0u : 0xFF402010u;
                     stbi_write_png(png.c_str(), 90, 60, 4, pic.data(), 90 * 4);
                     SDL_Event e{};  // as the window system delivers a drop
                     e.type = SDL_DROPFILE;
                     e.drop.file = SDL_strdup(png.c_str());
                     e.drop.windowID = SDL_GetWindowID(programWindow());
                     SDL_PushEvent(&e);
                 },
                 8});
    click([](App&) {
        fs::remove(png);
        ImGuiWindow* w = ImGui::FindWindowByName("Import PC image");
        if (w) focusItem(w->Name, w->GetID("OK"));
    });
    s.push_back({"record import", [](App& a) {
                     R.afterImport = snapshot(a);
                     // What the default conversion of the dropped picture stores.
                     const ImportPicState& st = importPicState();
                     auto m = std::make_unique<Machine>(a.machine);
                     std::copy(R.beforeImport.ram.begin(), R.beforeImport.ram.end(), m->ram);
                     std::copy(R.beforeImport.vic.begin(), R.beforeImport.vic.end(), m->vic);
                     auto r = std::make_unique<ColorReducer>();
                     r->SetPalette(a.palette.rgb);
                     r->Reduce(ColorReducer::Resize(st.pixels.data(), st.width, st.height, 160, true, false), 160, 2, 1, -1);
                     r->Store(*m);
                     R.expectImport = {std::vector<u8>(m->ram, m->ram + 65536), std::vector<u8>(m->vic, m->vic + 47)};
                 },
                 1});
    chord({XK_Control_L, XK_Alt_L, XK_z});
    s.push_back({"record import undo", [](App& a) { R.afterImportUndo = snapshot(a); }, 1});
    // Every window open, for the layout checks and the timed frames.
    s.push_back({"open every window", [](App& a) { setAllWindows(a, true); }, 5});
    // Minimised and restored: the layout stays as it was.
    for (int i = 0; i < 3; ++i)
        s.push_back({"minimise, restore", [i](App&) {
                         R.screenSize[i] = ImGui::FindWindowByName("Screen")->Size;
                         R.sawMinimised |= i == 1 && (SDL_GetWindowFlags(programWindow()) & SDL_WINDOW_MINIMIZED);
                         if (i < 2) setHidden(i == 0);
                     },
                     6});
    // Shrunk and enlarged again, then UI scales 1, 1.5, 2 and back to 1: the layout follows.
    s.push_back({"shrink", [](App&) { SDL_SetWindowSize(programWindow(), 900, 600); }, 6});
    s.push_back({"enlarge", [](App&) { SDL_SetWindowSize(programWindow(), 1400, 900); }, 6});
    s.push_back({"check resized layout", [](App&) { checkLayout(1); }, 1});
    for (float sc : {1.0f, 1.5f, 2.0f, 1.0f}) {
        s.push_back({"scale", [sc](App& a) {
                         a.uiScale = sc;
                         ImGui::GetIO().FontGlobalScale = sc;
                     },
                     5});
        s.push_back({"check layout", [sc](App&) { checkLayout(sc); }, 1});
    }
    s.push_back({"scale back", [](App& a) {
                     a.uiScale = 1;
                     ImGui::GetIO().FontGlobalScale = 1;
                     a.showGrid = true;
                     a.setZoom(8, -1, -1);
                 },
                 10});
    return s;
}

void runScript() {
    static bool done = false;
    if (done) return;
    done = true;
    g_dpy = XOpenDisplay(nullptr);
    if (!g_dpy) {
        ADD_FAILURE() << "no X display";
        return;
    }
    ASSERT_NE(g_dpy, nullptr) << "needs an X server (run under xvfb-run)";
    fs::path cfg = fs::temp_directory_path() / ("vorlix-editing-" + std::to_string(getpid()));
    fs::create_directories(cfg);
    setenv("XDG_CONFIG_HOME", cfg.c_str(), 1);
    unsetenv("APPDATA");
    setenv("VORLIX_ASSETS", VORLIX_ASSET_DIR, 1);

    std::vector<Step> steps = script();
    size_t next = 0;
    int waitUntil = 5;
    const int timedFrames = 120;
    int timedStart = -1, phase = 0;
    double cpu0 = 0, wall0 = 0;
    ProgramHooks hooks;
    hooks.onFrame = [&](App& app, int frame) {
        if (frame < waitUntil) return true;
        if (next < steps.size() && steps[next].runs > 0 &&
            !(steps[next].repeat && steps[next].repeat(app)))
            ++next;
        if (next < steps.size()) {
            steps[next].action(app);
            ++steps[next].runs;
            waitUntil = frame + steps[next].wait;
            return true;
        }
        // Timed frames: zoom 8, grid on, pointer over the canvas; then an idle editor at zoom 2 for 3 s.
        if (timedStart < 0) {
            timedStart = frame;
            cpu0 = threadCpuMs();
            wall0 = wallMs();
            return true;
        }
        if (phase == 0 && frame - timedStart >= timedFrames) {
            R.frameCpuMs = (threadCpuMs() - cpu0) / timedFrames;
            R.frameWallMs = (wallMs() - wall0) / timedFrames;
            app.setZoom(2, -1, -1);
            app.showGrid = false;
            phase = 1, timedStart = frame, wall0 = wallMs();
        } else if (phase == 1 && wallMs() - wall0 >= 3000) {
            R.idleFps = (frame - timedStart) * 1000.0 / (wallMs() - wall0);
            return false;
        }
        return true;
    };
    int rc = runProgram("vorlix", &hooks);
    EXPECT_EQ(rc, 0);
    R.ran = true;
    swapYZ();
    // The layout saved at the end keeps the screen window's size.
    std::ifstream ini(cfg / "vorlix" / "imgui.ini");
    for (std::string line, section; std::getline(ini, line);) {
        if (line[0] == '[') section = line;
        if (section == "[Window][Screen]") std::sscanf(line.c_str(), "Size=%f,%f", &R.screenSize[3].x, &R.screenSize[3].y);
    }
    XCloseDisplay(g_dpy);
    std::error_code ec;
    fs::remove_all(cfg, ec);
}

class Editing : public ::testing::Test {
protected:
    static void SetUpTestSuite() { runScript(); }
};

}  // namespace

TEST_F(Editing, PointerAndKeysDoWhatTheEditorDoes) {
    ASSERT_TRUE(R.ran);
    ASSERT_TRUE(R.keymapSwapped) << "the chords must press the keys of a QWERTZ layout";
    // What each step left behind against what it should have; memory as differing bytes.
    const std::tuple<const char*, int, int> rows[] = {
        {"L key after the palette click", R.toolAfterPaletteKey, 4},
        {"background by right click", R.bgAfterPick, 2},
        {"pen kept by the right click", R.penAfterPick, 14},
        {"freehand button", R.toolAfterButton, 3},
        {"stroke", differences(R.afterStroke, R.expectStroke), 0},
        {"Ctrl+Alt+Z undid the stroke only", differences(R.afterUndo, R.afterBg), 0},
        {"Ctrl+Alt+Y", differences(R.afterRedo, R.afterStroke), 0},
        {"popup shown", R.popupsShown, 1},
        {"undo behind the popup", differences(R.afterUndoUnderPopup, R.afterRedo), 0},
        {"popup after Escape", R.popupsAfterEscape, 0},
        {"L key", R.toolAfterL, 4},
        {"line", differences(R.afterLine, R.expectLine), 0},
        {"B key", R.toolAfterB, 6},
        {"rectangle", differences(R.afterRect, R.expectRect), 0},
        {"pixel under the pointer", R.pixelAfterMouse, 150},
        {"wheel zoom with a button held", R.zoomAfterWheel - R.zoomBeforeWheel, 1},
        {"pasting after Escape", R.pastingAfterEscape, 0},
        {"selection after Escape", R.selectionAfterEscape, 1},
        {"selection after a second Escape", R.selectionAfterSecondEscape, 0},
        {"drawn screen against the renderer", R.screenSamples ? R.screenMismatches : -1, 0},
        {"minimised", R.sawMinimised, 1},
        {"register $D000", R.registerValue, 0x7F},
        {"monitor fill at $C000", R.monitorFilled, 0x42},
        {"monitor kept off the screen's typing", R.monitorKeptTypingElsewhere, 1},
        {"listing, after Escape, open after two", R.listingWhileTimed * 100 + R.listingAfterEscape * 10 + R.monitorOpenAfterEscapes, 100},
        {"processor before, after a failed compile", R.procOpenBeforeCompile * 10 + R.procOpenAfterFailedCompile, 0},
        {"breakpoints, running at the break", R.breakpointsSet * 10 + R.runningAfterBreak, 10},
        {"import as the default conversion", differences(R.afterImport, R.expectImport), 0},
        {"import undone", differences(R.afterImportUndo, R.beforeImport), 0},
        {"layout checks", int(R.scalesChecked.size()), 5},
    };
    for (auto [what, got, want] : rows) EXPECT_EQ(got, want) << what;
    const std::pair<std::string, std::string> texts[] = {
        {R.undoNameAfterUndo, "background color"},
        {R.loadMessage, "$0256 bytes written from $C000 to $C256"},
        {R.spriteUndo, "Edit sprite"},
        {R.registerUndo, "register change"},
        {R.charUndoName, "edit character"},
        {R.monitorRow.substr(0, 15), ".F C000 C0FF 42"},
    };
    for (auto& [got, want] : texts) EXPECT_EQ(got, want);
    for (int i = 1; i < 4; ++i) EXPECT_TRUE(R.screenSize[i].x == R.screenSize[0].x && R.screenSize[i].y == R.screenSize[0].y) << i;
    ASSERT_EQ(R.fileOnDisk.size(), 600u);
    EXPECT_EQ(R.loadedFromDisk, std::vector<u8>(R.fileOnDisk.begin() + 2, R.fileOnDisk.end()));
    EXPECT_EQ(R.savedOnDisk, R.savedFromMemory);
    std::vector<u8> block(64, 0);
    block[6] = 0x04;  // row 2, pixel 5
    EXPECT_EQ(R.spriteBlock, block);
    EXPECT_EQ(R.savedSprites, R.expectSprites);
    EXPECT_EQ(R.registersAtBreak, (std::vector<int>{0xC00A, 0x42, 0, 5, 0}));
    // One pixel of the character: the grid's right-hand column is bit 0 in hires.
    std::vector<int> changed;
    for (int i = 0; i < 8; ++i)
        if (R.charAfter[i] != R.charBefore[i]) changed.push_back(R.charAfter[i] == (R.charBefore[i] | 1));
    EXPECT_EQ(changed, std::vector<int>{1});
    for (const std::string& r : R.overlapReports) ADD_FAILURE() << r;
    for (const std::string& r : R.openReports) ADD_FAILURE() << r;
    EXPECT_GE(R.windowsChecked, 21) << "seven of ours at three scales at least";
}

TEST_F(Editing, FrameTimes) {
    ASSERT_TRUE(R.ran);
    ASSERT_GT(R.frameCpuMs, 0);
    ASSERT_GT(R.monitorFrameCpuMs, 0);
    std::printf("frame at zoom 8 with grid, every window open: %.3f ms main-thread CPU, %.3f ms wall (budget 3 ms "
                "CPU); idle %.1f fps\n",
                R.frameCpuMs, R.frameWallMs, R.idleFps);
    std::printf("frame with the monitor listing: %.3f ms main-thread CPU, %.3f ms wall (budget 3 ms CPU)\n",
                R.monitorFrameCpuMs, R.monitorFrameWallMs);
    EXPECT_LE(R.idleFps, 65);
}

TEST_F(Editing, HelpShowsTheHelpTextAndAboutBothPictures) {
    ASSERT_TRUE(R.ran);
    std::ifstream help(VORLIX_ASSET_DIR "/help.txt");
    ASSERT_TRUE(help);
    int lines = int(std::count(std::istreambuf_iterator<char>(help), {}, '\n'));
    EXPECT_GE(R.helpHeight, lines * 0.9f);
    for (const char* name : {"zelk.bmp", "limit.bmp"}) {
        int w = 0, h = 0, n = 0;
        ASSERT_TRUE(stbi_info((std::string(VORLIX_ASSET_DIR "/") + name).c_str(), &w, &h, &n)) << name;
        EXPECT_NE(std::find(R.aboutImages.begin(), R.aboutImages.end(), std::pair{w, h}), R.aboutImages.end()) << name;
    }
}
