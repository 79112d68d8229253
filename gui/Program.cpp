#include "gui/Program.h"

#include <SDL.h>
#include <imgui.h>
#include <imgui_impl_opengl3.h>
#include <imgui_impl_sdl2.h>
#include <stb/stb_image_write.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "app/App.h"
#include "gui/Classic.h"
#include "gui/DockLayout.h"
#include "gui/Icons.h"
#include "gui/Popups.h"
#include "gui/Texture.h"
#include "gui/windows/Windows.h"
#include "app/FileActions.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "selftest/AutoTest.h"

#include <SDL_opengl.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

std::unique_ptr<App> g_app;
SDL_Window* g_window = nullptr;
SDL_GLContext g_gl = nullptr;
bool g_running = false;  // set: the frame loop ends
int g_exitCode = 0;
int g_frameNo = 0;  // frames shown since start, for the snapshot and the hooks
int g_framesDrawn = 0;
// Docked windows join their nodes in the first frame they are drawn in, after the dock space was laid
// out: shown, that frame would be the empty dock space. It is drawn but not shown.
constexpr int kUnshownFrames = 1;
bool g_layoutChecked = false;  // the dock layout was looked for, or built, in this run

void setWindowIcon() {
    std::vector<unsigned int> px;
    int w = 0, h = 0;
    if (!DecodePictureFile(Platform::assetDir() + "/icon.png", px, w, h)) return;
    SDL_Surface* s =
        SDL_CreateRGBSurfaceWithFormatFrom(px.data(), w, h, 32, w * 4, SDL_PIXELFORMAT_ABGR8888);
    if (s) {
        SDL_SetWindowIcon(g_window, s);
        SDL_FreeSurface(s);
    }
}

// Adds a TrueType font read by us, so a missing file falls back instead of asserting.
ImFont* addFont(const std::string& path, const ImFontConfig& cfg) {
    Bytes bytes;
    if (!Platform::readFile(path, bytes) || bytes.size() < 12) return nullptr;
    void* data = IM_ALLOC(bytes.size());  // the atlas frees it
    memcpy(data, bytes.data(), bytes.size());
    ImFontConfig c = cfg;
    c.FontDataOwnedByAtlas = true;
    return ImGui::GetIO().Fonts->AddFontFromMemoryTTF(data, int(bytes.size()), 12.0f, &c);
}

void writeSnapshot(const char* path) {
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(g_window, &w, &h);
    if (w <= 0 || h <= 0) return;
    std::vector<unsigned char> px(size_t(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    stbi_flip_vertically_on_write(1);
    stbi_write_png(path, w, h, 4, px.data(), w * 4);
    stbi_flip_vertically_on_write(0);
}

// The end of every run after the window opened, early or not.
void closeWindow() {
    if (g_gl) SDL_GL_DeleteContext(g_gl);
    SDL_DestroyWindow(g_window);
    g_window = nullptr;
    g_gl = nullptr;
    SDL_Quit();
}

// The window layout goes to the configuration directory (the library's own
// ini handling is off); the self-test leaves the user's layout as it was.
void saveLayout() {
    if (AutoTest::enabled()) ImGui::GetIO().WantSaveIniSettings = false;
    else DockLayout::Save();
}

// Pointer, key and text events, and the pointer or focus leaving the window:
// the self-test's synthetic input stands in for all of them.
bool isUserInput(const SDL_Event& e) {
    switch (e.type) {
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEWHEEL:
    case SDL_KEYDOWN:
    case SDL_KEYUP:
    case SDL_TEXTINPUT:
    case SDL_TEXTEDITING:
        return true;
    case SDL_WINDOWEVENT:
        return e.window.event == SDL_WINDOWEVENT_LEAVE || e.window.event == SDL_WINDOWEVENT_FOCUS_LOST;
    }
    return false;
}

// Without vertical sync (refused, or not honoured by the driver) the loop would
// spin as fast as it can: frames are held to the display's refresh rate.
double g_framePeriod = 1.0 / 60;
std::chrono::steady_clock::time_point g_nextFrame;

void setFramePeriod() {
    SDL_DisplayMode mode{};
    int display = SDL_GetWindowDisplayIndex(g_window);
    int hz = display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 ? mode.refresh_rate : 0;
    g_framePeriod = 1.0 / (hz > 0 ? hz : 60);
    g_nextFrame = std::chrono::steady_clock::now();
}

void paceFrame() {
    using clock = std::chrono::steady_clock;
    const auto period = std::chrono::duration_cast<clock::duration>(std::chrono::duration<double>(g_framePeriod));
    g_nextFrame += period;
    const auto now = clock::now();
    // After a long frame the schedule starts again from now rather than racing to catch up.
    if (g_nextFrame + period < now) g_nextFrame = now;
    if (g_nextFrame > now) std::this_thread::sleep_until(g_nextFrame);
}

void frame(const ProgramHooks* hooks) {
    static const char* snap = std::getenv("VORLIX_SNAPSHOT");
    App& app = *g_app;

    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        if (AutoTest::ownsInput() && isUserInput(e)) continue;
        ImGui_ImplSDL2_ProcessEvent(&e);
        if (e.type == SDL_QUIT) app.quitRequested = true;
        else if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE &&
                 e.window.windowID == SDL_GetWindowID(g_window))
            app.quitRequested = true;
        else if (e.type == SDL_DROPFILE && e.drop.file) {
            Actions::openDropped(app, e.drop.file);
            SDL_free(e.drop.file);
        }
    }
    if (app.quitRequested) {
        app.quitRequested = false;
        // A second click on the close box while the question is shown asks nothing more.
        app.askExit([] { g_running = true; });
    }

    const bool shown = ++g_framesDrawn > kUnshownFrames;
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    if (AutoTest::enabled() && shown) AutoTest::inject(app);
    ImGui::NewFrame();

    drawMainMenu(app);
    drawToolbar(app);
    drawStatusBar(app);
    drawTools(app);

    DockLayout::Frame(app.resetLayout, g_layoutChecked);

    drawScreenEditor(app);
    if (app.showSecondView) drawSecondView(app);
    if (app.showSprites) drawSpriteView(app);
    if (app.showSpriteEditor) drawSpriteEditor(app);
    if (app.showCharset) drawCharsetView(app);
    if (app.showCharEditor) drawCharEditor(app);
    if (app.showRegisters) drawRegisterView(app);
    if (app.showBitmapMem) drawBitmapMemView(app);
    if (app.showCalc) drawCalcConverter(app);
    if (app.showMonitor) drawMonitor(app);
    if (app.showProcessor) drawProcessor(app);
    if (app.showAssembler) drawAssembler(app);
    if (app.showMountDisk) drawMountDisk(app);
    if (app.showImportPicture) drawImportPicture(app);
    if (app.showImportCharset) drawImportCharset(app);
    if (app.showPreferences) drawPreferences(app);
    if (app.showAbout) drawAbout(app);
    if (app.showHelp) drawHelp(app);
    if (app.showCharsetConverter) drawCharsetConverter(app);

    drawSaveSpritesDialog(app);
    drawPopups(app);
    FileIO::draw(app.ui.fileDialog);

    ImGuiIO& io = ImGui::GetIO();
    if (io.WantSaveIniSettings) saveLayout();
    if (!shown) {
        ImGui::EndFrame();
        return;
    }

    ImGui::Render();
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(g_window, &dw, &dh);
    glViewport(0, 0, dw, dh);
    glClearColor(240 / 255.0f, 240 / 255.0f, 240 / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());

    ++g_frameNo;
    if (snap && g_frameNo == 30) {
        writeSnapshot(snap);
        g_running = true;
    }
    if (hooks && hooks->onFrame && !hooks->onFrame(app, g_frameNo)) g_running = true;
    if (AutoTest::enabled()) {
        std::string shot = AutoTest::screenshotPath();
        if (!shot.empty()) writeSnapshot(shot.c_str());
    }

    SDL_GL_SwapWindow(g_window);
    paceFrame();
    if (AutoTest::enabled() && AutoTest::finished(g_exitCode)) g_running = true;
}

}  // namespace

