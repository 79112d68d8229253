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

// Each load command through its dialog: the message (none: silent), the undo step, what memory holds.
TEST_F(FileActionsTest, LoadCommands) {
    Bytes koala(10003), doodle(9026);
    for (size_t i = 0; i < koala.size(); ++i) koala[i] = u8(i * 3);
    for (size_t i = 0; i < doodle.size(); ++i) doodle[i] = u8(i * 7);
    auto holds = [](const Machine& m, int addr, const u8* bytes, size_t n) { return std::memcmp(m.ram + addr, bytes, n) == 0; };
    const struct {
        void (*command)(App&);
        const char *title, *file;
        Bytes bytes;
        const char *popupTitle, *popupText, *undoName;
        std::function<bool(const Machine&)> check;
    } rows[] = {
        {Actions::loadMemory, "Load memory", "code.prg", {0x00, 0xC0, 0xEA}, "Success!", "$0001 bytes read from $C000 to $C001",
         "load memory", [](const Machine& m) { return m.ram[0xC000] == 0xEA; }},
        {Actions::loadMemory, "Load memory", "tiny.prg", {0x07}, "Success!", "$0000 bytes read from $0000 to $0000", nullptr, nullptr},
        {[](App& a) { Actions::loadImageFormat(a, -1); }, nullptr, "pic.xyz", Bytes(100, 1), "Error",
         "Couldn't determine file format!", "", nullptr},
        // A file too short still switches the mode, so the step stays.
        {[](App& a) { Actions::loadImageFormat(a, -1); }, nullptr, "a.hir", {1, 2}, "Error", "Couldn't load the file!",
         "load image", [](const Machine& m) { return m.gfxMode() == 3; }},
        {Actions::loadKoala, "Load Koala image", "bad.koa", {1, 2}, nullptr, nullptr, "load image", nullptr},
        {Actions::loadRaw, "Load RAW image", "row.raw", Bytes(320, 1), nullptr, nullptr, "load image",
         [](const Machine& m) { return m.ram[m.bitmapAddr()] == 0xFF && m.ram[m.bitmapAddr() + 39 * 8] == 0xFF && m.ram[m.bitmapAddr() + 1] == 0; }},
        {[](App& a) { Actions::loadImageFormat(a, -1); }, nullptr, "PIC.KOA", koala, nullptr, nullptr, "load image",
         [&](const Machine& m) { return m.gfxMode() == 4 && holds(m, m.bitmapAddr(), koala.data() + 2, 8000) && m.vic[0x21] == koala[10002]; }},
        // A chosen format wins over the extension.
        {[](App& a) { Actions::loadImageFormat(a, 8); }, nullptr, "pic.koa", doodle, nullptr, nullptr, "load image",
         [&](const Machine& m) {
             return m.gfxMode() == 3 && holds(m, m.screenAddr(), doodle.data() + 2, 1000) && holds(m, m.bitmapAddr(), doodle.data() + 1026, 8000);
         }},
    };
    for (const auto& r : rows) {
        app->popups.clear();
        app->undoBuffer.Clear();
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
        if (r.check) { EXPECT_TRUE(r.check(m())) << r.file; }
        if (r.undoName && *r.undoName) {
            app->undoBuffer.MakeUndo();
            EXPECT_EQ(snapshot(), before) << r.file;
        }
    }
    // The dialogs' filters: PRG files; every picture format, then each one, then all files.
    Actions::loadMemory(*app);
    ASSERT_EQ(FileIO::dialog().filters.size(), 2u);
    EXPECT_EQ(FileIO::dialog().filters[0].name, "PRG-Files (*.prg)");
    Actions::loadImageFormat(*app, -1);
    const auto& f = FileIO::dialog().filters;
    ASSERT_EQ(f.size(), 31u);
    EXPECT_EQ(f[0].name, "All image formats");
    EXPECT_TRUE(f[0].extensions.front() == "koa" && f[0].extensions.back() == "mci");
    EXPECT_EQ(std::count(f[0].extensions.begin(), f[0].extensions.end(), "raw"), 4);
    EXPECT_TRUE(f[1].name == "Koala Image" && f[29].name == "Truepaint" && f[30].name == "All files");
    Actions::loadImageFormat(*app, 8);
    ASSERT_EQ(FileIO::dialog().filters.size(), 2u);
    EXPECT_EQ(FileIO::dialog().filters[0].name, "Doodle");
}

