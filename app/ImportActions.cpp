#include "app/ImportActions.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "app/App.h"

namespace {

// Puts a decoded picture in the window's place and shows it; a reading under way ends.
void takePicture(App& app, ImportPicState& s, std::vector<u32> pixels, int w, int h, std::string name) {
    s.load = PictureLoad{};
    s.pixels = std::move(pixels);
    ++s.pictureId;
    s.width = w;
    s.height = h;
    s.name = std::move(name);
    s.dirty = true;
    s.pickerShown = true;
    app.showImportPicture = true;
}

}  // namespace

void openImportPicture(App& app, const std::string& name, const Bytes& bytes) {
    ImportPicState& s = app.ui.importPicture;
    if (decodesInBands(bytes)) {
        std::string error;
        std::shared_ptr<RowDecoder> d = startBandedDecode(bytes, error);
        if (!d) {
            app.message("Error", "Couldn't read the image: " + error);
            return;
        }
        const bool wasOpen = importLoading(s) ? s.load.wasOpen : app.showImportPicture;
        s.load = PictureLoad{std::move(d), name, wasOpen, s.zoomToFit, s.keepAspect, {}, 0};
        for (int i = 0; i < 2; ++i) s.load.resampled[i].assign(size_t(160 << i) * 200, 0xFF000000u);
        app.showImportPicture = true;
        return;
    }
    std::vector<u32> pixels;
    int w = 0, h = 0;
    std::string error;
    if (!decodePicture(bytes, pixels, w, h, error)) {
        app.message("Error", "Couldn't read the image: " + error);
        return;
    }
    // The picture opened last is the one shown.
    takePicture(app, s, std::move(pixels), w, h, name);
}

bool importLoading(const ImportPicState& s) { return s.load.decoder != nullptr; }

double importLoadProgress(const ImportPicState& s) { return s.load.decoder ? s.load.decoder->progress : 0.0; }

void cancelImportLoad(App& app, ImportPicState& s) {
    if (!importLoading(s)) return;
    app.showImportPicture = s.load.wasOpen;
    s.load = PictureLoad{};
}

bool stepImportLoad(App& app, ImportPicState& s, double budgetMs) {
    PictureLoad& l = s.load;
    if (!l.decoder) return false;
    RowDecoder& d = *l.decoder;
    // Large blocks of memory go one to a frame: the decoder's after the last band, the
    // previous picture when the new one takes its place.
    if (d.finished && !d.released()) {
        d.release();
        return true;
    }
    const auto start = std::chrono::steady_clock::now();
    while (!d.finished) {
        if (!d.read(32)) {
            const std::string error = d.error;
            cancelImportLoad(app, s);
            app.message("Error", "Couldn't read the image: " + error);
            return false;
        }
        // Output rows whose source rows are all in are made now, at both widths.
        const int ready = ColorReducer::ResizeRowsReady(d.width, d.height, l.zoomToFit, l.keepAspect, d.rowsComplete);
        if (ready > l.resampledRows) {
            for (int i = 0; i < 2; ++i)
                ColorReducer::ResizeRows(d.pixels.data(), d.width, d.height, 160 << i, l.zoomToFit, l.keepAspect,
                                         l.resampledRows, ready, l.resampled[i].data());
            l.resampledRows = ready;
        }
        if (d.finished ||
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() >= budgetMs)
            return true;
    }

    ResampledPicture& r = s.resampled;
    for (std::vector<u32>& p : r.pixels) std::vector<u32>().swap(p);
    r.zoomToFit = l.zoomToFit;
    r.keepAspect = l.keepAspect;
    if (l.resampledRows == 200)
        for (int i = 0; i < 2; ++i) r.pixels[i] = std::move(l.resampled[i]);
    // The arguments are taken before the reading (and d with it) ends.
    takePicture(app, s, std::move(d.pixels), d.width, d.height, l.name);
    r.picture = s.pictureId;
    return false;
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
    if (r.picture != s.pictureId || r.zoomToFit != s.zoomToFit || r.keepAspect != s.keepAspect) {
        for (std::vector<u32>& p : r.pixels) std::vector<u32>().swap(p);
        r.picture = s.pictureId;
        r.zoomToFit = s.zoomToFit;
        r.keepAspect = s.keepAspect;
    }
    std::vector<u32>& resized = r.pixels[dstW == 320];
    if (resized.empty()) {
        resized = ColorReducer::Resize(s.pixels.data(), s.width, s.height, dstW, s.zoomToFit, s.keepAspect);
        ++r.runs;
    }
    fill(s.sourcePreview, dstW, resized);

    if (s.resolution == 2) {
        s.options.colors = s.colors;
        s.options.background = s.background;
        s.detailPercent = std::clamp(s.detailPercent, 0, 100);
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
    s.load = PictureLoad{};
    app.showImportPicture = false;
    s.pickerShown = false;
    // A big picture holds hundreds of megabytes: not kept for a window that is closed.
    std::vector<u32>().swap(s.pixels);
    for (std::vector<u32>& p : s.resampled.pixels) std::vector<u32>().swap(p);
    s.resampled.picture = -1;
    // Nor are its previews, which a window reopened without a picture would show.
    s.sourcePreview = ImportPreview{};
    s.resultPreview = ImportPreview{};
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
    s.charsetAddr = m.charsetAddr();
    std::memcpy(s.backup, &m.ram[s.charsetAddr], 2048);
    std::memcpy(s.written, s.backup, 2048);
    app.undoBuffer.TakeUndoRange(s.charsetAddr, 2048, "import charset");
    s.started = true;
    s.dirty = true;
    app.showCharset = true;
    return true;
}

void renderFontImport(App& app, ImportFontState& s) {
    if (!s.dirty || s.loaded != 1) return;
    renderFontCharset(app.editor.write(), s);
    s.dirty = false;
}

void endFontImport(App& app, ImportFontState& s, bool keep) {
    if (!keep && s.started && s.charsetAddr >= 0) {
        u8* set = &app.editor.write().ram[s.charsetAddr];
        for (int slot = 0; slot < 256; ++slot)
            if (std::memcmp(set + slot * 8, s.written + slot * 8, 8) == 0)
                std::memcpy(set + slot * 8, s.backup + slot * 8, 8);
    }
    s.started = false;
    app.showImportCharset = false;
}
