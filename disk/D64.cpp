#include "disk/D64.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

const uint32_t D64::track[44] = {
    0,      0,      5376,   10752,  16128,  21504,  26880,  32256,  37632,  43008,  48384,
    53760,  59136,  64512,  69888,  75264,  80640,  86016,  91392,  96256,  101120, 105984,
    110848, 115712, 120576, 125440, 130048, 134656, 139264, 143872, 148480, 153088, 157440,
    161792, 166144, 170496, 174848, 179200, 183552, 187904, 192256, 0,      0,      0};

const int D64::sector_count[44] = {0,  21, 21, 21, 21, 21, 21, 21, 21, 21, 21, 21, 21, 21, 21,
                                   21, 21, 21, 19, 19, 19, 19, 19, 19, 19, 18, 18, 18, 18, 18,
                                   18, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 0,  0,  0};

const uint32_t D64::sector[22] = {0,    256,  512,  768,  1024, 1280, 1536, 1792, 2048, 2304, 2560,
                                  2816, 3072, 3328, 3584, 3840, 4096, 4352, 4608, 4864, 5120, 0};

namespace {

const char* const kErrors[28] = {
    "No error occured",
    "Undefined error",
    "Unable to open file",
    "Unknown D64-disk format",
    "35 Track disk with no error bytes is not supported",
    "35 Track disk with error bytes is not supported",
    "40 Track disk with no error bytes is not supported",
    "40 Track disk with error bytes is not supported",
    "Disk is not mounted",
    "Failed to allocate new memory",
    "Could not read D64-file (premature end of file or readsize to small)",
    "D64-file not open (mount_fp = NULL)",
    "Unknown size-type (D64_SIZETYPE_BLOCK and D64_SIZETYPE_BYTES allowed)",
    "BAM not valid",
    "Insufficient space available on disk",
    "No more free tracks found. Maybe disk or BAM is damaged",
    "No more free sectors found on track. Maybe disk or BAM is damaged",
    "Sector allready allocated in BAM",
    "Sector allready freed in BAM",
    "Could not write to file",
    "No free sectors in directory. Not possible to write new direcotry.",
    "File not found",
    "File already exists",
    "No read permission",
    "File is no ordinary file",
    "Disk is mounted as read only",
    "Buffer overrun protection",
    "Filetype is not loadable",
};

constexpr int kDirTrack = 18;
constexpr int kDirTrackSectors = 19;

// Visited set of the 683 blocks, to end looping chains.
struct Visited {
    bool seen[D64::kBlocks] = {};
    bool mark(int t, int s) {
        bool& b = seen[D64::block_index(t, s)];
        if (b) return false;
        b = true;
        return true;
    }
};

}  // namespace

namespace {

// An entry's name without its $A0 fill and the $00 bytes that directory editors leave at its end.
std::string_view entryName(const uint8_t* name) {
    const char* begin = reinterpret_cast<const char*>(name);
    return _without_padding(std::string_view(begin, size_t(std::find(name, name + 16, 0xA0) - name)));
}

}  // namespace

std::string_view _without_padding(std::string_view name) {
    while (!name.empty() && name.back() == 0) name.remove_suffix(1);
    return name;
}

bool _name_equals(std::string_view name, const uint8_t* entry) { return _without_padding(name) == entryName(entry); }

D64::~D64() { _release(); }

const char* D64::error_text(D64Error id) {
    const int n = int(id);
    if (id == D64Error::SyntaxError) return "SYNTAX ERROR";
    if (id == D64Error::FileTypeMismatch) return "FILE TYPE MISMATCH";
    return n >= 0 && n <= 27 ? kErrors[n] : kErrors[1];
}

const char* D64::get_last_error() const { return error_text(lastError); }

void D64::_release() {
    if (mount_fp) std::fclose(mount_fp);
    mount_fp = nullptr;
    dir.reset();
    bam.reset();
    image.clear();
    path.clear();
    stamp = {};
    unreadable = {};
    diskType = 0;
    readOnly = true;
    lastStartAddress = 0;
}

