#include <cstring>

#include "core/ByteOrder.h"
#include "core/Machine.h"

namespace {

constexpr char magic[] = "VORLIX PROJECT";
constexpr size_t magicSize = 14;
constexpr size_t ramOffset = 22;
constexpr size_t screenOffset = ramOffset + 65536;
constexpr size_t vicOffset = screenOffset + 1000;
constexpr size_t penOffset = vicOffset + VicReg::count;
constexpr size_t bankOffset = penOffset + 4;
constexpr size_t projectSize = bankOffset + 2;
static_assert(projectSize == 66611);

void put32(u8* p, u32 v) {
    for (int k = 0; k < 4; ++k) p[k] = u8(v >> (8 * k));
}

i32 get32(const u8* p) { return i32(ByteOrder::le32(p)); }

}  // namespace

Bytes Machine::saveProject() const {
    Bytes out(projectSize, 0);
    std::memcpy(out.data(), magic, magicSize);
    put32(&out[14], 1);
    put32(&out[18], 1);
    std::memcpy(&out[ramOffset], ram, sizeof ram);
    std::memcpy(&out[screenOffset], monitorScreen, sizeof monitorScreen);
    std::memcpy(&out[vicOffset], vic, sizeof vic);
    put32(&out[penOffset], u32(pen));
    out[bankOffset] = u8(bank);
    out[bankOffset + 1] = u8(bank >> 8);
    return out;
}

bool Machine::loadProject(const Bytes& bytes, std::string& error) {
    if (bytes.size() < magicSize || std::memcmp(bytes.data(), magic, magicSize) != 0) {
        error = "Unknown file format (Not a Vorlix project)!";
        return false;
    }
    if (bytes.size() < projectSize) {
        error = "Project file is truncated!";
        return false;
    }
    if (get32(&bytes[14]) > 1 || get32(&bytes[18]) >= 2) {
        error = "Unknown project version!";
        return false;
    }
    std::memcpy(ram, &bytes[ramOffset], sizeof ram);
    std::memcpy(monitorScreen, &bytes[screenOffset], sizeof monitorScreen);
    std::memcpy(vic, &bytes[vicOffset], sizeof vic);
    // Only the low bytes count, so no stored value can give an invalid colour or bank.
    pen = bytes[penOffset] & 15;
    bank = bytes[bankOffset] & 3;
    return true;
}
