#include <benchmark/benchmark.h>
#include <stb/stb_image_write.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <stb/stb_image.h>

#include "app/App.h"
#include "app/MachineAssets.h"
#include "bench/BenchApp.h"
#include "core/Machine.h"
#include "core/Palette.h"
#include "import/ColorReducer.h"
#include "app/ImportActions.h"
#include "import/PetsciiConverter.h"
#include "import/PictureImport.h"
#include "platform/Platform.h"
#include "tests/ChildMemory.h"
#include "tests/ResizeReference.h"

namespace fs = std::filesystem;

namespace {

// A photo-like picture: soft colour gradients, round shapes and a little grain.
std::vector<u32> photo(int w, int h) {
    std::vector<u32> px(size_t(w) * h);
    u32 s = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double u = double(x) / w, v = double(y) / h;
            s = s * 1664525u + 1013904223u;
            int grain = int(s >> 28) - 8;
            double ring = 0.5 + 0.5 * std::sin(30 * std::hypot(u - 0.4, v - 0.6));
            int r = int(255 * u * ring) + grain, g = int(255 * v) + grain, b = int(255 * (1 - u) * (1 - ring * v)) + grain;
            auto c = [](int k) { return u32(k < 0 ? 0 : k > 255 ? 255 : k); };
            px[size_t(y) * w + x] = c(r) | c(g) << 8 | c(b) << 16 | 0xFF000000u;
        }
    return px;
}

void BM_Recompute320x200Floyd(benchmark::State& state, int width) {
    const std::vector<u32> pic = photo(320, 200);
    Palette pal;
    auto r = std::make_unique<ColorReducer>();
    r->SetPalette(pal.rgb);
    for (auto _ : state) {
        r->Reduce(ColorReducer::Resize(pic.data(), 320, 200, width, true, false), width, 2, 1, -1);
        benchmark::DoNotOptimize(r->Preview());
    }
}
BENCHMARK_CAPTURE(BM_Recompute320x200Floyd, Hires, 320)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Recompute320x200Floyd, Multicolor, 160)->Unit(benchmark::kMillisecond);

void BM_Petscii320x200(benchmark::State& state) {
    const std::vector<u32> pic = photo(320, 200);
    Palette pal;
    auto m = std::make_unique<Machine>();
    loadMachineAssets(*m, VORLIX_ASSET_DIR);
    auto c = std::make_unique<PetsciiConverter>();
    c->SetPalette(pal.rgb);
    c->SetCharset(*m, 0);
    const PetsciiOptions options;
    for (auto _ : state) {
        c->Convert(ColorReducer::Resize(pic.data(), 320, 200, 320, true, false), options);
        benchmark::DoNotOptimize(c->Preview());
    }
}
BENCHMARK(BM_Petscii320x200)->Unit(benchmark::kMillisecond);

// The 4,000 x 3,000 picture as a PNG, and the palette as a 16 x 1 PNG, made once.
struct BigFiles {
    fs::path dir = fs::temp_directory_path() / ("vorlix-bench-" + std::to_string(getpid()));
    fs::path picture = dir / "big.png", palette = dir / "c64palette.png", out = dir / "out.png";
    BigFiles() {
        fs::create_directories(dir);
        std::vector<u32> px = photo(4000, 3000);
        stbi_write_png(picture.c_str(), 4000, 3000, 4, px.data(), 4000 * 4);
        Palette pal;
        u32 colours[16];
        for (int c = 0; c < 16; ++c) colours[c] = pal.pixel(c);
        stbi_write_png(palette.c_str(), 16, 1, 4, colours, 16 * 4);
    }
    ~BigFiles() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};
const BigFiles& bigFiles() {
    static BigFiles files;
    return files;
}

