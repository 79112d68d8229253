#pragma once
#include "core/Machine.h"
#include "core/Palette.h"
#include "core/Types.h"

// Draws what a VIC-II would show for the machine's memory into 32-bit pixels
// (R | G << 8 | B << 16 | alpha 255 << 24). Stateless; never allocates.
namespace Vic {

constexpr int FrameWidth = 384;
constexpr int FrameHeight = 264;
constexpr int ScreenX = 32;
constexpr int ScreenY = 32;
constexpr int ScreenWidth = 320;
constexpr int ScreenHeight = 200;

// 8 rows of pattern bytes; colors indexed by the pixel bit (hires) or pair (multicolour).
void renderCharData(const u8* data, bool multicolor, const u32* colors, u32* out, int stride);

// One 8x8 cell of the screen, col 0-39, row 0-24.
void renderCell(const Machine& m, const Palette& pal, int col, int row, u32* out, int stride);

// The 40x25 cells, 320x200 pixels.
void renderScreen(const Machine& m, const Palette& pal, u32* out, int stride);

// 384x264 pixels: the border colour with the screen at (32, 32); no sprites.
void renderFrame(const Machine& m, const Palette& pal, u32* out);

// A 24x21 sprite from 63 bytes; a colour value of 0 leaves the target pixel alone.
void renderSpriteData(const u8* data, bool multicolor, u32 c1, u32 c0, u32 mc1, u32 mc2, u32* out,
                      int stride);

// The sprite whose data lies at bank base + pointer * 64, in the given colours.
void renderSprite(const Machine& m, const Palette& pal, u8 pointer, u8 color, u8 background,
                  bool multicolor, u32* out, int stride);

}  // namespace Vic
