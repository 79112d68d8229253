#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/App.h"
#include "core/UndoBuffer.h"
#include "cpu/CPU6502.h"
#include "cpu/Monitor.h"
#include "cpu/SourceLine.h"
#include "disk/DiskDrive.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "tests/TempDir.h"

namespace {

// A monitor with a D64 image on device 8, an empty drive 9, a host directory
// on device 10, and host files (device 6) answered from `hostFile`.
struct MonitorTest : ::testing::Test {
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    CPU6502 cpu{*m};
    UndoBuffer u{*m};
    Monitor mon{*m, cpu};
    TempDir tmp{"vorlix-monitor"};
    DiskDrive drives[3];
    std::string asked;
    Bytes saved;

    MonitorTest() {
        mon.undo = &u;
        std::string image = (tmp.path / "disk.d64").string();
        Platform::writeFile(image, DiskDrive::blankD64("MONITOR", "MO"));
        std::filesystem::create_directory(tmp.path / "dir");
        drives[0].mountD64(image);
        drives[2].mountDirectory((tmp.path / "dir").string());
        mon.getDrive = [this](int d) { return d >= 8 && d <= 10 ? &drives[d - 8] : nullptr; };
        mon.hostLoad = [this](const std::string& n) { asked = n; };
        mon.hostSave = [this](const std::string& n, const Bytes& b) { asked = n, saved = b; };
    }
    void run(const std::string& command) { mon.clear(), mon.print(command), mon.enter(); }
    // The rows down to the last one holding something, blanks cut at the right, joined by "|".
    std::string shown() const {
        std::string all, pending;
        for (int r = 0; r < 25; ++r) {
            std::string t = mon.rowText(r);
            t.erase(t.find_last_not_of(' ') + 1);
            pending += (r ? "|" : "") + t;
            if (!t.empty()) all += pending, pending.clear();
        }
        return all;
    }
    bool holds(int address, const std::vector<u8>& bytes) const {
        size_t i = 0;
        while (i < bytes.size() && m->ram[(address + i) & 0xFFFF] == bytes[i]) ++i;
        return i == bytes.size();
    }
    void preset() {
        std::fill(m->ram, m->ram + 65536, 0);
        for (int i = 0; i < 256; ++i) m->ram[0x1000 + i] = u8(i);
        m->ram[0xC000] = 1, m->ram[0xC001] = 2, m->ram[0xFFFE] = 0x4C;
    }
};

// Every command: what follows it on the screen, the bytes at an address and the undo step taken.
TEST_F(MonitorTest, Commands) {
    drives[0].writeFile("EMPTY", Bytes{0x00, 0x30});  // a load address and nothing else
    drives[2].writeFile("EMPTY", Bytes{0x00, 0x30});
    const Bytes none{0xEE}, prg{0x00, 0x20, 7, 8, 9};  // none: the host load is cancelled
    struct Case {
        std::string command, screen;
        int address = 0;
        std::vector<u8> bytes = {};
        std::string undo = "";
        Bytes host = {};
    };
    const std::string mem = "|.:C000 01 02 00 00 00 00 00 00 AB@@@@@@", searching = "|SEARCHING FOR PIC|";
    std::vector<Case> cases = {
        {". ANYTHING", "|."}, {"HELLO", "?|."}, {".Q", "?|."}, {".:C000", "|."}, {".:", "?|."}, {".,", "?|."},
        {".:C000 01 02", mem.substr(1) + "|.:C008", 0xC000, {1, 2, 0}, "monitor bytes"},
        {".:C000 05 1 ZZ 4", ".:C000 05 01 00 00 00 00 00 00 EA@@@@@@|.:C008", 0xC000, {5, 1, 0}, "monitor bytes"},
        {".:FFFC 01 02 03 04 05 06 07 08", ".:FFFC 01 02 03 04 05 06 07 08 ABCDEFGH|.:0004", 0xFFFC,
         {1, 2, 3, 4, 5, 6, 7, 8}, "monitor bytes"},
        {".,C000 HELLO", "|.,C020", 0xC000, {8, 5, 12, 12, 15, 32}, "monitor text"},
        {".F C000 C000 00", "|0000 BYTES FILLED|.", 0xC000, {1}}, {".F C001 C000 55", "", 0xC000, {1, 2}},
        {".FC000 C003 55", "|0003 BYTES FILLED|.", 0xBFFF, {0, 0x55, 0x55, 0x55, 0}, "monitor fill"},
        {".C 0000 0100 FFF0", "|0010 BYTES COPIED|.", 0xFFF0, {0, 0}, "monitor copy"}, {".F C000 C003", ""},
        {".C 1000 1100 1080", "|0100 BYTES COPIED|.", 0x107F, {0x7F, 0, 1, 2}, "monitor copy"},
        {".M C000", mem}, {".M", ""}, {".J", ""}, {".D", ""}, {".G", ""}, {".G C000", "|."}, {".A", ""},
        {".D C000", "|.>C000 01 02     ORA ($02,X)"}, {".A C000 LDA #$1G", "?|.", 0xC000, {1}}, {".>", "?|."},
        {".A C000 LDA #$07", ".AC000 A9 07     LDA #$07|.AC002", 0xC000, {0xA9, 7}, "monitor assemble"},
        {".A FFFF JMP $1234", ".AFFFF 4C 34 12  JMP $1234|.A0002", 0xFFFF, {0x4C, 0x34, 0x12}, "monitor assemble"},
        {".>C000 EA", ".>C000 EA        NOP|.>C001", 0xC000, {0xEA, 2}, "monitor code bytes"},
        {".>C000 A9 07 ADC #1", ".>C000 A9 07     LDA #$07|.>C002", 0xC000, {0xA9, 7, 0}, "monitor code bytes"},
        // Host files (device 6), a D64 image (8), an empty drive (9), a directory (10).
        {".L\"PIC\",6", searching + "$0003 BYTES READ FROM $2000 TO $2003|.", 0x2000, {7, 8, 9, 0}, "monitor load", prg},
        {".L\"PIC\",6,FFFF", searching + "$0001 BYTES READ FROM $FFFF TO $10000|.", 0xFFFF, {7}, "monitor load", prg},
        {".L\"PIC\",6", searching + "$0000 BYTES READ FROM $2000 TO $2000|.", 0, {}, "", {0x00, 0x20}},
        {".L\"PIC\",6", searching + "FILE ERROR|.", 0, {}, "", {0x00}},
        {".L\"PIC\",6", searching + "FILE NOT FOUND ERROR|.", 0, {}, "", none},
        {".S\"PIC\",6,C000,C002", "|SAVING PIC|$0002 BYTES SAVED|."}, {".S\"PIC\",6,C000,C000", "?|."},
        {".S\"PIC\",6,C000", "?|."}, {".L\"PIC\",0", "?|."}, {".L\"../PIC\",10", "?|."}, {".L\"PIC\",4294967304", "?|."},
        {".L\"PIC\",7", "|DEVICE NOT PRESENT ERROR|."}, {".L\"PIC\",9", "|DEVICE NOT PRESENT ERROR|."},
        {".S\"PIC\",9,C000,C002", "|DEVICE NOT PRESENT ERROR|."},
    };
    for (std::string d : {"8", "10"}) {
        cases.push_back({".S\"PIC\"," + d + ",C000,C003", "|$0003 BYTES SAVED FROM $C000 TO $C003|."});
        cases.push_back({".L\"PIC\"," + d, "|$0003 BYTES READ FROM $C000 TO $C003|.", 0xC000, {1, 2, 0}, "monitor load"});
        cases.push_back({".L\"PIC\"," + d + ",2000,2002", "|$0002 BYTES READ FROM $2000 TO $2002|.", 0x2000, {1, 2, 0},
                         "monitor load"});
        cases.push_back({".L\"EMPTY\"," + d, "|$0000 BYTES READ FROM $3000 TO $3000|."});
        cases.push_back({".L\"NOPE\"," + d, "|ERROR: FILE NOT FOUND|."});
    }
    cases.push_back({".S\"PIC\",10,C000,C003", "|ERROR: FILE ALREADY EXISTS|."});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        preset();
        const Bytes before(m->ram, m->ram + 65536);
        u.Clear();
        asked.clear();
        run(c.command);
        if (!asked.empty() && c.command[1] == 'L') mon.hostLoadDone(c.host == none ? nullptr : &c.host);
        if (!asked.empty() && c.command[1] == 'S') mon.hostSaveDone(saved == Bytes{0x00, 0xC0, 1, 2}, 2);
        // A whole screen where the command row is rewritten, else what follows the command.
        EXPECT_EQ(shown(), c.screen[0] == '.' ? c.screen : c.command + c.screen);
        EXPECT_TRUE(holds(c.address, c.bytes));
        EXPECT_EQ(u.undoName(), c.undo);
        u.MakeUndo();
        EXPECT_TRUE(std::equal(before.begin(), before.end(), m->ram));
    }
    // Past $FFFF the bytes wrapped to $0000, never into the character ROM behind the RAM.
    EXPECT_EQ(m->charRom[0], 0);
}

