#include "app/App.h"

#include <algorithm>

#include "platform/Platform.h"

App::App() {
    machine.loadAssets(Platform::assetDir());
    loadSettings();
    powerOn();
    machine.pen = 14;  // the reset leaves 0
    undoBuffer.Clear();
}

void App::powerOn() {
    machine.reset();
    undoBuffer.Clear();
    editor.cursorCol = 0;
    editor.cursorRow = 6;
    editor.textUndoPending = true;
    editor.hasSelection = false;
    spriteBlock = spriteZeroPointer();
}

int App::spriteZeroPointer() const { return machine.ram[machine.spritePointerAddr()]; }

void App::newProject() {
    editor.commitPendingEdits();
    powerOn();
}

void App::afterLoad() {
    undoBuffer.Clear();
    spriteBlock = spriteZeroPointer();
}

void App::setPalette(int i) {
    palette.set(i);
    paletteIndex = palette.index;
    saveSettings();
}

void App::setZoom(int z, float anchorX, float anchorY) {
    int n = z < 2 ? 1 : std::min(z, 24);
    if (n == zoom) return;
    float o = float(zoom);
    auto axis = [&](float anchor, float pos, float size) {
        float a = anchor >= 0 ? anchor : pos + size * 0.5f;
        float f = size > 0 ? (a - pos) / size : 0.5f;
        return (a - f * (o * size / float(n))) * float(n);
    };
    pendingScroll.x = axis(anchorX, viewArea.x, viewArea.w);
    pendingScroll.y = axis(anchorY, viewArea.y, viewArea.h);
    zoom = n;
    zoomSetting = n;
}

void App::message(const std::string& title, const std::string& text) {
    popups.push_back(Popup{title, text, {}, false});
}

void App::confirm(const std::string& title, const std::string& text, std::function<void()> action) {
    popups.push_back(Popup{title, text, std::move(action), true});
}
