#include "app/Icons.h"

#include <stb/stb_image.h>

#include "app/App.h"
#include "app/Classic.h"
#include "platform/Platform.h"

const char* const iconFiles[IconCount] = {
    "BtnCharset.bmp",   "BtnEditCharset.bmp", "SpeedButton1.bmp",  "SpeedButton2.bmp", "DrawDotTool.bmp",
    "DrawTool.bmp",     "BtnEditSprites.bmp", "FloodFillTool.bmp", "BtnHelp.bmp",      "LineTool.bmp",
    "BtnMonitor.bmp",   "BtnSecondView.bmp",  "BtnSprites.bmp",    "TextTool.bmp",     "Select.bmp",
    "Move.bmp",         "brush1.bmp",         "brush2.bmp",        "brush3.bmp",       "Brush4.bmp",
};

namespace {

// Every pixel equal to the bottom-left one becomes transparent black.
void keyOutBackground(unsigned int* pixels, int w, int h) {
    if (!pixels || w <= 0 || h <= 0) return;
    unsigned int key = pixels[(h - 1) * w];
    for (int i = 0; i < w * h; ++i)
        if (pixels[i] == key) pixels[i] = 0;
}

}  // namespace

void LoadIcons(App& app) {
    if (app.iconsLoaded) return;
    app.iconsLoaded = true;
    for (int i = 0; i < IconCount; ++i) {
        Bytes data;
        if (!Platform::readFile(Platform::assetDir() + "/glyphs/" + iconFiles[i], data) || data.empty()) continue;
        int w = 0, h = 0, n = 0;
        stbi_uc* px = stbi_load_from_memory(data.data(), (int)data.size(), &w, &h, &n, 4);
        if (!px) continue;
        unsigned int* p = reinterpret_cast<unsigned int*>(px);
        keyOutBackground(p, w, h);
        app.icons[i].update(p, w, h);
        stbi_image_free(px);
    }
}

bool IconButton(App& app, const char* id, int icon, const char* label, bool selected, const char* tip, float w,
                float h) {
    float s = Classic::Scale();
    const Texture* tex = (icon >= 0 && icon < IconCount && app.icons[icon].id != 0) ? &app.icons[icon] : nullptr;
    return Classic::SpeedButton(id, tex, label, selected, ImVec2(w * s, h * s), tip);
}
