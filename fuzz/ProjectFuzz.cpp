// Project load: fuzz bytes laid over a valid project at a chosen place, the file cut or grown
// around its full size, so both the refusals and every stored field are reached.
#include <algorithm>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    static const Bytes valid = [] {
        Machine m;
        m.reset();
        return m.saveProject();
    }();
    const long full = long(valid.size());
    const long length = data[0] < 128 ? full + 8 - data[0] % 16 : (data[0] - 128L) * full / 127;
    Bytes file(valid);
    file.resize(size_t(std::max(0L, length)), 0);
    const size_t at = data[1] < 128 ? data[1] : size_t(data[1] - 128) * 520;
    for (size_t i = 2; i < size && at + i - 2 < file.size(); ++i) file[at + i - 2] = data[i];

    static Machine m;
    std::string error;
    if (m.loadProject(file, error)) Fuzz::render(m);
    else if (error.empty()) abort();
    return 0;
}
