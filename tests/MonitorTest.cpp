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
    void run(const std::string& command) {
        mon.clear();
        mon.print(command);
        mon.enter();
    }
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
        for (size_t i = 0; i < bytes.size(); ++i)
            if (m->ram[(address + i) & 0xFFFF] != bytes[i]) return false;
        return true;
    }
    void preset() {
        std::fill(m->ram, m->ram + 65536, 0);
        for (int i = 0; i < 256; ++i) m->ram[0x1000 + i] = u8(i);
        m->ram[0xC000] = 1, m->ram[0xC001] = 2, m->ram[0xFFFE] = 0x4C;
    }
};

// Every command: the screen afterwards, the bytes at an address and the undo step taken.
TEST_F(MonitorTest, Commands) {
    drives[0].writeFile("EMPTY", Bytes{0x00, 0x30});  // a load address and nothing else
    drives[2].writeFile("EMPTY", Bytes{0x00, 0x30});
    const Bytes none{0xEE};  // the host load is cancelled: nothing comes back
    struct Case {
        std::string command, screen;
        int address = 0;
        std::vector<u8> bytes = {};
        std::string undo = "";
        Bytes host = {};
    };
    const std::vector<Case> cases = {
        {". ANYTHING", ". ANYTHING|."}, {"HELLO", "HELLO?|."}, {".Q", ".Q?|."},
        {".:C000 01 02", ".:C000 01 02 00 00 00 00 00 00 AB@@@@@@|.:C008", 0xC000, {1, 2, 0}, "monitor bytes"},
        {".:C000 05 1 ZZ 4", ".:C000 05 01 00 00 00 00 00 00 EA@@@@@@|.:C008", 0xC000, {5, 1, 0}, "monitor bytes"},
        {".:FFFC 01 02 03 04 05 06 07 08", ".:FFFC 01 02 03 04 05 06 07 08 ABCDEFGH|.:0004", 0xFFFC,
         {1, 2, 3, 4, 5, 6, 7, 8}, "monitor bytes"},
        {".:C000", ".:C000|."}, {".:", ".:?|."}, {".,", ".,?|."},
        {".,C000 HELLO", ".,C000 HELLO|.,C020", 0xC000, {8, 5, 12, 12, 15, 32}, "monitor text"},
        {".F C000 C000 00", ".F C000 C000 00|0000 BYTES FILLED|.", 0xC000, {1}},
        {".F C001 C000 55", ".F C001 C000 55", 0xC000, {1, 2}}, {".F C000 C003", ".F C000 C003"},
        {".FC000 C003 55", ".FC000 C003 55|0003 BYTES FILLED|.", 0xBFFF, {0, 0x55, 0x55, 0x55, 0}, "monitor fill"},
        {".C 0000 0100 FFF0", ".C 0000 0100 FFF0|0010 BYTES COPIED|.", 0xFFF0, {0, 0}, "monitor copy"},
        {".C 1000 1100 1080", ".C 1000 1100 1080|0100 BYTES COPIED|.", 0x107F, {0x7F, 0, 1, 2}, "monitor copy"},
        {".M C000", ".M C000|.:C000 01 02 00 00 00 00 00 00 AB@@@@@@"}, {".M", ".M"}, {".J", ".J"}, {".D", ".D"},
        {".D C000", ".D C000|.>C000 01 02     ORA ($02,X)"}, {".G", ".G"}, {".G C000", ".G C000|."},
        {".A C000 LDA #$07", ".AC000 A9 07     LDA #$07|.AC002", 0xC000, {0xA9, 7}, "monitor assemble"},
        {".A FFFF JMP $1234", ".AFFFF 4C 34 12  JMP $1234|.A0002", 0xFFFF, {0x4C, 0x34, 0x12}, "monitor assemble"},
        {".A C000 LDA #$1G", ".A C000 LDA #$1G?|.", 0xC000, {1}}, {".A", ".A"},
        {".>C000 EA", ".>C000 EA        NOP|.>C001", 0xC000, {0xEA, 2}, "monitor code bytes"},
        {".>C000 A9 07 ADC #1", ".>C000 A9 07     LDA #$07|.>C002", 0xC000, {0xA9, 7, 0}, "monitor code bytes"},
        {".>", ".>?|."},
        // Loads and saves: host files (device 6), a D64 image (8), an empty drive (9), a directory (10).
        {".L\"PIC\",6", ".L\"PIC\",6|SEARCHING FOR PIC|$0003 BYTES READ FROM $2000 TO $2003|.", 0x2000, {7, 8, 9, 0},
         "monitor load", {0x00, 0x20, 7, 8, 9}},
        {".L\"PIC\",6,FFFF", ".L\"PIC\",6,FFFF|SEARCHING FOR PIC|$0001 BYTES READ FROM $FFFF TO $10000|.", 0xFFFF,
         {7}, "", {0x00, 0x20, 7, 8, 9}},
        {".L\"PIC\",6", ".L\"PIC\",6|SEARCHING FOR PIC|$0000 BYTES READ FROM $2000 TO $2000|.", 0, {}, "",
         {0x00, 0x20}},
        {".L\"PIC\",6", ".L\"PIC\",6|SEARCHING FOR PIC|FILE ERROR|.", 0, {}, "", {0x00}},
        {".L\"PIC\",6", ".L\"PIC\",6|SEARCHING FOR PIC|FILE NOT FOUND ERROR|.", 0, {}, "", none},
        {".S\"PIC\",6,C000,C002", ".S\"PIC\",6,C000,C002|SAVING PIC|$0002 BYTES SAVED|."},
        {".S\"PIC\",6,C000,C000", ".S\"PIC\",6,C000,C000?|."}, {".S\"PIC\",6,C000", ".S\"PIC\",6,C000?|."},
        {".L\"PIC\",7", ".L\"PIC\",7|DEVICE NOT PRESENT ERROR|."},
        {".L\"PIC\",9", ".L\"PIC\",9|DEVICE NOT PRESENT ERROR|."},
        {".S\"PIC\",9,C000,C002", ".S\"PIC\",9,C000,C002|DEVICE NOT PRESENT ERROR|."},
        {".L\"PIC\",0", ".L\"PIC\",0?|."}, {".L\"../PIC\",10", ".L\"../PIC\",10?|."},
        {".L\"PIC\",4294967304", ".L\"PIC\",4294967304?|."},
    };
    std::vector<Case> all = cases;
    for (const char* dev : {"8", "10"}) {
        std::string d = dev;
        std::vector<Case> drive = {
            {".S\"PIC\"," + d + ",C000,C003", "|$0003 BYTES SAVED FROM $C000 TO $C003|."},
            {".L\"PIC\"," + d, "|$0003 BYTES READ FROM $C000 TO $C003|.", 0xC000, {1, 2, 0}, "monitor load"},
            {".L\"PIC\"," + d + ",2000,2002", "|$0002 BYTES READ FROM $2000 TO $2002|.", 0x2000, {1, 2, 0}},
            {".L\"EMPTY\"," + d, "|$0000 BYTES READ FROM $3000 TO $3000|."},
            {".L\"NOPE\"," + d, "|ERROR: FILE NOT FOUND|."},
        };
        for (Case& c : drive) c.screen = c.command + c.screen;
        all.insert(all.end(), drive.begin(), drive.end());
    }
    all.push_back({".S\"PIC\",10,C000,C003", ".S\"PIC\",10,C000,C003|ERROR: FILE ALREADY EXISTS|."});
    for (const Case& c : all) {
        SCOPED_TRACE(c.command);
        preset();
        const Bytes before(m->ram, m->ram + 65536);
        u.Clear();
        asked.clear();
        run(c.command);
        if (!asked.empty() && c.command[1] == 'L') mon.hostLoadDone(c.host == none ? nullptr : &c.host);
        if (!asked.empty() && c.command[1] == 'S') mon.hostSaveDone(saved == Bytes{0x00, 0xC0, 1, 2}, 2);
        EXPECT_EQ(shown(), c.screen);
        EXPECT_TRUE(holds(c.address, c.bytes));
        if (!c.undo.empty()) {
            EXPECT_EQ(u.undoName(), c.undo);
            u.MakeUndo();
            EXPECT_TRUE(std::equal(before.begin(), before.end(), m->ram));
        }
    }
    // Past $FFFF the bytes wrapped to $0000, never into the character ROM behind the RAM.
    EXPECT_EQ(m->charRom[0], 0);
}

