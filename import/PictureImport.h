#pragma once
#include <string>
#include <vector>

#include "core/Types.h"
#include "import/ColorReducer.h"
#include "import/PetsciiConverter.h"

struct ImportPreview {
    std::vector<u32> pixels;
    int w = 0, h = 0;
};

// The resampled picture at both widths for the inputs it was made from:
// options that only change the reduction, and mode switches, reuse it.
struct ResampledPicture {
    long long picture = -1;  // which decoded picture (ImportPicState::pictureId)
    bool zoomToFit = false, keepAspect = false;
    std::vector<u32> pixels[2];  // 160 and 320 wide; empty until made
    int runs = 0;  // resamplings done, for the tests
};

// The picture import window's state: the picture, its options and results.
struct ImportPicState {
    std::vector<u32> pixels;  // RGBA, row-major
    int width = 0, height = 0;
    std::string name;
    int resolution = 1;  // 0 hires, 1 multicolour, 2 PETSCII text
    PetsciiOptions options;
    int detailPercent = 50;
    int colors = 2;
    int dithering = 1;
    int palette = -1;  // -1: not yet taken from the App
    int background = -1;
    bool keepAspect = false;
    bool zoomToFit = true;
    bool dirty = true;
    bool pickerShown = false;
    bool autoAccept = false;
    ColorReducer reducer;
    PetsciiConverter converter;
    ImportPreview sourcePreview;
    ImportPreview resultPreview;
    long long pictureId = 0;  // a new number for every picture taken
    ResampledPicture resampled;
};

// Largest picture taken: per side, and in pixels (4 bytes each: 256 MB).
constexpr int maxPictureSide = 16384;
constexpr long long maxPicturePixels = 64LL * 1024 * 1024;

// Decodes PNG, JPEG, BMP, GIF, TGA or PSD bytes to RGBA pixels. Sizes over the
// bound are refused from the header, before decoding. On failure, error holds
// the reason.
bool decodePicture(const Bytes& bytes, std::vector<u32>& pixels, int& w, int& h, std::string& error);