Bytes readAll(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Ours from the file's bytes: decode, resample, Floyd-Steinberg to the palette.
void BM_Big4000x3000_Vorlix(benchmark::State& state) {
    const Bytes png = readAll(bigFiles().picture);
    Palette pal;
    auto r = std::make_unique<ColorReducer>();
    r->SetPalette(pal.rgb);
    for (auto _ : state) {
        std::vector<u32> px;
        int w = 0, h = 0;
        std::string error;
        if (!decodePicture(png, px, w, h, error)) state.SkipWithError(error.c_str());
        r->Reduce(ColorReducer::Resize(px.data(), w, h, 320, true, false), 320, 2, 1, -1);
        benchmark::DoNotOptimize(r->pixels.data());
    }
}
BENCHMARK(BM_Big4000x3000_Vorlix)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The same work done by ImageMagick as a process.
void BM_Big4000x3000_ImageMagick(benchmark::State& state) {
    const BigFiles& f = bigFiles();
    const std::string cmd = "/usr/bin/convert " + f.picture.string() + " -resize 320x200! -dither FloydSteinberg -remap " +
                            f.palette.string() + " " + f.out.string();
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("convert failed");
}
BENCHMARK(BM_Big4000x3000_ImageMagick)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The window's path: a picture in the import state, previewed in multicolour with Floyd-Steinberg.
ImportPicState& withPicture(int w, int h) {
    ImportPicState& s = benchApp().ui.importPicture;
    if (s.width != w || s.height != h) {
        s.pixels = photo(w, h);
        s.width = w;
        s.height = h;
        ++s.pictureId;
    }
    s.resolution = 1;
    s.dithering = 1;
    return s;
}

// First preview of a new picture: resampling and reduction.
void BM_ImportFirstPreview(benchmark::State& state) {
    App& app = benchApp();
    ImportPicState& s = withPicture(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        s.resampled.picture = -1;
        recomputeImport(app, s);
    }
}
BENCHMARK(BM_ImportFirstPreview)->Args({320, 200})->Args({8192, 8192})->Unit(benchmark::kMillisecond)->UseRealTime();

// One option that changes only the reduction (the dithering kernel): the resampled picture is reused.
void BM_ImportOptionChange(benchmark::State& state) {
    App& app = benchApp();
    ImportPicState& s = withPicture(int(state.range(0)), int(state.range(1)));
    recomputeImport(app, s);
    for (auto _ : state) {
        s.dithering = s.dithering == 1 ? 2 : 1;
        recomputeImport(app, s);
    }
    if (s.width > 320) closeImport(app, s);
}
BENCHMARK(BM_ImportOptionChange)->Args({320, 200})->Args({8000, 6000})->Args({8192, 8192})->Unit(benchmark::kMillisecond)->UseRealTime();

// Hires <-> multicolour: one reduction from the cached widths, beside the same switch when it must resample (as it
// did while the cache held one width).
void BM_ImportModeSwitch(benchmark::State& state, bool resamples) {
    App& app = benchApp();
    ImportPicState& s = withPicture(int(state.range(0)), int(state.range(1)));
    recomputeImport(app, s);
    for (auto _ : state) {
        s.resolution = s.resolution == 1 ? 0 : 1;
        if (resamples) s.resampled.picture = -1;
        recomputeImport(app, s);
    }
    if (s.width > 320) closeImport(app, s);
}
BENCHMARK_CAPTURE(BM_ImportModeSwitch, Cached, false)->Args({8000, 6000})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_ImportModeSwitch, ResamplingEachTime, true)->Args({8000, 6000})->Unit(benchmark::kMillisecond)->UseRealTime();

// Zoom to fit toggled to a placement not made yet, in one call: one resampling of the shown width and one reduction.
void BM_ImportFitChange(benchmark::State& state) {
    App& app = benchApp();
    ImportPicState& s = withPicture(int(state.range(0)), int(state.range(1)));
    recomputeImport(app, s);
    for (auto _ : state) {
        s.zoomToFit = !s.zoomToFit;
        s.resampled.pixels[placementOf(s.zoomToFit, s.keepAspect)][0].clear();  // as on a first visit
        recomputeImport(app, s);
    }
    s.zoomToFit = true;
    if (s.width > 320) closeImport(app, s);
}
BENCHMARK(BM_ImportFitChange)->Args({8000, 6000})->Unit(benchmark::kMillisecond)->UseRealTime();

