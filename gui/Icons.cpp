#include "gui/Icons.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include <imgui_internal.h>

#include "gui/Classic.h"
#include "gui/Texture.h"
#include "platform/Platform.h"

namespace {

const char* const iconFiles[IconCount] = {
    "BtnCharset.bmp",   "BtnEditCharset.bmp", "SpeedButton1.bmp",  "SpeedButton2.bmp", "DrawDotTool.bmp",
    "DrawTool.bmp",     "BtnEditSprites.bmp", "FloodFillTool.bmp", "BtnHelp.bmp",      "LineTool.bmp",
    "BtnMonitor.bmp",   "BtnSecondView.bmp",  "BtnSprites.bmp",    "TextTool.bmp",     "Select.bmp",
    "Move.bmp",         "brush1.bmp",         "brush2.bmp",        "brush3.bmp",       "Brush4.bmp",
};

// The menu's UI scales; another one (from a hand-edited settings file) scales
// the 100 % picture.
constexpr float scales[] = {1.0f, 0.75f, 1.25f, 1.5f, 2.0f};
constexpr int scaleCount = int(sizeof scales / sizeof scales[0]);
constexpr int ditherSize = 96;  // covers a button at UI scale 300 %

// Rectangles of the atlas; it may move them whenever it grows, so their
// coordinates are asked for when drawn.
struct Placed {
    ImFontAtlasRectId rect = ImFontAtlasRectId_Invalid;
    ImVec2 size;  // pixels
};
Placed g_icons[IconCount][scaleCount];
Placed g_dither;
ImFontAtlas* g_atlas = nullptr;

// Every pixel equal to the bottom-left one becomes transparent black.
void keyOutBackground(unsigned int* pixels, int w, int h) {
    if (!pixels || w <= 0 || h <= 0) return;
    unsigned int key = pixels[(h - 1) * w];
    for (int i = 0; i < w * h; ++i)
        if (pixels[i] == key) pixels[i] = 0;
}

// Nearest-neighbour scaling, as a GL texture without filtering draws it.
std::vector<unsigned int> scaled(const unsigned int* src, int w, int h, int dw, int dh) {
    std::vector<unsigned int> out(size_t(dw) * dh);
    for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x) out[size_t(y) * dw + x] = src[(y * h / dh) * w + x * w / dw];
    return out;
}

// Packs the pixels into the atlas at once; the atlas keeps them when it grows.
Placed place(ImFontAtlas* atlas, const std::vector<unsigned int>& pixels, int w, int h) {
    Placed p;
    ImFontAtlasRect r;
    p.rect = atlas->AddCustomRect(w, h, &r);
    ImTextureData* tex = atlas->TexData;
    if (p.rect == ImFontAtlasRectId_Invalid || !tex || tex->Format != ImTextureFormat_RGBA32) {
        p.rect = ImFontAtlasRectId_Invalid;
        return p;
    }
    for (int y = 0; y < h; ++y)
        std::memcpy(tex->GetPixelsAt(r.x, r.y + y), pixels.data() + size_t(y) * w, size_t(w) * 4);
    ImFontAtlasTextureBlockQueueUpload(atlas, tex, r.x, r.y, w, h);
    p.size = ImVec2(float(w), float(h));
    return p;
}

AtlasImage image(const Placed& p) {
    ImFontAtlasRect r;
    if (!g_atlas || p.rect == ImFontAtlasRectId_Invalid || !g_atlas->GetCustomRect(p.rect, &r)) return AtlasImage{};
    return AtlasImage{r.uv0, r.uv1, p.size};
}

}  // namespace

void AddIconsToAtlas(ImFontAtlas* atlas) {
    g_atlas = atlas;
    atlas->TexPixelsUseColors = true;
    for (int i = 0; i < IconCount; ++i) {
        for (Placed& p : g_icons[i]) p = Placed{};
        std::vector<unsigned int> p;
        int w = 0, h = 0;
        if (!DecodePictureFile(Platform::assetDir() + "/glyphs/" + iconFiles[i], p, w, h)) continue;
        keyOutBackground(p.data(), w, h);
        for (int s = 0; s < scaleCount; ++s) {
            int dw = std::max(1, int(std::lround(w * scales[s]))), dh = std::max(1, int(std::lround(h * scales[s])));
            g_icons[i][s] = place(atlas, scaled(p.data(), w, h, dw, dh), dw, dh);
        }
    }
    std::vector<unsigned int> dither(ditherSize * ditherSize, 0);
    for (int v = 0; v < ditherSize; v += 2)
        for (int u = 1 - (v / 2) % 2; u < ditherSize; u += 2) dither[v * ditherSize + u] = 0xFFFFFFFFu;
    g_dither = place(atlas, dither, ditherSize, ditherSize);
}

AtlasImage Icon(int icon, float scale) {
    if (icon < 0 || icon >= IconCount) return AtlasImage{};
    for (int s = 0; s < scaleCount; ++s)
        if (std::fabs(scale - scales[s]) < 0.01f) return image(g_icons[icon][s]);
    AtlasImage im = image(g_icons[icon][0]);
    im.size = ImVec2(im.size.x * scale, im.size.y * scale);
    return im;
}

AtlasImage DitherPattern() { return image(g_dither); }

bool IconButton(const char* id, int icon, const char* label, bool selected, const char* tip, float w, float h) {
    float s = Classic::Scale();
    AtlasImage image = Icon(icon, s);
    return Classic::SpeedButton(id, image.size.x > 0 ? &image : nullptr, label, selected, ImVec2(w * s, h * s), tip);
}
