#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/AtomicFile.h"

// Size kinds of D64::get_file_size.
constexpr int D64_SIZETYPE_BLOCK = 0;
constexpr int D64_SIZETYPE_BYTES = 1;

// Ids of D64 failures, each with its fixed text (D64::error_text).
enum class D64Error : int {
    NoError = 0,
    Undefined = 1,
    CannotOpen = 2,
    UnknownFormat = 3,
    Tracks35NoErrorBytes = 4,
    Tracks35ErrorBytes = 5,
    Tracks40NoErrorBytes = 6,
    Tracks40ErrorBytes = 7,
    NotMounted = 8,
    NoMemory = 9,
    ReadFailed = 10,
    NotOpen = 11,
    UnknownSizeType = 12,
    BamNotValid = 13,
    DiskFull = 14,
    NoFreeTrack = 15,
    NoFreeSector = 16,
    AlreadyAllocated = 17,
    AlreadyFreed = 18,
    WriteFailed = 19,
    DirectoryFull = 20,
    FileNotFound = 21,
    FileExists = 22,
    NoReadPermission = 23,
    NotOrdinaryFile = 24,
    ReadOnly = 25,
    BufferOverrun = 26,
    NotLoadable = 27,
    // The drive's own numbers for what a 1541 refuses the same way.
    SyntaxError = 34,
    FileTypeMismatch = 64,
};

// One 35-track 1541 disk image, kept open and locked while mounted, with its
// blocks, directory and block availability map (BAM) held in memory. A save
// builds the whole new image and replaces the file with it in one step; an
// image changed on disk by anyone else is read again first. Failures return 0
// (or a null text) and keep an error id in lastError.
class D64 {
public:
    static constexpr int kMaxEntries = 144;
    static constexpr int kBamBytes = 212;
    static constexpr int kBlocks = 683;
    static constexpr long kImageSize = 174848;
    static constexpr long kImageWithErrorsSize = 175531;

    struct Directory {
        uint8_t entries[kMaxEntries * 32];
        int count;
    };

    FILE* mount_fp = nullptr;
    D64Error lastError = D64Error::NoError;
    int diskType = 0;  // 0 none, 1 35 tracks, 2 35 tracks with error bytes
    bool readOnly = true;
    uint16_t lastStartAddress = 0;
    std::unique_ptr<Directory> dir;
    std::unique_ptr<uint8_t[]> bam;
    char diskName[17] = {};
    char diskId[6] = {};
    std::string path;            // as mounted
    Platform::FileStamp stamp;   // of the file the blocks were read from
    std::vector<uint8_t> image;  // its 683 blocks
    // A version of the file that could not be read, and why: not read again until it changes.
    Platform::FileStamp unreadable;
    D64Error unreadableError = D64Error::NoError;

    // Byte offset of sector 0 of each track, sectors per track, offset of each sector.
    static const uint32_t track[44];
    static const int sector_count[44];
    static const uint32_t sector[22];

    D64() = default;
    ~D64();
    D64(const D64&) = delete;
    D64& operator=(const D64&) = delete;

    int mount(const char* path);
    int unmount();

    int get_file_count();
    // The name up to its padding: $A0 bytes and the $00 bytes at its end; a $00 inside it stays.
    std::string file_name(int index);
    // Whether the entry is called name, compared as a save looks names up.
    bool file_is_named(int index, std::string_view name);
    int get_file_type(int index);
    // A scratched entry (type byte $00) is no file: it is kept but never listed or looked up.
    bool is_scratched(int index);
    int get_file_size(int index, int sizeType);
    const char* get_last_error() const;
    // Reads the image again when its file changed or was replaced since it was read (force: or
    // its bytes differ, for changes within the clock's resolution); 0 when it can no longer be
    // read (what was held stays).
    int refresh(bool force = false);
    bool is_read_only() const { return readOnly; }
    uint16_t get_last_start_address() const { return lastStartAddress; }
    const char* get_disk_name();
    const char* get_disk_id();

    int load_data(int index, uint8_t* buf, int bufsize, uint16_t offset, uint16_t length, bool useFileAddress);
    // The name may hold $00 bytes; a leading "@:" replaces the file of that name. True when the
    // file is on the disk, also when the save found the BAM damaged and mended it on the way
    // (lastError then says how, 17 or 18).
    bool save_data(std::string_view name, uint8_t* buf, int bufsize, uint16_t start, uint16_t length);

    static const char* error_text(D64Error id);
    static bool valid_block(int t, int s) { return t >= 1 && t <= 35 && s >= 0 && s < sector_count[t]; }
    static long block_offset(int t, int s) { return long(track[t] + sector[s]); }
    // Index 0..682 of a valid block, for visited sets.
    static int block_index(int t, int s) { return int(block_offset(t, s) / 256); }
    static int _count_bits(uint8_t* bytes, int byteCount, int bitCount);

    int _is_mounted();
    int _read_directory();
    int _read_bam();

private:
    void _release();
    bool _bam_valid();
    bool _is_free(int t, int s) const;
    // Both report a damaged BAM (the bit already in the wanted state) as false.
    bool _allocate(int t, int s);
    bool _free(int t, int s);
    int _free_all() const;
    D64Error _next_block(int& t, int& s, bool first);
    bool _read_at(long offset, void* out, size_t n);
    // The held blocks, directory and BAM from the open file; false with lastError.
    bool _read_image();
    // Collects the blocks of a chain; false with lastError on a loop or a short read.
    bool _chain(int t, int s, int* blocks, int& count);
    // Frees the old directory chain, except blocks files hold, and lays the entries out anew, all in memory.
    bool _plan_directory(uint8_t blocks[][256], int* sectors, int& nBlocks, const std::vector<bool>& fileBlocks);
    // Marks the blocks (track << 8 | sector) as used in the BAM and, by block_index, in held when given;
    // true when one was marked free.
    bool _hold(const int* blocks, int count, std::vector<bool>* held);
};

// A name without its padding: the $00 bytes at its end.
std::string_view _without_padding(std::string_view name);

// A name against a 16-byte directory name, both without their padding ($A0
// in the entry, $00 at the end of either); case matters, no wildcards. A name
// of more than 16 bytes never matches.
bool _name_equals(std::string_view name, const uint8_t* entryName);
