// The program whose paste stamps nothing: a click on a floating paste takes
// it away instead of placing it (linked with --wrap on Editor::commitPaste).
// The self-test run of CI must fail on its paste check.
#include "gui/Program.h"
#include "core/Editor.h"

extern "C" void __wrap__ZN6Editor11commitPasteEv(Editor* editor) { editor->cancelPaste(); }

int main(int argc, char** argv) { return runProgram(argc > 0 ? argv[0] : ""); }
