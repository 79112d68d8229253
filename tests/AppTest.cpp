#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include "app/App.h"
#include "app/CharsetActions.h"
#include "app/CpuActions.h"
#include "core/Vic.h"
#include "cpu/CPU6502.h"
#include "app/DiskActions.h"
#include "app/FileActions.h"
#include "formats/FileFormats.h"
#include "app/ImportActions.h"
#include "platform/AtomicFile.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "tests/FileTestSupport.h"

using namespace VicReg;

namespace {

// A fresh configuration directory, the built assets and an application.
class AppTest : public testing::Test {
protected:
    TempDir tmp{"vorlix-app"};
    const fs::path root = tmp.path;
    std::unique_ptr<App> app = makeApp();
    FileIO::Dialog& d = app->ui.fileDialog;

    std::unique_ptr<App> makeApp() {
        fs::create_directories(root / "config");
        setenv("APPDATA", (root / "config").c_str(), 1);
        useAssets(VORLIX_ASSET_DIR);
        return std::make_unique<App>();
    }
    void TearDown() override {
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
    void type(const std::string& name) {
        std::strncpy(d.name, name.c_str(), sizeof d.name - 1);
        FileIO::nameEdited(d);
    }
    // Picks name in the open dialog as the user would, pressing Open or Save once.
    void choose(const std::string& name) {
        ASSERT_TRUE(d.open);
        d.dir = root.string();
        type(name);
        FileIO::accept(d);
    }
    // Every file and directory below root, relative to it.
    std::set<std::string> files() {
        std::set<std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(root)) out.insert(fs::relative(e.path(), root).string());
        return out;
    }
    Machine& m() { return app->machine; }
    const App::Popup& lastPopup() const { return app->popups.back(); }
};

// Settings files as read at start-up: what the application takes, and the lines it writes back ("!": a line it
// must not write).
TEST_F(AppTest, Settings) {
    const struct {
        const char* text;
        std::vector<std::string> saved;
        bool (*check)(App&) = nullptr;
    } rows[] = {
        {"Zoom=30\nUiScale=0.25\n", {"Zoom=2", "UiScale=1"}}, {"Zoom=7\nUiScale=abc\n", {"Zoom=7", "UiScale=1"}},
        {"UiScale=nan\n", {"UiScale=1"}}, {"UiScale=2\n", {"UiScale=2"}}, {"UiScale=1.25\n", {"UiScale=1.25"}},
        {"GridColor=18\nShowGrid=yes\nShowGrid = 1\nNoSuchKey=5\nwithout equals\nPalette=4294967297\n"
         "ShowActiveChar=yes\nwin.monitor=1\nwin.calc=2\nZoom= 5x\n",
         {"ShowGrid=0", "GridColor=2", "ShowActiveChar=0", "Palette=0", "win.monitor=1", "win.calc=1", "win.sprites=0",
          "Zoom=5"}},
        {"DontReplaceColors=1\n", {"DontReplaceColors=1"}, [](App& a) { return a.editor.pixels.noNewColours; }},
        {"Custom_3_G=300\nCustom_16_R=5\nCustom_2_X=9\nCustom_0_R=17\nCustom_4294967299_R=77\nCustom_1_R=abc\n"
         "Custom_5G=77\nCustom_6=55\nCustom_7_R=4294967297\n",
         {"Custom_3_G=44", "Custom_2_B=9", "Custom_0_R=17", "!Custom_3_R=77", "Custom_1_R=0", "Custom_5_G=77",
          "Custom_6_B=55", "!Custom_7_R=1"}},
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
    // The self-test changes settings but never writes them.
    std::make_unique<App>(true)->setPalette(7);
    EXPECT_TRUE(hasLine(ini(), "Palette=5"));
    // A file too large to read is still there: never replaced.
    const fs::path path = fs::path(Platform::configDir()) / "vorlix.ini";
    fs::resize_file(path, Platform::kMaxFileSize + 1);
    std::make_unique<App>()->saveSettings();
    EXPECT_EQ(fs::file_size(path), uintmax_t(Platform::kMaxFileSize + 1));
}

// A device-6 save or load whose file dialog is cancelled ends with a new prompt under its report line.
TEST_F(AppTest, MonitorFileDialogCancelledPromptsAgain) {
    const struct { const char *command, *report; } rows[] = {{".S\"@:PIC\",6,C000,C010", "SAVING @:PIC"},
                                                             {".L\"PIC\",6", "SEARCHING FOR PIC"}};
    Monitor& mon = app->monitor;
    for (const auto& r : rows) {
        mon.clear();
        mon.print(r.command);
        mon.enter();
        ASSERT_TRUE(d.open) << r.command;
        FileIO::cancel(d);
        EXPECT_EQ(std::vector<std::string>({mon.rowText(1).substr(0, std::strlen(r.report)), mon.rowText(2)}),
                  std::vector<std::string>({r.report, "." + std::string(39, ' ')}));
        EXPECT_EQ(mon.col * 100 + mon.row, 102) << r.command;
    }
}

// What a window keeps belongs to its application: another one, older or newer, does not see it.
TEST_F(AppTest, WindowStateIsTheApps) {
    auto older = std::make_unique<App>();
    const struct {
        const char* name;
        void (*action)(App&);
        bool (*held)(const App&);
    } rows[] = {
        {"file dialog", Actions::loadProject, [](const App& a) { return a.ui.fileDialog.open; }},
        {"font import",
         [](App& a) {
             a.machine.vic[MemoryPointers] = 0x1A;
             beginFontImport(a, a.ui.importFont);
         },
         [](const App& a) { return a.ui.importFont.started; }},
        {"monitor save", [](App& a) { a.monitor.hostSave("PIC", Bytes{0, 0x20}); },
         [](const App& a) { return a.ui.fileDialog.title == "Monitor save"; }},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        r.action(*app);
        EXPECT_TRUE(r.held(*app));
        EXPECT_FALSE(r.held(*older));
        EXPECT_FALSE(r.held(*std::make_unique<App>()));
    }
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

// The exit question is known by what it is, not by its title: a message of the same title is not it, and while it
// is shown a second close asks nothing more.
TEST_F(AppTest, ExitQuestionAskedOnce) {
    int yes = 0;
    app->message("Exit Vorlix?", "Only a message.");
    app->askExit([&] { ++yes; });
    app->askExit([&] { yes += 10; });
    ASSERT_EQ(app->popups.size(), 2u);
    EXPECT_EQ(lastPopup().title + "|" + lastPopup().text, "Exit Vorlix?|Are you sure you want to close the program?");
    lastPopup().onYes();
    EXPECT_EQ(yes, 1);
    app->popups.pop_back();
    app->askExit(nullptr);
    EXPECT_EQ(app->popups.size(), 2u);
}

TEST_F(AppTest, NewProject) {
    m().ram[0x0400] = 0x99;
    app->undoBuffer.TakeUndo(UndoBuffer::KindAll, "test");
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
    // What lands where is the format tests' part: here the command reaches the loader.
    const Bytes koala(10003, 0x35), doodle(9026, 7), two(128, 0x11);
    const std::string source = "\tlda #$01\r\n\xC2\xA4" "c000\n", longName(200, 'n');
    m().ram[0x07F8] = 0x33;
    const Bytes project = m().saveProject();
    const auto projectState = std::make_unique<Machine>(m());
    auto ramIs = [](int addr, u8 value) { return [=](App& a) { return a.machine.ram[addr] == value; }; };
    auto anyImage = [](App& a) { Actions::loadImageFormat(a, -1); };
    auto ramCharset = [](App& a) { a.machine.vic[MemoryPointers] = 0x1C; };
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
         [](App& a) { return a.machine.gfxMode() == GfxMode::Bitmap; }},
        {"bad.koa", {1, 2}, Actions::loadKoala, "Load Koala image", "", "load image"},
        {"row.raw", Bytes(320, 1), Actions::loadRaw, "Load RAW image", "", "load image",
         [](App& a) { return a.machine.ram[a.machine.bitmapAddr() + 39 * 8] == 0xFF; }},
        {"PIC.KOA", koala, anyImage, nullptr, "", "load image", [](App& a) { return a.machine.vic[Background0] == 0x35; }},
        // A chosen format wins over the extension.
        {"pic.koa", doodle, [](App& a) { Actions::loadImageFormat(a, 8); }, nullptr, "", "load image",
         [](App& a) { return a.machine.gfxMode() == GfxMode::Bitmap; }},
        // Raw sprites go to the editor's block; a PRG selects its own block when it lies in the VIC bank.
        {"s.bin", two, Actions::loadSprites, nullptr, "Load sprites|2 sprites loaded to $0340 (sprite $0D)", "load sprites",
         [](App& a) { return a.machine.ram[0x03BF] == 0x11 && a.machine.ram[0x03C0] != 0x11; }},
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
        {"s.prg", Bytes(66, 0), Actions::loadSprites, nullptr,
         "Load sprites|$0040 bytes read from $0000 to $0040\n(sprite $00 - $00)", "load sprites",
         [](App& a) { return a.spriteBlock == 0; }},
        // $D018 = $14 in bank 0 shows the ROM set.
        {"rom.bin", Bytes(4096, 0x5A), Actions::loadCharset, nullptr,
         "Load charset|The current charset is ROM. Select a RAM charset bank first.", nullptr},
        {"c.bin", Bytes(4096, 0x5A), Actions::loadCharset, nullptr, "", "load charset",
         [](App& a) { return a.machine.ram[0x3000] == 0x5A && a.machine.ram[0x37FF] == 0x5A && a.machine.ram[0x3800] != 0x5A; },
         ramCharset},
        {"c.64c", {0x00, 0x28, 1, 2, 3, 4}, Actions::loadCharset, nullptr, "Load charset|$0004 bytes read from $2800 to $2804",
         "load charset", [](App& a) { return a.machine.ram[0x2803] == 4 && a.machine.vic[MemoryPointers] == 0x1C; }, ramCharset},
        {"notes.TXT", {0x00, 0x10, 0x77}, nullptr, nullptr, "Success!|notes.TXT:\n$0001 bytes read from $1000 to $1001",
         "load memory", ramIs(0x1000, 0x77)},
        {"x.prg", {0x42}, nullptr, nullptr, "Success!|x.prg:\n$0000 bytes read from $0000 to $0000", "load memory"},
        // A long name is cut so the text stays within 159 characters.
        {longName, {0x00, 0x10, 1}, nullptr, nullptr, "Success!|", "load memory",
         [](App& a) { return a.popups.back().text.size() == 159; }},
        {"demo.s", Bytes(source.begin(), source.end()), nullptr, nullptr, "", nullptr,
         [&](App& a) { return a.asmSource == source && a.showAssembler; }},
        {"x.raw", Bytes(8, 0xFF), nullptr, nullptr, "", "load image",
         [](App& a) { return a.machine.gfxMode() == GfxMode::Bitmap && a.machine.ram[a.machine.bitmapAddr()] == 0xFF; }},
        {"short.hir", {1, 2}, nullptr, nullptr, "Error|Couldn't load short.hir", "load image"},
        // A project replaces everything, empties the undo buffer and edits the sprite of pointer 0.
        {"p.vpr", project, nullptr, nullptr, "", "",
         [&](App& a) { return sameMachine(a.machine, *projectState) && a.spriteBlock == 0x33; },
         [](App& a) { a.machine.ram[0x07F8] = 0; }},
        {"bad.vpr", Bytes(10, 0), nullptr, nullptr, "Error|Unknown file format (Not a Vorlix project)!", nullptr},
        // With every drive in use a disk image replaces drive 8's disk; a refused one opens no window.
        {"DISK.D64", DiskDrive::blankD64("x", "y"), nullptr, nullptr, "", nullptr,
         [](App& a) { return a.drives[0].mode == 1 && a.showMountDisk; }},
        {"BAD.D64", Bytes(100, 0), nullptr, nullptr, "Error|Could not mount D64-file: Unknown D64-disk format", nullptr,
         [](App& a) { return a.drives[0].mode == 1 && !a.showMountDisk; }},
        {"pic.png", Bytes(50, 0), nullptr, nullptr, "Error|Couldn't read the image: ", nullptr},
        {"folder/", {}, nullptr, nullptr, "Error|Couldn't open " + (root / "folder/").string(), nullptr},
        {"nodir/missing.prg", {}, nullptr, nullptr, "Error|Couldn't open missing.prg", nullptr},  // never written
        {"nodir/missing.png", {}, nullptr, nullptr, "Error|Couldn't open missing.png", nullptr},
        {"two.TXT", {1, 2}, nullptr, nullptr, "Error|Don't know what to do with two.TXT", nullptr},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file);
        app->popups.clear();
        app->undoBuffer.Clear();
        app->undoBuffer.TakeUndo(UndoBuffer::KindAll, "earlier");
        app->spriteBlock = 13;
        app->showAssembler = app->showMountDisk = false;
        m().bank = 0;
        m().vic[MemoryPointers] = 0x14;
        if (r.setup) r.setup(*app);
        const fs::path path = root / r.file;
        if (!fs::exists(path) || fs::is_regular_file(path)) writeBytes(path, r.bytes);
        const auto before = std::make_unique<Machine>(m());
        if (r.command) {
            r.command(*app);
            if (r.dialog) { EXPECT_EQ(d.title, r.dialog); }
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
        EXPECT_TRUE(sameMachine(m(), *before));
    }
}

TEST_F(AppTest, MountDiskRangesAndRefusals) {
    writeBytes(root / "t.d64", DiskDrive::blankD64("x", "y"));
    DiskDrive& drive = app->drives[1];
    ASSERT_TRUE(drive.mountD64((root / "t.d64").string()));
    EXPECT_EQ(DiskActions::mountedAt(*app, (root / "." / "t.d64").string()), &drive);
    // Bank 0 and $D018 = $18: the character set lies at ($18 AND $0E) x $400.
    m().bank = 0;
    m().vic[MemoryPointers] = 0x18;
    const std::pair<int, int> want[4] = {{0x2000, 0x3F40}, {0x0400, 0x07E8}, {0xD800, 0xDBE8}, {0x2000, 0x2800}};
    for (int k = 0; k < 4; k++) {
        std::pair<int, int> range;
        DiskActions::presetRange(m(), k, range.first, range.second);
        EXPECT_EQ(range, want[k]) << k;
    }
    DiskActions::saveRange(*app, drive, "pic", 0x2000, 0x2000);
    EXPECT_EQ(lastPopup().text, "The end address must be after the start address.");
    EXPECT_TRUE(drive.list().empty());
    // A file of nothing but its load address loads as 0 bytes, from an image and from a directory.
    fs::create_directory(root / "dir");
    writeBytes(root / "dir" / "E.prg", {0x01, 0x08});
    ASSERT_TRUE(app->drives[2].mountDirectory((root / "dir").string()));
    ASSERT_TRUE(drive.writeFile("E", {0x01, 0x08}));
    for (DiskDrive* from : {&drive, &app->drives[2]}) {
        DiskActions::loadFile(*app, *from, 0);
        EXPECT_EQ(lastPopup().title + ": " + lastPopup().text, "Info: $0000 bytes written from $0801 to $0801");
    }
    // The name is saved upper-cased.
    DiskActions::saveRange(*app, app->drives[2], "pic", 0x2000, 0x2010);
    EXPECT_EQ(readBytes(root / "dir" / "PIC.prg"), prgOf(m(), 0x2000, 16));
    // A disk dropped on drive 8 (every drive holds one) ends the row chosen on its old disk; the others keep theirs.
    writeBytes(root / "v.d64", DiskDrive::blankD64("v", "v"));
    for (int k : {0, 3}) ASSERT_TRUE(app->drives[k].mountD64((root / "t.d64").string()));
    MountState& st = app->ui.mountDisk;
    for (int k = 0; k < 4; k++) st.selection(k, app->drives[k]), st.selected[k] = 0;
    Actions::openDropped(*app, (root / "v.d64").string());
    EXPECT_EQ(app->drives[0].diskName(), "V");
    const int rows[4] = {st.selection(0, app->drives[0]), st.selection(1, app->drives[1]), st.selection(2, app->drives[2]),
                         st.selection(3, app->drives[3])};
    EXPECT_EQ(std::vector<int>(rows, rows + 4), (std::vector<int>{-1, 0, 0, 0}));
    // New images and copies never go over a mounted one; elsewhere they do.
    const Bytes image = readBytes(root / "t.d64");
    for (const char* name : {"t.d64", "u.d64"}) {
        DiskActions::saveImage(*app, "Create D64 image", "t.d64", DiskDrive::blankD64("new", "n"), nullptr);
        writeText(root / "u.d64", "old");
        choose(name);
        FileIO::accept(d);
        EXPECT_EQ(d.open ? d.error : "saved", name == std::string("t.d64") ? "That image is mounted on a drive; unmount it first." : "saved");
    }
    EXPECT_EQ(readBytes(root / "t.d64"), image);
    EXPECT_EQ(readBytes(root / "u.d64"), DiskDrive::blankD64("new", "n"));
}

// A save through symlinks that loop is refused with a message, and the links stay.
TEST_F(AppTest, SymlinkLoopRefused) {
    fs::create_symlink("b.koa", root / "pic.koa");
    fs::create_symlink("pic.koa", root / "b.koa");
    FileIO::save(d, "Save", "pic.koa", {1, 2, 3}, nullptr);
    choose("pic.koa");
    FileIO::accept(d);
    EXPECT_EQ(d.error, "pic.koa is a symbolic link that leads back to itself; nothing was saved.");
    EXPECT_TRUE(fs::is_symlink(root / "pic.koa") && fs::is_symlink(root / "b.koa"));
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
            a.machine.vic[MemoryPointers] = 0x38;
            std::copy(colours, colours + 4, a.machine.vic + 0x20);
            a.machine.setGfxMode(mode);
        };
    };
    auto shows = [&](int bitmap, bool multi) {
        return [&, bitmap, multi](const Bytes& file) {
            ASSERT_EQ(file.size(), viewer.size() + 10240);
            const auto c64 = runProgram(file);
            EXPECT_EQ(0, std::memcmp(c64->vic + 0x20, colours, 4));
            EXPECT_EQ(c64->vic[Control1] & 0x70, 0x30) << "bitmap mode, no extended colour, display on";
            EXPECT_EQ((c64->vic[Control2] & Control2Mcm) != 0, multi);
            const int base = (3 - (c64->ram[0xDD00] & 3)) * 0x4000, d018 = c64->vic[MemoryPointers];
            EXPECT_EQ(0, std::memcmp(c64->ram + base + (d018 & 8) * 1024, m().ram + bitmap, 8000));
            EXPECT_EQ(0, std::memcmp(c64->ram + base + (d018 & 0xF0) * 64, m().ram + 0x4C00, 1000));
            EXPECT_EQ(0, std::memcmp(c64->ram + 0xD800, m().ram + 0xD800, 1000));
        };
    };
    auto viewerOf = [&](size_t size) {
        return [&, size](App&) {
            writeText(root / "assets" / "C64Chars.bin");  // what marks an asset directory
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
        EXPECT_TRUE(px == ref);  // of another size too
        if (std::system("command -v identify >/dev/null 2>&1") != 0) return;
        EXPECT_EQ(commandOutput("identify -format '%m %w %h' " + (root / "screen.png").string()), "PNG 320 200");
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
             a.machine.setGfxMode(GfxMode::Bitmap);
             a.zoom = 5;
         },
         nullptr, screenPng},
        // The mode as the file is written counts.
        {Actions::saveExecutable, "Save executable", "picture.prg", "4.prg", "4.prg", nullptr, "", inMode(4), nullptr,
         shows(0x6000, true)},
        {Actions::saveExecutable, nullptr, nullptr, "3.prg", "3.prg", nullptr, "", inMode(3), nullptr, shows(0x6000, false)},
        {Actions::saveExecutable, nullptr, nullptr, "1.prg", "1.prg", nullptr, "", inMode(3),
         [](App& a) { a.machine.setGfxMode(GfxMode::MulticolorText); }, shows(0x4000, true)},
        // A viewer of 70 bytes is enough, one of 69 is refused; text modes are refused.
        {Actions::saveExecutable, nullptr, nullptr, "p.prg", "p.prg", nullptr, "", viewerOf(70), nullptr,
         [](const Bytes& file) { EXPECT_EQ(file.size(), 10310u); }},
        {Actions::saveExecutable, nullptr, nullptr, nullptr, nullptr, nullptr,
         "Error|Vorlix is missing the file \"bmpview.prg\".\nOperation could not be completed.", viewerOf(69)},
        {Actions::saveExecutable, nullptr, nullptr, nullptr, nullptr, nullptr,
         "Sorry|Text modes can not yet be saved as executables.", [](App& a) { a.machine.setGfxMode(GfxMode::ExtendedText); }},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file ? r.file : r.popup.c_str());
        FileIO::cancel(d);
        app->popups.clear();
        useAssets(VORLIX_ASSET_DIR);
        for (int a = 0; a < 65536; ++a) m().ram[a] = u8(a * 5 + (a >> 8));
        m().bank = 0;
        m().setGfxMode(GfxMode::MulticolorBitmap);
        m().vic[MemoryPointers] = 0x14;
        if (r.setup) r.setup(*app);
        const Bytes want = r.want ? r.want(m()) : Bytes{};
        r.command(*app);
        ASSERT_EQ(d.open, r.chosen != nullptr);
        if (r.title) { EXPECT_EQ(d.title, r.title); }
        if (r.name) { EXPECT_STREQ(d.name, r.name); }
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
    // Instructions with single blanks, labels and all: the store must follow its load.
    const std::string code =
        commandOutput("da65 --start-addr 0x080D " + (root / "code.bin").string() + " 2>&1 | tr -s ' \\t\\n' ' ' | tr a-z A-Z");
    for (const char* want : {"LDA #$06 STA $D020", "LDA #$0E STA $D021", "LDA #$33 STA $D022", "LDA #$49 STA $D023"})
        EXPECT_NE(code.find(want), std::string::npos) << want;
}