int D64::unmount() {
    _release();
    return 1;
}

namespace {

int typeOfSize(long long size, D64Error& error) {
    if (size == D64::kImageSize) return 1;
    if (size == D64::kImageWithErrorsSize) return 2;
    error = size == 196608   ? D64Error::Tracks40NoErrorBytes
            : size == 197376 ? D64Error::Tracks40ErrorBytes
                             : D64Error::UnknownFormat;
    return 0;
}

}  // namespace

int D64::mount(const char* file) {
    _release();
    bool writable = false;
    // Opened without blocking and checked through the open file; locked, so that a second
    // mount of the image (here or in another program) is read-only.
    switch (Platform::openLocked(file, true, mount_fp, writable, stamp)) {
    case Platform::OpenResult::Missing: lastError = D64Error::CannotOpen; return 0;
    case Platform::OpenResult::NotRegular: lastError = D64Error::NotOrdinaryFile; return 0;
    case Platform::OpenResult::Ok: break;
    }
    diskType = typeOfSize(stamp.size, lastError);
    path = file;
    if (!diskType || !_read_image()) {
        const D64Error err = lastError;
        _release();
        lastError = err;
        return 0;
    }
    readOnly = !writable || diskType == 2;
    lastError = D64Error::NoError;
    return 1;
}

bool D64::_read_image() {
    if (!Platform::readAll(mount_fp, image) || (long long)image.size() != stamp.size) {
        lastError = D64Error::ReadFailed;
        return false;
    }
    image.resize(size_t(kImageSize));
    return _read_directory() && _read_bam();
}

int D64::refresh(bool force) {
    if (!_is_mounted()) return 0;
    Platform::FileStamp now;
    if (!Platform::stampOf(path, now)) {
        lastError = D64Error::CannotOpen;
        return 0;
    }
    if (now == stamp) {
        std::vector<uint8_t> bytes;
        if (!force || (Platform::readAll(mount_fp, bytes) && bytes.size() >= image.size() &&
                       std::equal(image.begin(), image.end(), bytes.begin())))
            return 1;
    }
    // The mount window lists every frame: a broken image is not read again until it changes.
    if (!force && now == unreadable) {
        lastError = unreadableError;
        return 0;
    }
    // Someone else changed the image, in place or by putting another file under its name.
    const bool replaced = now.device != stamp.device || now.inode != stamp.inode;
    FILE* fp = mount_fp;
    bool writable = !readOnly;
    if (replaced) {
        fp = nullptr;
        switch (Platform::openLocked(path, !readOnly, fp, writable, now)) {
        case Platform::OpenResult::Missing: lastError = D64Error::CannotOpen; return 0;
        case Platform::OpenResult::NotRegular: lastError = D64Error::NotOrdinaryFile; return 0;
        case Platform::OpenResult::Ok: break;
        }
    }
    // Read into this record; on failure the old state comes back.
    std::vector<uint8_t> oldImage = std::move(image);
    std::unique_ptr<Directory> oldDir = std::move(dir);
    std::unique_ptr<uint8_t[]> oldBam = std::move(bam);
    FILE* const oldFp = mount_fp;
    const Platform::FileStamp oldStamp = stamp;
    const int oldType = diskType;
    mount_fp = fp;
    stamp = now;
    D64Error err = D64Error::NoError;
    diskType = typeOfSize(now.size, err);
    if (!diskType || !_read_image()) {
        if (diskType) err = lastError;
        if (replaced) std::fclose(fp);
        mount_fp = oldFp;
        image = std::move(oldImage);
        dir = std::move(oldDir);
        bam = std::move(oldBam);
        stamp = oldStamp;
        diskType = oldType;
        unreadable = now;
        unreadableError = lastError = err;
        return 0;
    }
    if (replaced) std::fclose(oldFp);
    readOnly = !writable || diskType == 2;
    return 1;
}

bool D64::_read_at(long offset, void* out, size_t n) {
    if (offset < 0 || size_t(offset) + n > image.size()) return false;
    std::memcpy(out, image.data() + offset, n);
    return true;
}

