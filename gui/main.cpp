#include <SDL.h>

#include "gui/Program.h"

int main(int argc, char** argv) { return runProgram(argc > 0 ? argv[0] : ""); }
