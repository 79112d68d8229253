#include "app/App.h"

#include <algorithm>

#include "app/MachineAssets.h"
#include "core/TextCase.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"

App::App(bool selfTest) : selfTest(selfTest) {
    wireMonitor();
    loadMachineAssets(machine, Platform::assetDir());
    loadSettings();
    powerOn();
    machine.pen = 14;  // the reset leaves 0
    undoBuffer.Clear();
}

void App::wireMonitor() {
    monitor.undo = &undoBuffer;
    monitor.getDrive = [this](int device) -> DiskDrive* {
        return device >= 8 && device <= 11 ? &drives[device - 8] : nullptr;
    };
    monitor.go = [this](u16 address) {
        cpu.pc = address;
        cpu.stopped = false;
        showProcessor = true;
    };
    monitor.exit = [this] { showMonitor = false; };
    monitor.hostLoad = [this](const std::string& name) {
        FileIO::openPath(ui.fileDialog, "Monitor load: " + name, {{"PRG-Files (*.prg)", {"prg"}}, FileIO::allFiles},
                         [this](const std::string& path) {
                             // Only what lands is read: the load address, then up to TO or the end of memory.
                             Bytes bytes;
                             if (Platform::readFileHead(path, bytes, 2) && bytes.size() == 2)
                                 Platform::readFileHead(path, bytes, monitor.hostLoadBytes(bytes[0] | bytes[1] << 8));
                             monitor.hostLoadDone(&bytes);
                         });
        ui.fileDialog.onCancel = [this] { monitor.print("\n."); };
    };
    monitor.hostSave = [this](const std::string& name, const Bytes& bytes) {
        int count = int(bytes.size()) - 2;
        FileIO::save(ui.fileDialog, "Monitor save", LowerCase(withoutReplacePrefix(name)) + ".prg", bytes,
                     [this, count](const std::string&) { monitor.hostSaveDone(true, count); });
        ui.fileDialog.onCancel = [this] { monitor.print("\n."); };
    };
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

void App::askExit(std::function<void()> onYes) {
    for (const Popup& p : popups)
        if (p.isExitQuestion) return;
    confirm("Exit Vorlix?", "Are you sure you want to close the program?", std::move(onYes));
    popups.back().isExitQuestion = true;
}
