#include "app/App.h"
#include "core/Vic.h"
#include "cpu/CPU6502.h"
#include "disk/DiskActions.h"
#include "formats/FileActions.h"
#include "formats/FileFormats.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "tests/FileTestSupport.h"

namespace {

// A fresh configuration directory, the built assets and an application.
class AppTest : public testing::Test {
protected:
    TempDir tmp{"vorlix-app"};
    const fs::path root = tmp.path;
    std::unique_ptr<App> app;

    void SetUp() override {
        fs::create_directories(root / "config");
        setenv("APPDATA", (root / "config").c_str(), 1);
        useAssets(VORLIX_ASSET_DIR);
        app = std::make_unique<App>();
    }
    void TearDown() override {
        FileIO::cancel();
        app.reset();
        unsetenv("APPDATA");
        unsetenv("VORLIX_ASSETS");
        Platform::initWithBasePath("");
    }
    void useAssets(const std::string& dir) {
        setenv("VORLIX_ASSETS", dir.c_str(), 1);
        Platform::initWithBasePath("");
    }
    std::string ini() { return Platform::loadText("vorlix.ini"); }
    static bool hasLine(const std::string& text, const std::string& line) {
        return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
    }
    // Picks name in the open dialog as the user would, pressing Open or Save once.
    void choose(const std::string& name) {
        ASSERT_TRUE(FileIO::dialog().open);
        FileIO::dialog().dir = root.string();
        std::strncpy(FileIO::dialog().name, name.c_str(), sizeof FileIO::dialog().name - 1);
        FileIO::nameEdited();
        FileIO::accept();
    }
    Machine& m() { return app->machine; }
    const App::Popup& lastPopup() const { return app->popups.back(); }
    std::vector<u8> snapshot() {
        std::vector<u8> s(m().ram, m().ram + 65536);
        s.insert(s.end(), m().vic, m().vic + 47);
        s.push_back(u8(m().bank));
        return s;
    }
};

// Settings files as read at start-up: what the application takes, and the lines it writes back ("!": a line it
// must not write).
TEST_F(AppTest, Settings) {
    const struct {
        const char* text;
        std::vector<std::string> saved;
        bool (*check)(App&) = nullptr;
    } rows[] = {
        {"Zoom=30\n", {"Zoom=2"}}, {"Zoom=7\n", {"Zoom=7"}}, {"UiScale=0.25\n", {"UiScale=1"}},
        {"UiScale=abc\n", {"UiScale=1"}}, {"UiScale=nan\n", {"UiScale=1"}}, {"UiScale=2\n", {"UiScale=2"}},
        {"UiScale=1.25\n", {"UiScale=1.25"}},
        {"GridColor=18\nShowGrid=yes\nShowGrid = 1\nNoSuchKey=5\nwithout equals\nPalette=4294967297\n"
         "ShowActiveChar=0\nwin.monitor=1\nwin.calc=2\n",
         {"ShowGrid=0", "GridColor=2", "ShowActiveChar=0", "Palette=0", "win.monitor=1", "win.calc=1", "win.sprites=0"}},
        {"DontReplaceColors=1\n", {"DontReplaceColors=1"}, [](App& a) { return a.editor.pixels.noNewColours; }},
        {"Custom_3_G=300\nCustom_16_R=5\nCustom_2_X=9\nCustom_0_R=17\nCustom_4294967299_R=77\n",
         {"Custom_3_G=44", "Custom_2_B=9", "Custom_0_R=17", "!Custom_3_R=77"}},
        // The index is kept as written until a palette is chosen.
        {"Palette=12\n", {"Palette=12"}, [](App& a) { return a.palette.index == 0; }},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        Platform::saveText("vorlix.ini", r.text);
        app = std::make_unique<App>();
        if (r.check) { EXPECT_TRUE(r.check(*app)); }
        app->saveSettings();
        const std::string text = ini();
        for (const std::string& line : r.saved) EXPECT_EQ(hasLine(text, line.substr(line[0] == '!')), line[0] != '!') << line;
        EXPECT_EQ(text.find("Custom_16"), std::string::npos);
    }
    app->setPalette(-3);  // chosen: stored as the palette's own index, and saved at once
    EXPECT_EQ(app->paletteIndex, 0);
    EXPECT_TRUE(hasLine(ini(), "Palette=0"));
    app->setPalette(5);
    EXPECT_TRUE(hasLine(ini(), "Palette=5"));
    // A file too large to read is still there: never replaced.
    const fs::path path = fs::path(Platform::configDir()) / "vorlix.ini";
    fs::resize_file(path, Platform::kMaxFileSize + 1);
    std::make_unique<App>()->saveSettings();
    EXPECT_EQ(fs::file_size(path), uintmax_t(Platform::kMaxFileSize + 1));
}

// Zoom is clamped to 1..24; the scroll keeps the anchor (the centre when none) at its fraction of the visible area.
TEST_F(AppTest, SetZoom) {
    const struct { int from; App::Area area; int to; float ax, ay; int zoom; float x, y; } rows[] = {
        {2, {0, 0, 0, 0}, 0, -1, -1, 1, 0, 0},         {2, {0, 0, 0, 0}, 30, -1, -1, 24, 0, 0},
        {24, {0, 0, 0, 0}, 24, 5, 5, 24, -1, -1},      {2, {0, 0, 192, 132}, 4, -1, -1, 4, 192, 132},
        // fraction 0.25 across, 0 down; new area 48 x 33 frame pixels
        {4, {100, 50, 96, 66}, 8, 124, 50, 8, (124 - 0.25f * 48) * 8, 50 * 8},
        {8, {0, 0, 0, 0}, 2, 10, 10, 2, 20, 20},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.to);
        app->zoom = r.from;
        app->viewArea = r.area;
        app->pendingScroll = {-1, -1};
        app->setZoom(r.to, r.ax, r.ay);
        EXPECT_EQ(app->zoom * 100 + app->zoomSetting, r.zoom * 101);
        EXPECT_FLOAT_EQ(app->pendingScroll.x, r.x);
        EXPECT_FLOAT_EQ(app->pendingScroll.y, r.y);
    }
}

