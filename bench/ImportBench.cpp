#include <benchmark/benchmark.h>
#include <stb/stb_image_write.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "core/Palette.h"
#include "import/ColorReducer.h"
#include "import/PetsciiConverter.h"
#include "import/PictureImport.h"

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
    m->loadAssets(VORLIX_ASSET_DIR);
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

}  // namespace
