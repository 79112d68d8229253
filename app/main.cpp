#include <SDL.h>

#include "app/Program.h"

int main(int argc, char** argv) { return runProgram(argc > 0 ? argv[0] : ""); }