TEST_F(FileActionsTest, SaveAreaClipsAndReports) {
    fillPattern();
    Actions::saveArea(*app, 0xFFF8, 16, "area.prg");
    EXPECT_EQ(FileIO::dialog().title, "Save memory area");
    choose("area.prg");
    Bytes f = read(root / "area.prg");
    ASSERT_EQ(f.size(), 10u);
    EXPECT_EQ(f[0], 0xF8);
    EXPECT_EQ(f[1], 0xFF);
    EXPECT_EQ(0, std::memcmp(f.data() + 2, m().ram + 0xFFF8, 8));
    EXPECT_EQ(lastPopup().title, "Success!");
    EXPECT_EQ(lastPopup().text, "$0008 bytes saved from $FFF8 to $10000");
}

TEST_F(FileActionsTest, KoalaAndDoodleSavedByteExact) {
    fillPattern();
    m().setGfxMode(4);
    Actions::saveKoala(*app);
    EXPECT_EQ(FileIO::dialog().title, "Save Koala image");
    EXPECT_STREQ(FileIO::dialog().name, "image.koa");
    choose("image.koa");
    Bytes k = read(root / "image.koa");
    EXPECT_EQ(k, FileFormats::saveKoala(m()));
    ASSERT_EQ(k.size(), 10003u);

    Actions::saveDoodle(*app);
    EXPECT_STREQ(FileIO::dialog().name, "image.dd");
    choose("image.dd");
    Bytes d = read(root / "image.dd");
    ASSERT_EQ(d.size(), 9026u);
    EXPECT_EQ(d, FileFormats::saveDoodle(m()));
}

TEST_F(FileActionsTest, ProjectSaveAndLoad) {
    fillPattern();
    m().vic[0x20] = 5;
    auto saved = snapshot();
    Actions::saveProject(*app);
    EXPECT_STREQ(FileIO::dialog().name, "project.vpr");
    choose("mine");
    ASSERT_TRUE(fs::exists(root / "mine.vpr"));
    EXPECT_EQ(fs::file_size(root / "mine.vpr"), 66611u);

    m().ram[0x1234] ^= 0xFF;
    m().vic[0x20] = 7;
    app->undoBuffer.TakeUndo(7, "something");
    Actions::loadProject(*app);
    choose("mine.vpr");
    EXPECT_EQ(snapshot(), saved);
    EXPECT_TRUE(app->undoBuffer.undo.empty());

    write("bad.vpr", Bytes(20, 'x'));
    Actions::loadProject(*app);
    choose("bad.vpr");
    EXPECT_EQ(lastPopup().title, "Error");
    EXPECT_FALSE(lastPopup().text.empty());
}

TEST_F(FileActionsTest, RawSpritesLoadAtTheEditorBlock) {
    app->spriteBlock = 13;
    Bytes two(128);
    for (size_t i = 0; i < two.size(); ++i) two[i] = u8(i + 1);
    write("s.bin", two);
    Actions::loadSprites(*app);
    EXPECT_EQ(FileIO::dialog().filters[0].extensions, (std::vector<std::string>{"prg", "bin", "spr", "raw"}));
    u8 after = m().ram[0x03C0];
    choose("s.bin");
    EXPECT_EQ(0, std::memcmp(m().ram + 0x0340, two.data(), 128));
    EXPECT_EQ(m().ram[0x03C0], after);
    EXPECT_EQ(lastPopup().title, "Load sprites");
    EXPECT_EQ(lastPopup().text, "2 sprites loaded to $0340 (sprite $0D)");
    EXPECT_EQ(app->undoBuffer.undoName(), "load sprites");

    write("one.spr", Bytes(64, 9));
    Actions::loadSprites(*app);
    choose("one.spr");
    EXPECT_EQ(lastPopup().text, "1 sprite loaded to $0340 (sprite $0D)");

    write("none.raw", Bytes{});
    Actions::loadSprites(*app);
    choose("none.raw");
    EXPECT_EQ(lastPopup().text, "0 sprites loaded to $0340 (sprite $0D)");

    // Clipped at the end of memory.
    m().bank = 3;
    app->spriteBlock = 0xFF;
    write("big.bin", Bytes(200, 3));
    Actions::loadSprites(*app);
    choose("big.bin");
    EXPECT_EQ(lastPopup().text, "1 sprite loaded to $FFC0 (sprite $FF)");
    EXPECT_EQ(m().ram[0xFFFF], 3);
}

TEST_F(FileActionsTest, SpritePrgSelectsItsBlock) {
    Bytes prg{0x00, 0x20};
    prg.resize(2 + 64, 0x11);
    write("s.prg", prg);
    Actions::loadSprites(*app);
    choose("s.prg");
    EXPECT_EQ(app->spriteBlock, 0x80);
    EXPECT_EQ(lastPopup().text, "$0040 bytes read from $2000 to $2040\n(sprite $80 - $80)");
    EXPECT_EQ(app->undoBuffer.undoName(), "load sprites");

    Bytes out{0x00, 0x50, 1, 2, 3};
    write("o.prg", out);
    Actions::loadSprites(*app);
    choose("o.prg");
    EXPECT_EQ(app->spriteBlock, 0x80);
    EXPECT_EQ(lastPopup().text, "$0003 bytes read from $5000 to $5003\n(outside the current VIC bank)");
}

