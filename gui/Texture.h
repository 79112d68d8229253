#pragma once
#include <imgui.h>

#include <string>
#include <vector>

struct ImRect;

// An OpenGL texture held by name only, so that windows can own textures
// without seeing any GL header; the GL calls live in Texture.cpp.

struct Texture {
    unsigned int id = 0;  // GL texture name; 0 = none yet
    int w = 0, h = 0;     // size of the last full upload

    // No destructor: textures live until shut-down calls TextureReleaseAll,
    // which runs while the GL context still exists.
    Texture() = default;
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // Uploads w x h RGBA8 pixels (R in the low byte); a same-size upload
    // replaces the pixels in place.
    void update(const unsigned int* pixels, int w, int h);
    // Decodes a picture file to RGBA and uploads it; false leaves it unchanged.
    bool loadFile(const std::string& path);
    // Holds a GL texture of the running program (not one released at shut-down).
    bool live() const;
    // As the GUI library draws it.
    ImTextureRef ref() const { return ImTextureRef(ImTextureID(id)); }
};

// Draws a picture pixel for pixel, scaled without blending neighbours: into a
// draw list between two corners, or as an item of the current window.
void DrawPixels(ImDrawList* dl, const Texture& tex, ImVec2 a, ImVec2 b, ImVec2 uv0 = ImVec2(0, 0),
                ImVec2 uv1 = ImVec2(1, 1));
void ImagePixels(const Texture& tex, ImVec2 size);
// An opaque picture the same between a and b, with the rest of `around`
// filled in one colour.
void DrawPixels(ImDrawList* dl, const Texture& tex, ImVec2 a, ImVec2 b, const ImRect& around, ImU32 colour);

// Decodes a picture file to w x h RGBA pixels (R in the low byte); false on
// any failure, leaving the arguments unchanged.
bool DecodePictureFile(const std::string& path, std::vector<unsigned int>& pixels, int& w, int& h);

// Deletes every texture still alive; shut-down calls it before the GL context goes.
void TextureReleaseAll();