// The same change as the window makes it: the resampling a share per frame (10 ms) with the previews kept, the
// reduction in a frame of its own. The time is the whole change; the counters its longest call and its calls.
void BM_ImportFitChangeAcrossFrames(benchmark::State& state) {
    App& app = benchApp();
    ImportPicState& s = withPicture(int(state.range(0)), int(state.range(1)));
    recomputeImport(app, s);
    double longest = 0, calls = 0;
    for (auto _ : state) {
        s.zoomToFit = !s.zoomToFit;
        s.resampled.pixels[placementOf(s.zoomToFit, s.keepAspect)][0].clear();  // as on a first visit
        s.dirty = true;
        for (bool done = false; !done; ++calls) {
            const auto t0 = std::chrono::steady_clock::now();
            done = stepImportPreview(app, s, 10.0);
            longest = std::max(longest, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        }
    }
    state.counters["longest_call_ms"] = longest;
    state.counters["calls"] = calls / double(state.iterations());
    s.zoomToFit = true;
    if (s.width > 320) closeImport(app, s);
}
BENCHMARK(BM_ImportFitChangeAcrossFrames)->Args({8000, 6000})->Unit(benchmark::kMillisecond)->UseRealTime();

// Reads every pixel as fast as memory gives them: four running sums of 64-bit words.
unsigned long long plainRead(const std::vector<u32>& pixels) {
    const unsigned long long* p = reinterpret_cast<const unsigned long long*>(pixels.data());
    unsigned long long a = 0, b = 0, c = 0, d = 0;
    for (size_t i = 0; i + 4 <= pixels.size() / 2; i += 4) a += p[i], b += p[i + 1], c += p[i + 2], d += p[i + 3];
    return a + b + c + d;
}

// The reference for both: one plain read of the picture's pixels.
void BM_ReadPixels(benchmark::State& state) {
    const ImportPicState& s = withPicture(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) benchmark::DoNotOptimize(plainRead(s.pixels));
}
BENCHMARK(BM_ReadPixels)->Args({8000, 6000})->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Resample(benchmark::State& state, bool firstWritten) {
    const int w = int(state.range(0)), h = int(state.range(1)), dstW = int(state.range(2));
    const std::vector<u32> pic = photo(w, h);
    for (auto _ : state)
        benchmark::DoNotOptimize(firstWritten ? resizeReference(pic, w, h, dstW, true, false)
                                              : ColorReducer::Resize(pic.data(), w, h, dstW, true, false));
}
BENCHMARK_CAPTURE(BM_Resample, Vorlix, false)->Args({1920, 1080, 320})->Args({4000, 3000, 160})->Args({8192, 8192, 160})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Resample, FirstWritten, true)->Args({1920, 1080, 320})->Args({4000, 3000, 160})->Args({8192, 8192, 160})->Unit(benchmark::kMillisecond);

// Both widths as the import makes them while a picture is read: from one pass over the source rows, beside one
// pass per width.
void BM_ResampleBothWidths(benchmark::State& state, bool onePass) {
    const int w = int(state.range(0)), h = int(state.range(1));
    const std::vector<u32> pic = photo(w, h);
    std::vector<u32> narrow(160 * 200), wide(320 * 200);
    for (auto _ : state) {
        if (onePass) {
            ColorReducer::ResizeRowsBothWidths(pic.data(), w, h, true, false, 0, 200, narrow.data(), wide.data());
        } else {
            ColorReducer::ResizeRows(pic.data(), w, h, 160, true, false, 0, 200, narrow.data());
            ColorReducer::ResizeRows(pic.data(), w, h, 320, true, false, 0, 200, wide.data());
        }
        benchmark::DoNotOptimize(wide.data());
    }
}
BENCHMARK_CAPTURE(BM_ResampleBothWidths, OnePass, true)->Args({8000, 6000})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ResampleBothWidths, PassPerWidth, false)->Args({8000, 6000})->Unit(benchmark::kMillisecond);

// Peak memory of decoding a 4096 x 4096 16-bit PNG (64 MB at 8 bits) into pixels, in a child process: the
// import's decoder beside stb_image, which holds the picture at 16 bits first.
void BM_DecodeSixteenBitPeak(benchmark::State& state, bool stb) {
    static const Bytes png = [] {
        const fs::path file = fs::temp_directory_path() / ("vorlix-bench-16-" + std::to_string(getpid()) + ".png");
        const std::string cmd = "/usr/bin/convert -size 4096x4096 gradient:red-blue -depth 16 png64:" + file.string();
        Bytes b = std::system(cmd.c_str()) == 0 ? readAll(file) : Bytes{};
        fs::remove(file);
        return b;
    }();
    if (png.empty()) {
        state.SkipWithError("ImageMagick could not write the picture");
        return;
    }
    double peakMb = 0;
    for (auto _ : state) {
        // Growth of the child's peak over what it shares with the bench at the fork.
        const long grown = peakGrowthInChild([&] {
            std::vector<u32> px;
            if (stb) {
                int w = 0, h = 0, n = 0;
                stbi_uc* data = stbi_load_from_memory(png.data(), int(png.size()), &w, &h, &n, 4);
                if (data) px.assign(reinterpret_cast<u32*>(data), reinterpret_cast<u32*>(data) + size_t(w) * h);
                stbi_image_free(data);
            } else {
                int w = 0, h = 0;
                std::string error;
                decodePicture(png, px, w, h, error);
            }
            return !px.empty();
        });
        if (grown < 0) state.SkipWithError("not decoded");
        peakMb = double(grown) / 1024;
    }
    state.counters["peak_MB"] = peakMb;
}
BENCHMARK_CAPTURE(BM_DecodeSixteenBitPeak, Vorlix, false)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK_CAPTURE(BM_DecodeSixteenBitPeak, StbSixteenBitPath, true)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
