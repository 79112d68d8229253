// Picture loader: the format from the first byte, the file size steered to a few bytes around
// one of the format's chunk edges, where a chunk one byte short would be read past the end.
#include <algorithm>

#include "FuzzSupport.h"
#include "formats/FileFormats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    const int fmt = data[0] % FileFormats::count();
    const FileFormats::Format& f = FileFormats::formats[fmt];
    std::vector<long> edges{0, 1, 2, 3};
    if (f.raw) edges.push_back(320L * 200 * f.bitsPerPixel / 8);
    for (const FileFormats::Chunk& c : f.chunks) {
        if (c.type == 0) break;
        edges.push_back(2L + c.offset);
        edges.push_back(2L + c.offset + c.length);
    }
    long length = long(size) - 5;  // selector 255: the input as it is
    if (data[1] != 255) length = std::max(0L, edges[data[1] % edges.size()] + int(data[2] % 9) - 4);

    Bytes file(size_t(length), 0);
    for (size_t i = 0; i < file.size() && size > 5; ++i) file[i] = data[5 + i % (size - 5)];

    static Machine m;
    m.bank = data[3] & 3;
    m.vic[VicReg::MemoryPointers] = data[4];
    FileFormats::load(m, fmt, file);
    Fuzz::renderCorners(m);
    return 0;
}
