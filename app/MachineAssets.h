#pragma once
#include <string>

struct Machine;

// The machine's two files from dir: the RAM image it powers on with
// (C64Raw.bin) and the character ROM (C64Chars.bin; a short file fills only
// the start). Each counts on its own: one that cannot be read changes nothing.
// True when both were read.
bool loadMachineAssets(Machine& m, const std::string& dir);