TEST_F(AppTest, NewProject) {
    m().ram[0x0400] = 0x99;
    app->undoBuffer.TakeUndo(7, "test");
    app->editor.selectAll();
    app->newProject();
    EXPECT_TRUE(!app->editor.hasSelection && app->undoBuffer.undo.empty() && app->editor.textUndoPending);
    EXPECT_EQ(m().pen * 10000 + app->editor.cursorCol * 100 + app->editor.cursorRow, 6);
    EXPECT_NE(m().ram[0x0400], 0x99);
}

// Each file given to a load command through its dialog, or dropped on the window: the dialog's title, the
// message (none: silent), what memory holds, and the undo step that brings back memory as it was (none: memory
// unchanged).
TEST_F(AppTest, FileOutcomes) {
    Bytes koala(10003), doodle(9026), two(128);
    for (size_t i = 0; i < koala.size(); ++i) koala[i] = u8(i * 3);
    for (size_t i = 0; i < doodle.size(); ++i) doodle[i] = u8(i * 7);
    for (size_t i = 0; i < two.size(); ++i) two[i] = u8(i + 1);
    const std::string source = "\tlda #$01\r\n\xC2\xA4" "c000\n", longName(200, 'n');
    m().ram[0x07F8] = 0x33;
    const Bytes project = m().saveProject();
    const auto projectState = snapshot();
    auto holds = [](const Machine& m, int addr, const u8* bytes, size_t n) { return !std::memcmp(m.ram + addr, bytes, n); };
    auto ramIs = [](int addr, u8 value) { return [=](App& a) { return a.machine.ram[addr] == value; }; };
    auto prg = [](int addr, Bytes body) {
        body.insert(body.begin(), {u8(addr), u8(addr >> 8)});
        return body;
    };
    auto anyImage = [](App& a) { Actions::loadImageFormat(a, -1); };
    auto ramCharset = [](App& a) { a.machine.vic[0x18] = 0x1C; };
    auto koalaShown = [&](App& a) {
        return a.machine.gfxMode() == 4 && holds(a.machine, a.machine.bitmapAddr(), koala.data() + 2, 8000) &&
               a.machine.vic[0x21] == koala[10002];
    };
    fs::create_directory(root / "folder");
    for (DiskDrive& drive : app->drives) drive.mountDirectory(root.string());
    const struct {
        std::string file;
        Bytes bytes;
        std::function<void(App&)> command;  // null: dropped on the window
        const char* dialog;                 // null: not checked
        std::string popup;                  // "title|text"; ending in a blank or the bar: the start of it
        const char* step;                   // null: none; empty: the undo buffer is emptied
        std::function<bool(App&)> check = nullptr;
        std::function<void(App&)> setup = nullptr;
    } rows[] = {
        {"code.prg", {0xFF, 0xFF, 0xEA, 0xEB}, Actions::loadMemory, "Load memory",
         "Success!|$0001 bytes read from $FFFF to $10000", "load memory", ramIs(0xFFFF, 0xEA)},
        {"pic.xyz", Bytes(100, 1), anyImage, nullptr, "Error|Couldn't determine file format!", nullptr},
        // A file too short still switches the mode, so the step stays.
        {"a.hir", {1, 2}, anyImage, nullptr, "Error|Couldn't load the file!", "load image",
         [](App& a) { return a.machine.gfxMode() == 3; }},
        {"bad.koa", {1, 2}, Actions::loadKoala, "Load Koala image", "", "load image"},
        {"row.raw", Bytes(320, 1), Actions::loadRaw, "Load RAW image", "", "load image", [](App& a) {
             const int at = a.machine.bitmapAddr();
             return a.machine.ram[at] == 0xFF && a.machine.ram[at + 39 * 8] == 0xFF && a.machine.ram[at + 1] == 0;
         }},
        {"PIC.KOA", koala, anyImage, nullptr, "", "load image", koalaShown},
        // A chosen format wins over the extension.
        {"pic.koa", doodle, [](App& a) { Actions::loadImageFormat(a, 8); }, nullptr, "", "load image",
         [&](App& a) { return a.machine.gfxMode() == 3 && holds(a.machine, 0x0400, doodle.data() + 2, 1000); }},
        // Raw sprites go to the editor's block; a PRG selects its own block when it lies in the VIC bank.
        {"s.bin", two, Actions::loadSprites, nullptr, "Load sprites|2 sprites loaded to $0340 (sprite $0D)", "load sprites",
         [&](App& a) { return holds(a.machine, 0x0340, two.data(), 128) && a.machine.ram[0x03C0] != two[0]; }},
        {"none.raw", {}, Actions::loadSprites, nullptr, "Load sprites|0 sprites loaded to $0340 (sprite $0D)",
         "load sprites"},
        {"big.bin", Bytes(200, 3), Actions::loadSprites, nullptr, "Load sprites|1 sprite loaded to $FFC0 (sprite $FF)",
         "load sprites", ramIs(0xFFFF, 3), [](App& a) {
             a.machine.bank = 3;
             a.spriteBlock = 0xFF;
         }},
        {"o.prg", {0x00, 0x50, 1, 2, 3}, Actions::loadSprites, nullptr,
         "Load sprites|$0003 bytes read from $5000 to $5003\n(outside the current VIC bank)", "load sprites",
         [](App& a) { return a.spriteBlock == 13; }},
        {"s.prg", prg(0x2000, Bytes(64, 0x11)), Actions::loadSprites, nullptr,
         "Load sprites|$0040 bytes read from $2000 to $2040\n(sprite $80 - $80)", "load sprites",
         [](App& a) { return a.spriteBlock == 0x80; }},
        // $D018 = $14 in bank 0 shows the ROM set.
        {"rom.bin", Bytes(4096, 0x5A), Actions::loadCharset, nullptr,
         "Load charset|The current charset is ROM. Select a RAM charset bank first.", nullptr},
        {"c.bin", Bytes(4096, 0x5A), Actions::loadCharset, nullptr, "", "load charset",
         [](App& a) { return a.machine.ram[0x3000] == 0x5A && a.machine.ram[0x37FF] == 0x5A && a.machine.ram[0x3800] != 0x5A; },
         ramCharset},
        {"c.64c", {0x00, 0x28, 1, 2, 3, 4}, Actions::loadCharset, nullptr, "Load charset|$0004 bytes read from $2800 to $2804",
         "load charset", [](App& a) { return a.machine.ram[0x2803] == 4 && a.machine.vic[0x18] == 0x1C; }, ramCharset},
        {"notes.TXT", {0x00, 0x10, 0x77}, nullptr, nullptr, "Success!|notes.TXT:\n$0001 bytes read from $1000 to $1001",
         "load memory", ramIs(0x1000, 0x77)},
        {"x.prg", {0x42}, nullptr, nullptr, "Success!|x.prg:\n$0000 bytes read from $0000 to $0000", "load memory"},
        // A long name is cut so the text stays within 159 characters.
        {longName, {0x00, 0x10, 1}, nullptr, nullptr, "Success!|", "load memory",
         [](App& a) { return a.popups.back().text.size() == 159; }},
        {"demo.s", Bytes(source.begin(), source.end()), nullptr, nullptr, "", nullptr,
         [&](App& a) { return a.asmSource == source && a.showAssembler; }},
        {"x.raw", Bytes(8, 0xFF), nullptr, nullptr, "", "load image",
         [](App& a) { return a.machine.gfxMode() == 3 && a.machine.ram[a.machine.bitmapAddr()] == 0xFF; }},
        {"short.hir", {1, 2}, nullptr, nullptr, "Error|Couldn't load short.hir", "load image"},
        // A project replaces everything, empties the undo buffer and edits the sprite of pointer 0.
        {"p.vpr", project, nullptr, nullptr, "", "",
         [&](App& a) { return snapshot() == projectState && a.spriteBlock == 0x33; }, [](App& a) { a.machine.ram[0x07F8] = 0; }},
        {"bad.vpr", Bytes(10, 0), nullptr, nullptr, "Error|Unknown file format (Not a Vorlix project)!", nullptr},
        // With every drive in use a disk image replaces drive 8's disk; a refused one opens no window.
        {"DISK.D64", DiskDrive::blankD64("x", "y"), nullptr, nullptr, "", nullptr,
         [](App& a) { return a.drives[0].mode == 1 && a.showMountDisk; }},
        {"BAD.D64", Bytes(100, 0), nullptr, nullptr, "Error|Could not mount D64-file: Unknown D64-disk format", nullptr},
        {"pic.png", Bytes(50, 0), nullptr, nullptr, "Error|Couldn't read the image: ", nullptr},
        {"folder/", {}, nullptr, nullptr, "Error|Couldn't open " + (root / "folder/").string(), nullptr},
        {"nodir/missing.prg", {}, nullptr, nullptr, "Error|Couldn't open missing.prg", nullptr},  // never written
        {"two.TXT", {1, 2}, nullptr, nullptr, "Error|Don't know what to do with two.TXT", nullptr},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file);
        app->popups.clear();
        app->undoBuffer.Clear();
        app->undoBuffer.TakeUndo(7, "earlier");
        app->spriteBlock = 13;
        app->showAssembler = app->showMountDisk = false;
        m().bank = 0;
        m().vic[0x18] = 0x14;
        if (r.setup) r.setup(*app);
        const fs::path path = root / r.file;
        if (!fs::exists(path) || fs::is_regular_file(path)) writeBytes(path, r.bytes);
        const auto before = snapshot();
        if (r.command) {
            r.command(*app);
            if (r.dialog) { EXPECT_EQ(FileIO::dialog().title, r.dialog); }
            choose(r.file);
        } else {
            Actions::openDropped(*app, path.string());
        }
        ASSERT_EQ(app->popups.size(), r.popup.empty() ? 0u : 1u);
        if (!r.popup.empty()) {
            EXPECT_FALSE(lastPopup().isConfirm);
            const std::string shown = lastPopup().title + "|" + lastPopup().text;
            const bool start = r.popup.back() == ' ' || r.popup.back() == '|';
            EXPECT_EQ(start ? shown.substr(0, r.popup.size()) : shown, r.popup);
        }
        EXPECT_FALSE(app->showImportPicture);
        EXPECT_TRUE(r.check ? r.check(*app) : !app->showMountDisk);
        EXPECT_EQ(app->undoBuffer.undo.size(), !r.step ? 1u : *r.step ? 2u : 0u);
        if (r.step && !*r.step) continue;
        if (r.step) {
            EXPECT_EQ(app->undoBuffer.undoName(), r.step);
            app->undoBuffer.MakeUndo();
        }
        EXPECT_EQ(snapshot(), before);
    }
}

