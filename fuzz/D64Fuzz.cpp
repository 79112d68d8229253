// D64 images: a disk with files on it, fuzz bytes laid over its BAM, its directory, a file's
// chain or any block, the image cut or grown around its sizes; then mount, list, read every
// file and save one more.
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

#include "FuzzSupport.h"
#include "disk/DiskDrive.h"

namespace {

// In memory where the host has it: every save syncs the image it replaces.
const std::string dir = [] {
    struct stat st;
    const std::string base = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
    std::string d = base + "/vorlix-fuzz-d64-" + std::to_string(getpid());
    mkdir(d.c_str(), 0700);
    return d;
}();

std::vector<uint8_t> prg(int length, int seed) {
    std::vector<uint8_t> p{0x01, 0x08};
    for (int i = 0; i < length; ++i) p.push_back(uint8_t(i * 7 + seed));
    return p;
}

// A blank disk with a one-block, a three-block and a long file.
const Bytes& disk() {
    static const Bytes image = [] {
        const std::string path = dir + "/base.d64";
        Platform::writeFile(path, DiskDrive::blankD64("fuzz", "f1"));
        DiskDrive drive;
        if (!drive.mountD64(path) || !drive.writeFile("ONE", prg(100, 1)) || !drive.writeFile("THREE", prg(600, 2)) ||
            !drive.writeFile("LONG", prg(9000, 3)))
            abort();
        drive.unmount();
        Bytes bytes;
        Platform::readFile(path, bytes);
        std::remove(path.c_str());
        std::atexit([] { rmdir(dir.c_str()); });
        return bytes;
    }();
    return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    Bytes image = disk();
    static const long sizes[] = {D64::kImageSize, D64::kImageWithErrorsSize, 0, 256, D64::block_offset(18, 1)};
    const long length = sizes[data[0] % 5] + (data[0] / 5) % 9 - 4;
    image.resize(size_t(std::max(0L, length)), 0);

    // Where the bytes go: the BAM, the first directory block, the first blocks of each file, or anywhere.
    const u8* entry = disk().data() + D64::block_offset(18, 1);
    long at = 0;
    switch (data[1] % 8) {
    case 0: at = D64::block_offset(18, 0); break;
    case 1: at = D64::block_offset(18, 1); break;
    case 2: case 3: case 4: {
        const u8* e = entry + 32 * (data[1] % 8 - 2);
        at = D64::valid_block(e[3], e[4]) ? D64::block_offset(e[3], e[4]) : 0;
        break;
    }
    default: at = long(data[1]) * 683 + data[2]; break;
    }
    for (size_t i = 3; i < size && at + long(i) - 3 < long(image.size()); ++i) image[size_t(at) + i - 3] = data[i];

    const std::string path = dir + "/disk.d64";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(image.data(), 1, image.size(), f) != image.size() || std::fclose(f) != 0) abort();
    DiskDrive drive;
    if (drive.mountD64(path)) {
        drive.diskName();
        drive.diskId();
        const std::vector<DiskDrive::Entry> files = drive.list();
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i < files.size(); ++i) {
            if (drive.readFile(int(i), bytes) && bytes.size() < 2) abort();
        }
        drive.writeFile("NEW", prg(300, data[2]));
        drive.list();
        drive.unmount();
    }
    std::remove(path.c_str());
    return 0;
}
