#pragma once
#include <vector>

#include "cpu/Assembler.h"

struct App;

// What the processor and assembler windows do to the machine, apart from drawing.
namespace CpuActions {

// Instructions a running processor executes per frame.
constexpr int frameBudget = 5000;

// One instruction after a whole-memory undo step; a series of steps shares
// the step of its first.
void step(App& app);
// Takes the run's undo step and executes the first instruction at once, so a
// run starting on a breakpoint leaves it; running unless that stopped.
void run(App& app);
// One frame of a run; true when it ended at a stop or a breakpoint.
bool runFrame(App& app);

struct Compiled {
    bool ok = false;
    int start = -1;  // the code start when ok, else -1
    int end = -1;    // the final address when ok, else -1
    std::vector<Assembler::Message> messages;
};

// Assembles App's source into memory after a whole-memory undo step.
Compiled compile(App& app);
// Points the processor at start and shows it, without running.
void runCompiled(App& app, int start);

}  // namespace CpuActions
