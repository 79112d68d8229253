#include "gui/Texture.h"

#include <imgui_internal.h>

#define GL_GLEXT_PROTOTYPES
#include <SDL_opengl.h>
#include <stb/stb_image.h>

#include "platform/Platform.h"

#include <cstddef>
#include <set>

namespace {
// Names of the textures created and not yet released.
std::set<GLuint> g_live;

// Pictures are drawn pixel for pixel: sampled without blending neighbours (the GUI library samples
// linearly unless told otherwise). An opaque one is also written without blending with what lies
// below, which a software renderer would read back for nothing.
void beginPixels(ImDrawList* dl, bool opaque) {
    const ImGuiPlatformIO& io = ImGui::GetPlatformIO();
    if (!io.DrawCallback_SetSamplerNearest) return;  // no renderer: nothing is drawn
    dl->AddCallback(io.DrawCallback_SetSamplerNearest, nullptr);
    if (opaque) dl->AddCallback([](const ImDrawList*, const ImDrawCmd*) { glDisable(GL_BLEND); }, nullptr);
}
void endPixels(ImDrawList* dl, bool opaque) {
    const ImGuiPlatformIO& io = ImGui::GetPlatformIO();
    if (!io.DrawCallback_SetSamplerLinear) return;
    if (opaque) dl->AddCallback([](const ImDrawList*, const ImDrawCmd*) { glEnable(GL_BLEND); }, nullptr);
    dl->AddCallback(io.DrawCallback_SetSamplerLinear, nullptr);
}
}

void TextureReleaseAll() {
    for (GLuint name : g_live) glDeleteTextures(1, &name);
    g_live.clear();
}

void Texture::update(const unsigned int* pixels, int width, int height) {
    if (!pixels || width <= 0 || height <= 0) return;
    // A record kept past TextureReleaseAll holds a dead name: start afresh.
    if (id != 0 && !g_live.count(id)) id = 0, w = h = 0;
    if (id == 0) {
        GLuint name = 0;
        glGenTextures(1, &name);
        id = name;
        g_live.insert(name);
        glBindTexture(GL_TEXTURE_2D, id);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    } else {
        glBindTexture(GL_TEXTURE_2D, id);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    if (width == w && height == h) {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    } else {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
        w = width;
        h = height;
    }
}

bool DecodePictureFile(const std::string& path, std::vector<unsigned int>& pixels, int& w, int& h) {
    Bytes data;
    if (!Platform::readFile(path, data) || data.empty()) return false;
    int width = 0, height = 0, n = 0;
    stbi_uc* px = stbi_load_from_memory(data.data(), int(data.size()), &width, &height, &n, 4);
    if (!px) return false;
    const unsigned int* p = reinterpret_cast<const unsigned int*>(px);
    pixels.assign(p, p + size_t(width) * height);
    w = width;
    h = height;
    stbi_image_free(px);
    return true;
}

bool Texture::loadFile(const std::string& path) {
    std::vector<unsigned int> pixels;
    int width = 0, height = 0;
    if (!DecodePictureFile(path, pixels, width, height)) return false;
    update(pixels.data(), width, height);
    return true;
}

void DrawPixels(ImDrawList* dl, const Texture& tex, ImVec2 a, ImVec2 b, ImVec2 uv0, ImVec2 uv1) {
    beginPixels(dl, false);
    dl->AddImage(tex.ref(), a, b, uv0, uv1);
    endPixels(dl, false);
}

void DrawPixels(ImDrawList* dl, const Texture& tex, ImVec2 a, ImVec2 b, const ImRect& around, ImU32 colour) {
    beginPixels(dl, true);
    const ImRect pic(ImMax(a, around.Min), ImMin(b, around.Max));
    auto fill = [&](float x0, float y0, float x1, float y1) {
        if (x1 > x0 && y1 > y0) dl->AddRectFilled(ImVec2(x0, y0), ImVec2(x1, y1), colour);
    };
    fill(around.Min.x, around.Min.y, around.Max.x, pic.Min.y);
    fill(around.Min.x, pic.Max.y, around.Max.x, around.Max.y);
    fill(around.Min.x, ImMax(pic.Min.y, around.Min.y), pic.Min.x, ImMin(pic.Max.y, around.Max.y));
    fill(pic.Max.x, ImMax(pic.Min.y, around.Min.y), around.Max.x, ImMin(pic.Max.y, around.Max.y));
    dl->AddImage(tex.ref(), a, b);
    endPixels(dl, true);
}

void ImagePixels(const Texture& tex, ImVec2 size) {
    const ImVec2 at = ImGui::GetCursorScreenPos();
    ImGui::Dummy(size);
    if (ImGui::IsItemVisible()) DrawPixels(ImGui::GetWindowDrawList(), tex, at, ImVec2(at.x + size.x, at.y + size.y));
}

bool Texture::live() const { return id != 0 && g_live.count(id) != 0; }
