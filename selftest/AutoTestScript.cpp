// The self-test script: 99 steps through the editor, 29 checks.
#include <stb/stb_image_write.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "app/App.h"
#include "disk/DiskDrive.h"
#include "app/ImportActions.h"
#include "core/PixelOperator.h"
#include "app/FileActions.h"
#include "selftest/AutoTest.h"

namespace AutoTest {

namespace {

// Every window but the two import windows.
void setSixteenWindows(App& app, bool open) {
    for (bool* f : {&app.showSecondView, &app.showSprites, &app.showSpriteEditor, &app.showRegisters,
                    &app.showMonitor, &app.showCharset, &app.showCharEditor, &app.showBitmapMem,
                    &app.showCalc, &app.showProcessor, &app.showAssembler, &app.showMountDisk,
                    &app.showPreferences, &app.showAbout, &app.showHelp, &app.showCharsetConverter})
        *f = open;
}

const u8* bitmap(App& app) { return app.machine.ram + app.machine.bitmapAddr(); }
const u8* screen(App& app) { return app.machine.ram + app.machine.screenAddr(); }

bool anyBitmapByte(App& app) {
    for (int i = 0; i < 8000; ++i)
        if (bitmap(app)[i]) return true;
    return false;
}

int pixel(App& app, int x, int y) { return PixelOperator(app.machine).GetPixel(x, y); }

void appendPng(void* context, void* data, int size) {
    auto* out = static_cast<Bytes*>(context);
    out->insert(out->end(), static_cast<u8*>(data), static_cast<u8*>(data) + size);
}

// 64 x 40 brown picture with a 20 x 20 white square at (22, 10).
Bytes scratchPng() {
    std::vector<u8> px(256 * 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 64; ++x) {
            u8* p = &px[size_t(y) * 256 + size_t(x) * 4];
            bool white = x >= 22 && x <= 41 && y >= 10 && y <= 29;
            p[0] = white ? 0xFF : 0x68;
            p[1] = white ? 0xFF : 0x37;
            p[2] = white ? 0xFF : 0x2B;
            p[3] = 0xFF;
        }
    Bytes png;
    stbi_write_png_to_func(appendPng, &png, 64, 40, 4, px.data(), 256);
    return png;
}

// A scratch file made afresh: whatever stood under its name (a link another
// user planted, say) is removed, never followed; a name that cannot be
// freed fails the write.
bool writeScratch(const std::string& path, const Bytes& bytes) {
    unlink(path.c_str());
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    return close(fd) == 0 && ok;
}

void dropScratch(App& app, const char* name, const Bytes& bytes, const char* failText) {
    std::string path = tempPath(name);
    check(writeScratch(path, bytes), failText);
    Actions::openDropped(app, path);
}

void windowsAndDisplay() {
    add("start", 10, [](App& app) {
        app.newProject();
        app.resetLayout = true;
    });
    add("open all windows", 10, [](App& app) { setSixteenWindows(app, true); });
    for (int i = 0; i < GfxMode::count; ++i)
        add("gfx mode " + std::to_string(i), 3, [i](App& app) { app.machine.setGfxMode(i); });
    for (int i = 3; i >= 0; --i)
        add("vic bank " + std::to_string(i), 3, [i](App& app) { app.machine.bank = u16(i); });
    for (int i = 0; i <= 10; ++i)
        add("palette " + std::to_string(i), 2, [i](App& app) { app.setPalette(i); });
    for (int z : {1, 3, 5, 8, 2})
        add("zoom " + std::to_string(z), 3, [z](App& app) { app.setZoom(z, -1, -1); });
    add("grid", 3, [](App& app) { app.showGrid = true; });
    shot("all-windows", 3);
}

void drawingAndBlocks() {
    add("close dialogs", 5, [](App& app) {
        app.showGrid = false;
        setSixteenWindows(app, false);
        app.showSecondView = app.showSprites = app.showCharset = true;
        app.setPalette(0);
    });
    add("prepare hires", 3, [](App& app) {
        app.newProject();
        Machine& m = app.machine;
        m.setGfxMode(GfxMode::Bitmap);
        std::fill_n(m.ram + m.bitmapAddr(), 8000, u8(0));
        std::fill_n(m.ram + m.screenAddr(), 1000, u8(0x10));
        app.undoBuffer.Clear();
        app.editor.tool = Editor::ToolFreehand;
        m.pen = 1;
    });
    drag("freehand", {{100, 100}, {120, 105}, {140, 120}}, 0);
    shot("freehand", 3);
    add("check freehand", 1, [](App& app) {
        check(anyBitmapByte(app), "freehand drew pixels");
        check(bitmap(app)[3940] != 0, "start point drawn");
    });
    chord("undo (Ctrl+Alt+Z)", ImGuiKey_Z, true, false, true);
    add("check undo", 1, [](App& app) { check(!anyBitmapByte(app), "Ctrl+Alt+Z undid the drawing"); });
    chord("redo (Ctrl+Alt+Y)", ImGuiKey_Y, true, false, true);
    add("check redo", 1, [](App& app) { check(anyBitmapByte(app), "Ctrl+Alt+Y redid the drawing"); });
    chord("undo (Ctrl+Z)", ImGuiKey_Z, true, false, false);
    add("check Ctrl+Z", 1, [](App& app) { check(!anyBitmapByte(app), "Ctrl+Z undid the drawing"); });
    add("line tool", 1, [](App& app) { app.editor.tool = Editor::ToolLine; });
    drag("line", {{10, 10}, {200, 50}, {300, 190}}, 0);
    add("check line", 1, [](App& app) {
        check(pixel(app, 10, 10) == 1 && pixel(app, 300, 190) == 1, "line end points");
        check(pixel(app, 200, 50) != 1, "no trace of the rubber band");
    });
    add("rectangle tool", 1, [](App& app) {
        app.editor.tool = Editor::ToolRect;
        app.machine.pen = 1;
    });
    drag("rectangle", {{20, 150}, {60, 180}}, 0);
    add("check rectangle", 1, [](App& app) {
        check(pixel(app, 20, 150) == 1 && pixel(app, 60, 180) == 1 && pixel(app, 40, 150) == 1,
              "rectangle corners");
    });
    add("select tool", 1, [](App& app) { app.editor.tool = Editor::ToolSelect; });
    drag("select", {{0, 0}, {31, 15}}, 0);
    add("check selection", 1, [](App& app) {
        int x0 = -1, y0 = -1, x1 = -1, y1 = -1;
        app.editor.selRect(x0, y0, x1, y1);
        check(app.editor.hasSelection && x0 == 0 && y0 == 0 && x1 == 3 && y1 == 1, "4x2 cell selection");
    });
    chord("copy", ImGuiKey_C, true, false, false);
    chord("paste", ImGuiKey_V, true, false, false);
    add("move paste", 2, [](App& app) {
        check(app.editor.pasting, "floating paste started");
        moveMouseTo(app, 200, 160);
    });
    drag("commit paste", {{200, 160}}, 0);
    add("check paste", 1, [](App& app) {
        check(!app.editor.pasting, "paste committed");
        check(bitmap(app)[330] != 0, "source still there");
        // Only the 4x2 block at cell 25,20 is read: the line crosses cell rows 20-24 further right.
        bool pasted = false, same = true;
        for (int r = 0; r < 2; ++r)
            for (int i = 0; i < 32; ++i) {
                const u8 b = bitmap(app)[(20 + r) * 320 + 200 + i];
                pasted |= b != 0;
                same &= b == bitmap(app)[r * 320 + i];
            }
        check(pasted && same, "pasted pixels near cell 25,20");
    });
}

void text() {
    add("prepare text", 3, [](App& app) {
        app.newProject();
        app.editor.tool = Editor::ToolText;
    });
    drag("text cursor", {{19, 83}}, 0);
    add("type", 3, [](App&) {
        for (char c : {'h', 'e', 'l', 'l', 'o'}) ImGui::GetIO().AddInputCharacter(c);
    });
    add("check text", 1, [](App& app) {
        const u8* s = screen(app) + 402;
        check(s[0] == 8 && s[1] == 5 && s[2] == 12 && s[3] == 12 && s[4] == 15, "\"hello\" typed at 2,10");
        check(app.editor.cursorCol == 7 && app.editor.cursorRow == 10, "cursor moved");
    });
    chord("reverse char (Ctrl+A)", ImGuiKey_A, true, false, false);
    add("check reverse", 1, [](App& app) { check(screen(app)[407] == 0x81, "Ctrl+A typed a reversed A"); });
    chord("text undo", ImGuiKey_Z, true, false, true);
    add("check text undo", 1, [](App& app) { check(screen(app)[402] == 0x20, "text undone"); });
}

void monitorAndDrops() {
    add("open monitor", 5, [](App& app) {
        app.showMonitor = true;
        app.monitor.clear();
    });
    add("monitor fill", 3, [](App& app) {
        for (u8 c : {46, 6, 32, 3, 48, 48, 48, 32, 3, 49, 48, 48, 32, 52, 50}) app.monitor.typeChar(c);
        app.monitor.enter();
    });
    add("check monitor", 1, [](App& app) {
        const u8* r = app.machine.ram;
        check(r[0xC000] == 0x42 && r[0xC0FF] == 0x42 && r[0xC100] != 0x42, "monitor F command");
    });
    add("drop prg", 2, [](App& app) {
        dropScratch(app, "drop.prg", Bytes{0x00, 0xC8, 1, 2, 3}, "write temp prg");
        check(app.machine.ram[0xC800] == 1 && app.machine.ram[0xC802] == 3, "dropped prg loaded to $C800");
        app.popups.clear();
    });
    add("drop d64", 4, [](App& app) {
        dropScratch(app, "drop.d64", DiskDrive::blankD64("DROPPED", "AB"), "write temp d64");
        check(app.drives[0].mode != DiskDrive::NoDisk && app.drives[0].diskName().rfind("DROPPED", 0) == 0,
              "dropped d64 mounted on drive 8");
        check(app.showMountDisk, "disk window opened");
    });
    add("drop png", 6, [](App& app) {
        dropScratch(app, "drop.png", scratchPng(), "write temp png");
        check(app.showImportPicture, "import dialog opened with the dropped picture");
        app.machine.setGfxMode(GfxMode::MulticolorBitmap);
        app.ui.importPicture.resolution = 2;
        app.ui.importPicture.dirty = true;
    });
    shot("import-petscii", 3);
    add("accept import", 3, [](App& app) { app.ui.importPicture.autoAccept = true; });
    add("check petscii import", 1, [](App& app) {
        const Machine& m = app.machine;
        check(!app.showImportPicture, "PETSCII import accepted");
        check(m.gfxMode() == GfxMode::Text && m.charsetIsRom(), "text mode with the ROM charset");
        u8 s = screen(app)[500];
        check((s == 0x20 && m.vic[VicReg::Background0] == 1) || (s == 0xA0 && (m.ram[0xD800 + 500] & 15) == 1),
              "white square became solid white cells");
        check(app.undoBuffer.undoName() == "import image", "import can be undone");
    });
    add("close import", 3, [](App& app) {
        app.showMountDisk = false;
        app.drives[0].unmount();
    });
}

}  // namespace

void init(App&) {
    windowsAndDisplay();
    drawingAndBlocks();
    text();
    monitorAndDrops();
    add("all windows again", 10, [](App& app) {
        setSixteenWindows(app, true);
        app.machine.setGfxMode(GfxMode::MulticolorBitmap);
    });
    add("done", 1, [](App& app) {
        setSixteenWindows(app, false);
        markDone();
    });
    printf("AUTOTEST: %d steps\n", int(stepCount()));
    fflush(stdout);
}

}  // namespace AutoTest
