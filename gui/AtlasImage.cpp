#include "gui/AtlasImage.h"

#include <cstring>

#include <imgui_internal.h>

AtlasPicture PlaceInAtlas(ImFontAtlas* atlas, const std::vector<unsigned int>& pixels, int w, int h) {
    AtlasPicture p;
    ImFontAtlasRect r;
    const ImFontAtlasRectId rect = atlas->AddCustomRect(w, h, &r);
    ImTextureData* tex = atlas->TexData;
    if (rect == ImFontAtlasRectId_Invalid || !tex || tex->Format != ImTextureFormat_RGBA32) return p;
    for (int y = 0; y < h; ++y)
        std::memcpy(tex->GetPixelsAt(r.x, r.y + y), pixels.data() + size_t(y) * w, size_t(w) * 4);
    ImFontAtlasTextureBlockQueueUpload(atlas, tex, r.x, r.y, w, h);
    p.atlas = atlas;
    p.rect = rect;
    p.size = ImVec2(float(w), float(h));
    return p;
}

AtlasImage ImageOf(const AtlasPicture& p) {
    ImFontAtlasRect r;
    if (!p.atlas || p.rect == ImFontAtlasRectId_Invalid || !p.atlas->GetCustomRect(p.rect, &r)) return AtlasImage{};
    return AtlasImage{r.uv0, r.uv1, p.size};
}