// Listings: the command prints the first line, each tick one more, until the end or the wrap.
TEST_F(MonitorTest, Listings) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {".M C000 C008", {".:C000"}},
        {".M C000 C010", {".:C000", ".:C008", ".:C010"}},
        {".M FFF8 -", {".:FFF8"}},
        {".M FFF0 -", {".:FFF0", ".:FFF8"}},
        {".J FFC0 -", {".,FFC0", ".,FFE0"}},
        {".M C010 C000", {".:C010"}},
        {".D FFFC -", {".>FFFC", ".>FFFD", ".>FFFE"}},
    };
    for (const auto& [command, lines] : cases) {
        preset();
        run(command);
        for (int i = 0; i < 100 && mon.listing; ++i) mon.tick();
        EXPECT_FALSE(mon.listing) << command;
        ASSERT_EQ(mon.row, int(lines.size())) << command;
        for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(mon.rowText(int(i) + 1).substr(0, 6), lines[i]);
    }
    m->ram[0x0003] = 1;
    run(".J FFF0");
    EXPECT_EQ(mon.rowText(1)[7 + 19], 'A');  // $0003, read with the wrap
    // Any key, Return included, only stops a running listing.
    for (int k = 0; k <= 9; ++k) {
        run(".M 0000 FFFF");
        std::string before = shown();
        k ? mon.editKey(EditKey(k), false) : mon.typeChar(1);
        EXPECT_FALSE(mon.listing);
        EXPECT_EQ(shown(), before);
    }
}

