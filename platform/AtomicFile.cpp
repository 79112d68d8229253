#include "platform/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace Platform {

namespace {

WriteFault g_fault;
long long g_steps = 0;

// How many of the next n steps may run; fewer ends the process or fails the operation there.
bool spend(size_t n, size_t& granted) {
    long long room = LLONG_MAX;
    if (g_fault.exitAt >= 0) room = std::min(room, g_fault.exitAt - g_steps);
    if (g_fault.failAt >= 0) room = std::min(room, g_fault.failAt - g_steps);
    granted = room < 0 ? 0 : size_t(std::min<long long>(room, (long long)n));
    return granted == n;
}

void stopHere() {
    // Ends as a killed process would: no cleanup, no flush, the temporary left behind.
    if (g_fault.exitAt >= 0 && g_steps >= g_fault.exitAt) ::_exit(86);
    errno = ENOSPC;
}

bool writeAll(int fd, const uint8_t* data, size_t n) {
    size_t allowed = 0;
    const bool all = spend(n, allowed);
    for (size_t done = 0; done < allowed;) {
        ssize_t k = ::write(fd, data + done, allowed - done);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return false;
        done += size_t(k);
        g_steps += k;
    }
    if (!all) stopHere();
    return all;
}

// One sync or rename: it runs only when the plan lets it.
bool step() {
    size_t allowed = 0;
    if (!spend(1, allowed)) {
        stopHere();
        return false;
    }
    g_steps++;
    return true;
}

bool syncFd(int fd) { return step() && ::fsync(fd) == 0; }

// After a rename, so it lasts; a failure here only makes it less durable, the new file is in place.
void syncDir(const fs::path& dir) {
    if (!step()) return;
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

FileStamp stampOfStat(const struct stat& st) {
    FileStamp s;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    return s;
}

// The part of a target's name that its temporaries carry: ".PART.XXXXXX" must fit the host's
// limit on a name (255 bytes), so a long name gives only its beginning.
std::string tempPart(const std::string& name) { return name.substr(0, std::min<size_t>(name.size(), NAME_MAX - 8)); }

bool isTempName(const std::string& entry, const std::string& target) {
    const std::string name = tempPart(target);
    if (entry.size() != name.size() + 8 || entry[0] != '.' || entry.compare(1, name.size(), name) != 0 ||
        entry[name.size() + 1] != '.')
        return false;
    for (size_t i = name.size() + 2; i < entry.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(entry[i]))) return false;
    return true;
}

// Temporaries of earlier writes of this target that were killed: ours, regular, and not being
// written (their writer holds a lock while it works).
void removeLeftovers(const fs::path& target) {
    const fs::path dir = target.parent_path();
    const std::string name = target.filename().string();
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return;
    while (struct dirent* e = ::readdir(d)) {
        if (!isTempName(e->d_name, name)) continue;
        const fs::path p = dir / e->d_name;
        int fd = ::open(p.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(p.c_str());
        ::close(fd);
    }
    ::closedir(d);
}

// The file a path stands for after its symlinks; false with a text when they loop.
bool followLinks(const std::string& path, std::string& target, std::string* why) {
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat ls {};
        if (::lstat(target.c_str(), &ls) != 0 || !S_ISLNK(ls.st_mode)) return true;
        std::error_code ec;
        fs::path link = fs::read_symlink(target, ec);
        if (ec) return false;
        target = (link.is_absolute() ? link : fs::path(target).parent_path() / link).string();
    }
    if (why) *why = fs::path(path).filename().string() + " is a symbolic link that leads back to itself; nothing was saved.";
    return false;
}

// A locked temporary beside target holding bytes, synced; fd open on it. Mode and owner as given.
bool writeTemp(const fs::path& target, const Bytes& bytes, mode_t mode, const struct stat* owner, int& fd,
               std::string& tmp) {
    removeLeftovers(target);
    std::string leaf = ".";
    leaf += tempPart(target.filename().string());
    leaf += ".XXXXXX";
    tmp = (target.parent_path() / leaf).string();
    fd = ::mkstemp(tmp.data());
    if (fd < 0) return false;
    ::flock(fd, LOCK_EX);
    bool ok = writeAll(fd, bytes.data(), bytes.size());
    // The owner too, where we may (as root); the mode after it, as a change of owner drops set-id bits.
    if (owner && ::fchown(fd, owner->st_uid, owner->st_gid) != 0) {
    }
    ok = ok && ::fchmod(fd, mode) == 0;
    ok = ok && syncFd(fd);
    if (!ok) {
        ::unlink(tmp.c_str());
        ::close(fd);
        fd = -1;
    }
    return ok;
}

mode_t newFileMode() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The temporary renamed over target, and the directory synced so the rename lasts.
bool moveInto(const std::string& tmp, const std::string& target) {
    if (!step() || std::rename(tmp.c_str(), target.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    syncDir(fs::path(target).parent_path());
    return true;
}

}  // namespace

void setWriteFault(const WriteFault& fault) {
    g_fault = fault;
    g_steps = 0;
}

long long writeSteps() { return g_steps; }

bool stampOf(const std::string& path, FileStamp& stamp) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    stamp = stampOfStat(st);
    return true;
}

OpenResult openLocked(const std::string& path, bool allowWrite, FILE*& fp, bool& writable, FileStamp& stamp) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return OpenResult::Missing;
    if (!S_ISREG(st.st_mode)) return OpenResult::NotRegular;
    // A save replaces the file beside itself, so its directory must be writable too: the directory of
    // the file that the links lead to, where the save goes.
    std::string target;
    const bool followed = followLinks(path, target, nullptr);
    const fs::path dir = fs::path(target).parent_path();
    writable = allowWrite && followed && ::access(dir.empty() ? "." : dir.c_str(), W_OK | X_OK) == 0;
    int fd = writable ? ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC) : -1;
    if (fd < 0) {
        writable = false;
        fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    }
    if (fd < 0) return OpenResult::Missing;
    // Checked again through the open file, so nothing can be swapped in between.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return OpenResult::NotRegular;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (writable && ::flock(fd, LOCK_EX | LOCK_NB) != 0) writable = false;
    fp = ::fdopen(fd, writable ? "r+b" : "rb");
    if (!fp) {
        ::close(fd);
        return OpenResult::Missing;
    }
    stamp = stampOfStat(st);
    return OpenResult::Ok;
}

