// PC picture import: any bytes decoded as a picture; one small picture in 64 is also taken
// into the import and converted to hires or multicolour (the PETSCII search takes seconds a run).
#include "FuzzSupport.h"
#include "app/ImportActions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<u32> pixels;
    int w = 0, h = 0;
    std::string error;
    const Bytes bytes(data, data + size);
    // Pictures of a million pixels and more only make the runs slow: the size bound has its own tests.
    long long iw = 0, ih = 0;
    if (pictureHeaderSize(bytes, iw, ih) && (iw > (1 << 20) || ih > (1 << 20) || iw * ih > (1 << 20))) return 0;
    // The band-by-band reader of PNG and JPEG, to its end.
    if (std::unique_ptr<RowDecoder> d = startBandedDecode(bytes, error)) {
        if (!readAllRows(*d, error) && error.empty()) abort();
    }
    error.clear();
    if (!decodePicture(bytes, pixels, w, h, error)) {
        if (error.empty()) abort();
        return 0;
    }
    if (w <= 0 || h <= 0 || pixels.size() != size_t(w) * size_t(h)) abort();
    if (size_t(w) * size_t(h) > 4096 || size % 64 != 0) return 0;
    App& app = Fuzz::app();
    ImportPicState& s = app.ui.importPicture;
    openImportPicture(app, "fuzz.png", bytes);
    s.resolution = int(size % 2);
    s.dirty = true;
    recomputeImport(app, s);
    closeImport(app, s);
    return 0;
}
