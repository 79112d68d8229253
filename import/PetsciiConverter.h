#pragma once
#include <vector>

#include "core/Machine.h"
#include "core/Types.h"

struct PetsciiOptions {
    int charset = 0;  // 0 ROM upper case/graphics, 1 ROM lower case, 2 the current set
    int colors = 2;   // 0 mono, 1 greyscale, 2 colour
    int background = -1;  // -1 automatic
    float detail = 0.5f;  // weight of the exact pixel match against the 2x2 tone match
    bool reversed = true;
    bool noLettersOrDigits = false;
};

// Turns a 320x200 picture into 40x25 screen codes and colours over one background.
struct PetsciiConverter {
    u8 screen[1000] = {};
    u8 color[1000] = {};
    int bg = 0;
    u8 palette[16][3] = {};
    u8 charset[256][8] = {};

    void SetPalette(const u8 (*rgb)[3]);
    // which: 0 ROM upper case, 1 ROM lower case, 2 the set the VIC sees now.
    void SetCharset(const Machine& m, int which);
    void Convert(const std::vector<u32>& pixels, const PetsciiOptions& options);
    std::vector<u32> Preview() const;
    // Text mode with the codes, colours and background; for a ROM set the VIC
    // is pointed at that ROM.
    void Store(Machine& m, int which) const;
};