TEST_F(AppTest, MountDiskRangesAndRefusals) {
    writeBytes(root / "t.d64", DiskDrive::blankD64("x", "y"));
    DiskDrive& drive = app->drives[1];
    ASSERT_TRUE(drive.mountD64((root / "t.d64").string()));
    EXPECT_EQ(DiskActions::mountedAt(*app, (root / "." / "t.d64").string()), &drive);
    // Bank 0 and $D018 = $18: the character set lies at ($18 AND $0E) x $400.
    m().bank = 0;
    m().vic[0x18] = 0x18;
    const std::pair<int, int> want[4] = {{0x2000, 0x3F40}, {0x0400, 0x07E8}, {0xD800, 0xDBE8}, {0x2000, 0x2800}};
    for (int k = 0; k < 4; k++) {
        std::pair<int, int> range;
        DiskActions::presetRange(m(), k, range.first, range.second);
        EXPECT_EQ(range, want[k]) << k;
    }
    DiskActions::saveRange(*app, drive, "pic", 0x2000, 0x2000);
    EXPECT_EQ(lastPopup().text, "The end address must be after the start address.");
    EXPECT_TRUE(drive.list().empty());
}

// Runs a program's BASIC line on the processor until it loops in place.
std::unique_ptr<Machine> runProgram(const Bytes& file) {
    auto c64 = std::make_unique<Machine>();
    std::memset(c64->vic, 0x55, sizeof c64->vic);  // nothing left as the program wants it
    std::copy(file.begin() + 2, file.end(), c64->ram + 0x0801);
    c64->ram[0xDD00] = 0x97;
    CPU6502 cpu(*c64);
    cpu.pc = u16(std::atoi(reinterpret_cast<const char*>(file.data()) + 7));
    for (long n = 0, before = -1; n < 2000000 && cpu.pc != before && !cpu.stopped; ++n) {
        before = cpu.pc;
        cpu.step();
    }
    EXPECT_FALSE(cpu.stopped) << cpu.stopReason;
    return c64;
}