// Listings: the command prints the first line, each tick one more, until the end or the wrap.
TEST_F(MonitorTest, Listings) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {".M C000 C008", ".:C000"}, {".M C000 C010", ".:C000.:C008.:C010"}, {".M FFF8 -", ".:FFF8"},
        {".M FFF0 -", ".:FFF0.:FFF8"}, {".J FFC0 -", ".,FFC0.,FFE0"}, {".M C010 C000", ".:C010"},
        {".D FFFC -", ".>FFFC.>FFFD.>FFFE"},
    };
    for (const auto& [command, lines] : cases) {
        preset();
        run(command);
        for (int i = 0; i < 100 && mon.listing; ++i) mon.tick();
        std::string got = mon.listing ? "still listing" : "";
        for (int r = 1; r <= mon.row; ++r) got += mon.rowText(r).substr(0, 6);
        EXPECT_EQ(got, lines) << command;
    }
    m->ram[0x0003] = 1;
    run(".J FFF0");
    EXPECT_EQ(mon.rowText(1)[7 + 19], 'A');  // $0003, read with the wrap
    // Any key, Return included, only stops a running listing.
    for (int k = 0; k <= 9; ++k) {
        run(".M 0000 FFFF");
        std::string before = shown();
        k ? mon.editKey(EditKey(k), false) : mon.typeChar(1);
        EXPECT_EQ(shown() + (mon.listing ? "listing" : ""), before);
    }
    // Up on the top row and Down on the bottom row continue the last listing.
    const std::vector<std::tuple<std::string, std::string, bool, std::string>> edges = {
        {".M 3000", ".:C008 00", true, ".:C000"}, {".M 3000", ".:0000", true, ".:FFF8"},
        {".M 3000", ".:", true, ".:2FF8"},         {".M 3000", "HELLO", true, ".:2FF8"},
        {".J 3000", ".,0010", true, ".,FFF0"},     {".D C000", ".>C001", true, ".>C000"},
        {".M 3000", ".:FFF8", false, ".:0000"},    {".D C000", ".>FFFE", false, ".>0001"},
        {".J 3000", ".,FFF0", false, ".,0010"},
    };
    preset();
    for (const auto& [listing, edge, up, line] : edges) {
        run(listing);
        mon.clear();
        mon.row = up ? 0 : 24;
        mon.print(edge);
        mon.editKey(up ? EditKey::Up : EditKey::Down, false);
        EXPECT_EQ(mon.rowText(mon.row).substr(0, 6) + std::to_string(mon.col), line + "7") << edge;
    }
}