int D64::_read_directory() {
    if (!mount_fp) {
        lastError = D64Error::NotOpen;
        return 0;
    }
    dir.reset(new (std::nothrow) Directory());
    if (!dir) {
        lastError = D64Error::NoMemory;
        return 0;
    }
    dir->count = 0;
    Visited visited;
    int t = kDirTrack, s = 1;
    for (;;) {
        // A chain that comes back to a block it passed would never end.
        if (!visited.mark(t, s)) {
            lastError = D64Error::BamNotValid;
            return 0;
        }
        uint8_t block[256];
        for (int j = 0; j < 8; j++) {
            if (dir->count >= kMaxEntries) {
                lastError = D64Error::BamNotValid;
                return 0;
            }
            uint8_t* slot = dir->entries + 32 * dir->count;
            if (!_read_at(block_offset(t, s) + 32 * j, slot, 32)) {
                lastError = D64Error::ReadFailed;
                return 0;
            }
            if (j == 0) std::memcpy(block, slot, 2);
            // Empty slots (left by directory editors too) are skipped, not taken as the end: a
            // save rewrites every entry read, so one missed here would be lost.
            const bool empty = slot[2] == 0 && slot[5] == 0;
            if (!empty) dir->count++;
        }
        if (!valid_block(block[0], block[1])) return 1;
        t = block[0];
        s = block[1];
    }
}

int D64::_read_bam() {
    if (!mount_fp) {
        lastError = D64Error::NotOpen;
        return 0;
    }
    bam.reset(new (std::nothrow) uint8_t[kBamBytes]);
    if (!bam) {
        lastError = D64Error::NoMemory;
        return 0;
    }
    if (!_read_at(block_offset(kDirTrack, 0), bam.get(), kBamBytes)) {
        lastError = D64Error::ReadFailed;
        return 0;
    }
    return 1;
}

int D64::_is_mounted() {
    if (mount_fp && dir && bam) return 1;
    if (mount_fp) std::fclose(mount_fp);
    mount_fp = nullptr;
    lastError = D64Error::NotMounted;
    return 0;
}

int D64::get_file_count() {
    if (!_is_mounted()) return 0;
    lastError = D64Error::NoError;
    return dir->count;
}

std::string D64::file_name(int index) {
    if (!_is_mounted()) return "";
    lastError = D64Error::NoError;
    if (index < 0 || index >= dir->count) {
        lastError = D64Error::FileNotFound;
        return "";
    }
    return std::string(entryName(dir->entries + 32 * index + 5));
}

bool D64::file_is_named(int index, std::string_view name) {
    return _is_mounted() && index >= 0 && index < dir->count && _name_equals(name, dir->entries + 32 * index + 5);
}

bool D64::is_scratched(int index) {
    return _is_mounted() && index >= 0 && index < dir->count && dir->entries[32 * index + 2] == 0;
}

int D64::get_file_type(int index) {
    if (!_is_mounted()) return 0;
    lastError = D64Error::NoError;
    if (index < 0 || index >= dir->count) {
        lastError = D64Error::FileNotFound;
        return 0;
    }
    return dir->entries[32 * index + 2] & 7;
}

int D64::get_file_size(int index, int sizeType) {
    if (!_is_mounted()) return 0;
    lastError = D64Error::NoError;
    if (index < 0 || index >= dir->count) {
        lastError = D64Error::FileNotFound;
        return 0;
    }
    const uint8_t* e = dir->entries + 32 * index;
    const int blocks = e[30] | e[31] << 8;
    if (sizeType == D64_SIZETYPE_BLOCK) return blocks;
    if (sizeType != D64_SIZETYPE_BYTES) {
        lastError = D64Error::UnknownSizeType;
        return 0;
    }
    std::vector<uint8_t> scratch;
    try {
        scratch.resize(size_t(blocks) * 254);
    } catch (const std::bad_alloc&) {
        lastError = D64Error::NoMemory;
        return 0;
    }
    return load_data(index, scratch.data(), int(scratch.size()), 0, 0, false);
}

