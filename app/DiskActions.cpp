#include "app/DiskActions.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "app/App.h"
#include "core/TextCase.h"
#include "formats/FileFormats.h"
#include "platform/FileIO.h"

namespace DiskActions {

std::string printable(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) c = '?';
    return out;
}

namespace {

// Reads the row and takes the whole-memory undo step, also when the load then fails.
bool readForLoad(App& app, DiskDrive& drive, int index, const char* undoName, Bytes& bytes) {
    if (!drive.readFile(index, bytes)) {
        app.message("Error", drive.error);
        return false;
    }
    app.undoBuffer.TakeUndo(UndoBuffer::KindAll, undoName);
    return true;
}

}  // namespace

void loadFile(App& app, DiskDrive& drive, int index) {
    Bytes bytes;
    if (!readForLoad(app, drive, index, "load file", bytes)) return;
    int start = 0;
    const int n = FileFormats::loadPrg(app.machine, bytes, start);
    char text[96];
    std::snprintf(text, sizeof text, "$%04X bytes written from $%04X to $%04X", n, start, start + n);
    app.message("Info", text);
}

void loadImage(App& app, DiskDrive& drive, int index, int format) {
    Bytes bytes;
    if (!readForLoad(app, drive, index, "load image", bytes)) return;
    if (!FileFormats::load(app.machine, format, bytes)) app.message("Error", "Error");
}

void saveRange(App& app, DiskDrive& drive, const std::string& name, int start, int end) {
    if (start >= end) {
        app.message("Error", "The end address must be after the start address.");
        return;
    }
    if (!drive.writeFile(UpperCase(name), FileFormats::savePrg(app.machine, start, end - start))) app.message("Error", drive.error);
}

void presetRange(const Machine& m, int which, int& start, int& end) {
    static const int lengths[4] = {8000, 1000, 1000, 0x800};
    const int starts[4] = {m.bitmapAddr(), m.screenAddr(), Machine::colorRamAddr, m.charsetAddr()};
    start = starts[which & 3];
    end = start + lengths[which & 3];
}

const DiskDrive* mountedAt(App& app, const std::string& path) {
    for (const DiskDrive& d : app.drives) {
        std::error_code ec;
        if (d.mode == DiskDrive::D64Image && std::filesystem::equivalent(d.path, path, ec)) return &d;
    }
    return nullptr;
}

void saveImage(App& app, const std::string& title, const std::string& defaultName, std::vector<uint8_t> image,
               std::function<void(const std::string& name)> onSaved) {
    auto held = std::make_shared<const std::vector<uint8_t>>(std::move(image));
    FileIO::saveWith(
        app.ui.fileDialog, title, defaultName,
        [&app, held](const std::string& path) {
            if (!mountedAt(app, path)) return *held;
            FileIO::refuseSave(app.ui.fileDialog, "That image is mounted on a drive; unmount it first.");
            return std::vector<uint8_t>();
        },
        std::move(onSaved));
}

}  // namespace DiskActions