TEST_F(FileActionsTest, CharsetLoads) {
    // $D018 = $14 in bank 0 shows the ROM set.
    ASSERT_TRUE(m().charsetIsRom());
    write("c.bin", Bytes(4096, 0x5A));
    auto before = snapshot();
    Actions::loadCharset(*app);
    choose("c.bin");
    EXPECT_EQ(lastPopup().title, "Load charset");
    EXPECT_EQ(lastPopup().text, "The current charset is ROM. Select a RAM charset bank first.");
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(app->undoBuffer.undo.empty());

    m().vic[0x18] = 0x1C;  // RAM set at $3000
    size_t popups = popupCount();
    u8 past = m().ram[0x3800];
    Actions::loadCharset(*app);
    choose("c.bin");
    EXPECT_EQ(popupCount(), popups);
    for (int i = 0; i < 2048; ++i) ASSERT_EQ(m().ram[0x3000 + i], 0x5A);
    EXPECT_EQ(m().ram[0x3800], past);
    EXPECT_EQ(app->undoBuffer.undoName(), "load charset");

    write("c.64c", {0x00, 0x28, 1, 2, 3, 4});
    Actions::loadCharset(*app);
    choose("c.64c");
    EXPECT_EQ(m().ram[0x2800], 1);
    EXPECT_EQ(m().vic[0x18], 0x1C);
    EXPECT_EQ(lastPopup().text, "$0004 bytes read from $2800 to $2804");
}

TEST_F(FileActionsTest, SaveSpritesAndCharset) {
    fillPattern();
    Actions::saveSprites(*app, 5, 4, true);
    EXPECT_FALSE(FileIO::dialog().open);

    Actions::saveSprites(*app, 0x102, 0x103, false);  // only the low 8 bits count
    EXPECT_EQ(FileIO::dialog().title, "Save sprites");
    EXPECT_STREQ(FileIO::dialog().name, "sprites.bin");
    fillPattern();  // raw bytes were taken when the command ran
    m().ram[0x0080] ^= 0xFF;
    choose("sprites.bin");
    Bytes s = read(root / "sprites.bin");
    ASSERT_EQ(s.size(), 128u);
    EXPECT_EQ(s[0], u8(0x80 * 5 + 0));
    EXPECT_NE(s[0], m().ram[0x80]);

    Actions::saveSprites(*app, 2, 3, true);
    EXPECT_EQ(FileIO::dialog().title, "Save memory area");
    choose("sprites.prg");
    Bytes p = read(root / "sprites.prg");
    ASSERT_EQ(p.size(), 130u);
    EXPECT_EQ(p[0], 0x80);
    EXPECT_EQ(p[1], 0x00);

    m().vic[0x18] = 0x14;  // ROM is shown there, RAM is saved
    Actions::saveCharset(*app, false);
    EXPECT_EQ(FileIO::dialog().title, "Save charset");
    choose("charset.bin");
    Bytes c = read(root / "charset.bin");
    ASSERT_EQ(c.size(), 2048u);
    EXPECT_EQ(0, std::memcmp(c.data(), m().ram + 0x1000, 2048));

    Actions::saveCharset(*app, true);
    EXPECT_STREQ(FileIO::dialog().name, "charset.prg");
    choose("charset.prg");
    Bytes cp = read(root / "charset.prg");
    ASSERT_EQ(cp.size(), 2050u);
    EXPECT_EQ(cp[1], 0x10);
}

// ---- Dropped files ----

TEST_F(FileActionsTest, DropFailuresChangeNothing) {
    fillPattern();
    auto before = snapshot();
    fs::create_directory(root / "folder");
    write("empty", {});
    write("two", {1, 2});
    write("notes.TXT", {1, 2});
    ASSERT_EQ(::mkfifo((root / "pipe.prg").c_str(), 0600), 0);
    struct Case {
        std::string name, text;
    };
    const Case cases[] = {
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
        EXPECT_EQ(lastPopup().text, c.text);
        EXPECT_EQ(snapshot(), before) << c.name;
        EXPECT_TRUE(app->undoBuffer.undo.empty()) << c.name;
    }
}

