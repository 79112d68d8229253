#pragma once
#include <string>

#include "core/Types.h"

// The whole 64 KB as a grey picture: one pixel per byte (its value as
// brightness) or one per bit (bit 7 leftmost), in rows of a chosen width.
namespace MemoryBitmap {

constexpr int WidthCount = 4;
extern const int widths[WidthCount];  // 160, 320, 640, 1280

int pixelCount(bool oneBit);  // 65,536 or 524,288
// Rows needed at that width; the last row is padded with black.
int height(bool oneBit, int width);
// Fills width x height pixels.
void render(const u8* ram, bool oneBit, int width, u32* out);
// The tooltip over pixel (x, y); "" outside the picture or over the padding.
std::string hoverText(const u8* ram, bool oneBit, int width, int x, int y);

}  // namespace MemoryBitmap
