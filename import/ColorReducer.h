#pragma once
#include <vector>

#include "core/Machine.h"
#include "core/Types.h"

// Turns an RGBA picture into a C64 hires (320x200) or multicolour (160x200)
// bitmap under the colour limits of the cells, with optional error diffusion.
struct ColorReducer {
    int bg = 0;      // multicolour background ($D021)
    int width = 320;  // 160 multicolour, 320 hires
    // [cell column][cell row][slot]: hires 0-bits, 1-bits, unused;
    // multicolour the colours of bit pairs 01, 10, 11.
    u8 cellColors[40][25][3] = {};
    std::vector<u8> pixels;  // width x 200 colour indices
    u8 palette[16][3] = {};
    int colorMode = 2;  // 0 mono, 1 greyscale, 2 colour
    std::vector<int> allowed;
    std::vector<float> error;  // width x 200 x RGB

    void SetPalette(const u8 (*rgb)[3]);
    // The picture (w x h, row-major) resampled to dstW x 200.
    static std::vector<u32> Resize(const u32* pixels, int w, int h, int dstW, bool zoomToFit,
                                   bool keepAspect);
    // Output rows y0 to y1 - 1 of Resize into out (dstW x 200, black at first).
    static void ResizeRows(const u32* pixels, int w, int h, int dstW, bool zoomToFit, bool keepAspect, int y0,
                           int y1, u32* out);
    // The same rows at 160 and 320 wide, each source row read once for both.
    static void ResizeRowsBothWidths(const u32* pixels, int w, int h, bool zoomToFit, bool keepAspect, int y0, int y1,
                                     u32* out160, u32* out320);
    // How many output rows from the top can be made from the picture's first rows.
    static int ResizeRowsReady(int w, int h, bool zoomToFit, bool keepAspect, int rows);
    // pixels: width x 200 from Resize; background -1 chooses it (multicolour only).
    void Reduce(const std::vector<u32>& pixels, int width, int colorMode, int dither, int background);
    std::vector<u32> Preview() const;
    // Writes the bitmap, screen, colour RAM and mode; takes no undo step.
    void Store(Machine& m) const;

    // The colours a mode may use, in matching order.
    static std::vector<int> allowedColors(int colorMode);
    // Integer luminance of an RGB triple.
    static int luminance(int r, int g, int b) { return (222 * r + 707 * g + 71 * b) / 1000; }

private:
    void quantize(const std::vector<u32>& pixels, int dither, bool perCell);
    bool calcPaletteHires();
    bool calcPalette(int background);
};
