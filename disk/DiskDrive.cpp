#include "disk/DiskDrive.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/TextCase.h"
#include "platform/AtomicFile.h"

namespace fs = std::filesystem;

namespace {

bool isRegular(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

bool exists(const fs::path& p) {
    std::error_code ec;
    return fs::symlink_status(p, ec).type() != fs::file_type::not_found && !ec;
}

// What a directory drive's file can be called: nothing that leaves the directory or can't be typed.
bool validHostName(const std::string& name) {
    bool bad = name.empty() || name == "." || name == "..";
    for (unsigned char c : name) bad = bad || c == '/' || c < 32 || c == 127;
    return !bad;
}

// The one ".prg" file of dir whose name equals name ignoring case: the monitor
// types upper case, while host files are often lower case. Empty when none is
// found; ambiguous when more than one matches, as none may be chosen then.
std::string matchIgnoringCase(const std::string& dir, const std::string& name, bool& ambiguous) {
    ambiguous = false;
    const std::string want = LowerCase(name + ".prg");
    std::string found;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string file = it->path().filename().string();
        if (LowerCase(file) != want) continue;
        if (!found.empty()) ambiguous = true;
        found = it->path().string();
    }
    return found;
}

}  // namespace

const char* DiskDrive::typeName(int type) {
    static const char* const names[5] = {"DEL", "SEQ", "PRG", "USR", "REL"};
    return type >= 0 && type < 5 ? names[type] : "???";
}

bool DiskDrive::fail(const std::string& text) {
    error = text;
    return false;
}

void DiskDrive::unmount() {
    diskChanges++;
    d64.unmount();
    mode = NoDisk;
    path.clear();
    entries.clear();
}

bool DiskDrive::mountD64(const std::string& p) {
    unmount();
    if (!d64.mount(p.c_str())) return fail(d64.get_last_error());
    mode = D64Image;
    path = p;
    return true;
}

bool DiskDrive::mountDirectory(const std::string& p) {
    unmount();
    std::error_code ec;
    if (!fs::is_directory(p, ec)) return fail("Directory not found");
    mode = HostDirectory;
    path = p;
    rescanDirectory();
    return true;
}