TEST_F(MonitorTest, EditingKeysAndScrolling) {
    Monitor fresh(*m, cpu);
    EXPECT_EQ(fresh.col * 100 + fresh.row, 101);
    EXPECT_EQ(shown(), "VORLIX MONITOR - ? FOR HELP|.");
    using K = EditKey;
    // Cursor before, key, shift, cursor after (column * 100 + row), screen after ("" unchanged).
    const std::vector<std::tuple<int, K, bool, int, std::string>> cases = {
        {300, K::Insert, false, 300, ".F  C001 C000|KL"}, {300, K::Delete, false, 300, ".F 001 C000|KL"},
        {300, K::Backspace, false, 200, ".FC001 C000|KL"}, {0, K::Backspace, false, 3900, ""},
        {5, K::Backspace, false, 3904, ""},  {0, K::Left, false, 3900, ""},      {3903, K::Right, false, 4, ""},
        {503, K::Up, false, 502, ""},        {503, K::Down, false, 504, ""},     {503, K::Home, false, 0, ""},
        {503, K::Home, true, 0, "-"},        {500, K::Return, false, 1, ""},     {3924, K::Right, false, 24, "KL"},
        {524, K::Down, false, 524, "KL"},
    };
    for (const auto& [at, key, shift, want, screen] : cases) {
        mon.clear();
        mon.print(".F C001 C000\nKL");
        mon.listMode = 0;
        mon.col = at / 100, mon.row = at % 100;
        mon.editKey(key, shift);
        EXPECT_EQ(shown(), screen == "-" ? "" : screen.empty() ? ".F C001 C000|KL" : screen) << int(key);
        EXPECT_EQ(mon.col * 100 + mon.row, want) << int(key);
    }
    mon.clear();
    mon.row = 24, mon.col = 39;
    mon.typeChar(2);  // the last cell: the screen scrolls
    EXPECT_EQ(shown() + std::to_string(mon.col * 100 + mon.row), std::string(23, '|') + std::string(39, ' ') + "B24");
}

