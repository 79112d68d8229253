// Font import: any bytes taken as a font file; a usable one renders every group of characters.
#include "FuzzSupport.h"
#include "import/FontImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ImportFontState state;
    if (size < 1) return 0;
    state.size = 4 + data[0] % 13;
    state.xOffset = data[0] % 9 - 4;
    state.yOffset = (data[0] / 9) % 9 - 4;
    if (!loadFont(state, "fuzz.ttf", Bytes(data + 1, data + size))) {
        if (state.loaded || state.error.empty()) abort();
        return 0;
    }
    u8 pattern[8];
    for (int c : {0x41, 0x7A, 0x30, 0x40, 0xA3, 0x2190, 0x1F600, -1}) renderGlyph(state, pattern, c);
    return 0;
}