void DiskDrive::rescanDirectory() {
    entries.clear();
    std::error_code ec;
    fs::directory_iterator it(path, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string file = it->path().filename().string();
        const size_t dot = file.rfind('.');
        if (dot == std::string::npos || LowerCase(file.substr(dot)) != ".prg") continue;
        // Only what can be read is listed ("...prg" would show as "..").
        if (!validHostName(file.substr(0, file.size() - 4))) continue;
        std::error_code sizeError;
        // Only a regular file has a size; anything else lists as 0 blocks.
        uintmax_t size = isRegular(it->path()) ? fs::file_size(it->path(), sizeError) : 0;
        if (sizeError) size = 0;
        entries.push_back({file.substr(0, file.size() - 4), int((size + 253) / 254), 2});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
}

bool DiskDrive::readOnly() const { return mode == D64Image && d64.is_read_only(); }

std::string DiskDrive::diskName() {
    if (mode == D64Image) return d64.get_disk_name();
    if (mode == HostDirectory) {
        fs::path p(path);
        if (!p.has_filename()) p = p.parent_path();
        return p.filename().string();
    }
    return "";
}

std::string DiskDrive::diskId() { return mode == D64Image ? d64.get_disk_id() : ""; }

std::vector<int> DiskDrive::listedEntries() {
    std::vector<int> rows;
    // Another program, or another drive on the same image, may have changed it.
    d64.refresh();
    const int n = d64.get_file_count();
    for (int i = 0; i < n; i++)
        if (!d64.is_scratched(i)) rows.push_back(i);
    return rows;
}

std::vector<DiskDrive::Entry> DiskDrive::list() {
    std::vector<Entry> out;
    if (mode == D64Image) {
        for (int i : listedEntries())
            out.push_back({d64.file_name(i), d64.get_file_size(i, D64_SIZETYPE_BLOCK), d64.get_file_type(i)});
    } else if (mode == HostDirectory) {
        out = entries;
    }
    return out;
}

bool DiskDrive::hostName(const std::string& name, std::string& file) {
    // Names come from the monitor and the save field: only what would leave the directory is
    // refused; anything listed can be read.
    if (!validHostName(name)) return fail("Invalid file name");
    file = (fs::path(path) / (name + ".prg")).string();
    return true;
}

bool DiskDrive::acceptsName(const std::string& name, bool save) const {
    const std::string n = withoutReplacePrefix(name);
    // A D64 stores a longer name cut to its first 16 characters; a load looks up no more than 16.
    if (mode == D64Image) return !n.empty() && (save || n.size() <= 16);
    return mode != HostDirectory || validHostName(n);
}

bool DiskDrive::findHost(const std::string& name, std::string& file) {
    if (!hostName(name, file)) return false;
    if (!exists(file) && std::any_of(entries.begin(), entries.end(), [&](const Entry& e) { return e.name == name; })) {
        for (const char* ext : {".PRG", ".Prg"}) {
            std::string other = (fs::path(path) / (name + ext)).string();
            if (exists(other)) {
                file = other;
                break;
            }
        }
    }
    if (!exists(file)) {
        bool ambiguous = false;
        std::string other = matchIgnoringCase(path, name, ambiguous);
        if (ambiguous) return fail("More than one file matches ignoring case");
        if (!other.empty()) file = other;
    }
    return true;
}

bool DiskDrive::readEntry(int entry, std::vector<uint8_t>& out, int loadAt, int endAt) {
    std::vector<uint8_t> buffer(0x10200);
    bool own = loadAt < 0;
    int length = 0;
    if (endAt >= 0) {
        // Only the bytes that land count: the load address first, then at most up to endAt.
        if (own && d64.load_data(entry, buffer.data(), int(buffer.size()), 0, 1, true) < 1 &&
            d64.lastError != D64Error::NoError)
            return fail(d64.get_last_error());
        const int start = own ? d64.get_last_start_address() : loadAt;
        length = std::max(0, std::min(endAt, 0x10000) - start);
        own = false;
        loadAt = start;
    }
    // A length of 0 would read the whole file: one byte is read and dropped.
    int n = d64.load_data(entry, buffer.data(), int(buffer.size()), uint16_t(own ? 0 : loadAt),
                          uint16_t(endAt >= 0 ? std::max(length, 1) : 0), own);
    if (endAt >= 0) n = std::min(n, length);
    // A file of nothing but its load address reads as no data bytes at that address.
    if (n < 1 && d64.lastError != D64Error::NoError) return fail(d64.get_last_error());
    const int start = d64.get_last_start_address();
    out.reserve(size_t(n) + 2);
    out.push_back(uint8_t(start & 255));
    out.push_back(uint8_t(start >> 8));
    out.insert(out.end(), buffer.begin() + start, buffer.begin() + start + n);
    return true;
}

bool DiskDrive::readFile(int index, std::vector<uint8_t>& out) {
    out.clear();
    if (mode == HostDirectory) {
        if (index < 0 || index >= int(entries.size())) return fail("Invalid file number");
        return readFile(entries[size_t(index)].name, out);
    }
    if (mode != D64Image) return fail("Disk is not mounted");
    const std::vector<int> rows = listedEntries();
    if (index < 0 || index >= int(rows.size())) return fail("Invalid file number");
    return readEntry(rows[size_t(index)], out, -1);
}

bool DiskDrive::readFile(const std::string& name, std::vector<uint8_t>& out, int loadAt, int endAt) {
    out.clear();
    if (mode == D64Image) {
        // Every byte of the name counts, a $00 in it too, but not the padding after it.
        for (int i : listedEntries())
            if (d64.file_is_named(i, name)) return readEntry(i, out, loadAt, endAt);
        return fail("File not found");
    }
    if (mode != HostDirectory) return fail("Disk is not mounted");
    std::string file;
    if (!findHost(name, file)) return false;
    // A FIFO or device under a .prg name would block the read.
    if (!exists(file)) return fail("File not found");
    if (!isRegular(file)) return fail("Cannot read file");
    FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return fail("File not found");
    uint8_t piece[4096];
    // Without an end, the whole file; with one, the load address and then only what lands before the end.
    size_t want = endAt >= 0 ? 2 : SIZE_MAX;
    if (endAt >= 0) std::setvbuf(f, nullptr, _IONBF, 0);
    for (size_t n; out.size() < want && (n = std::fread(piece, 1, std::min(sizeof piece, want - out.size()), f)) > 0;) {
        out.insert(out.end(), piece, piece + n);
        if (endAt >= 0 && want == 2 && out.size() == 2) {
            const int start = loadAt >= 0 ? loadAt : out[0] | out[1] << 8;
            want = 2 + size_t(std::max(0, std::min(endAt, 0x10000) - start));
        }
    }
    std::fclose(f);
    if (out.size() < 2) return fail("Cannot read file");
    return true;
}

bool DiskDrive::writeFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 2) return fail("Nothing to save");
    if (mode == HostDirectory) {
        std::string file;
        const bool replace = hasReplacePrefix(name);
        if (replace) {
            // The file that the name reads is the one replaced, all at once.
            if (!findHost(name.substr(2), file)) return false;
            if (exists(file)) {
                std::string why;
                if (!Platform::replaceFile(file, bytes, &why)) return fail(why.empty() ? "Cannot create file" : why);
                rescanDirectory();
                return true;
            }
        } else if (!hostName(name, file)) {
            return false;
        }
        if (exists(file)) return fail("File already exists");
        // Whole or not at all, and never over whatever appeared under the name meanwhile.
        switch (Platform::createFile(file, bytes)) {
        case Platform::CreateResult::Exists: return fail("File already exists");
        case Platform::CreateResult::Failed: return fail("Cannot create file");
        case Platform::CreateResult::Ok: break;
        }
        rescanDirectory();
        return true;
    }
    if (mode != D64Image) return fail("Disk is not mounted");
    const int start = bytes[0] | bytes[1] << 8;
    // The length field holds 16 bits: a full 64 KB from $0000 keeps 65,535 bytes.
    const int length = std::min({int(bytes.size()) - 2, 0x10000 - start, 0xFFFF});
    std::vector<uint8_t> buffer(0x10000);
    std::memcpy(buffer.data() + start, bytes.data() + 2, size_t(length));
    // The whole name: an API caller's may hold $00.
    if (!d64.save_data(name, buffer.data(), int(buffer.size()), uint16_t(start), uint16_t(length)))
        return fail(d64.get_last_error());
    return true;
}

