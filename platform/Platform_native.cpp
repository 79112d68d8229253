#include "platform/Platform.h"

#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string g_assetDir;
std::string g_configDir;

std::string envValue(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

bool holdsCharRom(const std::string& dir) {
    std::error_code ec;
    return fs::exists(fs::path(dir) / "C64Chars.bin", ec) && !ec;
}

std::string chooseConfigDir() {
    std::string appData = envValue("APPDATA");
    if (!appData.empty()) return appData + "/Vorlix";
    std::string xdg = envValue("XDG_CONFIG_HOME");
    if (!xdg.empty()) return xdg + "/vorlix";
    std::string home = envValue("HOME");
    if (!home.empty()) return home + "/.config/vorlix";
    return ".";
}

}  // namespace

namespace Platform {

void initWithBasePath(const std::string& basePath) {
    std::vector<std::string> candidates;
    // An empty value would mean the working directory, which the user did not ask for.
    std::string env = envValue("VORLIX_ASSETS");
    if (!env.empty()) candidates.push_back(env);
    if (!basePath.empty()) {
        std::string base = basePath;
        if (base.back() != '/') base += '/';
        candidates.push_back(base + "assets");
        candidates.push_back(base + "../share/vorlix/assets");
    }
    candidates.push_back("assets");
    g_assetDir = "assets";
    for (const std::string& c : candidates) {
        if (holdsCharRom(c)) {
            g_assetDir = c;
            break;
        }
    }
    g_configDir = chooseConfigDir();
    std::error_code ec;
    fs::create_directories(g_configDir, ec);
}

std::string assetDir() { return g_assetDir; }
std::string configDir() { return g_configDir; }

namespace {

// A regular file no larger than maxSize (negative: any size) opened for reading; -1 otherwise.
int openRegular(const std::string& path, long long maxSize, size_t& size) {
    // Non-blocking open so that a FIFO cannot stall us before the type check.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (maxSize >= 0 && st.st_size > maxSize)) {
        ::close(fd);
        return -1;
    }
    size = size_t(st.st_size);
    return fd;
}

// Fills n bytes at to; fewer at the end of the file or on an error.
size_t readUpTo(int fd, u8* to, size_t n) {
    size_t got = 0;
    while (got < n) {
        ssize_t r = ::read(fd, to + got, n - got);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += size_t(r);
    }
    return got;
}

// Up to limit bytes of a regular file no larger than maxSize (negative: any size).
bool readHead(const std::string& path, Bytes& bytes, size_t limit, long long maxSize) {
    size_t size = 0;
    int fd = openRegular(path, maxSize, size);
    if (fd < 0) return false;
    Bytes data(std::min(size, limit));
    data.resize(readUpTo(fd, data.data(), data.size()));
    ::close(fd);
    bytes = std::move(data);
    return true;
}

}  // namespace

bool readFile(const std::string& path, Bytes& bytes) { return readHead(path, bytes, SIZE_MAX, kMaxFileSize); }

bool readFileHead(const std::string& path, Bytes& bytes, size_t limit) { return readHead(path, bytes, limit, -1); }

FileReading::~FileReading() {
    if (fd >= 0) ::close(fd);
}

std::unique_ptr<FileReading> startFileReading(const std::string& path) {
    auto r = std::make_unique<FileReading>();
    r->fd = openRegular(path, kMaxFileSize, r->size);
    if (r->fd < 0) return nullptr;
    // Reserved, not filled: the pages are touched a piece at a time as they are read into.
    r->bytes.reserve(r->size);
    return r;
}

bool readFilePiece(FileReading& r, size_t most) {
    if (r.finished) return true;
    const size_t at = r.bytes.size(), want = std::min(most, r.size - at);
    r.bytes.resize(at + want);
    const size_t got = readUpTo(r.fd, r.bytes.data() + at, want);
    r.bytes.resize(at + got);
    if (got < want || r.bytes.size() == r.size) {
        r.finished = true;
        ::close(r.fd);
        r.fd = -1;
    }
    return r.finished;
}

bool writeFile(const std::string& path, const Bytes& bytes, std::string* why) {
    return replaceFile(path, bytes, why);
}

std::string loadText(const std::string& name, bool* unreadable) {
    Bytes bytes;
    const std::string path = g_configDir + "/" + name;
    bool read = readFile(path, bytes);
    struct stat st {};
    if (unreadable) *unreadable = !read && !(::stat(path.c_str(), &st) != 0 && errno == ENOENT);
    if (!read) return {};
    return std::string(bytes.begin(), bytes.end());
}

void saveText(const std::string& name, const std::string& text) {
    writeFile(g_configDir + "/" + name, Bytes(text.begin(), text.end()));
}

}  // namespace Platform
