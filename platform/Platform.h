#pragma once
#include <memory>
#include <string>

#include "core/Types.h"

// The host: asset and configuration directories, whole-file reads and writes.
namespace Platform {

// Largest file readFile accepts; nothing the editor opens comes near it.
constexpr long long kMaxFileSize = 256ll << 20;

// Finds both directories. The SDL build passes the program's base path.
void init(const char* argv0);
void initWithBasePath(const std::string& basePath);

std::string assetDir();
std::string configDir();

// Regular files only, up to kMaxFileSize; false (bytes untouched) otherwise.
bool readFile(const std::string& path, Bytes& bytes);
// The first bytes of a regular file of any size, at most limit of them; false (bytes untouched) otherwise.
bool readFileHead(const std::string& path, Bytes& bytes, size_t limit);
// A regular file read a piece at a time, so that a large one can be read across frames.
struct FileReading {
    int fd = -1;
    size_t size = 0;  // as the file was when opened
    Bytes bytes;      // what has been read so far
    bool finished = false;

    FileReading() = default;
    FileReading(const FileReading&) = delete;
    FileReading& operator=(const FileReading&) = delete;
    ~FileReading();
};
// Opens what readFile reads (a regular file up to kMaxFileSize); null otherwise.
std::unique_ptr<FileReading> startFileReading(const std::string& path);
// Reads up to most more bytes; the reading ends at the file's end or a read error,
// keeping what came, as readFile does. True once finished.
bool readFilePiece(FileReading& r, size_t most);

// Writes beside the target and renames over it, so a failed or killed write keeps the old file.
// Refuses a target the user may not write; keeps its mode; writes through a symlink, but not
// through links that loop (why then tells the user).
bool writeFile(const std::string& path, const Bytes& bytes, std::string* why = nullptr);

// Empty when the file cannot be read; unreadable tells a file that exists but failed from a missing one.
std::string loadText(const std::string& name, bool* unreadable = nullptr);
void saveText(const std::string& name, const std::string& text);

}  // namespace Platform
