#include "gui/Icons.h"

#include <algorithm>
#include <cmath>
#include <vector>

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

AtlasPicture g_icons[IconCount][scaleCount];

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

}  // namespace

void AddIconsToAtlas(ImFontAtlas* atlas) {
    atlas->TexPixelsUseColors = true;
    for (int i = 0; i < IconCount; ++i) {
        for (AtlasPicture& p : g_icons[i]) p = AtlasPicture{};
        std::vector<unsigned int> p;
        int w = 0, h = 0;
        if (!DecodePictureFile(Platform::assetDir() + "/glyphs/" + iconFiles[i], p, w, h)) continue;
        keyOutBackground(p.data(), w, h);
        for (int s = 0; s < scaleCount; ++s) {
            int dw = std::max(1, int(std::lround(w * scales[s]))), dh = std::max(1, int(std::lround(h * scales[s])));
            g_icons[i][s] = PlaceInAtlas(atlas, scaled(p.data(), w, h, dw, dh), dw, dh);
        }
    }
}

AtlasImage Icon(int icon, float scale) {
    if (icon < 0 || icon >= IconCount) return AtlasImage{};
    for (int s = 0; s < scaleCount; ++s)
        if (std::fabs(scale - scales[s]) < 0.01f) return ImageOf(g_icons[icon][s]);
    AtlasImage im = ImageOf(g_icons[icon][0]);
    im.size = ImVec2(im.size.x * scale, im.size.y * scale);
    return im;
}

bool IconButton(const char* id, int icon, const char* label, bool selected, const char* tip, float w, float h) {
    float s = Classic::Scale();
    AtlasImage image = Icon(icon, s);
    return Classic::SpeedButton(id, image.size.x > 0 ? &image : nullptr, label, selected, ImVec2(w * s, h * s), tip);
}