TEST_F(MonitorTest, EditingKeysAndScrolling) {
    Monitor fresh(*m, cpu);
    EXPECT_EQ(fresh.col * 100 + fresh.row, 101);
    EXPECT_EQ(shown(), "VORLIX MONITOR - ? FOR HELP|.");
    struct Case {
        int col, row;
        EditKey key;
        bool shift;
        int wantCol, wantRow;
        std::string screen;
    };
    const std::vector<Case> cases = {
        {3, 0, EditKey::Insert, false, 3, 0, ".F  C001 C000|KL"}, {3, 0, EditKey::Delete, false, 3, 0, ".F 001 C000|KL"},
        {3, 0, EditKey::Backspace, false, 2, 0, ".FC001 C000|KL"},  {0, 0, EditKey::Backspace, false, 39, 0, ""},
        {0, 5, EditKey::Backspace, false, 39, 4, ""},         {0, 0, EditKey::Left, false, 39, 0, ""},
        {39, 3, EditKey::Right, false, 0, 4, ""},             {5, 3, EditKey::Up, false, 5, 2, ""},
        {5, 3, EditKey::Down, false, 5, 4, ""},               {5, 3, EditKey::Home, false, 0, 0, ""},
        {5, 3, EditKey::Home, true, 0, 0, "-"},               {5, 0, EditKey::Return, false, 0, 1, ""},
        {39, 24, EditKey::Right, false, 0, 24, "KL"},          {5, 24, EditKey::Down, false, 5, 24, "KL"},
    };
    for (const Case& c : cases) {
        mon.clear();
        mon.print(".F C001 C000\nKL");
        mon.listMode = 0;
        mon.col = c.col, mon.row = c.row;
        mon.editKey(c.key, c.shift);
        std::string want = c.screen == "-" ? "" : c.screen.empty() ? ".F C001 C000|KL" : c.screen;
        EXPECT_EQ(shown(), want) << int(c.key);
        EXPECT_EQ(mon.col * 100 + mon.row, c.wantCol * 100 + c.wantRow) << int(c.key);
    }
    mon.clear();
    mon.row = 1;
    for (int i = 0; i < 40; ++i) mon.putChar('A');
    mon.row = 24, mon.col = 39;
    mon.typeChar(2);  // the last cell: the screen scrolls
    EXPECT_EQ(shown(), std::string(40, 'A') + std::string(23, '|') + std::string(39, ' ') + "B");
    EXPECT_EQ(mon.col * 100 + mon.row, 24);
}

// Up on the top row and Down on the bottom row continue the last listing.
TEST_F(MonitorTest, UpAndDownContinueTheListing) {
    struct Case {
        std::string listing, edge;
        EditKey key;
        std::string newLine;
    };
    const std::vector<Case> cases = {
        {".M 3000", ".:C008 00", EditKey::Up, ".:C000"}, {".M 3000", ".:0000", EditKey::Up, ".:FFF8"},
        {".M 3000", ".:", EditKey::Up, ".:2FF8"},         {".M 3000", "HELLO", EditKey::Up, ".:2FF8"},
        {".J 3000", ".,0010", EditKey::Up, ".,FFF0"},     {".D C000", ".>C001", EditKey::Up, ".>C000"},
        {".M 3000", ".:FFF8", EditKey::Down, ".:0000"},   {".D C000", ".>FFFE", EditKey::Down, ".>0001"},
        {".J 3000", ".,FFF0", EditKey::Down, ".,0010"},
    };
    preset();
    for (const Case& c : cases) {
        run(c.listing);
        mon.clear();
        mon.row = c.key == EditKey::Up ? 0 : 24;
        mon.print(c.edge);
        mon.editKey(c.key, false);
        EXPECT_EQ(mon.rowText(mon.row).substr(0, 6), c.newLine) << c.edge;
        EXPECT_EQ(mon.col, 7);
    }
}