TEST_F(FileActionsTest, DropNotYetSupportedKinds) {
    auto before = snapshot();
    write("pic.png", Bytes(50, 0));
    Actions::openDropped(*app, (root / "pic.png").string());
    EXPECT_EQ(lastPopup().title, "Error");
    EXPECT_EQ(lastPopup().text.rfind("Couldn't read the image: ", 0), 0u) << lastPopup().text;
    EXPECT_EQ(snapshot(), before);
    EXPECT_FALSE(app->showMountDisk);
    EXPECT_FALSE(app->showImportPicture);
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
    // Pixel (0, 0): hires, bit 7 of the first bitmap byte picks the screen byte's high or low nibble.
    int bit = m().ram[m().bitmapAddr()] >> 7 & 1;
    u8 scr = m().ram[m().screenAddr()];
    u32 want = app->palette.pixel(bit ? scr >> 4 : scr & 15);
    u32 got = u32(px[0]) | u32(px[1]) << 8 | u32(px[2]) << 16 | u32(px[3]) << 24;
    EXPECT_EQ(got, want);
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

TEST_F(FileActionsTest, PngWriteAppends) {
    Bytes out{1};
    u8 data[3] = {2, 3, 4};
    Actions::pngWrite(&out, data, 3);
    Actions::pngWrite(&out, data, 0);
    EXPECT_EQ(out, (Bytes{1, 2, 3, 4}));
}

TEST_F(FileActionsTest, ExecutableFromTheBuiltViewer) {
    Bytes viewer = read(fs::path(VORLIX_ASSET_DIR) / "bmpview.prg");
    ASSERT_GE(viewer.size(), 70u);
    fillPattern();
    m().bank = 1;
    m().vic[0x18] = 0x38;
    m().setGfxMode(4);
    m().vic[0x20] = 6;
    m().vic[0x21] = 14;
    m().vic[0x22] = 0x33;
    m().vic[0x23] = 0x49;
    Actions::saveExecutable(*app);
    EXPECT_EQ(FileIO::dialog().title, "Save executable");
    EXPECT_STREQ(FileIO::dialog().name, "picture.prg");
    choose("picture.prg");
    Bytes f = read(root / "picture.prg");
    ASSERT_EQ(f.size(), viewer.size() + 10240);
    for (size_t i = 0; i < viewer.size(); ++i) {
        if (i == 23 || i == 28 || i == 33 || i == 38) continue;
        ASSERT_EQ(f[i], viewer[i]) << i;
    }
    EXPECT_EQ(f[23], 6);
    EXPECT_EQ(f[28], 14);
    EXPECT_EQ(f[33], 0x33);
    EXPECT_EQ(f[38], 0x49);
    EXPECT_EQ(f[69], viewer[69]);
    const u8* data = f.data() + viewer.size();
    EXPECT_EQ(0, std::memcmp(data, m().ram + 0x6000, 8192));
    EXPECT_EQ(0, std::memcmp(data + 8192, m().ram + 0x4C00, 1024));
    EXPECT_EQ(0, std::memcmp(data + 9216, m().ram + 0xD800, 1024));

    m().setGfxMode(3);
    Actions::saveExecutable(*app);
    choose("hires.prg");
    Bytes h = read(root / "hires.prg");
    ASSERT_EQ(h.size(), viewer.size() + 10240);
    EXPECT_EQ(h[69], 0);
    // Multicolour switched on while the dialog is open: the flag follows $D016.
    Actions::saveExecutable(*app);
    m().setGfxMode(1);
    choose("late.prg");
    EXPECT_EQ(read(root / "late.prg")[69], viewer[69]);
}

TEST_F(FileActionsTest, ExecutableNeedsViewerAndBitmapMode) {
    fs::path assets = root / "assets";
    fs::create_directories(assets);
    fs::copy_file(fs::path(VORLIX_ASSET_DIR) / "C64Chars.bin", assets / "C64Chars.bin");
    Bytes seventy(70);
    for (size_t i = 0; i < 70; ++i) seventy[i] = u8(0x80 + i);
    {
        std::ofstream f(assets / "bmpview.prg", std::ios::binary);
        f.write(reinterpret_cast<const char*>(seventy.data()), 70);
    }
    useAssets(assets.string());
    m().setGfxMode(4);
    Actions::saveExecutable(*app);
    choose("p.prg");
    Bytes f = read(root / "p.prg");
    EXPECT_EQ(f.size(), 10310u);
    EXPECT_EQ(f[69], seventy[69]);

    {
        std::ofstream f69(assets / "bmpview.prg", std::ios::binary);
        f69.write(reinterpret_cast<const char*>(seventy.data()), 69);
    }
    FileIO::cancel();
    Actions::saveExecutable(*app);
    EXPECT_FALSE(FileIO::dialog().open);
    EXPECT_EQ(lastPopup().title, "Error");
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
