#include <gtest/gtest.h>
#include <stb/stb_image.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/App.h"
#include "core/Vic.h"
#include "disk/DiskActions.h"
#include "formats/FileActions.h"
#include "formats/FileFormats.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"

namespace fs = std::filesystem;

namespace {

class FileActionsTest : public testing::Test {
protected:
    fs::path root, config;
    std::unique_ptr<App> app;

    void SetUp() override {
        char tmpl[] = "/tmp/vorlix-actions-XXXXXX";
        root = mkdtemp(tmpl);
        config = root / "config";
        fs::create_directories(config);
        setenv("APPDATA", config.c_str(), 1);
        useAssets(VORLIX_ASSET_DIR);
        app = std::make_unique<App>();
    }
    void TearDown() override {
        FileIO::cancel();
        app.reset();
        unsetenv("APPDATA");
        unsetenv("VORLIX_ASSETS");
        Platform::initWithBasePath("");
        fs::remove_all(root);
    }
    void useAssets(const std::string& dir) {
        setenv("VORLIX_ASSETS", dir.c_str(), 1);
        Platform::initWithBasePath("");
    }
    fs::path write(const std::string& name, const Bytes& bytes) {
        fs::path p = root / name;
        std::ofstream f(p, std::ios::binary);
        f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return p;
    }
    Bytes read(const fs::path& p) {
        std::ifstream f(p, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
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
    size_t popupCount() const { return app->popups.size(); }
    const App::Popup& lastPopup() const { return app->popups.back(); }
    std::vector<u8> snapshot() {
        std::vector<u8> s(m().ram, m().ram + 65536);
        s.insert(s.end(), m().vic, m().vic + 47);
        s.push_back(u8(m().bank));
        return s;
    }
    void fillPattern() {
        for (int a = 0; a < 65536; ++a) m().ram[a] = u8(a * 5 + (a >> 8));
    }
};

Bytes prgOf(const Machine& m, int addr, int n) {
    Bytes b{u8(addr), u8(addr >> 8)};
    b.insert(b.end(), m.ram + addr, m.ram + addr + n);
    return b;
}

// Each load command through its dialog: the message (none: silent), the undo step, what memory holds.
TEST_F(FileActionsTest, LoadCommands) {
    Bytes koala(10003), doodle(9026), two(128);
    for (size_t i = 0; i < koala.size(); ++i) koala[i] = u8(i * 3);
    for (size_t i = 0; i < doodle.size(); ++i) doodle[i] = u8(i * 7);
    for (size_t i = 0; i < two.size(); ++i) two[i] = u8(i + 1);
    auto holds = [](const Machine& m, int addr, const u8* bytes, size_t n) { return std::memcmp(m.ram + addr, bytes, n) == 0; };
    auto anyImage = [](App& a) { Actions::loadImageFormat(a, -1); };
    auto ramCharset = [](App& a) { a.machine.vic[0x18] = 0x1C; };
    const struct {
        std::function<void(App&)> command;
        const char *title, *file;
        Bytes bytes;
        const char *popupTitle, *popupText, *undoName;
        std::function<bool(App&)> check;
        std::function<void(App&)> setup = nullptr;
    } rows[] = {
        {Actions::loadMemory, "Load memory", "code.prg", {0x00, 0xC0, 0xEA}, "Success!", "$0001 bytes read from $C000 to $C001",
         "load memory", [](App& a) { return a.machine.ram[0xC000] == 0xEA; }},
        {Actions::loadMemory, "Load memory", "tiny.prg", {0x07}, "Success!", "$0000 bytes read from $0000 to $0000", nullptr, nullptr},
        {anyImage, nullptr, "pic.xyz", Bytes(100, 1), "Error", "Couldn't determine file format!", "", nullptr},
        // A file too short still switches the mode, so the step stays.
        {anyImage, nullptr, "a.hir", {1, 2}, "Error", "Couldn't load the file!", "load image", [](App& a) { return a.machine.gfxMode() == 3; }},
        {Actions::loadKoala, "Load Koala image", "bad.koa", {1, 2}, nullptr, nullptr, "load image", nullptr},
        {Actions::loadRaw, "Load RAW image", "row.raw", Bytes(320, 1), nullptr, nullptr, "load image", [](App& a) {
             const Machine& m = a.machine;
             return m.ram[m.bitmapAddr()] == 0xFF && m.ram[m.bitmapAddr() + 39 * 8] == 0xFF && m.ram[m.bitmapAddr() + 1] == 0;
         }},
        {anyImage, nullptr, "PIC.KOA", koala, nullptr, nullptr, "load image", [&](App& a) {
             const Machine& m = a.machine;
             return m.gfxMode() == 4 && holds(m, m.bitmapAddr(), koala.data() + 2, 8000) && m.vic[0x21] == koala[10002];
         }},
        // A chosen format wins over the extension.
        {[](App& a) { Actions::loadImageFormat(a, 8); }, nullptr, "pic.koa", doodle, nullptr, nullptr, "load image", [&](App& a) {
             const Machine& m = a.machine;
             return m.gfxMode() == 3 && holds(m, m.screenAddr(), doodle.data() + 2, 1000) && holds(m, m.bitmapAddr(), doodle.data() + 1026, 8000);
         }},
        // Raw sprites go to the editor's block; a PRG selects its own block when it lies in the VIC bank.
        {Actions::loadSprites, nullptr, "s.bin", two, "Load sprites", "2 sprites loaded to $0340 (sprite $0D)", "load sprites",
         [&](App& a) { return holds(a.machine, 0x0340, two.data(), 128) && a.machine.ram[0x03C0] != two[0]; }},
        {Actions::loadSprites, nullptr, "one.spr", Bytes(64, 9), "Load sprites", "1 sprite loaded to $0340 (sprite $0D)", nullptr, nullptr},
        {Actions::loadSprites, nullptr, "none.raw", {}, "Load sprites", "0 sprites loaded to $0340 (sprite $0D)", nullptr, nullptr},
        {Actions::loadSprites, nullptr, "big.bin", Bytes(200, 3), "Load sprites", "1 sprite loaded to $FFC0 (sprite $FF)", "load sprites",
         [](App& a) { return a.machine.ram[0xFFFF] == 3; }, [](App& a) { a.machine.bank = 3, a.spriteBlock = 0xFF; }},
        {Actions::loadSprites, nullptr, "o.prg", {0x00, 0x50, 1, 2, 3}, "Load sprites",
         "$0003 bytes read from $5000 to $5003\n(outside the current VIC bank)", "load sprites", [](App& a) { return a.spriteBlock == 13; }},
        {Actions::loadSprites, nullptr, "s.prg", [] { Bytes b(66, 0x11); b[0] = 0, b[1] = 0x20; return b; }(), "Load sprites",
         "$0040 bytes read from $2000 to $2040\n(sprite $80 - $80)", "load sprites", [](App& a) { return a.spriteBlock == 0x80; }},
        // $D018 = $14 in bank 0 shows the ROM set.
        {Actions::loadCharset, nullptr, "rom.bin", Bytes(4096, 0x5A), "Load charset",
         "The current charset is ROM. Select a RAM charset bank first.", "", nullptr},
        {Actions::loadCharset, nullptr, "c.bin", Bytes(4096, 0x5A), nullptr, nullptr, "load charset",
         [](App& a) { return a.machine.ram[0x3000] == 0x5A && a.machine.ram[0x37FF] == 0x5A && a.machine.ram[0x3800] != 0x5A; }, ramCharset},
        {Actions::loadCharset, nullptr, "c.64c", {0x00, 0x28, 1, 2, 3, 4}, "Load charset", "$0004 bytes read from $2800 to $2804",
         "load charset", [](App& a) { return a.machine.ram[0x2803] == 4 && a.machine.vic[0x18] == 0x1C; }, ramCharset},
    };
    for (const auto& r : rows) {
        app->popups.clear();
        app->undoBuffer.Clear();
        app->spriteBlock = 13;
        m().bank = 0;
        m().vic[0x18] = 0x14;
        if (r.setup) r.setup(*app);
        write(r.file, r.bytes);
        const auto before = snapshot();
        r.command(*app);
        if (r.title) { EXPECT_EQ(FileIO::dialog().title, r.title); }
        choose(r.file);
        EXPECT_EQ(popupCount(), r.popupTitle ? 1u : 0u) << r.file;
        if (r.popupTitle && popupCount()) {
            EXPECT_EQ(lastPopup().title, r.popupTitle) << r.file;
            EXPECT_EQ(lastPopup().text, r.popupText) << r.file;
        }
        if (r.undoName) { EXPECT_EQ(app->undoBuffer.undoName(), r.undoName) << r.file; }
        if (r.undoName && !*r.undoName) { EXPECT_EQ(snapshot(), before) << r.file; }
        if (r.check) { EXPECT_TRUE(r.check(*app)) << r.file; }
        if (r.undoName && *r.undoName) {
            app->undoBuffer.MakeUndo();
            EXPECT_EQ(snapshot(), before) << r.file;
        }
    }
}

// Each save command: the dialog, the bytes written; sprites and charsets are taken when the command runs.
TEST_F(FileActionsTest, SaveCommands) {
    Actions::saveSprites(*app, 5, 4, true);
    EXPECT_FALSE(FileIO::dialog().open);
    const struct {
        std::function<void(App&)> command;
        const char *title, *name, *chosen, *file;
        std::function<Bytes(const Machine&)> want;
        bool early;
    } rows[] = {
        {[](App& a) { Actions::saveArea(a, 0xFFF8, 16, "area.prg"); }, "Save memory area", "area.prg", "area.prg", "area.prg",
         [](const Machine& m) { return prgOf(m, 0xFFF8, 8); }, false},
        {Actions::saveKoala, "Save Koala image", "image.koa", "image.koa", "image.koa", FileFormats::saveKoala, false},
        {Actions::saveDoodle, "Save Doodle image", "image.dd", "image.dd", "image.dd", FileFormats::saveDoodle, false},
        // Only the low 8 bits of a sprite number count.
        {[](App& a) { Actions::saveSprites(a, 0x102, 0x103, false); }, "Save sprites", "sprites.bin", "sprites.bin", "sprites.bin",
         [](const Machine& m) { return Bytes(m.ram + 0x80, m.ram + 0x100); }, true},
        {[](App& a) { Actions::saveSprites(a, 2, 3, true); }, "Save memory area", nullptr, "sprites.prg", "sprites.prg",
         [](const Machine& m) { return prgOf(m, 0x80, 128); }, false},
        // ROM is shown at $1000, RAM is saved.
        {[](App& a) { Actions::saveCharset(a, false); }, "Save charset", nullptr, "charset.bin", "charset.bin",
         [](const Machine& m) { return Bytes(m.ram + 0x1000, m.ram + 0x1800); }, true},
        {[](App& a) { Actions::saveCharset(a, true); }, nullptr, "charset.prg", "charset.prg", "charset.prg",
         [](const Machine& m) { return prgOf(m, 0x1000, 2048); }, false},
        {Actions::saveProject, nullptr, "project.vpr", "mine", "mine.vpr", [](const Machine& m) { return m.saveProject(); }, false},
    };
    for (const auto& r : rows) {
        fillPattern();
        m().setGfxMode(4);
        m().vic[0x18] = 0x14;
        const Bytes want = r.want(m());
        r.command(*app);
        if (r.title) { EXPECT_EQ(FileIO::dialog().title, r.title); }
        if (r.name) { EXPECT_STREQ(FileIO::dialog().name, r.name); }
        if (r.early) std::fill(m().ram, m().ram + 65536, 0x42);
        choose(r.chosen);
        EXPECT_EQ(read(root / r.file), want) << r.file;
        if (!std::strcmp(r.file, "area.prg")) { EXPECT_EQ(lastPopup().text, "$0008 bytes saved from $FFF8 to $10000"); }
    }
}

// ---- Dropped files ----

TEST_F(FileActionsTest, DropFailuresChangeNothing) {
    fillPattern();
    auto before = snapshot();
    fs::create_directory(root / "folder");
    write("empty", {});
    write("two", {1, 2});
    write("notes.TXT", {1, 2});
    write("pic.png", Bytes(50, 0));
    ASSERT_EQ(::mkfifo((root / "pipe.prg").c_str(), 0600), 0);
    struct Case {
        std::string name, text;  // a text ending in a blank: the start of the message
    };
    const Case cases[] = {
        {"pic.png", "Couldn't read the image: "},
        {"folder", "Couldn't open folder"},
        {"folder/", "Couldn't open " + (root / "folder/").string()},
        {"missing.prg", "Couldn't open missing.prg"},
        {"pipe.prg", "Couldn't open pipe.prg"},
        {"empty", "Don't know what to do with empty"},
        {"two", "Don't know what to do with two"},
        {"notes.TXT", "Don't know what to do with notes.TXT"},
    };
    for (const Case& c : cases) {
        Actions::openDropped(*app, (root / c.name).string());
        ASSERT_FALSE(app->popups.empty()) << c.name;
        EXPECT_EQ(lastPopup().title, "Error") << c.name;
        EXPECT_EQ(c.text.back() == ' ' ? lastPopup().text.substr(0, c.text.size()) : lastPopup().text, c.text);
        EXPECT_EQ(snapshot(), before) << c.name;
        EXPECT_FALSE(app->showMountDisk || app->showImportPicture) << c.name;
        EXPECT_TRUE(app->undoBuffer.undo.empty()) << c.name;
    }
}

TEST_F(FileActionsTest, DroppedDiskImagesMountOnTheFirstEmptyDrive) {
    write("DISK.D64", DiskDrive::blankD64("x", "y"));
    write("BAD.D64", Bytes(100, 0));
    app->drives[0].mountDirectory(root.string());
    app->drives[1].mountDirectory(root.string());
    // Drive 10, then 11, then drive 8's disk is replaced; a refused image leaves the window closed.
    for (int expected : {2, 3, 0}) {
        app->showMountDisk = false;
        Actions::openDropped(*app, (root / "DISK.D64").string());
        EXPECT_EQ(app->drives[expected].mode, 1);
        EXPECT_TRUE(app->showMountDisk);
    }
    app->showMountDisk = false;
    app->popups.clear();
    Actions::openDropped(*app, (root / "BAD.D64").string());
    EXPECT_EQ(lastPopup().text, "Could not mount D64-file: Unknown D64-disk format");
    EXPECT_FALSE(app->showMountDisk);
}

// Dropped files by kind, in turn: the message (none: silent), the undo steps, what memory holds.
TEST_F(FileActionsTest, DroppedFilesLoad) {
    fillPattern();
    Bytes koala(10003);
    for (size_t i = 0; i < koala.size(); ++i) koala[i] = u8(i * 11);
    const std::string source = "\tlda #$01\r\n\xC2\xA4" "c000\n", longName(200, 'n');
    const Bytes project = m().saveProject();
    const auto projectState = snapshot();
    const struct {
        std::string name;
        Bytes bytes;
        const char *popupTitle, *popupText;  // a null text: any, not empty
        int undoSteps;                       // -1: not checked
        std::function<bool(App&)> check;
    } rows[] = {
        {"notes.TXT", {0x00, 0x10, 0x77}, "Success!", "notes.TXT:\n$0001 bytes read from $1000 to $1001", 1,
         [](App& a) { return a.machine.ram[0x1000] == 0x77 && a.undoBuffer.undoName() == "load memory"; }},
        {"x.prg", {0x42}, "Success!", "x.prg:\n$0000 bytes read from $0000 to $0000", 2, nullptr},
        {"noext", {0xFE, 0xFF, 1, 2, 3}, "Success!", "noext:\n$0002 bytes read from $FFFE to $10000", 3, nullptr},
        // A long name is cut so the text stays within 159 characters.
        {longName, {0x00, 0x10, 1}, "Success!", nullptr, 4, [](App& a) { return a.popups.back().text.size() == 159; }},
        {"demo.s", Bytes(source.begin(), source.end()), nullptr, nullptr, 4,
         [&](App& a) { return a.asmSource == source && a.showAssembler; }},
        {"PIC.KOA", koala, nullptr, nullptr, 5,
         [&](App& a) { return a.machine.gfxMode() == 4 && !std::memcmp(a.machine.ram + a.machine.bitmapAddr(), koala.data() + 2, 8000) && a.undoBuffer.undoName() == "load image"; }},
        {"x.raw", Bytes(8, 0xFF), nullptr, nullptr, 6, [](App& a) { return a.machine.gfxMode() == 3 && a.machine.ram[a.machine.bitmapAddr()] == 0xFF; }},
        {"short.hir", {1, 2}, "Error", "Couldn't load short.hir", 7, [](App& a) { return a.undoBuffer.undoName() == "load image"; }},
        // A project replaces everything and empties the undo buffer.
        {"p.vpr", project, nullptr, nullptr, 0, [&](App&) { return snapshot() == projectState; }},
        {"bad.vpr", Bytes(10, 0), "Error", nullptr, 0, nullptr},
    };
    for (const auto& r : rows) {
        app->popups.clear();
        app->showAssembler = false;
        write(r.name, r.bytes);
        const auto before = snapshot();
        Actions::openDropped(*app, (root / r.name).string());
        EXPECT_EQ(popupCount(), r.popupTitle ? 1u : 0u) << r.name;
        if (r.popupTitle && popupCount()) {
            EXPECT_EQ(lastPopup().title, r.popupTitle) << r.name;
            if (r.popupText) { EXPECT_EQ(lastPopup().text, r.popupText) << r.name; }
            else { EXPECT_FALSE(lastPopup().text.empty()) << r.name; }
        }
        if (r.undoSteps >= 0) { EXPECT_EQ(app->undoBuffer.undo.size(), size_t(r.undoSteps)) << r.name; }
        if (r.check) { EXPECT_TRUE(r.check(*app)) << r.name; }
        if (r.name == "demo.s") { EXPECT_EQ(snapshot(), before); }
        if (r.name == "PIC.KOA") {
            app->undoBuffer.MakeUndo();
            EXPECT_EQ(snapshot(), before);
            app->undoBuffer.MakeRedo();
        }
    }
}

// ---- Exports ----

TEST_F(FileActionsTest, PngExportIsTheScreenArea) {
    fillPattern();
    m().setGfxMode(3);
    app->zoom = 5;
    Actions::exportPng(*app);
    EXPECT_EQ(FileIO::dialog().title, "Export PNG");
    EXPECT_STREQ(FileIO::dialog().name, "screen.png");
    choose("screen.png");
    ASSERT_TRUE(fs::exists(root / "screen.png"));
    Bytes png = read(root / "screen.png");
    int w = 0, h = 0, n = 0;
    unsigned char* px = stbi_load_from_memory(png.data(), int(png.size()), &w, &h, &n, 4);
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 200);
    std::vector<u32> ref(320 * 200);
    Vic::renderScreen(m(), app->palette, ref.data(), 320);
    EXPECT_EQ(0, std::memcmp(px, ref.data(), ref.size() * 4));
    stbi_image_free(px);

    // ImageMagick agrees on what was written.
    if (std::system("command -v identify >/dev/null 2>&1") == 0) {
        std::string cmd = "identify -format '%m %w %h' " + (root / "screen.png").string() + " > " +
                          (root / "id.txt").string() + " 2>/dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        Bytes id = read(root / "id.txt");
        EXPECT_EQ(std::string(id.begin(), id.end()), "PNG 320 200");
    }
}

// The viewer with the four colours patched in, then bitmap, screen and colour RAM as shown when the file is
// written; byte 69 is cleared for hires.
TEST_F(FileActionsTest, ExecutableFromTheBuiltViewer) {
    const Bytes viewer = read(fs::path(VORLIX_ASSET_DIR) / "bmpview.prg");
    ASSERT_GE(viewer.size(), 70u);
    fillPattern();
    m().bank = 1;
    m().vic[0x18] = 0x38;
    const u8 colours[4] = {6, 14, 0x33, 0x49};
    std::copy(colours, colours + 4, m().vic + 0x20);
    const struct { int atCommand, atWrite, bitmap; bool multi; } rows[] = {{4, 4, 0x6000, true}, {3, 3, 0x6000, false}, {3, 1, 0x4000, true}};
    for (const auto& r : rows) {
        m().setGfxMode(r.atCommand);
        Actions::saveExecutable(*app);
        EXPECT_EQ(FileIO::dialog().title, "Save executable");
        EXPECT_STREQ(FileIO::dialog().name, "picture.prg");
        m().setGfxMode(r.atWrite);
        const std::string name = std::to_string(r.atWrite) + ".prg";
        choose(name);
        Bytes want = viewer;
        for (int k = 0; k < 4; ++k) want[size_t(23 + 5 * k)] = colours[k];
        if (!r.multi) want[69] = 0;
        want.insert(want.end(), m().ram + r.bitmap, m().ram + r.bitmap + 8192);
        want.insert(want.end(), m().ram + 0x4C00, m().ram + 0x5000);
        want.insert(want.end(), m().ram + 0xD800, m().ram + 0xDC00);
        EXPECT_EQ(read(root / name), want) << name;
    }
}

// A viewer of 70 bytes is enough, one of 69 is refused; text modes are refused.
TEST_F(FileActionsTest, ExecutableNeedsViewerAndBitmapMode) {
    fs::path assets = root / "assets";
    fs::create_directories(assets);
    fs::copy_file(fs::path(VORLIX_ASSET_DIR) / "C64Chars.bin", assets / "C64Chars.bin");
    useAssets(assets.string());
    m().setGfxMode(4);
    write("assets/bmpview.prg", Bytes(70, 0x80));
    Actions::saveExecutable(*app);
    choose("p.prg");
    EXPECT_EQ(fs::file_size(root / "p.prg"), 10310u);
    write("assets/bmpview.prg", Bytes(69, 0x80));
    FileIO::cancel();
    Actions::saveExecutable(*app);
    EXPECT_FALSE(FileIO::dialog().open);
    EXPECT_EQ(lastPopup().text, "Vorlix is missing the file \"bmpview.prg\".\nOperation could not be completed.");
    useAssets(VORLIX_ASSET_DIR);
    m().setGfxMode(2);
    Actions::saveExecutable(*app);
    EXPECT_FALSE(FileIO::dialog().open);
    EXPECT_EQ(lastPopup().title, "Sorry");
    EXPECT_EQ(lastPopup().text, "Text modes can not yet be saved as executables.");
}

}  // namespace

TEST_F(FileActionsTest, MountDiskRangesAndRefusals) {
    write("t.d64", DiskDrive::blankD64("x", "y"));
    DiskDrive& drive = app->drives[1];
    ASSERT_TRUE(drive.mountD64((root / "t.d64").string()));
    EXPECT_EQ(DiskActions::mountedAt(*app, (root / "." / "t.d64").string()), &drive);
    // Bank 0 and $D018 = $18: the character set lies at ($18 AND $0E) x $400.
    m().bank = 0;
    m().vic[0x18] = 0x18;
    const int want[4][2] = {{0x2000, 0x3F40}, {0x0400, 0x07E8}, {0xD800, 0xDBE8}, {0x2000, 0x2800}};
    for (int k = 0; k < 4; k++) {
        int start = 0, end = 0;
        DiskActions::presetRange(m(), k, start, end);
        EXPECT_EQ(start, want[k][0]);
        EXPECT_EQ(end, want[k][1]);
    }
    DiskActions::saveRange(*app, drive, "pic", 0x2000, 0x2000);
    EXPECT_EQ(lastPopup().text, "The end address must be after the start address.");
    EXPECT_TRUE(drive.list().empty());
}
