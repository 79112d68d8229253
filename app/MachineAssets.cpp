#include "app/MachineAssets.h"

#include <algorithm>
#include <cstring>

#include "core/Machine.h"
#include "platform/Platform.h"

bool loadMachineAssets(Machine& m, const std::string& dir) {
    const bool rawOk = Platform::readFile(dir + "/C64Raw.bin", m.powerOnImage);
    Bytes chars;
    const bool charsOk = Platform::readFile(dir + "/C64Chars.bin", chars);
    if (charsOk && !chars.empty()) std::memcpy(m.charRom, chars.data(), std::min(chars.size(), sizeof m.charRom));
    return rawOk && charsOk;
}
