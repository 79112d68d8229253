#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/App.h"
#include "platform/Platform.h"
#include "tests/TempDir.h"

namespace fs = std::filesystem;

namespace {

// Each test gets a fresh configuration directory and the built assets.
class AppTest : public ::testing::Test {
protected:
    TempDir tmp{"vorlix-app"};
    void SetUp() override {
        const fs::path& dir = tmp.path;
        setenv("APPDATA", dir.c_str(), 1);
        setenv("VORLIX_ASSETS", VORLIX_ASSET_DIR, 1);
        unsetenv("VORLIX_AUTOTEST");
        Platform::initWithBasePath("");
    }
    void TearDown() override {
        unsetenv("APPDATA");
        unsetenv("VORLIX_ASSETS");
        unsetenv("VORLIX_AUTOTEST");
    }
    void writeIni(const std::string& text) { Platform::saveText("vorlix.ini", text); }
    std::string ini() { return Platform::loadText("vorlix.ini"); }
    static bool hasLine(const std::string& text, const std::string& line) {
        return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
    }
};

// Settings files as read at start-up: what the application takes, and lines it writes back.
TEST_F(AppTest, SettingsRead) {
    const struct {
        const char* text;
        bool (*check)(App&);
        std::vector<std::string> saved;
    } rows[] = {
        {"Zoom=30\n", [](App& a) { return a.zoom == 2; }, {}},
        {"Zoom=7\n", [](App& a) { return a.zoom == 7; }, {"Zoom=7"}},
        {"UiScale=0.25\n", [](App& a) { return a.uiScale == 1.0f; }, {}},
        {"UiScale=abc\n", [](App& a) { return a.uiScale == 1.0f; }, {}},
        {"UiScale=nan\n", [](App& a) { return a.uiScale == 1.0f; }, {}},
        {"UiScale=2\n", [](App& a) { return a.uiScale == 2.0f; }, {"UiScale=2"}},
        {"GridColor=18\nShowGrid=yes\nShowGrid = 1\nNoSuchKey=5\nwithout equals\nPalette=4294967297\n"
         "ShowActiveChar=0\nwin.monitor=1\nwin.calc=2\n",
         [](App& a) {
             return a.gridColor == 2 && a.paletteIndex == 0 && !a.editor.pixels.noNewColours && !a.showGrid &&
                    !a.showActiveChar && a.showMonitor && a.showCalc && !a.showSprites;
         },
         {}},
        {"DontReplaceColors=1\n", [](App& a) { return a.dontReplaceColors && a.editor.pixels.noNewColours; }, {}},
        {"Custom_3_G=300\nCustom_16_R=5\nCustom_2_X=9\nCustom_0_R=17\nCustom_4294967299_R=77\n",
         [](App& a) {
             return a.palette.custom[3][0] != 77 && a.palette.custom[3][1] == 44 && a.palette.custom[2][2] == 9 &&
                    a.palette.custom[0][0] == 17;
         },
         {"Custom_3_G=44", "Custom_0_R=17"}},
        // The index is kept as written until a palette is chosen.
        {"Palette=12\n", [](App& a) { return a.palette.index == 0 && a.paletteIndex == 12; }, {"Palette=12"}},
    };
    for (const auto& r : rows) {
        writeIni(r.text);
        auto app = std::make_unique<App>();
        EXPECT_TRUE(r.check(*app)) << r.text;
        app->saveSettings();
        const std::string text = ini();
        for (const std::string& line : r.saved) EXPECT_TRUE(hasLine(text, line)) << r.text << line;
        EXPECT_EQ(text.find("Custom_16"), std::string::npos);
    }
    auto app = std::make_unique<App>();
    app->uiScale = 1.25f;
    app->saveSettings();
    EXPECT_TRUE(hasLine(ini(), "UiScale=1.25"));
    app->setPalette(-3);  // chosen: stored as the palette's own index, and saved at once
    EXPECT_EQ(app->paletteIndex, 0);
    EXPECT_TRUE(hasLine(ini(), "Palette=0"));
    app->setPalette(5);
    EXPECT_TRUE(hasLine(ini(), "Palette=5"));
}

TEST_F(AppTest, SettingsFileLayout) {
    auto app = std::make_unique<App>();
    app->saveSettings();
    std::string text = ini();
    EXPECT_EQ(text.rfind("ShowGrid=0\nGridColor=0\nShowActiveChar=1\nDontReplaceColors=0\n"
                         "Palette=0\nZoom=2\nUiScale=1\nCustom_0_R=0\nCustom_0_G=0\nCustom_0_B=0\n"
                         "Custom_1_R=255\n",
                         0),
              0u);
    EXPECT_NE(text.find("Custom_15_B=171\nwin.secondView=0\nwin.sprites=0\nwin.spriteEditor=0\n"
                        "win.registers=0\nwin.monitor=0\nwin.charset=0\nwin.charEditor=0\n"
                        "win.processor=0\nwin.assembler=0\nwin.bitmapMem=0\nwin.calc=0\n"
                        "win.mountDisk=0\n"),
              std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 7 + 48 + 12);
}

TEST_F(AppTest, UnreadableSettingsNeverOverwritten) {
    writeIni("Zoom=5\n");
    const fs::path path = fs::path(Platform::configDir()) / "vorlix.ini";
    fs::resize_file(path, Platform::kMaxFileSize + 1);  // too large to read, but there: never replaced
    std::make_unique<App>()->saveSettings();
    EXPECT_EQ(fs::file_size(path), uintmax_t(Platform::kMaxFileSize + 1));
}

TEST_F(AppTest, SelfTestModeNeverWritesSettings) {
    // The mode is read once per process, so it is switched on in a fresh child.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    writeIni("Zoom=5\n");
    EXPECT_EXIT(
        {
            setenv("VORLIX_AUTOTEST", "1", 1);
            auto app = std::make_unique<App>();
            app->zoom = 9;
            app->saveSettings();
            app->setPalette(3);
            std::exit(app->zoom == 9 && ini() == "Zoom=5\n" ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    auto app = std::make_unique<App>();
    EXPECT_EQ(app->zoom, 5);
    app->zoom = 9;
    app->saveSettings();
    EXPECT_TRUE(hasLine(ini(), "Zoom=9"));
}

// Zoom is clamped to 1..24; the scroll keeps the anchor (the centre when none) at its fraction of the visible area.
TEST_F(AppTest, SetZoom) {
    auto app = std::make_unique<App>();
    const struct { int from; App::Area area; int to; float ax, ay; int zoom; float x, y; } rows[] = {
        {2, {0, 0, 0, 0}, 0, -1, -1, 1, 0, 0},         {2, {0, 0, 0, 0}, 30, -1, -1, 24, 0, 0},
        {24, {0, 0, 0, 0}, 24, 5, 5, 24, -1, -1},      {2, {0, 0, 192, 132}, 4, -1, -1, 4, 192, 132},
        // fraction 0.25 across, 0 down; new area 48 x 33 frame pixels
        {4, {100, 50, 96, 66}, 8, 124, 50, 8, (124 - 0.25f * 48) * 8, 50 * 8},
        {8, {0, 0, 0, 0}, 2, 10, 10, 2, 20, 20},
    };
    for (const auto& r : rows) {
        app->zoom = r.from;
        app->viewArea = r.area;
        app->pendingScroll = {-1, -1};
        app->setZoom(r.to, r.ax, r.ay);
        EXPECT_EQ(app->zoom * 100 + app->zoomSetting, r.zoom * 101) << r.to;
        EXPECT_FLOAT_EQ(app->pendingScroll.x, r.x) << r.to;
        EXPECT_FLOAT_EQ(app->pendingScroll.y, r.y) << r.to;
    }
}

TEST_F(AppTest, NewProjectAndAfterLoad) {
    auto app = std::make_unique<App>();
    app->undoBuffer.TakeUndo(7, "test");
    app->machine.ram[0x0400] = 0x99;
    app->machine.ram[0x07F8] = 0x33;
    app->afterLoad();
    EXPECT_TRUE(app->undoBuffer.undo.empty());
    EXPECT_EQ(app->spriteBlock, 0x33);
    app->undoBuffer.TakeUndo(7, "test");
    app->editor.selectAll();
    app->newProject();
    EXPECT_FALSE(app->editor.hasSelection);
    EXPECT_TRUE(app->undoBuffer.undo.empty() && app->undoBuffer.redo.empty());
    EXPECT_EQ(app->machine.pen, 0);
    EXPECT_EQ(app->editor.cursorCol * 100 + app->editor.cursorRow, 6);
    EXPECT_TRUE(app->editor.textUndoPending);
    EXPECT_NE(app->machine.ram[0x0400], 0x99);
}

TEST_F(AppTest, PopupQueue) {
    auto app = std::make_unique<App>();
    int ran = 0;
    app->message("Error", "one");
    app->confirm("Question", "two?", [&] { ++ran; });
    ASSERT_EQ(app->popups.size(), 2u);
    EXPECT_TRUE(!app->popups[0].isConfirm && !app->popups[0].onYes && app->popups[1].isConfirm);
    app->popups[1].onYes();
    EXPECT_EQ(ran, 1);
}

}  // namespace
