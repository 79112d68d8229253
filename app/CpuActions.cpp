#include "app/CpuActions.h"

#include "app/App.h"

namespace CpuActions {

namespace {

// The processor for running: a program writes anywhere, so what the editor shows over its backup is
// settled first. Every step and slice runs through here.
CPU6502& processor(App& app) {
    app.editor.write();
    return app.cpu;
}

}  // namespace

void step(App& app) {
    if (app.undoBuffer.undoName() != "cpu step") app.undoBuffer.TakeUndo(UndoBuffer::KindAll, "cpu step");
    app.cpu.stopped = false;
    processor(app).step();
}

void run(App& app) {
    app.undoBuffer.TakeUndo(UndoBuffer::KindAll, "cpu run");
    app.cpu.stopped = false;
    processor(app).step();
    app.cpuRunning = !app.cpu.stopped;
}

bool runFrame(App& app) {
    if (!app.cpuRunning || !RunSlice(processor(app), frameBudget)) return false;
    app.cpuRunning = false;
    return true;
}

Compiled compile(App& app) {
    app.undoBuffer.TakeUndo(UndoBuffer::KindAll, "assemble");
    Assembler as(app.machine);
    Compiled c;
    c.ok = as.assemble(app.asmSource);
    c.messages = std::move(as.messages);
    // A failed compile must not point the processor at old bytes.
    c.start = c.ok ? as.codeStart : -1;
    c.end = c.ok ? as.finalAddr : -1;
    return c;
}

void runCompiled(App& app, int start) {
    if (start < 0) return;
    app.cpu.pc = u16(start);
    app.cpu.stopped = false;
    app.showProcessor = true;
}

}  // namespace CpuActions
