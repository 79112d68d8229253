#include "core/Registers.h"

namespace Registers {

namespace {

const char* const descriptions[Count] = {
    "Sprite0 X Position", "Sprite0 Y Position", "Sprite1 X Position", "Sprite1 Y Position",
    "Sprite2 X Position", "Sprite2 Y Position", "Sprite3 X Position", "Sprite3 Y Position",
    "Sprite4 X Position", "Sprite4 Y Position", "Sprite5 X Position", "Sprite5 Y Position",
    "Sprite6 X Position", "Sprite6 Y Position", "Sprite7 X Position", "Sprite7 Y Position",
    "MSB of Sprite X Coord", "Y Scroll Mode", "Raster", "Light Pen X", "Light Pen Y", "Sprite Enable",
    "X Scroll Mode", "Sprite Expand Y", "Screen and Char Base Address", "IRQ", "IRQ Mask",
    "Background-Sprite Priority", "Multicolor Sprite", "Sprite Expand X", "Sprite-Sprite Collision",
    "Sprite-Background Collision", "Border Color", "Background Color 0", "Background Color 1",
    "Background Color 2", "Background Color 3", "Sprite Multicolor 0", "Sprite Multicolor 1",
    "Sprite0 Color", "Sprite1 Color", "Sprite2 Color", "Sprite3 Color", "Sprite4 Color", "Sprite5 Color",
    "Sprite6 Color", "Sprite7 Color",
};

}  // namespace

const char* description(int index) { return index >= 0 && index < Count ? descriptions[index] : ""; }

std::string bits(int value) {
    std::string s(8, '0');
    for (int i = 0; i < 8; ++i)
        if (value & (0x80 >> i)) s[i] = '1';
    return s;
}

}  // namespace Registers