const char* D64::get_disk_name() {
    int n = 0;
    while (n < 16 && bam[144 + n] != 0xA0) {
        diskName[n] = char(bam[144 + n]);
        n++;
    }
    diskName[n] = 0;
    return diskName;
}

const char* D64::get_disk_id() {
    std::memcpy(diskId, bam.get() + 162, 5);
    diskId[5] = 0;
    return diskId;
}

int D64::_count_bits(uint8_t* bytes, int byteCount, int bitCount) {
    int n = 0;
    for (int i = 0; i < bitCount && i / 8 < byteCount; i++) n += (bytes[i / 8] >> (i % 8)) & 1;
    return n;
}

bool D64::_bam_valid() {
    for (int t = 1; t <= 35; t++)
        if (_count_bits(bam.get() + 4 * t + 1, 3, sector_count[t]) != bam[4 * t]) return false;
    return true;
}

bool D64::_is_free(int t, int s) const { return (bam[4 * t + 1 + s / 8] >> (s % 8)) & 1; }

bool D64::_allocate(int t, int s) {
    if (!_is_free(t, s)) return false;
    bam[4 * t + 1 + s / 8] &= uint8_t(~(1 << (s % 8)));
    bam[4 * t]--;
    return true;
}

bool D64::_free(int t, int s) {
    if (_is_free(t, s)) return false;
    bam[4 * t + 1 + s / 8] |= uint8_t(1 << (s % 8));
    bam[4 * t]++;
    return true;
}

int D64::_free_all() const {
    int n = 0;
    for (int t = 1; t <= 35; t++) n += bam[4 * t];
    return n;
}

D64Error D64::_next_block(int& t, int& s, bool first) {
    static const int firstOrder[34] = {19, 17, 20, 16, 21, 15, 22, 14, 23, 13, 24, 12, 25, 11, 26, 10, 27,
                                       9,  28, 8,  29, 7,  30, 6,  31, 5,  32, 4,  33, 3,  34, 2,  35, 1};
    const D64Error noTrack = bam[4 * kDirTrack] > 0 ? D64Error::NoFreeSector : D64Error::NoFreeTrack;
    int start = 0;
    if (first) {
        t = 0;
        for (int c : firstOrder)
            if (bam[4 * c] > 0) {
                t = c;
                break;
            }
        if (t == 0) return noTrack;
    } else {
        if (bam[4 * t] == 0) {
            // Away from the directory track on this side, then the other side outward.
            int next = 0;
            if (t < kDirTrack) {
                for (int c = t - 1; c >= 1 && !next; c--)
                    if (bam[4 * c] > 0) next = c;
                for (int c = kDirTrack + 1; c <= 35 && !next; c++)
                    if (bam[4 * c] > 0) next = c;
            } else {
                for (int c = t + 1; c <= 35 && !next; c++)
                    if (bam[4 * c] > 0) next = c;
                for (int c = kDirTrack - 1; c >= 1 && !next; c--)
                    if (bam[4 * c] > 0) next = c;
            }
            if (!next) return noTrack;
            t = next;
        }
        const int n = sector_count[t];
        start = s + 10;
        if (start >= n) {
            start -= n;
            if (start > 0) start--;
        }
    }
    const int n = sector_count[t];
    for (int k = 0; k <= n; k++) {
        int c = (start + k) % n;
        if (_is_free(t, c)) {
            s = c;
            return D64Error::NoError;
        }
    }
    return D64Error::BamNotValid;
}

bool D64::_chain(int t, int s, int* blocks, int& count) {
    Visited visited;
    count = 0;
    while (valid_block(t, s)) {
        if (!visited.mark(t, s)) {
            lastError = D64Error::BamNotValid;
            return false;
        }
        blocks[count++] = t << 8 | s;
        uint8_t link[2];
        if (!_read_at(block_offset(t, s), link, 2)) {
            lastError = D64Error::ReadFailed;
            return false;
        }
        if (link[0] == 0) break;
        t = link[0];
        s = link[1];
    }
    return true;
}

