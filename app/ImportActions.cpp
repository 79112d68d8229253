#include "app/ImportActions.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "app/App.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Runs step at least once, and again while another piece as long as the longest so far still ends
// within the budget; step returns false once there is nothing more to do.
template <class Step>
void repeatWithin(Clock::time_point start, double budgetMs, Step step) {
    for (double longest = 0;;) {
        const Clock::time_point pieceStart = Clock::now();
        if (!step()) return;
        longest = std::max(longest, msSince(pieceStart));
        if (msSince(start) + longest > budgetMs) return;
    }
}

// A large file is read in pieces of this size, as many as the frame's share allows.
constexpr size_t kReadPiece = 1u << 20;
// The file's share of the progress bar; decoding takes the rest.
constexpr double kReadShare = 0.05;

int placementNow(const ImportPicState& s) { return placementOf(s.zoomToFit, s.keepAspect); }

// The resampled pixels kept are those of the picture shown.
void resampledFor(ResampledPicture& r, long long picture) {
    if (r.picture == picture) return;
    const int runs = r.runs;
    r = ResampledPicture{};
    r.picture = picture;
    r.runs = runs;
}

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

// A reading begins; the window opens on the picture it has until the new one is in.
void beginLoad(App& app, ImportPicState& s, const std::string& name) {
    const bool wasOpen = importLoading(s) ? s.load.wasOpen : app.showImportPicture;
    s.load = PictureLoad{};
    s.load.name = name;
    s.load.wasOpen = wasOpen;
    app.showImportPicture = true;
}

// The reading ends without a picture: the window's, and whether it shows, stay as before.
void endLoad(App& app, ImportPicState& s) {
    app.showImportPicture = s.load.wasOpen;
    s.load = PictureLoad{};
}

void refuse(App& app, const std::string& error) { app.message("Error", "Couldn't read the image: " + error); }

void refuse(App& app, ImportPicState& s, const std::string& error) {
    endLoad(app, s);
    refuse(app, error);
}

// Output rows whose source rows are all in are made now, at both widths and every placement.
void resampleArrivedRows(PictureLoad& l, const RowDecoder& d) {
    for (int p = 0; p < 4; ++p) {
        const bool fit = p & 2, aspect = p & 1;
        const int ready = ColorReducer::ResizeRowsReady(d.width, d.height, fit, aspect, d.rowsComplete);
        if (ready <= l.resampledRows[p]) continue;
        for (int i = 0; i < 2; ++i)
            if (l.resampled[p][i].empty()) l.resampled[p][i].assign(size_t(160 << i) * 200, 0xFF000000u);
        ColorReducer::ResizeRowsBothWidths(d.pixels.data(), d.width, d.height, fit, aspect, l.resampledRows[p], ready,
                                           l.resampled[p][0].data(), l.resampled[p][1].data());
        l.resampledRows[p] = ready;
    }
}

}  // namespace

void openImportPicture(App& app, const std::string& name, Bytes bytes) {
    ImportPicState& s = app.ui.importPicture;
    if (decodesInBands(bytes)) {
        std::string error;
        std::shared_ptr<RowDecoder> d = startBandedDecode(std::move(bytes), error);
        if (!d) {
            refuse(app, error);
            return;
        }
        beginLoad(app, s, name);
        s.load.decoder = std::move(d);
        return;
    }
    std::vector<u32> pixels;
    int w = 0, h = 0;
    std::string error;
    if (!decodePicture(bytes, pixels, w, h, error)) {
        refuse(app, error);
        return;
    }
    // The picture opened last is the one shown.
    takePicture(app, s, std::move(pixels), w, h, name);
}

void openImportPictureFile(App& app, const std::string& name, std::unique_ptr<Platform::FileReading> file) {
    if (file->size <= importReadAtOnce) {
        Platform::readFilePiece(*file, file->size);
        openImportPicture(app, name, std::move(file->bytes));
        return;
    }
    ImportPicState& s = app.ui.importPicture;
    beginLoad(app, s, name);
    s.load.file = std::move(file);
}

bool importLoading(const ImportPicState& s) { return s.load.file || s.load.decoder; }

double importLoadProgress(const ImportPicState& s) {
    const PictureLoad& l = s.load;
    if (l.file) return l.file->size ? kReadShare * double(l.file->bytes.size()) / double(l.file->size) : 0.0;
    return l.decoder ? kReadShare + (1 - kReadShare) * l.decoder->progress : 0.0;
}

std::string importShownName(const ImportPicState& s) {
    const std::string& name = importLoading(s) ? s.load.name : s.name;
    return name.empty() ? "(no image)" : name;
}