// Each save and export command: whether its dialog opens (title, name), the bytes written as the command found
// them, or what the file shows, and the last message. The executable is the built viewer with the four colours
// patched in (byte 69 cleared for hires), then bitmap, screen and colour RAM as shown when the file is written: run
// on the processor, it shows that picture.
TEST_F(AppTest, SaveOutcomes) {
    const Bytes viewer = readBytes(fs::path(VORLIX_ASSET_DIR) / "bmpview.prg");
    ASSERT_GE(viewer.size(), 70u);
    // One BASIC line at $0801, 10 SYS 2061, jumping right after the program's end marker.
    EXPECT_EQ(Bytes(viewer.begin(), viewer.begin() + 14), (Bytes{1, 8, 11, 8, 10, 0, 0x9E, '2', '0', '6', '1', 0, 0, 0}));
    const u8 colours[4] = {6, 14, 0x33, 0x49};
    auto inMode = [&](int mode) {
        return [&, mode](App& a) {
            a.machine.bank = 1;
            a.machine.vic[0x18] = 0x38;
            std::copy(colours, colours + 4, a.machine.vic + 0x20);
            a.machine.setGfxMode(mode);
        };
    };
    auto shows = [&](int bitmap, bool multi) {
        return [&, bitmap, multi](const Bytes& file) {
            ASSERT_EQ(file.size(), viewer.size() + 10240);
            EXPECT_EQ(0, std::memcmp(file.data() + viewer.size(), m().ram + bitmap, 8192));
            const auto c64 = runProgram(file);
            EXPECT_EQ(0, std::memcmp(c64->vic + 0x20, colours, 4));
            EXPECT_EQ(c64->vic[0x11] & 0x70, 0x30) << "bitmap mode, no extended colour, display on";
            EXPECT_EQ((c64->vic[0x16] & 0x10) != 0, multi);
            const int base = (3 - (c64->ram[0xDD00] & 3)) * 0x4000, d018 = c64->vic[0x18];
            EXPECT_EQ(0, std::memcmp(c64->ram + base + (d018 & 8) * 1024, m().ram + bitmap, 8000));
            EXPECT_EQ(0, std::memcmp(c64->ram + base + (d018 & 0xF0) * 64, m().ram + 0x4C00, 1000));
            EXPECT_EQ(0, std::memcmp(c64->ram + 0xD800, m().ram + 0xD800, 1000));
        };
    };
    auto viewerOf = [&](size_t size) {
        return [&, size](App&) {
            fs::create_directories(root / "assets");
            fs::copy_file(fs::path(VORLIX_ASSET_DIR) / "C64Chars.bin", root / "assets" / "C64Chars.bin",
                          fs::copy_options::overwrite_existing);
            writeBytes(root / "assets" / "bmpview.prg", Bytes(size, 0x80));
            useAssets((root / "assets").string());
        };
    };
    // The screen as our renderer draws it; ImageMagick agrees on what was written.
    auto screenPng = [&](const Bytes& png) {
        int w = 0, h = 0;
        const std::vector<u32> px = decode(png, w, h);
        std::vector<u32> ref(320 * 200);
        Vic::renderScreen(m(), app->palette, ref.data(), 320);
        EXPECT_EQ(w * 1000 + h, 320200);
        EXPECT_TRUE(px == ref);
        if (std::system("command -v identify >/dev/null 2>&1") != 0) return;
        const std::string id = (root / "id.txt").string();
        ASSERT_EQ(std::system(("identify -format '%m %w %h' " + (root / "screen.png").string() + " > " + id).c_str()), 0);
        EXPECT_EQ(readBytes(id), (Bytes{'P', 'N', 'G', ' ', '3', '2', '0', ' ', '2', '0', '0'}));
    };
    auto clear = [](App& a) { std::fill(a.machine.ram, a.machine.ram + 65536, 0x42); };
    const struct {
        std::function<void(App&)> command;
        const char *title, *name;   // null: not checked
        const char *chosen, *file;  // null: the dialog stays closed
        std::function<Bytes(const Machine&)> want;
        std::string popup;  // "title|text" of the last message
        std::function<void(App&)> setup = nullptr, between = nullptr;
        std::function<void(const Bytes&)> check = nullptr;
    } rows[] = {
        {[](App& a) { Actions::saveArea(a, 0xFFF8, 16, "area.prg"); }, "Save memory area", "area.prg", "area.prg",
         "area.prg", [](const Machine& m) { return prgOf(m, 0xFFF8, 8); }, "Success!|$0008 bytes saved from $FFF8 to $10000"},
        {Actions::saveKoala, "Save Koala image", "image.koa", "image.koa", "image.koa", FileFormats::saveKoala, ""},
        {Actions::saveDoodle, "Save Doodle image", "image.dd", "image.dd", "image.dd", FileFormats::saveDoodle, ""},
        // Only the low 8 bits of a sprite number count; no sprites, no dialog.
        {[](App& a) { Actions::saveSprites(a, 0x102, 0x103, false); }, "Save sprites", "sprites.bin", "sprites.bin",
         "sprites.bin", [](const Machine& m) { return Bytes(m.ram + 0x80, m.ram + 0x100); }, "", nullptr, clear},
        {[](App& a) { Actions::saveSprites(a, 5, 4, true); }, nullptr, nullptr, nullptr, nullptr, nullptr, ""},
        // ROM is shown at $1000, RAM is saved.
        {[](App& a) { Actions::saveCharset(a, false); }, "Save charset", nullptr, "charset.bin", "charset.bin",
         [](const Machine& m) { return Bytes(m.ram + 0x1000, m.ram + 0x1800); }, "", nullptr, clear},
        {[](App& a) { Actions::saveCharset(a, true); }, nullptr, "charset.prg", "charset.prg", "charset.prg",
         [](const Machine& m) { return prgOf(m, 0x1000, 2048); }, "Success!|$0800 bytes saved from $1000 to $1800"},
        {Actions::saveProject, nullptr, "project.vpr", "mine", "mine.vpr", [](const Machine& m) { return m.saveProject(); }, ""},
        {Actions::exportPng, "Export PNG", "screen.png", "screen.png", "screen.png", nullptr, "",
         [](App& a) {
             a.machine.setGfxMode(3);
             a.zoom = 5;
         },
         nullptr, screenPng},
        // The mode as the file is written counts.
        {Actions::saveExecutable, "Save executable", "picture.prg", "4.prg", "4.prg", nullptr, "", inMode(4), nullptr,
         shows(0x6000, true)},
        {Actions::saveExecutable, nullptr, nullptr, "3.prg", "3.prg", nullptr, "", inMode(3), nullptr, shows(0x6000, false)},
        {Actions::saveExecutable, nullptr, nullptr, "1.prg", "1.prg", nullptr, "", inMode(3),
         [](App& a) { a.machine.setGfxMode(1); }, shows(0x4000, true)},
        // A viewer of 70 bytes is enough, one of 69 is refused; text modes are refused.
        {Actions::saveExecutable, nullptr, nullptr, "p.prg", "p.prg", nullptr, "", viewerOf(70), nullptr,
         [](const Bytes& file) { EXPECT_EQ(file.size(), 10310u); }},
        {Actions::saveExecutable, nullptr, nullptr, nullptr, nullptr, nullptr,
         "Error|Vorlix is missing the file \"bmpview.prg\".\nOperation could not be completed.", viewerOf(69)},
        {Actions::saveExecutable, nullptr, nullptr, nullptr, nullptr, nullptr,
         "Sorry|Text modes can not yet be saved as executables.", [](App& a) { a.machine.setGfxMode(2); }},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file ? r.file : r.popup.c_str());
        FileIO::cancel();
        app->popups.clear();
        useAssets(VORLIX_ASSET_DIR);
        for (int a = 0; a < 65536; ++a) m().ram[a] = u8(a * 5 + (a >> 8));
        m().bank = 0;
        m().setGfxMode(4);
        m().vic[0x18] = 0x14;
        if (r.setup) r.setup(*app);
        const Bytes want = r.want ? r.want(m()) : Bytes{};
        r.command(*app);
        ASSERT_EQ(FileIO::dialog().open, r.chosen != nullptr);
        if (r.title) { EXPECT_EQ(FileIO::dialog().title, r.title); }
        if (r.name) { EXPECT_STREQ(FileIO::dialog().name, r.name); }
        if (r.between) r.between(*app);
        if (r.chosen) choose(r.chosen);
        EXPECT_EQ(app->popups.empty() ? "" : lastPopup().title + "|" + lastPopup().text, r.popup);
        if (!r.file) continue;
        const Bytes file = readBytes(root / r.file);
        if (r.want) { EXPECT_EQ(file, want); }
        if (r.check) r.check(file);
    }
    // Peer check with cc65's disassembler: the patched bytes are LDA # operands stored to $D020-$D023.
    if (std::system("command -v da65 >/dev/null 2>&1") != 0) GTEST_SKIP() << "da65 not installed";
    const Bytes saved = readBytes(root / "4.prg");
    writeBytes(root / "code.bin", Bytes(saved.begin() + 14, saved.begin() + long(viewer.size())));
    const std::string cmd = "da65 --start-addr 0x080D -o " + (root / "code.txt").string() + " " +
                            (root / "code.bin").string() + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    // Instructions with single blanks, labels and all: the store must follow its load.
    std::string code;
    for (const u8 c : readBytes(root / "code.txt")) {
        if (!std::isspace(c)) code += char(std::toupper(c));
        else if (!code.empty() && code.back() != ' ') code += ' ';
    }
    for (const char* want : {"LDA #$06 STA $D020", "LDA #$0E STA $D021", "LDA #$33 STA $D022", "LDA #$49 STA $D023"})
        EXPECT_NE(code.find(want), std::string::npos) << want;
}

}  // namespace