int D64::load_data(int index, uint8_t* buf, int bufsize, uint16_t offset, uint16_t length, bool useFileAddress) {
    if (!_is_mounted()) return 0;
    lastError = D64Error::NoError;
    if (index < 0 || index >= dir->count) {
        lastError = D64Error::FileNotFound;
        return 0;
    }
    if (int(offset) + int(length) > bufsize) {
        lastError = D64Error::BufferOverrun;
        return 0;
    }
    const uint8_t* e = dir->entries + 32 * index;
    if ((e[2] & 7) != 2) {
        lastError = D64Error::NotLoadable;
        return 0;
    }
    lastStartAddress = offset;
    int t = e[3], s = e[4];
    if (!valid_block(t, s)) {
        lastError = D64Error::ReadFailed;
        return 0;
    }
    Visited visited;
    visited.mark(t, s);
    uint8_t block[256];
    if (!_read_at(block_offset(t, s), block, 256)) {
        lastError = D64Error::ReadFailed;
        return 0;
    }
    int n = block[0] != 0 ? 252 : block[1] < 4 ? 0 : block[1] - 3;
    int dest = offset;
    if (useFileAddress) {
        dest = block[2] | block[3] << 8;
        lastStartAddress = uint16_t(dest);
    }
    if (length && n > length) n = length;
    if (dest + n > bufsize) {
        lastError = D64Error::BufferOverrun;
        return 0;
    }
    if (n > 0) std::memcpy(buf + dest, block + 4, size_t(n));
    int total = n;
    while (block[0] != 0 && (length == 0 || total < length)) {
        t = block[0];
        s = block[1];
        // A link off the disk or back into the chain is a broken file.
        if (!valid_block(t, s) || !visited.mark(t, s) || !_read_at(block_offset(t, s), block, 256)) {
            lastError = D64Error::ReadFailed;
            return 0;
        }
        n = block[0] != 0 ? 254 : block[1] == 0 ? 0 : block[1] - 1;
        if (length && n > length - total) n = length - total;
        if (dest + total + n > bufsize) {
            lastError = D64Error::BufferOverrun;
            return 0;
        }
        if (n > 0) std::memcpy(buf + dest + total, block + 2, size_t(n));
        total += n;
    }
    return total;
}

bool D64::_hold(const int* blocks, int count, std::vector<bool>* held) {
    bool wasFree = false;
    for (int i = 0; i < count; i++) {
        const int t = blocks[i] >> 8, s = blocks[i] & 255;
        if (held) (*held)[size_t(block_index(t, s))] = true;
        if (_allocate(t, s)) wasFree = true;
    }
    return wasFree;
}

// Frees the chain from 18/1 and chooses the new directory blocks in the BAM;
// builds their bytes. Nothing is written.
bool D64::_plan_directory(uint8_t blocks[][256], int* sectors, int& nBlocks, const std::vector<bool>& fileBlocks) {
    int chain[kBlocks], chainLength = 0;
    if (!_chain(kDirTrack, 1, chain, chainLength)) return false;
    for (int i = 0; i < chainLength; i++) {
        const int t = chain[i] >> 8, s = chain[i] & 255;
        // A damaged chain that runs through a file's block leaves that block to the file, on track 18 too.
        if (fileBlocks[size_t(block_index(t, s))]) continue;
        if (!_free(t, s)) {
            lastError = D64Error::BamNotValid;
            return false;
        }
    }
    nBlocks = dir->count == 0 ? 1 : (dir->count + 7) / 8;
    int sec = 1;
    for (int b = 0; b < nBlocks; b++) {
        if (b > 0) {
            if (bam[4 * kDirTrack] == 0) {
                lastError = D64Error::DirectoryFull;
                return false;
            }
            int start = sec + 3;
            if (start >= kDirTrackSectors) {
                start -= kDirTrackSectors;
                if (start > 0) start--;
            }
            for (int k = 0; k <= kDirTrackSectors; k++) {
                sec = (start + k) % kDirTrackSectors;
                if (_is_free(kDirTrack, sec)) break;
            }
        }
        if (!_allocate(kDirTrack, sec)) {
            lastError = D64Error::BamNotValid;
            return false;
        }
        sectors[b] = sec;
    }
    for (int b = 0; b < nBlocks; b++) {
        std::memset(blocks[b], 0, 256);
        for (int j = 0; j < 8; j++) {
            int i = b * 8 + j;
            if (i >= dir->count) break;
            uint8_t* e = dir->entries + 32 * i;
            e[0] = e[1] = 0;
            if (j == 0) {
                e[0] = b + 1 < nBlocks ? kDirTrack : 0;
                e[1] = b + 1 < nBlocks ? uint8_t(sectors[b + 1]) : 0xFF;
            }
            std::memcpy(blocks[b] + 32 * j, e, 32);
        }
        if (dir->count == 0) blocks[b][1] = 0xFF;
    }
    return true;
}