std::vector<uint8_t> DiskDrive::blankD64(const std::string& name, const std::string& id) {
    std::vector<uint8_t> image(size_t(D64::kImageSize), 0);
    uint8_t* bam = image.data() + D64::block_offset(18, 0);
    bam[0] = 0x12;
    bam[1] = 0x01;
    bam[2] = 0x41;
    for (int t = 1; t <= 35; t++) {
        const int n = D64::sector_count[t];
        bam[4 * t] = uint8_t(n);
        for (int s = 0; s < n; s++) bam[4 * t + 1 + s / 8] |= uint8_t(1 << (s % 8));
    }
    bam[4 * 18] = 17;
    bam[4 * 18 + 1] = 0xFC;
    std::memset(bam + 144, 0xA0, 18);
    bam[164] = 0xA0;
    std::memset(bam + 167, 0xA0, 4);
    for (size_t i = 0; i < name.size() && i < 16; i++)
        bam[144 + i] = uint8_t(UpperAscii(name[i]));
    for (size_t i = 0; i < 2; i++)
        bam[162 + i] = i < id.size() ? uint8_t(UpperAscii(id[i])) : '0';
    bam[165] = '2';
    bam[166] = 'A';
    uint8_t* dir = image.data() + D64::block_offset(18, 1);
    dir[1] = 0xFF;
    return image;
}
