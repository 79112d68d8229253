#pragma once
// Pictures of our own packed into the font atlas, so that bars draw their icons
// and patterns from the one texture the text uses, in a few calls.
#include <imgui.h>

#include <vector>

// A picture in the font atlas, as it lies there now.
struct AtlasImage {
    ImVec2 uv0, uv1;
    ImVec2 size;  // pixels
};

// A rectangle of the atlas; the atlas may move it whenever it grows, so its
// coordinates are asked for when drawn.
struct AtlasPicture {
    ImFontAtlas* atlas = nullptr;
    ImFontAtlasRectId rect = ImFontAtlasRectId_Invalid;
    ImVec2 size;  // pixels
};

// Packs w x h RGBA pixels into the atlas at once; the atlas keeps them when it
// grows. An empty record when the atlas has no room or no RGBA texture.
AtlasPicture PlaceInAtlas(ImFontAtlas* atlas, const std::vector<unsigned int>& pixels, int w, int h);
// Where the picture lies now; size 0 for an empty record.
AtlasImage ImageOf(const AtlasPicture& p);