bool D64::save_data(std::string_view name, uint8_t* buf, int, uint16_t start, uint16_t length) {
    if (!_is_mounted()) return false;
    // What another program wrote meanwhile is kept: the save goes onto the image as it is now.
    if (!refresh(true)) return false;
    if (readOnly) {
        lastError = D64Error::ReadOnly;
        return false;
    }
    lastError = D64Error::NoError;
    const bool replace = name.substr(0, 2) == "@:";
    if (replace) name.remove_prefix(2);
    name = _without_padding(name);
    // A 1541 refuses a save without a name.
    if (name.empty()) {
        lastError = D64Error::SyntaxError;
        return false;
    }
    int found = -1;
    for (int i = 0; i < dir->count && found < 0; i++) {
        const uint8_t* e = dir->entries + 32 * i;
        // A scratched entry is only a listing line, never a file to match.
        if (e[2] != 0 && _name_equals(name, e + 5)) found = i;
    }
    if (found >= 0 && !replace) {
        lastError = D64Error::FileExists;
        return false;
    }
    // PRG bytes in a SEQ, USR, REL or DEL entry would no longer load; a 1541 refuses this too.
    if (found >= 0 && (dir->entries[32 * found + 2] & 7) != 2) {
        lastError = D64Error::FileTypeMismatch;
        return false;
    }
    if (!_bam_valid()) {
        lastError = D64Error::BamNotValid;
        return false;
    }

    // The new image is made in memory and replaces the file in one step; a
    // failure puts the BAM and directory back as the image holds them.
    Directory savedDir = *dir;
    uint8_t savedBam[kBamBytes];
    std::memcpy(savedBam, bam.get(), kBamBytes);
    const uint16_t savedStart = lastStartAddress;
    auto fail = [&](D64Error err) {
        *dir = savedDir;
        std::memcpy(bam.get(), savedBam, kBamBytes);
        lastStartAddress = savedStart;
        lastError = err;
        return false;
    };

    // The blocks of the directory and of every listed file are in use whatever the BAM says, on any
    // track, so no block is taken from them; the BAM written with this save marks them. A block found
    // free is recorded as error 18 and the save goes on.
    std::vector<bool> dirBlocks(kBlocks), fileBlocks(kBlocks);
    int blocks[kBlocks], count = 0;
    if (!_chain(kDirTrack, 1, blocks, count)) return fail(lastError);
    bool mended = _hold(blocks, count, &dirBlocks);
    for (int i = 0; i < dir->count; i++) {
        const uint8_t* e = dir->entries + 32 * i;
        if (e[2] == 0 || i == found) continue;
        // Another file's broken chain still holds the blocks before the break.
        if (!_chain(e[3], e[4], blocks, count)) lastError = D64Error::NoError;
        mended = _hold(blocks, count, &fileBlocks) || mended;
    }
    int old[kBlocks], oldCount = 0;
    if (found >= 0) {
        const uint8_t* e = dir->entries + 32 * found;
        if (!_chain(e[3], e[4], old, oldCount)) return fail(lastError);
        mended = _hold(old, oldCount, nullptr) || mended;
    }

    // The space test counts data bytes, the load address not; the blocks come after.
    const int need = (int(length) + 2 + 253) / 254;
    const int oldSize = found >= 0 ? dir->entries[32 * found + 30] | dir->entries[32 * found + 31] << 8 : 0;
    if ((_free_all() + oldSize) * 254 < int(length)) return fail(D64Error::DiskFull);
    // A full directory takes the new entry into its first scratched slot, as a 1541 would; scratched
    // entries are kept while there is room.
    int slot = -1;
    if (found < 0) {
        for (int i = 0; dir->count >= kMaxEntries && i < dir->count && slot < 0; i++)
            if (dir->entries[32 * i + 2] == 0) slot = i;
        if (dir->count >= kMaxEntries && slot < 0) return fail(D64Error::DirectoryFull);
    }
    lastStartAddress = start;

    // Replacing frees the old file's blocks first (the save is whole or nothing, so this loses nothing
    // when it fails); a block the directory or another file also runs through stays theirs.
    for (int i = 0; i < oldCount; i++) {
        const int t = old[i] >> 8, s = old[i] & 255, b = block_index(t, s);
        if (!dirBlocks[size_t(b)] && !fileBlocks[size_t(b)]) _free(t, s);
    }
    std::vector<int> chain(static_cast<size_t>(need), 0);
    int t = 0, s = 0;
    for (int i = 0; i < need; i++) {
        const D64Error err = _next_block(t, s, i == 0);
        if (err != D64Error::NoError) return fail(err);
        if (!_allocate(t, s)) return fail(D64Error::BamNotValid);
        chain[size_t(i)] = t << 8 | s;
    }

    uint8_t* e;
    if (found >= 0) {
        e = dir->entries + 32 * found;
    } else {
        e = dir->entries + 32 * (slot >= 0 ? slot : dir->count);
        std::memset(e, 0, 32);
        std::memset(e + 5, 0xA0, 16);
        std::memcpy(e + 5, name.data(), std::min<size_t>(16, name.size()));
        if (slot < 0) {
            if (dir->count > 0) e[-32] = e[-31] = 0;
            dir->count++;
        }
        e[2] = 0x82;
    }
    // A replaced entry keeps its type byte (SEQ stays SEQ, locked stays locked).
    e[3] = uint8_t(chain[0] >> 8);
    e[4] = uint8_t(chain[0] & 255);
    e[30] = uint8_t(need & 255);
    e[31] = uint8_t(need >> 8);

    uint8_t dirData[kMaxEntries / 8][256];
    int dirSectors[kMaxEntries / 8];
    int nDir = 0;
    if (!_plan_directory(dirData, dirSectors, nDir, fileBlocks)) return fail(lastError);

    std::vector<uint8_t> next = image;
    std::vector<uint8_t> file(size_t(length) + 2);
    file[0] = uint8_t(start & 255);
    file[1] = uint8_t(start >> 8);
    if (length) std::memcpy(file.data() + 2, buf + start, length);
    for (int i = 0; i < need; i++) {
        uint8_t* block = next.data() + block_offset(chain[size_t(i)] >> 8, chain[size_t(i)] & 255);
        std::memset(block, 0, 256);
        const size_t from = size_t(i) * 254;
        const size_t n = std::min<size_t>(254, file.size() - from);
        if (i + 1 < need) {
            block[0] = uint8_t(chain[size_t(i + 1)] >> 8);
            block[1] = uint8_t(chain[size_t(i + 1)] & 255);
        } else {
            block[1] = uint8_t(n + 1);
        }
        std::memcpy(block + 2, file.data() + from, n);
    }
    for (int b = 0; b < nDir; b++) std::memcpy(next.data() + block_offset(kDirTrack, dirSectors[b]), dirData[b], 256);
    std::memcpy(next.data() + block_offset(kDirTrack, 0), bam.get(), kBamBytes);
    if (!Platform::replaceLocked(path, next, mount_fp, stamp)) return fail(D64Error::WriteFailed);
    image = std::move(next);
    if (mended) lastError = D64Error::AlreadyFreed;
    return true;
}