bool readAll(FILE* fp, Bytes& bytes) {
    struct stat st {};
    if (!fp || ::fstat(::fileno(fp), &st) != 0 || std::fseek(fp, 0, SEEK_SET) != 0) return false;
    bytes.resize(size_t(st.st_size));
    return std::fread(bytes.data(), 1, bytes.size(), fp) == bytes.size();
}

bool replaceLocked(const std::string& path, const Bytes& bytes, FILE*& fp, FileStamp& stamp) {
    std::string target;
    if (!followLinks(path, target, nullptr)) return false;
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    int fd = -1;
    std::string tmp;
    if (!writeTemp(target, bytes, st.st_mode & 07777, &st, fd, tmp)) return false;
    struct stat now {};
    FILE* next = ::fstat(fd, &now) == 0 ? ::fdopen(fd, "r+b") : nullptr;
    if (!next) {
        ::unlink(tmp.c_str());
        ::close(fd);
        return false;
    }
    if (!moveInto(tmp, target)) {
        std::fclose(next);
        return false;
    }
    if (fp) std::fclose(fp);
    fp = next;
    stamp = stampOfStat(now);
    return true;
}

CreateResult createFile(const std::string& path, const Bytes& bytes) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) return CreateResult::Exists;
    int fd = -1;
    std::string tmp;
    if (!writeTemp(path, bytes, newFileMode(), nullptr, fd, tmp)) return CreateResult::Failed;
    // A hard link never replaces what appeared under the name meanwhile.
    CreateResult result = CreateResult::Ok;
    if (!step()) result = CreateResult::Failed;
    else if (::link(tmp.c_str(), path.c_str()) != 0) {
        // Without hard links (FAT and the like) a rename after a last look has to do.
        if (errno == EEXIST || ::lstat(path.c_str(), &st) == 0) result = CreateResult::Exists;
        else if (std::rename(tmp.c_str(), path.c_str()) != 0) result = CreateResult::Failed;
    }
    ::unlink(tmp.c_str());
    // Closed (and unlocked) only now, so no other save takes the temporary for a leftover.
    ::close(fd);
    if (result == CreateResult::Ok) syncDir(fs::path(path).parent_path());
    return result;
}

bool replaceFile(const std::string& path, const Bytes& bytes, std::string* why) {
    std::string target;
    if (!followLinks(path, target, why)) return false;
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    // The user's read-only flag holds: the rename alone would get past it.
    if (exists && (!S_ISREG(st.st_mode) || ::access(target.c_str(), W_OK) != 0)) return false;
    int fd = -1;
    std::string tmp;
    if (!writeTemp(target, bytes, exists ? st.st_mode & 07777 : newFileMode(), exists ? &st : nullptr, fd, tmp))
        return false;
    // Closed (and unlocked) only after the rename, so no other save takes it for a leftover.
    const bool moved = moveInto(tmp, target);
    ::close(fd);
    return moved;
}

}  // namespace Platform