void cancelImportLoad(App& app, ImportPicState& s) {
    if (importLoading(s)) endLoad(app, s);
}

bool stepImportLoad(App& app, ImportPicState& s, double budgetMs) {
    PictureLoad& l = s.load;
    if (!importLoading(s)) return false;
    const Clock::time_point start = Clock::now();
    if (l.file) {
        // Its last piece read, the file is decoded from the next call on.
        if (!l.file->finished) {
            repeatWithin(start, budgetMs, [&] { return !Platform::readFilePiece(*l.file, kReadPiece); });
            return true;
        }
        Bytes bytes = std::move(l.file->bytes);
        l.file.reset();
        std::string error;
        if (!decodesInBands(bytes)) {
            // A small picture in a large file is decoded at once, as one opened from memory.
            std::vector<u32> pixels;
            int w = 0, h = 0;
            if (!decodePicture(bytes, pixels, w, h, error)) {
                refuse(app, s, error);
                return false;
            }
            takePicture(app, s, std::move(pixels), w, h, l.name);
            return false;
        }
        std::shared_ptr<RowDecoder> d = startBandedDecode(std::move(bytes), error);
        if (!d) {
            refuse(app, s, error);
            return false;
        }
        l.decoder = std::move(d);
        return true;
    }
    RowDecoder& d = *l.decoder;
    // Large blocks of memory go one to a frame: the decoder's after the last band, the
    // previous picture when the new one takes its place.
    if (d.finished && !d.released()) {
        d.release();
        return true;
    }
    if (!d.finished) {
        bool failed = false;
        repeatWithin(start, budgetMs, [&] {
            failed = !d.read(8);
            if (failed) return false;
            resampleArrivedRows(l, d);
            return !d.finished;
        });
        if (failed) {
            const std::string error = d.error;
            refuse(app, s, error);
            return false;
        }
        return true;
    }

    ResampledPicture& r = s.resampled;
    resampledFor(r, -1);
    for (int p = 0; p < 4; ++p)
        if (l.resampledRows[p] == 200)
            for (int i = 0; i < 2; ++i) r.pixels[p][i] = std::move(l.resampled[p][i]);
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

bool stepImportPreview(const App& app, ImportPicState& s, double budgetMs) {
    if (s.pixels.empty()) return false;
    ResampledPicture& r = s.resampled;
    resampledFor(r, s.pictureId);
    const int placement = placementNow(s), wide = s.resolution != 1;
    if (r.pixels[placement][wide].empty()) {
        const Clock::time_point start = Clock::now();
        // Both widths from one pass, so that a mode switch after it only reduces.
        if (r.pendingPlacement != placement) {
            r.pendingPlacement = placement;
            r.pendingRows = 0;
            for (int i = 0; i < 2; ++i) r.pending[i].assign(size_t(160 << i) * 200, 0xFF000000u);
        }
        repeatWithin(start, budgetMs, [&] {
            const int to = std::min(200, r.pendingRows + 4);
            ColorReducer::ResizeRowsBothWidths(s.pixels.data(), s.width, s.height, s.zoomToFit, s.keepAspect,
                                               r.pendingRows, to, r.pending[0].data(), r.pending[1].data());
            r.pendingRows = to;
            return to < 200;
        });
        if (r.pendingRows < 200) return false;
        for (int i = 0; i < 2; ++i) r.pixels[placement][i] = std::move(r.pending[i]);
        r.pendingPlacement = -1;
        ++r.runs;
        // A resampling that took a share of the frame leaves the reduction to the next.
        if (msSince(start) >= budgetMs / 2) return false;
    }
    recomputeImport(app, s);
    return true;
}

void recomputeImport(const App& app, ImportPicState& s) {
    if (s.pixels.empty()) return;
    if (s.palette < 0) s.palette = app.palette.index;
    const int dstW = s.resolution == 1 ? 160 : 320;
    Palette pal;
    std::memcpy(pal.custom, app.palette.custom, sizeof pal.custom);
    pal.set(s.palette);

    s.reducer.SetPalette(pal.rgb);
    ResampledPicture& r = s.resampled;
    resampledFor(r, s.pictureId);
    std::vector<u32>& resized = r.pixels[placementNow(s)][dstW == 320];
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
    // The picture stays for the next opening; its previews are made again then, so nothing
    // of this opening (a palette or character set since changed) shows.
    s.sourcePreview = ImportPreview{};
    s.resultPreview = ImportPreview{};
    s.dirty = true;
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
