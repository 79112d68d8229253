#pragma once
#include <memory>
#include <string>
#include <vector>

#include "core/Types.h"
#include "import/ColorReducer.h"
#include "import/PetsciiConverter.h"
#include "import/RowDecoder.h"

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

// A picture being read across frames, a band of rows at a time, and resampled
// at both widths as its rows arrive. The window's picture stays until it ends.
struct PictureLoad {
    std::shared_ptr<RowDecoder> decoder;  // null while no picture is being read
    std::string name;
    bool wasOpen = false;  // the window was open before the reading began
    bool zoomToFit = true, keepAspect = false;  // the placement resampled for
    std::vector<u32> resampled[2];              // 160 and 320 wide
    int resampledRows = 0;                      // output rows made at both widths
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
    PictureLoad load;
};

// Largest picture taken: per side, and in pixels (4 bytes each: 256 MB).
constexpr int maxPictureSide = 16384;
constexpr long long maxPicturePixels = 64LL * 1024 * 1024;

// Pictures up to this size are decoded at once; larger PNGs and JPEGs a band at a time.
constexpr long long maxPixelsAtOnce = 1920LL * 1080;

// The size a picture's header gives; false when it gives none.
bool pictureHeaderSize(const Bytes& bytes, long long& w, long long& h);
// A PNG or JPEG larger than maxPixelsAtOnce by its header.
bool decodesInBands(const Bytes& bytes);
// Checks the header as decodePicture does and prepares a PNG or JPEG to be read
// a band at a time; null with error set when it is refused.
std::unique_ptr<RowDecoder> startBandedDecode(const Bytes& bytes, std::string& error);

// Decodes PNG, JPEG, BMP, GIF, TGA or PSD bytes to RGBA pixels. Sizes over the
// bound are refused from the header, before decoding. On failure, error holds
// the reason.
bool decodePicture(const Bytes& bytes, std::vector<u32>& pixels, int& w, int& h, std::string& error);
