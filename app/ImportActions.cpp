#include "app/ImportActions.h"

#include <algorithm>
#include <cstring>

#include "app/App.h"

void openImportPicture(App& app, const std::string& name, const Bytes& bytes) {
    ImportPicState& s = app.ui.importPicture;
    std::vector<u32> pixels;
    int w = 0, h = 0;
    std::string error;
    if (!decodePicture(bytes, pixels, w, h, error)) {
        app.message("Error", "Couldn't read the image: " + error);
        return;
    }
    s.pixels = std::move(pixels);
    ++s.pictureId;
    s.width = w;
    s.height = h;
    s.name = name;
    s.dirty = true;
    s.pickerShown = true;
    app.showImportPicture = true;
}

namespace {

void fill(ImportPreview& p, int w, const std::vector<u32>& px) {
    p.w = w;
    p.h = 200;
    p.pixels.assign(size_t(w) * 200, 0xFF000000u);
    std::memcpy(p.pixels.data(), px.data(), std::min(px.size(), p.pixels.size()) * 4);
}

}  // namespace

void recomputeImport(const App& app, ImportPicState& s) {
    if (s.pixels.empty()) return;
    if (s.palette < 0) s.palette = app.palette.index;
    const int dstW = s.resolution == 1 ? 160 : 320;
    Palette pal;
    std::memcpy(pal.custom, app.palette.custom, sizeof pal.custom);
    pal.set(s.palette);

    s.reducer.SetPalette(pal.rgb);
    ResampledPicture& r = s.resampled;
    if (r.picture != s.pictureId || r.zoomToFit != s.zoomToFit || r.keepAspect != s.keepAspect || r.width != dstW) {
        r.pixels = ColorReducer::Resize(s.pixels.data(), s.width, s.height, dstW, s.zoomToFit, s.keepAspect);
        r.picture = s.pictureId;
        r.zoomToFit = s.zoomToFit;
        r.keepAspect = s.keepAspect;
        r.width = dstW;
        ++r.runs;
    }
    const std::vector<u32>& resized = r.pixels;
    fill(s.sourcePreview, dstW, resized);

    if (s.resolution == 2) {
        s.options.colors = s.colors;
        s.options.background = s.background;
        s.options.detail = float(s.detailPercent) / 100.0f;
        s.converter.SetPalette(pal.rgb);
        s.converter.SetCharset(app.machine, s.options.charset);
        s.converter.Convert(resized, s.options);
        fill(s.resultPreview, dstW, s.converter.Preview());
    } else {
        s.reducer.Reduce(resized, dstW, s.colors, s.dithering, s.resolution == 0 ? -1 : s.background);
        fill(s.resultPreview, dstW, s.reducer.Preview());
    }
    s.dirty = false;
}

void acceptImport(App& app, ImportPicState& s) {
    if (s.pixels.empty()) return;
    {
        if (s.dirty) recomputeImport(app, s);
        if (s.resolution == 2 && s.options.charset == 2) {
            // The set may have changed since the preview: match against what will show.
            PetsciiConverter now = s.converter;
            now.SetCharset(app.machine, 2);
            if (std::memcmp(now.charset, s.converter.charset, sizeof now.charset) != 0)
                recomputeImport(app, s);
        }
        app.undoBuffer.TakeUndo(UndoBuffer::KindAll, "import image");
        if (s.resolution == 2) s.converter.Store(app.machine, s.options.charset);
        else s.reducer.Store(app.machine);
        if (s.palette != app.palette.index) app.setPalette(s.palette);
    }
    closeImport(app, s);
}

void closeImport(App& app, ImportPicState& s) {
    app.showImportPicture = false;
    s.pickerShown = false;
    // A big picture holds hundreds of megabytes: not kept for a window that is closed.
    std::vector<u32>().swap(s.pixels);
    std::vector<u32>().swap(s.resampled.pixels);
    s.resampled.picture = -1;
    s.width = s.height = 0;
    s.name.clear();
}

bool beginFontImport(App& app, ImportFontState& s) {
    Machine& m = app.machine;
    if (m.charsetIsRom()) {
        app.message("Information", "I'm sorry, i cannot import to ROM. Please select a RAM bank.");
        app.showImportCharset = false;
        return false;
    }
    s.charsetAddr = m.bank * 0x4000 + (m.vic[0x18] & 0x0E) * 0x400;
    std::memcpy(s.backup, &m.ram[s.charsetAddr], 2048);
    std::memcpy(s.written, s.backup, 2048);
    app.undoBuffer.TakeUndoRange(s.charsetAddr, 2048, "import charset");
    s.started = true;
    s.dirty = true;
    app.showCharset = true;
    return true;
}

void endFontImport(App& app, ImportFontState& s, bool keep) {
    if (!keep && s.started && s.charsetAddr >= 0) {
        u8* set = &app.machine.ram[s.charsetAddr];
        for (int slot = 0; slot < 256; ++slot)
            if (std::memcmp(set + slot * 8, s.written + slot * 8, 8) == 0)
                std::memcpy(set + slot * 8, s.backup + slot * 8, 8);
    }
    s.started = false;
    app.showImportCharset = false;
}
