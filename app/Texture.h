#pragma once
// An OpenGL texture held by name only, so that core records (App) can own
// textures without seeing any GL header; the GL calls live in Texture.cpp.

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
};

// Deletes every texture still alive; shut-down calls it before the GL context goes.
void TextureReleaseAll();
