// PC picture import: any bytes decoded as a picture; a small one is converted in every resolution.
#include "FuzzSupport.h"
#include "import/PictureImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<u32> pixels;
    int w = 0, h = 0;
    std::string error;
    const Bytes bytes(data, data + size);
    if (!decodePicture(bytes, pixels, w, h, error)) {
        if (error.empty()) abort();
        return 0;
    }
    if (w <= 0 || h <= 0 || pixels.size() != size_t(w) * size_t(h)) abort();
    if (size_t(w) * size_t(h) > 4096) return 0;
    App& app = Fuzz::app();
    ImportPicState& s = importPicState();
    openImportPicture(app, "fuzz.png", bytes);
    for (int resolution = 0; resolution < 3; ++resolution) {
        s.resolution = resolution;
        s.dirty = true;
        recomputeImport(app, s);
    }
    closeImport(app, s);
    return 0;
}
