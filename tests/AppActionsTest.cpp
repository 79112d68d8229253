#include "app/App.h"
#include "app/CpuActions.h"
#include "cpu/CPU6502.h"
#include "platform/Platform.h"
#include "tests/FileTestSupport.h"

namespace {

// An application on the built assets with a configuration directory of its own.
struct AppActions : testing::Test {
    TempDir tmp{"vorlix-actions"};
    std::unique_ptr<App> app;

    void SetUp() override {
        fs::create_directories(tmp.path / "config");
        setenv("APPDATA", (tmp.path / "config").c_str(), 1);
        setenv("VORLIX_ASSETS", VORLIX_ASSET_DIR, 1);
        Platform::initWithBasePath("");
        app = std::make_unique<App>();
    }
    void TearDown() override {
        app.reset();
        unsetenv("APPDATA");
        unsetenv("VORLIX_ASSETS");
        Platform::initWithBasePath("");
    }
    Machine& m() { return app->machine; }
    void poke(u16 at, const Bytes& bytes) { std::copy(bytes.begin(), bytes.end(), m().ram + at); }
    Bytes peek(u16 at, size_t n) { return Bytes(m().ram + at, m().ram + at + n); }
    void monitor(const std::string& command) { app->monitor.clear(), app->monitor.print(command), app->monitor.enter(); }
    // Runs until the run ends, a frame at a time.
    void runToEnd() {
        CpuActions::run(*app);
        for (int frame = 0; app->cpuRunning && frame < 100; ++frame) CpuActions::runFrame(*app);
        ASSERT_FALSE(app->cpuRunning);
    }
};

// Fills $0500-$05FF with 2 and ends with an RTS from the top, which stops the run.
const Bytes fillProgram = {0xA9, 0x02, 0xA2, 0x00, 0x9D, 0x00, 0x05, 0xE8, 0xD0, 0xFA, 0x60};

// A write that takes an undo step while a copied block floats over the text screen: moving the pointer
// afterwards must not put back the bytes the paste was shown over.
TEST_F(AppActions, WritesSettleAFloatingPaste) {
    const struct {
        const char* name;
        std::function<void(AppActions&)> write;
        u16 at;
        Bytes expected;
        const char* undoName;
    } rows[] = {
        {"monitor fill", [](AppActions& t) { t.monitor(".F 0500 0600 02"); }, 0x0500, Bytes(256, 2), "monitor fill"},
        {"processor step",
         [](AppActions& t) {
             t.app->cpu.a = 2;
             t.app->cpu.pc = 0xC000;
             t.poke(0xC000, {0x8D, 0x00, 0x05});  // STA $0500
             CpuActions::step(*t.app);
         },
         0x0500, {2}, "cpu step"},
        {"processor run",
         [](AppActions& t) {
             t.app->cpu.pc = 0xC000;
             t.poke(0xC000, fillProgram);
             t.runToEnd();
         },
         0x0500, Bytes(256, 2), "cpu run"},
        {"compile",
         [](AppActions& t) {
             t.app->asmSource = "*=$0500\n        LDA #$02\n        RTS\n";
             ASSERT_TRUE(CpuActions::compile(*t.app).ok);
         },
         0x0500, {0xA9, 0x02, 0x60}, "assemble"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        Editor& ed = app->editor;
        ASSERT_EQ(m().gfxMode(), 0);
        std::memset(m().ram + 0x0400, 0x20, 1000);
        poke(0x0400, {1, 2});
        poke(0x0428, {3, 4});
        ed.tool = Editor::ToolSelect;
        ed.mouseDown(0, 0, 0);
        ed.mouseMove(15, 15);
        ed.mouseUp(15, 15, 0);
        ASSERT_TRUE(ed.copyBlock());
        ASSERT_TRUE(ed.startPaste());
        ASSERT_TRUE(ed.pasting);
        row.write(*this);
        ed.mouseMove(30 * 8, 20 * 8);
        EXPECT_EQ(peek(row.at, row.expected.size()), row.expected);
        EXPECT_EQ(app->undoBuffer.undoName(), row.undoName);
        EXPECT_FALSE(ed.pasting);
        TearDown();
    }
}

// Stepping, running and compiling each take one step that gives back the memory before them: a
// picture at the compile's target address comes back whole.
TEST_F(AppActions, ProcessorAndCompileUndo) {
    const struct {
        const char* name;
        std::function<void(AppActions&)> act;
        const char* undoName;
        size_t steps;  // undo steps taken
        int start;     // the compile's code start; 0: no compile
        bool changes = true;
    } rows[] = {
        {"three steps undo as one",
         [](AppActions& t) {
             for (int i = 0; i < 3; ++i) CpuActions::step(*t.app);
         },
         "cpu step", 1, 0},
        {"a step after another step kind starts its own",
         [](AppActions& t) {
             CpuActions::step(*t.app);
             CpuActions::step(*t.app);
             t.app->undoBuffer.TakeUndoRange(0, 1, "edit");
             CpuActions::step(*t.app);  // the store
         },
         "cpu step", 3, 0},
        {"run", [](AppActions& t) { t.runToEnd(); }, "cpu run", 1, 0},
        {"compile over a picture",
         [](AppActions& t) {
             t.app->asmSource = "*=$2000\n        LDX #$00\nloop    STA $2100,X\n        INX\n        BNE loop\n";
             CpuActions::Compiled c = CpuActions::compile(*t.app);
             EXPECT_TRUE(c.ok);
             EXPECT_EQ(c.start, 0x2000);
         },
         "assemble", 1, 0x2000},
        {"failed compile",
         [](AppActions& t) {
             t.app->asmSource = "*=$2000\n        BNE nowhere\n";
             CpuActions::Compiled c = CpuActions::compile(*t.app);
             EXPECT_FALSE(c.ok);
             EXPECT_EQ(c.start, -1);
             EXPECT_FALSE(c.messages.empty());
         },
         "assemble", 1, -1, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        m().setGfxMode(3);
        for (int i = 0; i < 8000; ++i) m().ram[0x2000 + i] = u8(i * 13 + 5);  // the picture
        app->cpu.pc = 0xC000;
        poke(0xC000, fillProgram);
        const Bytes before = peek(0, 0x10000);
        row.act(*this);
        EXPECT_EQ(peek(0, 0x10000) != before, row.changes);
        EXPECT_EQ(app->undoBuffer.undo.size(), row.steps);
        EXPECT_EQ(app->undoBuffer.undoName(), row.undoName);
        while (!app->undoBuffer.undo.empty()) app->editor.undoLast();
        EXPECT_EQ(peek(0, 0x10000), before);
        if (row.start) {
            CpuActions::runCompiled(*app, row.start);
            EXPECT_EQ(app->cpu.pc, row.start < 0 ? 0xC000 : row.start);
            EXPECT_EQ(app->showProcessor, row.start >= 0);
        }
        TearDown();
    }
}

// A slice ends at its budget, at a stop or on a breakpoint, tested after each step.
TEST(CpuRunSlice, BudgetStopAndBreakpoints) {
    // $C000: five NOPs, then an RTS with nothing to return to.
    const struct {
        const char* name;
        int budget;
        std::set<u16> breakpoints;
        bool ended;
        u16 pc;
        bool stopped;
    } rows[] = {
        {"budget", 3, {}, false, 0xC003, false},
        {"stop", 100, {}, true, 0xC005, true},
        {"breakpoint", 100, {0xC002, 0xC004}, true, 0xC002, false},
        {"one on the start is left", 100, {0xC000}, true, 0xC005, true},
        {"nothing to do", 0, {0xC000}, false, 0xC000, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto m = std::make_unique<Machine>();
        CPU6502 cpu{*m};
        std::memset(m->ram + 0xC000, 0xEA, 5);
        m->ram[0xC005] = 0x60;
        cpu.pc = 0xC000;
        cpu.breakpoints = row.breakpoints;
        EXPECT_EQ(RunSlice(cpu, row.budget), row.ended);
        EXPECT_EQ(cpu.pc, row.pc);
        EXPECT_EQ(cpu.stopped, row.stopped);
    }
}

}  // namespace