TEST(FileIOPath, ExtensionAndBaseName) {
    // Extensions lower-cased, bytes above $7F kept as they are (no sign-extended lookup).
    const struct {
        const char *path, *extension, *base;
    } rows[] = {{"dir/PIC.KOA", "koa", "PIC.KOA"},   {"a.b/c", "", "c"},           {"a.b\\c", "", "c"},
                {"name.", "", "name."},              {".bashrc", "bashrc", ".bashrc"}, {"dir/.Prg", "prg", ".Prg"},
                {"noext", "", "noext"},              {"x.tar.GZ", "gz", "x.tar.GZ"}, {"bild.\xC4\xD6X", "\xC4\xD6x", "bild.\xC4\xD6X"},
                {"C:\\games\\disk.d64", "d64", "disk.d64"}, {"dir/", "", ""},    {"a\\b/c", "", "c"}};
    for (const auto& r : rows) {
        EXPECT_EQ(FileIO::extension(r.path), r.extension) << r.path;
        EXPECT_EQ(FileIO::baseName(r.path), r.base) << r.path;
    }
}

// Names in the listing's order: letters compared as lower case, other bytes unsigned, so names in UTF-8
// ("\xC3\x89" is É, "\xC3\xA9" é) follow every ASCII name; a name that begins another comes first.
TEST(FileIOPath, NameOrder) {
    const std::vector<std::string> order = {"",      "10.prg", "_x",     "a",           "ab",         "B.prg",
                                            "zebra", "z\x7F",  "\xC3\x89mile.prg", "\xC3\xA9.prg", "\xFF"};
    for (size_t i = 0; i < order.size(); ++i)
        for (size_t j = 0; j < order.size(); ++j)
            EXPECT_EQ(FileIO::nameBefore(order[i], order[j]), i < j) << i << " " << j;
    // Equal but for the case of a letter: neither comes first.
    EXPECT_FALSE(FileIO::nameBefore("B.PRG", "b.prg") || FileIO::nameBefore("b.prg", "B.PRG"));
}

