#include "app/FileActions.h"

#include <stb/stb_image_write.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/App.h"
#include "core/Vic.h"
#include "formats/FileFormats.h"
#include "app/ImportActions.h"
#include "platform/Platform.h"

namespace Actions {

namespace {

std::string format(const char* fmt, int a, int b, int c) {
    char buf[160];
    std::snprintf(buf, sizeof buf, fmt, a, b, c);
    return buf;
}

std::string bytesRead(int n, int start) {
    return format("$%04X bytes read from $%04X to $%04X", n, start, start + n);
}

// The length savePrg writes for a range: clipped at the end of memory.
int clippedLength(int start, int len) { return start + len <= 0x10000 ? len : 0x10000 - start; }

// A PRG load after a whole-memory undo step: the count of bytes loaded.
int loadPrgWithUndo(App& app, const Bytes& bytes, const char* undoName, int& start) {
    app.undoBuffer.TakeUndo(UndoBuffer::KindAll, undoName);
    start = 0;
    return FileFormats::loadPrg(app.machine, bytes, start);
}

void loadProjectBytes(App& app, const Bytes& bytes) {
    std::string error;
    if (app.machine.loadProject(bytes, error)) app.afterLoad();
    else app.message("Error", error);
}

bool loadPicture(App& app, int fmt, const Bytes& bytes) {
    app.undoBuffer.TakeUndo(UndoBuffer::KindAll, "load image");
    return FileFormats::load(app.machine, fmt, bytes);
}

}  // namespace

void loadProject(App& app) {
    FileIO::open(app.ui.fileDialog, "Load project", {{"Vorlix project (*.vpr)", {"vpr"}}, FileIO::allFiles},
                 [&app](const std::string&, Bytes& bytes) { loadProjectBytes(app, bytes); });
}

void saveProject(App& app) {
    FileIO::saveWith(
        app.ui.fileDialog, "Save project", "project.vpr", [&app](const std::string&) { return app.machine.saveProject(); }, nullptr);
}

void loadMemory(App& app) {
    FileIO::open(app.ui.fileDialog, "Load memory", {{"PRG-Files (*.prg)", {"prg"}}, FileIO::allFiles}, [&app](const std::string&, Bytes& bytes) {
        int start = 0;
        int n = loadPrgWithUndo(app, bytes, "load memory", start);
        app.message("Success!", bytesRead(n, start));
    });
}

void saveArea(App& app, int start, int len, const std::string& defaultName) {
    FileIO::saveWith(
        app.ui.fileDialog, "Save memory area", defaultName,
        [&app, start, len](const std::string&) { return FileFormats::savePrg(app.machine, start, len); },
        [&app, start, len](const std::string&) {
            int n = clippedLength(start, len);
            app.message("Success!", format("$%04X bytes saved from $%04X to $%04X", n, start, start + n));
        });
}

void loadKoala(App& app) {
    FileIO::open(app.ui.fileDialog, "Load Koala image", {{"Koala image (*.koa)", {"koa"}}, FileIO::allFiles},
                 [&app](const std::string&, Bytes& bytes) { loadPicture(app, FileFormats::findByExtension("koa"), bytes); });
}

void saveKoala(App& app) {
    FileIO::saveWith(
        app.ui.fileDialog, "Save Koala image", "image.koa", [&app](const std::string&) { return FileFormats::saveKoala(app.machine); },
        nullptr);
}

void saveDoodle(App& app) {
    FileIO::saveWith(
        app.ui.fileDialog, "Save Doodle image", "image.dd", [&app](const std::string&) { return FileFormats::saveDoodle(app.machine); },
        nullptr);
}

void loadRaw(App& app) {
    FileIO::open(app.ui.fileDialog, "Load RAW image", {{"RAW image (*.raw)", {"raw"}}, FileIO::allFiles},
                 [&app](const std::string&, Bytes& bytes) { loadPicture(app, FileFormats::findByExtension("raw"), bytes); });
}

void loadImageFormat(App& app, int fmt) {
    std::vector<FileIO::Filter> filters;
    if (fmt < 0) {
        FileIO::Filter every{"All image formats", {}};
        for (int i = 0; i < FileFormats::count(); ++i)
            for (const std::string& e : FileFormats::extensions(i)) every.extensions.push_back(e);
        filters.push_back(every);
        for (int i = 0; i < FileFormats::count(); ++i)
            filters.push_back({FileFormats::name(i), FileFormats::extensions(i)});
    } else {
        filters.push_back({FileFormats::name(fmt), FileFormats::extensions(fmt)});
    }
    filters.push_back(FileIO::allFiles);
    FileIO::open(app.ui.fileDialog, "Load C64 image", filters, [&app, fmt](const std::string& name, Bytes& bytes) {
        int row = fmt < 0 ? FileFormats::findByExtension(FileIO::extension(name)) : fmt;
        if (row < 0) {
            app.message("Error", "Couldn't determine file format!");
            return;
        }
        if (!loadPicture(app, row, bytes)) app.message("Error", "Couldn't load the file!");
    });
}

void saveSprites(App& app, int first, int last, bool prg) {
    first &= 0xFF;
    last &= 0xFF;
    if (last < first) return;
    int start = app.machine.bankBase() + first * 64;
    int len = (last - first + 1) * 64;
    if (prg) {
        saveArea(app, start, len, "sprites.prg");
        return;
    }
    int n = clippedLength(start, len);
    Bytes bytes(app.machine.ram + start, app.machine.ram + start + n);
    FileIO::save(app.ui.fileDialog, "Save sprites", "sprites.bin", std::move(bytes), nullptr);
}

void loadSprites(App& app) {
    FileIO::open(app.ui.fileDialog, "Load sprites", {{"Sprite files (*.prg;*.bin;*.spr;*.raw)", {"prg", "bin", "spr", "raw"}}, FileIO::allFiles},
                 [&app](const std::string& name, Bytes& bytes) {
                     Machine& m = app.machine;
                     const int base = m.bankBase();
                     if (FileIO::extension(name) == "prg") {
                         int start = 0;
                         int n = loadPrgWithUndo(app, bytes, "load sprites", start);
                         std::string text = bytesRead(n, start);
                         if (start >= base && start < base + 0x4000) {
                             app.spriteBlock = (start - base) / 64;
                             int lastBlock = ((start + n - base - 1) / 64) % 256;
                             char buf[64];
                             std::snprintf(buf, sizeof buf, "\n(sprite $%02X - $%02X)", app.spriteBlock, lastBlock);
                             text += buf;
                         } else {
                             text += "\n(outside the current VIC bank)";
                         }
                         app.message("Load sprites", text);
                         return;
                     }
                     int a = base + (app.spriteBlock & 0xFF) * 64;
                     int n = int(std::min<size_t>(bytes.size(), size_t(0x10000 - a)));
                     app.undoBuffer.TakeUndoRange(a, n, "load sprites");
                     if (n) std::memcpy(m.ram + a, bytes.data(), size_t(n));
                     char buf[96];
                     std::snprintf(buf, sizeof buf, "%d sprite%s loaded to $%04X (sprite $%02X)", (n + 63) / 64,
                                   n >= 1 && n <= 64 ? "" : "s", a, app.spriteBlock);
                     app.message("Load sprites", buf);
                 });
}

void loadCharset(App& app) {
    FileIO::open(app.ui.fileDialog, "Load charset",
                 {{"Charsets (*.prg;*.bin;*.chr;*.64c;*.raw)", {"prg", "bin", "chr", "64c", "raw"}}, FileIO::allFiles},
                 [&app](const std::string& name, Bytes& bytes) {
                     Machine& m = app.machine;
                     std::string ext = FileIO::extension(name);
                     if (ext == "prg" || ext == "64c") {
                         int start = 0;
                         int n = loadPrgWithUndo(app, bytes, "load charset", start);
                         app.message("Load charset", bytesRead(n, start));
                         return;
                     }
                     if (m.charsetIsRom()) {
                         app.message("Load charset", "The current charset is ROM. Select a RAM charset bank first.");
                         return;
                     }
                     size_t n = std::min<size_t>(bytes.size(), 2048);
                     app.undoBuffer.TakeUndo(UndoBuffer::KindCharset, "load charset");
                     if (n) std::memcpy(m.ram + m.charsetAddr(), bytes.data(), n);
                 });
}

void saveCharset(App& app, bool prg) {
    int a = app.machine.charsetAddr();
    if (prg) {
        saveArea(app, a, 2048, "charset.prg");
        return;
    }
    Bytes bytes(app.machine.ram + a, app.machine.ram + a + 2048);
    FileIO::save(app.ui.fileDialog, "Save charset", "charset.bin", std::move(bytes), nullptr);
}

void openDropped(App& app, const std::string& path) {
    const std::string ext = FileIO::extension(path);
    std::string name = FileIO::baseName(path);
    // A path ending in a separator (a directory) would leave the messages nameless.
    if (name.empty()) name = path;

    if (ext == "d64") {
        // The first empty drive of 8-11; drive 8's disk is replaced when all hold one.
        DiskDrive* drive = &app.drives[0];
        for (DiskDrive& d : app.drives)
            if (d.mode == DiskDrive::NoDisk) {
                drive = &d;
                break;
            }
        // Tried on a drive of its own first: a refused image must not cost the
        // drive the disk it holds.
        DiskDrive probe;
        if (!probe.mountD64(path)) {
            app.message("Error", "Could not mount D64-file: " + probe.error);
            return;
        }
        probe.unmount();
        if (drive->mountD64(path)) app.showMountDisk = true;
        else app.message("Error", "Could not mount D64-file: " + drive->error);
        return;
    }

    // A picture is read by the import itself, a large one across frames.
    static const char* const pictures[] = {"png", "jpg", "jpeg", "bmp", "gif", "tga", "psd"};
    for (const char* p : pictures) {
        if (ext == p) {
            std::unique_ptr<Platform::FileReading> file = Platform::startFileReading(path);
            if (file) openImportPictureFile(app, name, std::move(file));
            else app.message("Error", "Couldn't open " + name);
            return;
        }
    }

    Bytes bytes;
    if (!Platform::readFile(path, bytes)) {
        app.message("Error", "Couldn't open " + name);
        return;
    }

    if (ext == "vpr") {
        loadProjectBytes(app, bytes);
        return;
    }

    if (ext == "s" || ext == "asm" || ext == "a65" || ext == "src") {
        app.asmSource.assign(bytes.begin(), bytes.end());
        app.ui.assembler.watch.replaced();
        app.showAssembler = true;
        return;
    }

    int row = FileFormats::findByExtension(ext);
    if (row >= 0) {
        // The undo step stays also when the load fails: it may have switched the mode.
        if (!loadPicture(app, row, bytes)) app.message("Error", "Couldn't load " + name);
        return;
    }

    if (ext != "prg" && bytes.size() < 3) {
        app.message("Error", "Don't know what to do with " + name);
        return;
    }

    int start = 0;
    int n = loadPrgWithUndo(app, bytes, "load memory", start);
    std::string text = name + ":\n" + bytesRead(n, start);
    if (text.size() > 159) text.resize(159);  // the message holds at most 159 characters
    app.message("Success!", text);
}

void pngWrite(void* context, void* data, int size) {
    if (!context || !data || size <= 0) return;
    auto* out = static_cast<Bytes*>(context);
    const u8* p = static_cast<const u8*>(data);
    out->insert(out->end(), p, p + size);
}

void exportPng(App& app) {
    FileIO::saveWith(
        app.ui.fileDialog, "Export PNG", "screen.png",
        [&app](const std::string&) {
            std::vector<u32> pixels(size_t(Vic::ScreenWidth) * Vic::ScreenHeight, 0);
            Vic::renderScreen(app.machine, app.palette, pixels.data(), Vic::ScreenWidth);
            Bytes png;
            stbi_flip_vertically_on_write(0);
            int ok = stbi_write_png_to_func(pngWrite, &png, Vic::ScreenWidth, Vic::ScreenHeight, 4, pixels.data(),
                                            Vic::ScreenWidth * 4);
            if (!ok || png.empty()) {
                FileIO::refuseSave(app.ui.fileDialog, "Couldn't encode the PNG picture!");
                return Bytes{};
            }
            return png;
        },
        nullptr);
}

void saveExecutable(App& app) {
    Bytes viewer;
    if (!Platform::readFile(Platform::assetDir() + "/bmpview.prg", viewer) || viewer.size() < 70) {
        app.message("Error", "Vorlix is missing the file \"bmpview.prg\".\nOperation could not be completed.");
        return;
    }
    if (!app.machine.bitmapMode()) {
        app.message("Sorry", "Text modes can not yet be saved as executables.");
        return;
    }
    FileIO::saveWith(
        app.ui.fileDialog, "Save executable", "picture.prg",
        [&app, viewer](const std::string&) {
            const Machine& m = app.machine;
            Bytes out = viewer;
            out[23] = m.vic[VicReg::Border];
            out[28] = m.vic[VicReg::Background0];
            out[33] = m.vic[VicReg::Background1];
            out[38] = m.vic[VicReg::Background2];
            // The register as it is now: the mode may have changed while the dialog was open.
            if (!(m.vic[VicReg::Control2] & VicReg::Control2Mcm)) out[69] = 0;
            out.reserve(out.size() + 10240);
            const int bitmap = m.bitmapAddr(), screen = m.screenAddr();
            out.insert(out.end(), m.ram + bitmap, m.ram + bitmap + 8192);
            out.insert(out.end(), m.ram + screen, m.ram + screen + 1024);
            out.insert(out.end(), m.ram + 0xD800, m.ram + 0xDC00);
            return out;
        },
        nullptr);
}

}  // namespace Actions
