// PRG load: whatever the load address and length, the bytes land in RAM and save back unchanged.
#include <cstring>

#include "FuzzSupport.h"
#include "formats/FileFormats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Machine m;
    Bytes file(data, data + size);
    int start = -1;
    const int n = FileFormats::loadPrg(m, file, start);
    if (n < 0 || (n > 0 && start + n > 0x10000)) abort();
    if (n > 0) {
        Bytes back = FileFormats::savePrg(m, start, n);
        if (back.size() != size_t(n) + 2 || std::memcmp(back.data(), data, back.size()) != 0) abort();
    }
    return 0;
}
