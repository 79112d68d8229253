#pragma once
#include <memory>
#include <string>
#include <vector>

#include "core/Types.h"
#include "platform/Platform.h"
#include "import/ColorReducer.h"
#include "import/PetsciiConverter.h"
#include "import/RowDecoder.h"

struct ImportPreview {
    std::vector<u32> pixels;
    int w = 0, h = 0;
};

// Where the picture goes on the screen: 0 to 3 by zoom to fit (2) and keep aspect (1).
inline int placementOf(bool zoomToFit, bool keepAspect) { return (zoomToFit ? 2 : 0) + (keepAspect ? 1 : 0); }

// The resampled picture at both widths and every placement made so far for one
// picture: options that only change the reduction, mode switches, and going back
// to a placement seen before reuse it.
struct ResampledPicture {
    long long picture = -1;  // which decoded picture (ImportPicState::pictureId)
    std::vector<u32> pixels[4][2];  // by placement, 160 and 320 wide; empty until made
    // A large resampling is made a few rows at a time across frames, at both
    // widths, while the previews shown stay; -1 when none is under way.
    int pendingPlacement = -1, pendingRows = 0;
    std::vector<u32> pending[2];
    int runs = 0;  // resamplings done, for the tests
};

// A picture being read across frames: the file a piece at a time, then a band of
// rows at a time, resampled at both widths and every placement as its rows
// arrive. The window's picture stays until it ends.
struct PictureLoad {
    std::shared_ptr<Platform::FileReading> file;  // while the file is read, before decoding
    std::shared_ptr<RowDecoder> decoder;          // while the picture is decoded
    std::string name;
    bool wasOpen = false;  // the window was open before the reading began
    std::vector<u32> resampled[4][2];  // by placement, 160 and 320 wide
    int resampledRows[4] = {};         // output rows made at both widths
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
// a band at a time; null with error set when it is refused. The decoder takes the bytes.
std::unique_ptr<RowDecoder> startBandedDecode(Bytes bytes, std::string& error);

// Decodes PNG, JPEG, BMP, GIF, TGA or PSD bytes to RGBA pixels. Sizes over the
// bound are refused from the header, before decoding. On failure, error holds
// the reason.
bool decodePicture(const Bytes& bytes, std::vector<u32>& pixels, int& w, int& h, std::string& error);