TEST_F(AppTest, ListingSortsAndFilters) {
    for (const char* dir : {"b", "A", ".hiddendir"}) fs::create_directory(root / dir);
    for (const char* file : {"z.prg", "B.prg", "PIC.KOA", "pic.koa.bak", ".secret.koa", "ab", "a"}) writeText(root / file);
    fs::create_directory_symlink(root / "A", root / "linkdir");
    auto names = [&](const FileIO::Filter& filter) {
        std::string out;
        for (auto& e : FileIO::list(root.string(), filter)) out += (e.isDir ? "[" + e.name + "]" : e.name) + " ";
        return out;
    };
    EXPECT_EQ(names({"All files", {}}), "[A] [b] [config] [linkdir] a ab B.prg PIC.KOA pic.koa.bak z.prg ");
    EXPECT_EQ(names({"*.koa", {"koa"}}), "[A] [b] [config] [linkdir] PIC.KOA ");
    EXPECT_EQ(names({"Directories", {"\x01"}}), "[A] [b] [config] [linkdir] ");
    EXPECT_TRUE(FileIO::list((root / "missing").string(), {"All files", {}}).empty());
}

// The dialog lists a folder again only when it changed (its modification time), the filter or the request
// changed: an unchanged folder is read once however many frames show it.
TEST_F(AppTest, ListingIsReadAgainOnlyWhenTheFolderChanges) {
    writeText(root / "a.prg");
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    fs::last_write_time(root, old);
    FileIO::ListingCache cache;
    const FileIO::Filter& all = FileIO::allFiles;
    const FileIO::Filter prg{"*.prg", {"prg"}};
    auto show = [&](double now, const FileIO::Filter& filter, unsigned serial) {
        std::string out;
        for (auto& e : FileIO::cachedList(cache, root.string(), filter, serial, now)) out += e.name + " ";
        return out + std::to_string(cache.reads);
    };
    // Each step: a frame's time, what changed before it, and the listing with the count of reads so far.
    const struct {
        double now;
        std::function<void()> change;
        const FileIO::Filter* filter;
        unsigned serial;
        std::string want;
    } steps[] = {
        {0.0, [] {}, &all, 1, "config a.prg 1"},
        {0.5, [] {}, &all, 1, "config a.prg 1"},
        {30.0, [] {}, &all, 1, "config a.prg 1"},
        {31.0, [] {}, &prg, 1, "config a.prg 2"},
        {32.0, [] {}, &prg, 2, "config a.prg 3"},
        {33.0, [&] { writeText(root / "b.prg"); }, &prg, 2, "config a.prg b.prg 4"},
        {40.0, [&] { fs::last_write_time(root, old); }, &prg, 2, "config a.prg b.prg 5"},
        {90.0, [] {}, &prg, 2, "config a.prg b.prg 5"},
    };
    for (const auto& step : steps) {
        step.change();
        EXPECT_EQ(show(step.now, *step.filter, step.serial), step.want) << step.now;
    }
}

