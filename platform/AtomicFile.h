#pragma once
#include <cstdio>
#include <string>

#include "core/Types.h"

// Files that change as one step: every write goes to a temporary file beside the target
// (".NAME.XXXXXX", locked while written), is synced, and is renamed into place, so a failure or a
// kill leaves the old file whole. Also the open, locked files that stay in use (disk images).
namespace Platform {

// Which file a path names and which version of it: a change of either shows here.
struct FileStamp {
    unsigned long long device = 0, inode = 0;
    long long size = -1, mtimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// False when the path cannot be examined.
bool stampOf(const std::string& path, FileStamp& stamp);

enum class OpenResult { Ok, Missing, NotRegular };

// Opens a regular file without blocking on FIFOs: for update with an exclusive lock when writing
// is allowed, the file and its directory may be written and no one else holds the lock (a second
// user of the same file gets it read-only), else for reading. fp, writable and stamp are set on Ok.
OpenResult openLocked(const std::string& path, bool allowWrite, FILE*& fp, bool& writable, FileStamp& stamp);

// The whole file behind an open stream; false on a short read.
bool readAll(FILE* fp, Bytes& bytes);

// Replaces the file at path (through symlinks) by bytes as one step. On success fp is the new
// file, open for update and locked, and the old stream is closed; on failure nothing changed.
bool replaceLocked(const std::string& path, const Bytes& bytes, FILE*& fp, FileStamp& stamp);

enum class CreateResult { Ok, Exists, Failed };

// Creates path holding bytes only when nothing has that name, all at once or not at all.
CreateResult createFile(const std::string& path, const Bytes& bytes);

// Writes through symlinks to the file they name; a chain of links that loops, or runs longer
// than the host allows, is refused with a text for the user.
bool replaceFile(const std::string& path, const Bytes& bytes, std::string* why);

// Test seam: the steps of this layer's writes (one per byte, one per sync and per rename) are
// counted from setWriteFault on. At step failAt the operation fails, as on a full disk, and so
// does every later one; at step exitAt the process ends at once, as if killed. Negative: never.
struct WriteFault {
    long long failAt = -1;
    long long exitAt = -1;
};
void setWriteFault(const WriteFault& fault);
long long writeSteps();

}  // namespace Platform