TEST(MonitorFileCommand, Parsing) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {".L\"PIC\",8", "PIC 8 -1 -1"},
        {".L \"PIC\" , 9 , C000 , C100   ", "PIC 9 49152 49408"},
        {".S\"@:PIC\",6,1000,2000,X", "@:PIC 6 4096 8192"},
        {".L\"@:ABCDEFGHIJKLMNOP\",8", "@:ABCDEFGHIJKLMNOP 8 -1 -1"},
        {".L\"PIC\",8,,C100", "PIC 8 -1 49408"},
        {".L\"PIC\",", ""}, {".L\"PIC\",X", ""}, {".L\"PIC\",99999999999", ""}, {".L\"PIC\",8,C0000", ""},
        {".L\"PIC\",8,1000,XYZ", ""}, {".L\"PIC\"8", ""}, {".L\"PIC\"", ""}, {".L\"PIC", ""}, {".L PIC,8", ""},
        {".L", ""}, {".L\"\",8", ""}, {".L\"@:\",8", ""}, {".L\"ABCDEFGHIJKLMNOPQ\",8", ""}, {".L\"A/B\",8", ""},
        {".L\"A\\B\",8", ""}, {".L\"A:B\",8", ""}, {".L\"A@:B\",8", ""}, {".L\"..\",8", ""},
    };
    for (const auto& [row, want] : cases) {
        std::string name;
        int device = 0, from = 0, to = 0;
        bool ok = Monitor::parseFileCmd(row, name, device, from, to);
        std::string got = ok ? name + " " + std::to_string(device) + " " + std::to_string(from) + " " +
                                   std::to_string(to)
                             : "";
        EXPECT_EQ(got, want) << row;
    }
}

TEST(MonitorInApp, CallbacksReachTheProcessorTheWindowsAndTheFileDialog) {
    TempDir tmp{"vorlix-monitor-app"};
    setenv("APPDATA", tmp.path.c_str(), 1);
    Platform::initWithBasePath("");
    auto app = std::make_unique<App>();
    Monitor& mon = app->monitor;
    auto run = [&](const std::string& command) {
        mon.clear();
        mon.print(command);
        mon.enter();
    };
    app->showMonitor = true;
    run(".G C123");
    EXPECT_EQ(app->cpu.pc, 0xC123);
    EXPECT_TRUE(app->showProcessor);
    EXPECT_FALSE(app->cpuRunning);
    run(".L\"PIC\",8");
    EXPECT_EQ(mon.rowText(1).substr(0, 24), "DEVICE NOT PRESENT ERROR");
    run(".S\"@:PIC\",6,C000,C010");
    EXPECT_EQ(FileIO::dialog().title, "Monitor save");
    EXPECT_STREQ(FileIO::dialog().name, "pic.prg");
    run(".L\"PIC\",6");
    EXPECT_EQ(FileIO::dialog().title, "Monitor load: PIC");
    Bytes file{0x00, 0x20, 7};
    FileIO::dialog().onOpen("pic.prg", file);
    EXPECT_EQ(mon.rowText(2).substr(0, 36), "$0001 BYTES READ FROM $2000 TO $2001");
    // The load is an undo step of its own: a processor step cannot merge over it.
    EXPECT_EQ(app->undoBuffer.undoName(), "monitor load");
    run(".X");
    EXPECT_FALSE(app->showMonitor);
    FileIO::cancel();
    unsetenv("APPDATA");
}

TEST(SourceLine, SpansClampToTheText) {
    const std::vector<std::tuple<std::string, int, int, int>> cases = {
        {"AB\nCDE\nF", 1, 0, 2}, {"AB\nCDE\nF", 2, 3, 6}, {"AB\nCDE\nF", 3, 7, 8}, {"AB\nCDE\nF", 9, 7, 8},
        {"AB\nCDE\n", 3, 3, 6},  {"AB\n\nX", 2, 3, 3},    {"", 4, 0, 0},
    };
    for (const auto& [text, line, start, end] : cases) {
        LineSpan s = SourceLineSpan(text, line);
        EXPECT_EQ(s.start * 1000 + s.end, start * 1000 + end) << text << " line " << line;
    }
}

}  // namespace