// Each request with a name typed in a directory and accepted, as "message|open or closed|what the callback got
// ("%" stands for root)|the file written, with its bytes|where the dialog is, or where the next one starts".
TEST_F(AppTest, Requests) {
    writeText(root / "data.prg", "prg");
    writeText(root / "disk.d64");
    writeText(root / "other.prg", "old");
    writeText(root / "sub" / ".hidden", "xy");
    fs::create_directory(root / "prgs");
    const std::string exists = "other.prg exists. Press Save again to overwrite.|open|||";
    const struct {
        const char* name;
        char kind;  // Open, open Path, Save, save Refused by its producer, choose Directory, open Followed by another,
                    // open Gradually (a piece at a time)
        const char *defaultName, *dir, *typed;
        std::string outcome;
    } rows[] = {
        {"open hands over name and bytes", 'O', "", "", "data.prg", "|closed|data.prg:prg||"},
        {"nothing typed", 'O', "", "", "", "|open|||"},
        {"missing file", 'O', "", "", "missing.prg", "Couldn't open file!|open|||"},
        {"open for reading hands over name and file", 'G', "", "", "data.prg", "|closed|data.prg:prg||"},
        {"missing file for reading", 'G', "", "", "missing.prg", "Couldn't open file!|open|||"},
        {"a typed directory is entered", 'O', "", "", "sub", "|open|||sub"},
        {"hidden files can be typed", 'O', "", "sub", ".hidden", "|closed|.hidden:xy||sub"},
        {"open path", 'P', "", "", "disk.d64", "|closed|%/disk.d64||"},
        {"open path of a missing file", 'P', "", "", "nothere.d64", "File not found|open|||"},
        {"choose directory", 'D', "", "prgs", "", "|closed|%/prgs||prgs"},
        {"save adds the extension", 'S', "picture.prg", "", "picture", "|closed|picture.prg|picture.prg:new|"},
        {"upper-case extension of the kind kept", 'S', "image.koa", "", "PIC.KOA", "|closed|PIC.KOA|PIC.KOA:new|"},
        {"another extension replaced; an existing file asks", 'S', "picture.prg", "", "other.png", exists},
        {"save into a missing directory", 'S', "a.prg", "nodir", "a.prg", "Couldn't open file for writing!|open|||nodir"},
        {"refused by the producer", 'R', "a.png", "", "a.png", "Couldn't encode it!|open|||"},
        {"a callback may start a new request", 'F', "", "", "data.prg", "|open|||"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::string got;
        auto onOpen = [&](const std::string& n, std::vector<uint8_t>& b) { got = n + ":" + std::string(b.begin(), b.end()); };
        auto onPath = [&](const std::string& p) { got = "%" + p.substr(std::min(p.size(), root.string().size())); };
        auto onSaved = [&](const std::string& n) { got = n; };
        auto produce = [](const std::string&) { return std::vector<uint8_t>{'n', 'e', 'w'}; };
        auto refuse = [&](const std::string&) {
            FileIO::refuseSave(d, "Couldn't encode it!");
            return std::vector<uint8_t>{};
        };
        if (r.kind == 'O') FileIO::open(d, "Load", {{"PRG", {"prg"}}}, onOpen);
        if (r.kind == 'G')
            FileIO::openReading(d, "Read", {}, [&](const std::string& n, std::unique_ptr<Platform::FileReading> f) {
                while (!Platform::readFilePiece(*f, 1)) {
                }
                got = n + ":" + std::string(f->bytes.begin(), f->bytes.end());
            });
        if (r.kind == 'P') FileIO::openPath(d, "Mount", {}, onPath);
        if (r.kind == 'D') FileIO::chooseDirectory(d, "Dir", onPath);
        if (r.kind == 'S') FileIO::saveWith(d, "Save", r.defaultName, produce, onSaved);
        if (r.kind == 'R') FileIO::saveWith(d, "Save", r.defaultName, refuse, onSaved);
        if (r.kind == 'F') FileIO::open(d, "First", {}, [&](const std::string&, std::vector<uint8_t>&) { FileIO::open(d, "Follow-up", {}, nullptr); });
        EXPECT_EQ(d.dir, FileIO::startDir(d));  // where the last one ended
        const auto before = files();
        const unsigned serial = d.serial;
        d.dir = (root / r.dir).string();
        type(r.typed);
        if (r.kind == 'D') FileIO::useThisDirectory(d);
        else FileIO::accept(d);
        std::string written;
        for (const std::string& f : files())
            if (!before.count(f)) written += f + ":" + readText(root / f);
        const fs::path at = (fs::path(d.open ? d.dir : FileIO::startDir(d)) / "").lexically_normal();
        EXPECT_EQ(d.error + (d.open ? "|open|" : "|closed|") + got + "|" + written + "|" +
                      at.lexically_relative(root).parent_path().string(), r.outcome);
        if (at != (root / r.dir / "").lexically_normal()) { EXPECT_STREQ(d.name, ""); }
        if (r.kind == 'F') { EXPECT_TRUE(d.title == "Follow-up" && d.serial != serial); }
        if (r.kind != 'R') continue;
        // A later producer that succeeds is not refused by the earlier text.
        d.producer = produce;
        FileIO::accept(d);
        EXPECT_EQ(readText(root / "a.png"), "new");
    }
}

// The first Save on an existing file arms the overwrite; an edit of the name, picking a file, entering or leaving
// a directory disarms it, and armed for one path it never overwrites another. The default name gives the save its
// extension and its filter; a long one is cut to fit.
TEST_F(AppTest, Overwrite) {
    fs::create_directories(root / "sub" / "deeper");
    writeText(root / "x.prg", "old");
    writeText(root / "sub" / "x.prg", "old");
    const std::pair<void (*)(FileIO::Dialog&), fs::path> actions[] = {
        {FileIO::nameEdited, root / "sub"},
        {[](FileIO::Dialog& d) { FileIO::pickFile(d, "x.prg"); }, root / "sub"},
        {[](FileIO::Dialog& d) { FileIO::enterDir(d, "deeper"); }, root / "sub" / "deeper"},
        {FileIO::goUp, root}};
    for (const auto& [action, dir] : actions) {
        FileIO::save(d, "Save", "x.prg", {'n', 'e', 'w'}, nullptr);
        EXPECT_EQ(d.producer("x"), d.producer("y"));  // the bytes are held for every call
        EXPECT_EQ(d.filters[0].name + d.filters[0].extensions[0] + d.defaultExt, "*.prgprgprg");
        d.dir = (root / "sub").string();
        FileIO::accept(d);
        EXPECT_EQ(d.error, "x.prg exists. Press Save again to overwrite.");
        action(d);
        EXPECT_FALSE(d.overwriteArmed);
        EXPECT_EQ(fs::path(d.dir), dir);
    }
    FileIO::accept(d);  // another file: a new warning, nothing written
    d.dir = (root / "sub").string();
    FileIO::accept(d);
    EXPECT_EQ(readText(root / "sub" / "x.prg") + readText(root / "x.prg"), "oldold");
    FileIO::accept(d);
    EXPECT_EQ(readText(root / "sub" / "x.prg") + readText(root / "x.prg"), "newold");
    EXPECT_FALSE(d.open);
    FileIO::save(d, "Save", std::string(700, 'x'), {}, nullptr);
    EXPECT_EQ(d.name + d.defaultExt, std::string(511, 'x'));
    EXPECT_EQ(d.filters.size(), 1u);
    // A new request drops the old one's callback.
    bool firstCalled = false;
    FileIO::open(d, "First", {}, [&](const std::string&, std::vector<uint8_t>&) { firstCalled = true; });
    FileIO::open(d, "Second", {}, nullptr);
    d.dir = root.string();
    type("x.prg");
    FileIO::accept(d);
    EXPECT_FALSE(firstCalled);
    d.dir = "/tmp/";
    FileIO::goUp(d);
    FileIO::goUp(d);  // no further than the root
    EXPECT_EQ(d.dir, "/");
}

// Where the platform finds its assets and keeps its settings; "%" stands for a fresh directory, which is also
// the working directory while the platform looks. Assets: the variable wins; then base/assets, then
// base/../share/vorlix/assets (a missing separator added); an empty variable is skipped, never taken for the working
// directory. Settings: APPDATA, then XDG_CONFIG_HOME, then HOME/.config; the directory is made.
TEST_F(AppTest, PlatformDirectories) {
    auto expand = [](const char* s, const fs::path& t) {
        std::string out = s ? s : "";
        if (const size_t at = out.find('%'); at != std::string::npos) out.replace(at, 1, t.string());
        return out;
    };
    const struct {
        std::vector<const char*> files;
        const char *variable, *base, *assets, *appData, *xdg, *home, *config;
    } rows[] = {
        {{"env/C64Chars.bin", "base/assets/C64Chars.bin"}, "%/env", "%/base/", "%/env", "%/appdata", "%/xdg", "%",
         "%/appdata/Vorlix"},
        {{"share/vorlix/assets/C64Chars.bin", "bin/program"}, "%/nothing", "%/bin/", "%/bin/../share/vorlix/assets", "",
         "%/xdg", "%", "%/xdg/vorlix"},
        {{"share/vorlix/assets/C64Chars.bin", "bin/assets/C64Chars.bin"}, "%/nothing", "%/bin", "%/bin/assets", "",
         nullptr, "%", "%/.config/vorlix"},
        {{"C64Chars.bin"}, "", "%/nowhere/", "assets", "", nullptr, nullptr, "."},
    };
    const fs::path cwd = fs::current_path();
    const std::string home = getenv("HOME") ? getenv("HOME") : "/";
    for (const auto& r : rows) {
        SCOPED_TRACE(r.assets);
        TempDir t;
        for (const char* f : r.files) writeText(t.path / f);
        setenv("VORLIX_ASSETS", expand(r.variable, t.path).c_str(), 1);
        setenv("APPDATA", expand(r.appData, t.path).c_str(), 1);
        r.xdg ? setenv("XDG_CONFIG_HOME", expand(r.xdg, t.path).c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
        r.home ? setenv("HOME", expand(r.home, t.path).c_str(), 1) : unsetenv("HOME");
        fs::current_path(t.path);
        Platform::initWithBasePath(expand(r.base, t.path));
        const bool made = fs::is_directory(Platform::configDir());
        fs::current_path(cwd);
        EXPECT_EQ(Platform::assetDir(), expand(r.assets, t.path));
        EXPECT_EQ(Platform::configDir(), expand(r.config, t.path));
        EXPECT_TRUE(made);
    }
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
}

// A FIFO and an oversized file fail at once, buffer untouched, and are not opened for reading in pieces; missing files, directories and empty files are
// the load outcomes' rows.
TEST_F(AppTest, ReadFileRefusals) {
    ASSERT_EQ(mkfifo((root / "fifo").c_str(), 0600), 0);
    std::ofstream(root / "big", std::ios::binary).seekp(Platform::kMaxFileSize).put('x');
    for (const char* name : {"fifo", "big"}) {
        Bytes b{7};
        EXPECT_TRUE(!Platform::readFile((root / name).string(), b) && b == Bytes{7}) << name;
        EXPECT_FALSE(Platform::startFileReading((root / name).string())) << name;
    }
}

// Saves as a user without root (when started as root, so that permissions count) and counts what went wrong: the
// bytes and mode each file ends with, written through a link; a failed save keeps the old file and leaves no
// temporary behind, and a stranger's file named like a temporary stays.
int writeAsStranger(const fs::path& dir) {
    if (getuid() == 0 && (chown(dir.c_str(), 65534, 65534) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
        return 99;
    umask(022);
    for (const char* sub : {"sub", "adir", "locked"}) fs::create_directory(dir / sub);
    writeText(dir / "new.bin.vorlix-tmp", "mine");
    writeText(dir / "locked" / "kept.bin", "old");
    chmod((dir / "locked").c_str(), 0555);
    signal(SIGXFSZ, SIG_IGN);
    // Mode before (0: not made here) and after (0: absent); the last is cut short by the file-size limit.
    const struct { const char *name, *real; unsigned mode, after; size_t size; bool writes; const char* old; } rows[] = {
        {"private.bin", "private.bin", 0600, 0600, 3, true, ""},     {"readonly.bin", "readonly.bin", 0444, 0444, 3, false, "old"},
        {"link.bin", "sub/real.bin", 0640, 0640, 3, true, ""},       {"new.bin", "new.bin", 0, 0644, 3, true, ""},
        {"empty.bin", "empty.bin", 0644, 0644, 0, true, ""},         {"no/such/dir.bin", "no/such/dir.bin", 0, 0, 3, false, ""},
        {"adir", "adir", 0, 0755, 3, false, ""},                     {"locked/kept.bin", "locked/kept.bin", 0, 0644, 3, false, "old"},
        {"big.bin", "big.bin", 0644, 0644, 100000, false, "old"},
    };
    int failures = 0;
    for (const auto& r : rows) {
        if (r.mode) {
            writeText(dir / r.real, "old");
            chmod((dir / r.real).c_str(), r.mode);
        }
        if (r.name != std::string(r.real)) fs::create_symlink(r.real, dir / r.name);
        if (r.size > 4096) {
            const struct rlimit small{4096, 4096};
            setrlimit(RLIMIT_FSIZE, &small);
        }
        const bool wrote = Platform::writeFile((dir / r.name).string(), Bytes(r.size, 'n'));
        struct stat st {};
        stat((dir / r.real).c_str(), &st);
        const std::string now = fs::is_directory(dir / r.real) ? "" : readText(dir / r.real);
        failures += wrote != r.writes || now != (r.writes ? std::string(r.size, 'n') : r.old) ||
                    (st.st_mode & 07777) != r.after || (r.name != std::string(r.real) && !fs::is_symlink(dir / r.name));
    }
    int entries = 0;
    for (auto& e : fs::recursive_directory_iterator(dir)) entries += !e.is_directory();
    return failures + (entries != 9) + (readText(dir / "new.bin.vorlix-tmp") != "mine");
}

// Host saves and directory-drive saves that fail, or are killed, at any write, sync or rename leave the old file
// (or none) and never part of the new one; the next save of the file clears the killed ones' temporaries, but not
// one still being written.
TEST(Platform, FailedAndKilledWritesLeaveNoPartialFile) {
    TempDir t;
    const std::string longKoa = std::string(251, 'k') + ".koa", longName(251, 'L');
    DiskDrive drive;
    ASSERT_TRUE(drive.mountDirectory(t.path.string()));
    const Bytes old(3, 'o'), bytes(5000, 'n');
    const long long steps = 5000 + 3;  // the bytes, a sync, the rename (or link), the directory's sync
    // Each kind: the file, its old contents (empty: none) and the save.
    const std::tuple<std::string, Bytes, std::function<bool()>> kinds[] = {
        {"pic.koa", old, [&] { return Platform::writeFile((t.path / "pic.koa").string(), bytes); }},
        {"NAME.prg", {}, [&] { return drive.writeFile("NAME", bytes); }},
        {"OLD.prg", old, [&] { return drive.writeFile("@:OLD", bytes); }},
        // Names so long that the temporary's name must be shorter than ".NAME.XXXXXX".
        {longKoa, old, [&] { return Platform::writeFile((t.path / longKoa).string(), bytes); }},
        {longName + ".prg", {}, [&] { return drive.writeFile(longName, bytes); }},
    };
    for (const auto& [file, before, save] : kinds)
        for (long long at : {0LL, 1LL, 4096LL, steps - 3, steps - 2, steps - 1, steps})
            for (bool kill : {false, true}) {
                SCOPED_TRACE(std::string(file) + " " + std::to_string(at) + (kill ? " killed" : " failed"));
                fs::remove(t.path / file);
                if (!before.empty()) writeBytes(t.path / file, before);
                const bool ok = underFault(at, kill, save);
                EXPECT_EQ(ok, at >= steps - (kill ? 0 : 1));  // killed at the last sync, with the file in place
                EXPECT_EQ(readBytes(t.path / file), at >= steps - 1 ? bytes : before);
            }
    // A temporary another save holds locked stays; the killed ones go.
    const fs::path busy = t.path / ".pic.koa.Busy01";
    writeText(busy);
    const int fd = open(busy.c_str(), O_RDONLY);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    ASSERT_TRUE(Platform::writeFile((t.path / "pic.koa").string(), bytes));
    ASSERT_TRUE(drive.writeFile("NEXT", bytes));
    ASSERT_TRUE(Platform::writeFile((t.path / longKoa).string(), bytes));
    ASSERT_TRUE(drive.writeFile("@:" + longName, bytes));
    close(fd);
    std::set<std::string> left;
    for (auto& e : fs::directory_iterator(t.path)) left.insert(e.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{".pic.koa.Busy01", "pic.koa", "NAME.prg", "NEXT.prg", "OLD.prg", longKoa,
                                           longName + ".prg"}));
}

TEST(Platform, WriteFile) {
    TempDir t;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(writeAsStranger(t.path)), testing::ExitedWithCode(0), "");
}

// $C000: fills $0500-$05FF with 2, then an RTS from the top stops the run.
void loadFillProgram(App& a) {
    const u8 code[] = {0xA9, 0x02, 0xA2, 0x00, 0x9D, 0x00, 0x05, 0xE8, 0xD0, 0xFA, 0x60};
    std::copy(std::begin(code), std::end(code), a.machine.ram + 0xC000);
    a.cpu.pc = 0xC000;
}

void runToEnd(App& a) {
    CpuActions::run(a);
    for (int frame = 0; a.cpuRunning && frame < 100; ++frame) CpuActions::runFrame(a);
    ASSERT_FALSE(a.cpuRunning);
}

// A write while a copied block floats over the text screen, with an undo step or in a run started before
// the paste: moving the pointer afterwards must not put back the bytes the paste was shown over.
TEST_F(AppTest, WritesSettleAFloatingPaste) {
    // $C000: INC $0500, JMP $C000; the run's first step counts once, a frame's slice 2500 times more.
    auto endless = [](App& a) {
        const u8 code[] = {0xEE, 0x00, 0x05, 0x4C, 0x00, 0xC0};
        std::copy(std::begin(code), std::end(code), a.machine.ram + 0xC000);
        a.cpu.pc = 0xC000;
        CpuActions::run(a);
    };
    const struct {
        const char* name;
        void (*write)(App&);
        Bytes at0500;
        const char* undoName;
        void (*before)(App&) = nullptr;
    } rows[] = {
        {"a run going on", [](App& a) { CpuActions::runFrame(a); }, {u8(0x20 + 1 + 2500)}, "textmode paste block", endless},
        {"monitor fill", [](App& a) { a.monitor.clear(), a.monitor.print(".F 0500 0600 02"), a.monitor.enter(); },
         Bytes(256, 2), "monitor fill"},
        {"processor step", [](App& a) { loadFillProgram(a), CpuActions::step(a), CpuActions::step(a), CpuActions::step(a); },
         {2}, "cpu step"},
        {"processor run", [](App& a) { loadFillProgram(a), runToEnd(a); }, Bytes(256, 2), "cpu run"},
        {"compile", [](App& a) { a.asmSource = "*=$0500\n        LDA #$02\n", CpuActions::compile(a); }, {0xA9, 2},
         "assemble"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        app = makeApp();
        Editor& ed = app->editor;
        std::memset(m().ram + 0x0400, 0x20, 1000);
        m().ram[0x0400] = 1;
        ed.hasSelection = true;
        ed.selX0 = ed.selY0 = ed.selX1 = ed.selY1 = 0;
        if (row.before) row.before(*app);
        ASSERT_TRUE(ed.copyBlock() && ed.startPaste());
        row.write(*app);
        ed.mouseMove(30 * 8, 20 * 8);
        EXPECT_EQ(Bytes(m().ram + 0x0500, m().ram + 0x0500 + row.at0500.size()), row.at0500);
        EXPECT_EQ(app->undoBuffer.undoName(), row.undoName);
        EXPECT_FALSE(ed.pasting);
    }
}

// The font import writes into a character set inside the hires bitmap ($D018 = $1C: the set at $3000) while a
// copied block floats over the bitmap: moving the pointer afterwards must not put back the glyphs the paste was
// shown over, neither after a new size nor after Cancel.
TEST_F(AppTest, FontImportSettlesAFloatingPaste) {
    const struct {
        const char* name;
        bool pasteBeforeResize, keep;
    } rows[] = {
        {"size 14 rendered over the paste, then OK", true, true},
        {"Cancel while the paste floats", false, false},
    };
    const Bytes font = readBytes(std::string(VORLIX_ASSET_DIR) + "/fonts/LiberationSans-Regular.ttf");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        app = makeApp();
        Editor& ed = app->editor;
        ImportFontState& s = app->ui.importFont;
        m().setGfxMode(GfxMode::Bitmap);
        m().vic[MemoryPointers] = 0x1C;
        const u8* set = m().ram + 0x3000;
        const Bytes before(set, set + 2048);
        ASSERT_TRUE(beginFontImport(*app, s) && loadFont(s, "sans", font));
        renderFontImport(*app, s);
        const Bytes size8(set, set + 2048);
        ed.hasSelection = true;
        ed.selX0 = ed.selY0 = ed.selX1 = ed.selY1 = 0;
        ASSERT_TRUE(ed.copyBlock());
        if (row.pasteBeforeResize) {
            ASSERT_TRUE(ed.startPaste());
        }
        s.size = 14, s.dirty = true;
        renderFontImport(*app, s);
        const Bytes size14(set, set + 2048);
        if (!row.pasteBeforeResize) {
            ASSERT_TRUE(ed.startPaste());
        }
        endFontImport(*app, s, row.keep);
        ed.mouseMove(30 * 8, 20 * 8);
        EXPECT_NE(size14, size8);
        EXPECT_EQ(Bytes(set, set + 2048), row.keep ? size14 : before);
        EXPECT_FALSE(ed.pasting);
    }
}

// Stepping, running and compiling each take one step that gives back the memory before them: a picture at
// the compile's target address comes back whole. Run in processor follows a compile that succeeded only.
TEST_F(AppTest, ProcessorAndCompileUndo) {
    const struct {
        const char* name;
        void (*act)(App&);
        const char* undoName;
        size_t steps;
        int start = 0;  // the compile's code start, -1 failed; 0: no compile
    } rows[] = {
        {"three steps undo as one", [](App& a) { CpuActions::step(a), CpuActions::step(a), CpuActions::step(a); },
         "cpu step", 1},
        {"another step between steps",
         [](App& a) { CpuActions::step(a), a.undoBuffer.TakeUndoRange(0, 1, "edit"), CpuActions::step(a), CpuActions::step(a); },
         "cpu step", 3},
        {"run", [](App& a) { runToEnd(a); }, "cpu run", 1},
        {"compile over a picture", [](App& a) { a.asmSource = "*=$2000\nloop    INX\n        BNE loop\n"; }, "assemble", 1,
         0x2000},
        {"failed compile", [](App& a) { a.asmSource = "*=$2000\n        INX\n        LDA #256\n"; }, "assemble", 1, -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        app = makeApp();
        m().setGfxMode(GfxMode::Bitmap);
        for (int i = 0; i < 8000; ++i) m().ram[0x2000 + i] = u8(i * 13 + 5);  // the picture
        loadFillProgram(*app);
        const Bytes before(m().ram, m().ram + 0x10000);
        row.act(*app);
        CpuActions::Compiled c;
        if (row.start) c = CpuActions::compile(*app);
        EXPECT_EQ(c.start, row.start ? row.start : -1);
        EXPECT_EQ(Bytes(m().ram, m().ram + 0x10000) != before, row.start >= 0);
        EXPECT_EQ(std::pair(app->undoBuffer.undoName(), app->undoBuffer.undo.size()), std::pair(std::string(row.undoName), row.steps));
        while (!app->undoBuffer.undo.empty()) app->editor.undoLast();
        EXPECT_EQ(Bytes(m().ram, m().ram + 0x10000), before);
        if (!row.start) continue;
        CpuActions::runCompiled(*app, c.start);
        EXPECT_EQ(std::pair(int(app->cpu.pc), app->showProcessor), std::pair(c.start < 0 ? 0xC000 : c.start, c.start >= 0));
    }
}

// Clicks in the character set window and palette picks in the character editor. The ROM pattern of code 1
// is typed into hires cell (0, 0), though the VIC's set lies in the bitmap at $3000.
TEST_F(AppTest, CharacterWindowCommands) {
    auto hires = [](App& a) {
        a.machine.setGfxMode(GfxMode::Bitmap), a.machine.vic[MemoryPointers] = 0x1C;
        a.editor.cursorCol = a.editor.cursorRow = 0;
    };
    auto multi = [](App& a) { a.machine.setGfxMode(GfxMode::MulticolorBitmap), a.machine.vic[Background0] = 1; };
    const std::string refused = "Information|Foreground color can only be 0-7 in multicolor, sorry!";
    const struct {
        const char* name;
        void (*setup)(App&);
        std::function<void(App&)> act;
        std::array<int, 5> want;  // pen, $D021, $D022, $D023, the editor's character
        std::string popup;        // "title|text"
        const char* undoName;
        size_t steps;
    } rows[] = {
        {"the text tool types", hires, [](App& a) { CharsetActions::clickChar(a, 1); }, {5, 6, 1, 2, 0}, "", "hires text", 1},
        {"the open character editor takes the code", hires,
         [](App& a) { a.showCharEditor = true, CharsetActions::clickChar(a, 0x141); }, {5, 6, 1, 2, 0x41}, "", "", 0},
        {"another tool does nothing", hires, [](App& a) { a.editor.tool = Editor::ToolFill, CharsetActions::clickChar(a, 1); },
         {5, 6, 1, 2, 0}, "", "", 0},
        {"pen 3 in multicolour refuses colour 12", multi, [](App& a) { CharsetActions::pickColour(a, 12, false); },
         {5, 1, 1, 2, 0}, refused, "", 0},
        {"pen 3 in multicolour takes colour 7", multi, [](App& a) { CharsetActions::pickColour(a, 7, false); },
         {7, 1, 1, 2, 0}, "", "", 0},
        {"pen 1 in multicolour takes colour 12", multi, [](App& a) { a.charPen = 1, CharsetActions::pickColour(a, 12, false); },
         {5, 1, 12, 2, 0}, "", "char color", 1},
        {"pen 2 in multicolour takes colour 12", multi, [](App& a) { a.charPen = 2, CharsetActions::pickColour(a, 12, false); },
         {5, 1, 1, 12, 0}, "", "char color", 1},
        {"hires takes colour 12", hires, [](App& a) { CharsetActions::pickColour(a, 12, false); }, {12, 6, 1, 2, 0}, "", "", 0},
        {"the right button sets the background", multi, [](App& a) { CharsetActions::pickColour(a, 12, true); },
         {5, 12, 1, 2, 0}, "", "background color", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        app = makeApp();
        m().pen = 5;
        m().vic[Background0] = 6;
        m().vic[Background1] = 1;
        m().vic[Background2] = 2;
        app->editor.tool = Editor::ToolText;
        row.setup(*app);
        const Bytes before(m().ram, m().ram + 0x10000);
        row.act(*app);
        Machine& mm = m();
        EXPECT_EQ((std::array{int(mm.pen), mm.vic[Background0] & 15, mm.vic[Background1] & 15, mm.vic[Background2] & 15,
                              app->charEditorChar}),
                  row.want);
        EXPECT_EQ(app->popups.empty() ? "" : lastPopup().title + "|" + lastPopup().text, row.popup);
        EXPECT_EQ(std::pair(app->undoBuffer.undoName(), app->undoBuffer.undo.size()), std::pair(std::string(row.undoName), row.steps));
        Bytes want = before;
        if (row.steps && std::string(row.undoName) == "hires text") {
            std::copy_n(mm.charRom + 8, 8, want.begin() + 0x2000);
            want[0x0400] = 0x56;
        }
        EXPECT_EQ(Bytes(mm.ram, mm.ram + 0x10000), want);
    }
}

// The assembler window's watch on its source: what each change tells it, once the editor has shown the text.
// It never reads the text, so an unchanged source costs no copy or compare, however long.
TEST_F(AppTest, SourceWatchSeesChangesWithoutReadingTheText) {
    std::string& src = app->asmSource;
    SourceWatch& watch = app->ui.assembler.watch;
    EXPECT_TRUE(watch.changedSinceShown(src)) << "never shown";
    const std::string sameLength(src.size(), ';');
    writeText(root / "same.s", sameLength);
    const std::pair<const char*, std::function<void()>> kSteps[] = {
        {"nothing", [] {}},
        {"a byte changed in place, unannounced (the watch does not look)", [&] { src[0] = ' '; }},
        {"a byte changed in place and announced", [&] { src[0] = ';', watch.replaced(); }},
        {"a longer text", [&] { src += ';'; }},
        {"a shorter text", [&] { src.pop_back(); }},
        {"a dropped source of the same length", [&] { Actions::openDropped(*app, (root / "same.s").string()); }},
        {"the same text again, dropped", [&] { Actions::openDropped(*app, (root / "same.s").string()); }},
        {"the text moved", [&] { std::string moved = src; moved.reserve(src.capacity() * 2 + 64); src.swap(moved); }},
    };
    std::string seen;
    for (const auto& [what, step] : kSteps) {
        watch.shown(src);
        step();
        seen += std::string(what) + (watch.changedSinceShown(src) ? ": changed\n" : ": unchanged\n");
    }
    EXPECT_EQ(seen, "nothing: unchanged\n"
                    "a byte changed in place, unannounced (the watch does not look): unchanged\n"
                    "a byte changed in place and announced: changed\n"
                    "a longer text: changed\n"
                    "a shorter text: changed\n"
                    "a dropped source of the same length: changed\n"
                    "the same text again, dropped: changed\n"
                    "the text moved: changed\n");
    EXPECT_EQ(src, sameLength);
}

// A slice ends at its budget, at a stop or on a breakpoint, tested after each step: $C000 holds five NOPs, then
// an RTS with nothing to return to.
TEST(CpuRunSlice, BudgetStopAndBreakpoints) {
    const struct {
        const char* name;
        int budget;
        std::set<u16> breakpoints;
        bool ended, stopped;
        u16 pc;
    } rows[] = {
        {"budget", 3, {}, false, false, 0xC003},
        {"stop", 100, {}, true, true, 0xC005},
        {"breakpoint", 100, {0xC002, 0xC004}, true, false, 0xC002},
        {"one on the start is left", 100, {0xC000}, true, true, 0xC005},
        {"nothing to do", 0, {0xC000}, false, false, 0xC000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto mm = std::make_unique<Machine>();
        CPU6502 cpu{*mm};
        std::memset(mm->ram + 0xC000, 0xEA, 5);
        mm->ram[0xC005] = 0x60;
        cpu.breakpoints = row.breakpoints;
        EXPECT_EQ(RunSlice(cpu, row.budget), row.ended);
        EXPECT_EQ(std::pair(cpu.pc, cpu.stopped), std::pair(row.pc, row.stopped));
    }
}

}  // namespace
