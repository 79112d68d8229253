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

// Up to limit bytes of a regular file no larger than maxSize (negative: any size).
bool readHead(const std::string& path, Bytes& bytes, size_t limit, long long maxSize) {
    // Non-blocking open so that a FIFO cannot stall us before the type check.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (maxSize >= 0 && st.st_size > maxSize)) {
        ::close(fd);
        return false;
    }
    Bytes data(std::min(size_t(st.st_size), limit));
    size_t got = 0;
    while (got < data.size()) {
        ssize_t n = ::read(fd, data.data() + got, data.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += size_t(n);
    }
    ::close(fd);
    data.resize(got);
    bytes = std::move(data);
    return true;
}

}  // namespace

bool readFile(const std::string& path, Bytes& bytes) { return readHead(path, bytes, SIZE_MAX, kMaxFileSize); }

bool readFileHead(const std::string& path, Bytes& bytes, size_t limit) { return readHead(path, bytes, limit, -1); }

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
