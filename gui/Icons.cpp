#include "gui/Icons.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "gui/Classic.h"
#include "gui/Texture.h"
#include "platform/Platform.h"

const char* const iconFiles[IconCount] = {
    "BtnCharset.bmp",   "BtnEditCharset.bmp", "SpeedButton1.bmp",  "SpeedButton2.bmp", "DrawDotTool.bmp",
    "DrawTool.bmp",     "BtnEditSprites.bmp", "FloodFillTool.bmp", "BtnHelp.bmp",      "LineTool.bmp",
    "BtnMonitor.bmp",   "BtnSecondView.bmp",  "BtnSprites.bmp",    "TextTool.bmp",     "Select.bmp",
    "Move.bmp",         "brush1.bmp",         "brush2.bmp",        "brush3.bmp",       "Brush4.bmp",
};

namespace {

// The menu's UI scales; another one (from a hand-edited settings file) scales
// the 100 % picture.
constexpr float scales[] = {1.0f, 0.75f, 1.25f, 1.5f, 2.0f};
constexpr int scaleCount = int(sizeof scales / sizeof scales[0]);
constexpr int ditherSize = 96;  // covers a button at UI scale 300 %

AtlasImage g_icons[IconCount][scaleCount];
AtlasImage g_dither;

// Every pixel equal to the bottom-left one becomes transparent black.
void keyOutBackground(unsigned int* pixels, int w, int h) {
    if (!pixels || w <= 0 || h <= 0) return;
    unsigned int key = pixels[(h - 1) * w];
    for (int i = 0; i < w * h; ++i)
        if (pixels[i] == key) pixels[i] = 0;
}

struct Pending {
    int rect;
    AtlasImage* image;
    std::vector<unsigned int> pixels;
};

// Nearest-neighbour scaling, as a GL texture without filtering draws it.
std::vector<unsigned int> scaled(const unsigned int* src, int w, int h, int dw, int dh) {
    std::vector<unsigned int> out(size_t(dw) * dh);
    for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x) out[size_t(y) * dw + x] = src[(y * h / dh) * w + x * w / dw];
    return out;
}

}  // namespace

void BuildAtlasWithIcons(ImFontAtlas* atlas) {
    std::vector<Pending> pending;
    auto reserve = [&](AtlasImage* image, std::vector<unsigned int> pixels, int w, int h) {
        image->size = ImVec2(float(w), float(h));
        pending.push_back({atlas->AddCustomRectRegular(w, h), image, std::move(pixels)});
    };
    for (int i = 0; i < IconCount; ++i) {
        for (AtlasImage& image : g_icons[i]) image = AtlasImage{};
        std::vector<unsigned int> p;
        int w = 0, h = 0;
        if (!DecodePictureFile(Platform::assetDir() + "/glyphs/" + iconFiles[i], p, w, h)) continue;
        keyOutBackground(p.data(), w, h);
        for (int s = 0; s < scaleCount; ++s) {
            int dw = std::max(1, int(std::lround(w * scales[s]))), dh = std::max(1, int(std::lround(h * scales[s])));
            reserve(&g_icons[i][s], scaled(p.data(), w, h, dw, dh), dw, dh);
        }
    }
    std::vector<unsigned int> dither(ditherSize * ditherSize, 0);
    for (int v = 0; v < ditherSize; v += 2)
        for (int u = 1 - (v / 2) % 2; u < ditherSize; u += 2) dither[v * ditherSize + u] = 0xFFFFFFFFu;
    reserve(&g_dither, std::move(dither), ditherSize, ditherSize);

    atlas->Build();
    unsigned char* tex = nullptr;
    int tw = 0, th = 0;
    atlas->GetTexDataAsRGBA32(&tex, &tw, &th);
    for (Pending& p : pending) {
        const ImFontAtlasCustomRect* r = atlas->GetCustomRectByIndex(p.rect);
        if (!tex || !r || !r->IsPacked()) {
            p.image->size = ImVec2(0, 0);
            continue;
        }
        for (int y = 0; y < r->Height; ++y)
            std::memcpy(tex + (size_t(r->Y + y) * tw + r->X) * 4, p.pixels.data() + size_t(y) * r->Width,
                        size_t(r->Width) * 4);
        atlas->CalcCustomRectUV(r, &p.image->uv0, &p.image->uv1);
    }
}

AtlasImage Icon(int icon, float scale) {
    if (icon < 0 || icon >= IconCount) return AtlasImage{};
    for (int s = 0; s < scaleCount; ++s)
        if (std::fabs(scale - scales[s]) < 0.01f) return g_icons[icon][s];
    AtlasImage image = g_icons[icon][0];
    image.size = ImVec2(image.size.x * scale, image.size.y * scale);
    return image;
}

const AtlasImage& DitherPattern() { return g_dither; }

bool IconButton(const char* id, int icon, const char* label, bool selected, const char* tip, float w, float h) {
    float s = Classic::Scale();
    AtlasImage image = Icon(icon, s);
    return Classic::SpeedButton(id, image.size.x > 0 ? &image : nullptr, label, selected, ImVec2(w * s, h * s), tip);
}
