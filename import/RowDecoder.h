#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Types.h"

// A picture decoded a few rows at a time into 8-bit RGBA pixels, so that a
// large one can be read across frames. The pixels grow as rows arrive.
struct RowDecoder {
    // Decodes about `work` more rows (or their share of a multi-pass file).
    // False on failure, with error set; the pixels are then of no use.
    bool read(int work) { return finished || readRows(*this, work); }
    // Lets the library's own memory go once finished, a frame-sized piece a call until released(); the pixels stay.
    void release() {
        if (releasePiece && releasePiece()) return;
        releasePiece = nullptr;
        library.reset();
    }
    bool released() const { return library == nullptr; }

    // Set by the format's start function: its reader, and the library state it reads with.
    std::function<bool(RowDecoder&, int work)> readRows;
    std::shared_ptr<void> library;
    // Set when the library state holds more than a frame can hand back: hands back a piece, false once none is left.
    std::function<bool()> releasePiece;

    int width = 0, height = 0;
    std::vector<u32> pixels;
    int rowsComplete = 0;  // rows from the top whose pixels are final
    double progress = 0;   // share of the work done, 0 to 1
    bool finished = false;
    std::string error;
};

// Each reads the header and prepares; null with error set when the file is
// refused. The decoder keeps its own copy of the bytes. A JPEG comes upright, as
// its Exif orientation says; turned, its rows come complete once all are read.
std::unique_ptr<RowDecoder> startPngRows(Bytes bytes, std::string& error);
std::unique_ptr<RowDecoder> startJpegRows(Bytes bytes, std::string& error);

// The start functions' common end: opens the format's reader (open(RowDecoder&),
// readRows(RowDecoder&, int), reason()) and makes the decoder that reads through it.
template <class Reader>
std::unique_ptr<RowDecoder> startReader(std::shared_ptr<Reader> r, std::string& error) {
    auto d = std::make_unique<RowDecoder>();
    if (!r->open(*d)) {
        error = r->reason();
        return nullptr;
    }
    d->pixels.reserve(size_t(d->width) * size_t(d->height));
    d->readRows = [reader = r.get()](RowDecoder& to, int work) {
        if (reader->readRows(to, work)) return true;
        to.error = reader->reason();
        return false;
    };
    d->library = std::move(r);
    return d;
}

// Runs a decoder to its end.
bool readAllRows(RowDecoder& d, std::string& error);
// Runs a started decoder (null when its start failed) to its end and takes its picture.
bool decodeAllRows(std::unique_ptr<RowDecoder> d, std::vector<u32>& pixels, int& w, int& h, std::string& error);
