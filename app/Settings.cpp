#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sstream>

#include "app/App.h"
#include "platform/Platform.h"

namespace {

struct WindowKey {
    const char* key;
    bool App::*flag;
};

const WindowKey windowKeys[] = {
    {"win.secondView", &App::showSecondView}, {"win.sprites", &App::showSprites},
    {"win.spriteEditor", &App::showSpriteEditor}, {"win.registers", &App::showRegisters},
    {"win.monitor", &App::showMonitor},       {"win.charset", &App::showCharset},
    {"win.charEditor", &App::showCharEditor}, {"win.processor", &App::showProcessor},
    {"win.assembler", &App::showAssembler},   {"win.bitmapMem", &App::showBitmapMem},
    {"win.calc", &App::showCalc},             {"win.mountDisk", &App::showMountDisk},
};

// atof that refuses text which is not a number, so "UiScale=abc" falls back.
bool parseScale(const std::string& s, float& out) {
    const char* begin = s.c_str();
    char* end = nullptr;
    double v = std::strtod(begin, &end);
    if (end == begin) return false;
    out = float(v);
    return true;
}

// A decimal int read as atoi reads it (text that is no number gives 0), except
// that a number too large for an int is refused: atoi would wrap "4294967297" into 1.
bool parseInt(const char* begin, int& out) {
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(begin, &end, 10);
    if (end == begin) v = 0;
    else if (errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    out = int(v);
    return true;
}

}  // namespace

void App::applySettingsText(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        int v = 0;
        if (key != "UiScale" && !parseInt(value.c_str(), v)) continue;
        if (key == "ShowGrid") showGrid = v != 0;
        else if (key == "GridColor") gridColor = v & 15;
        else if (key == "ShowActiveChar") showActiveChar = v != 0;
        else if (key == "DontReplaceColors") dontReplaceColors = v != 0;
        else if (key == "Palette") paletteIndex = v;
        else if (key == "Zoom") zoomSetting = v;
        else if (key == "UiScale") {
            if (!parseScale(value, uiScale)) uiScale = 1.0f;
        } else if (key.size() >= 7 && key.compare(0, 7, "Custom_") == 0) {
            int i = -1;
            if (!parseInt(key.c_str() + 7, i) || i < 0 || i > 15) continue;
            char channel = key.back();
            palette.custom[i][channel == 'R' ? 0 : channel == 'G' ? 1 : 2] = u8(v);
        } else {
            for (const WindowKey& w : windowKeys)
                if (key == w.key) this->*w.flag = v != 0;
        }
    }
    if (!(uiScale >= 0.5f && uiScale <= 3.0f)) uiScale = 1.0f;
    palette.set(paletteIndex);
    editor.pixels.noNewColours = dontReplaceColors;
    zoom = zoomSetting >= 1 && zoomSetting <= 24 ? zoomSetting : 2;
}

void App::loadSettings() {
    bool unreadable = false;
    applySettingsText(Platform::loadText("vorlix.ini", &unreadable));
    // Defaults written back would destroy the user's settings that merely could not be read.
    settingsLocked = unreadable;
}

std::string App::settingsText() const {
    std::ostringstream out;
    out << "ShowGrid=" << int(showGrid) << "\n";
    out << "GridColor=" << gridColor << "\n";
    out << "ShowActiveChar=" << int(showActiveChar) << "\n";
    out << "DontReplaceColors=" << int(dontReplaceColors) << "\n";
    out << "Palette=" << paletteIndex << "\n";
    out << "Zoom=" << zoom << "\n";
    out << "UiScale=" << uiScale << "\n";
    static const char channels[3] = {'R', 'G', 'B'};
    for (int i = 0; i < 16; ++i)
        for (int c = 0; c < 3; ++c)
            out << "Custom_" << i << "_" << channels[c] << "=" << int(palette.custom[i][c]) << "\n";
    for (const WindowKey& w : windowKeys) out << w.key << "=" << int(this->*w.flag) << "\n";
    return out.str();
}

void App::saveSettings() {
    if (selfTest || settingsLocked) return;
    Platform::saveText("vorlix.ini", settingsText());
}