TEST(MonitorFileCommand, Parsing) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {".L\"PIC\",8", "PIC 8 -1 -1"}, {".L \"PIC\" , 9 , C000 , C100   ", "PIC 9 49152 49408"},
        {".S\"@:PIC\",6,1000,2000,X", "@:PIC 6 4096 8192"}, {".L\"PIC\",8,,C100", "PIC 8 -1 49408"},
        {".L\"@:ABCDEFGHIJKLMNOP\",8", "@:ABCDEFGHIJKLMNOP 8 -1 -1"},
        {".L\"PIC\",", ""}, {".L\"PIC\",X", ""}, {".L\"PIC\",99999999999", ""}, {".L\"PIC\",8,C0000", ""},
        {".L\"PIC\",8,1000,XYZ", ""}, {".L\"PIC\"8", ""}, {".L\"PIC\"", ""}, {".L\"PIC", ""}, {".L PIC,8", ""},
        {".L", ""}, {".L\"\",8", ""}, {".L\"@:\",8", ""}, {".L\"ABCDEFGHIJKLMNOPQ\",8", ""}, {".L\"A/B\",8", ""},
        {".L\"A\\B\",8", ""}, {".L\"A:B\",8", ""}, {".L\"A@:B\",8", ""}, {".L\"..\",8", ""},
    };
    for (const auto& [row, want] : cases) {
        std::string name;
        int device = 0, from = 0, to = 0;
        bool ok = Monitor::parseFileCmd(row, name, device, from, to);
        char got[64] = "";
        if (ok) std::snprintf(got, sizeof got, "%s %d %d %d", name.c_str(), device, from, to);
        EXPECT_EQ(got, want) << row;
    }
}

TEST(MonitorInApp, CallbacksReachTheProcessorTheWindowsAndTheFileDialog) {
    TempDir tmp{"vorlix-monitor-app"};
    setenv("APPDATA", tmp.path.c_str(), 1);
    Platform::initWithBasePath("");
    auto app = std::make_unique<App>();
    Monitor& mon = app->monitor;
    auto row = [&](const std::string& command, int r) { return mon.clear(), mon.print(command), mon.enter(), mon.rowText(r); };
    app->showMonitor = true;
    row(".G C123", 0);
    EXPECT_EQ(app->cpu.pc * 100 + app->showProcessor * 10 + app->cpuRunning, 0xC123 * 100 + 10);
    EXPECT_EQ(row(".L\"PIC\",8", 1).substr(0, 24), "DEVICE NOT PRESENT ERROR");
    row(".S\"@:PIC\",6,C000,C010", 0);
    EXPECT_EQ(FileIO::dialog().title + " " + FileIO::dialog().name, "Monitor save pic.prg");
    row(".L\"PIC\",6", 0);
    EXPECT_EQ(FileIO::dialog().title, "Monitor load: PIC");
    Bytes file{0x00, 0x20, 7};
    FileIO::dialog().onOpen("pic.prg", file);
    EXPECT_EQ(mon.rowText(2).substr(0, 36), "$0001 BYTES READ FROM $2000 TO $2001");
    // The load is an undo step of its own: a processor step cannot merge over it.
    EXPECT_EQ(app->undoBuffer.undoName(), "monitor load");
    row(".X", 0);
    EXPECT_FALSE(app->showMonitor);
    FileIO::cancel();
    unsetenv("APPDATA");
}

TEST(SourceLine, SpansClampToTheText) {
    const std::vector<std::tuple<std::string, int, int>> cases = {
        {"AB\nCDE\nF", 1, 2}, {"AB\nCDE\nF", 2, 306}, {"AB\nCDE\nF", 3, 708}, {"AB\nCDE\nF", 9, 708},
        {"AB\nCDE\n", 3, 306}, {"AB\n\nX", 2, 303},   {"", 4, 0},
    };
    for (const auto& [text, line, span] : cases)
        EXPECT_EQ(SourceLineSpan(text, line).start * 100 + SourceLineSpan(text, line).end, span) << text << line;
}

}  // namespace