SDL_Window* programWindow() { return g_window; }

int runProgram(const char* argv0, const ProgramHooks* hooks) {
#ifdef __GLIBC__
    // The GL driver fills large vertex buffers every frame; handing that memory
    // back to the system and faulting it in again each time doubles a frame's cost.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
    Platform::init(argv0);
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) != 0) {
        fprintf(stderr, "SDL_Init failed: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, 0);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_SetHint(SDL_HINT_IME_SHOW_UI, "1");

    g_window = SDL_CreateWindow("Vorlix 3.0 beta", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                1400, 900,
                                SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (!g_window) {
        fprintf(stderr, "SDL_CreateWindow failed: %s\n", SDL_GetError());
        return 1;
    }
    setWindowIcon();
    g_gl = SDL_GL_CreateContext(g_window);
    if (!g_gl) {
        fprintf(stderr, "SDL_GL_CreateContext failed: %s\n", SDL_GetError());
        closeWindow();
        return 1;
    }
    SDL_GL_MakeCurrent(g_window, g_gl);
    SDL_GL_SetSwapInterval(1);
    setFramePeriod();

    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard | ImGuiConfigFlags_DockingEnable;
    io.IniFilename = nullptr;  // the layout is kept by hand in the configuration directory
    Classic::ApplyStyle();

    ImFontConfig cfg;
    cfg.OversampleH = 2;
    cfg.OversampleV = 1;
    if (!addFont(Platform::assetDir() + "/fonts/LiberationSans-Regular.ttf", cfg)) {
        ImFontConfig def = cfg;
        def.SizePixels = 12.0f;
        io.Fonts->AddFontDefault(&def);
    }
    Classic::MonoFont = addFont(Platform::assetDir() + "/fonts/LiberationMono-Regular.ttf", cfg);
    ImGui::GetStyle().FontSizeBase = 12.0f;
    AddIconsToAtlas(io.Fonts);
    Classic::AddToAtlas(io.Fonts);

    bool backends = ImGui_ImplSDL2_InitForOpenGL(g_window, g_gl);
    if (backends && !ImGui_ImplOpenGL3_Init("#version 130")) {
        ImGui_ImplSDL2_Shutdown();
        backends = false;
    }
    if (backends) {
        // The shaders are compiled here; a context that cannot run them fails now.
        if (!ImGui_ImplOpenGL3_CreateDeviceObjects()) {
            ImGui_ImplOpenGL3_Shutdown();
            ImGui_ImplSDL2_Shutdown();
            backends = false;
        }
    }
    if (!backends) {
        fprintf(stderr, "OpenGL back end failed to start\n");
        ImGui::DestroyContext();
        closeWindow();
        return 1;
    }

    g_app = std::make_unique<App>(AutoTest::enabled());
    if (AutoTest::enabled()) {
        AutoTest::init(*g_app);
    } else {
        DockLayout::LoadSaved();
    }
    ImGui::GetStyle().FontScaleMain = g_app->uiScale;

    g_layoutChecked = false;
    g_running = false;
    g_frameNo = 0;
    g_framesDrawn = 0;
    while (!g_running) frame(hooks);

    if (!AutoTest::enabled()) {
        g_app->saveSettings();
        saveLayout();  // changes of the last seconds are not lost
    }
    TextureReleaseAll();
    ImGui_ImplOpenGL3_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext();
    closeWindow();
    return g_exitCode;
}
