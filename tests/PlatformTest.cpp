#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <optional>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Platform.h"

#include "tests/TempDir.h"

namespace fs = std::filesystem;

namespace {

void touch(const fs::path& p, const std::string& content = "x") {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
}

// Keeps the environment variables of one test apart from the next.
struct EnvGuard {
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    void set(const char* name, const char* value) {
        const char* old = std::getenv(name);
        saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~EnvGuard() {
        for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
            if (it->second) setenv(it->first.c_str(), it->second->c_str(), 1);
            else unsetenv(it->first.c_str());
        }
    }
};

// "%" stands for a fresh directory, which is also the working directory while the platform looks.
TEST(Platform, AssetAndConfigDirectories) {
    auto expand = [](std::string s, const fs::path& t) {
        if (const size_t at = s.find('%'); at != std::string::npos) s.replace(at, 1, t.string());
        return s;
    };
    // The variable wins; then base/assets, then base/../share/vorlix/assets (a missing separator
    // added); an empty variable is skipped, never taken for the working directory.
    const struct {
        std::vector<const char*> files;
        const char *variable, *base, *want;
    } assets[] = {
        {{"env/C64Chars.bin", "base/assets/C64Chars.bin"}, "%/env", "%/base/", "%/env"},
        {{"share/vorlix/assets/C64Chars.bin", "bin/program"}, "%/nothing", "%/bin/", "%/bin/../share/vorlix/assets"},
        {{"share/vorlix/assets/C64Chars.bin", "bin/assets/C64Chars.bin"}, "%/nothing", "%/bin", "%/bin/assets"},
        {{"C64Chars.bin"}, "", "%/nowhere/", "assets"},
    };
    const fs::path cwd = fs::current_path();
    for (const auto& r : assets) {
        TempDir t;
        for (const char* f : r.files) touch(t.path / f);
        EnvGuard env;
        env.set("VORLIX_ASSETS", expand(r.variable, t.path).c_str());
        fs::current_path(t.path);
        Platform::initWithBasePath(expand(r.base, t.path));
        fs::current_path(cwd);
        EXPECT_EQ(Platform::assetDir(), expand(r.want, t.path)) << r.want;
    }
    // APPDATA, then XDG_CONFIG_HOME, then HOME/.config; the directory is made.
    const struct {
        const char *appData, *xdg, *home, *want;
    } configs[] = {{"%/appdata", "%/xdg", "%", "%/appdata/Vorlix"},
                   {"", "%/xdg", "%", "%/xdg/vorlix"},
                   {"", nullptr, "%", "%/.config/vorlix"},
                   {"", nullptr, nullptr, "."}};
    for (const auto& r : configs) {
        TempDir t;
        EnvGuard env;
        env.set("APPDATA", expand(r.appData, t.path).c_str());
        env.set("XDG_CONFIG_HOME", r.xdg ? expand(r.xdg, t.path).c_str() : nullptr);
        env.set("HOME", r.home ? expand(r.home, t.path).c_str() : nullptr);
        Platform::initWithBasePath("");
        EXPECT_EQ(Platform::configDir(), expand(r.want, t.path));
        EXPECT_TRUE(fs::is_directory(Platform::configDir()));
    }
}

// Files are read whole; a missing file, a directory, a FIFO and an oversized file fail at once, buffer untouched.
TEST(Platform, ReadFileCases) {
    TempDir t;
    touch(t.path / "empty", "");
    touch(t.path / "data", std::string("\x01\x00\xff", 3));
    ASSERT_EQ(mkfifo((t.path / "fifo").c_str(), 0600), 0);
    std::ofstream(t.path / "big", std::ios::binary).seekp(Platform::kMaxFileSize).put('x');
    const std::pair<const char*, Bytes> rows[] = {{"empty", {}}, {"data", {1, 0, 255}}, {"missing", {7}}, {"", {7}}, {"fifo", {7}}, {"big", {7}}};
    for (const auto& [name, want] : rows) {
        Bytes b{7};
        EXPECT_EQ(Platform::readFile((t.path / name).string(), b), want != Bytes{7}) << name;
        EXPECT_EQ(b, want) << name;
    }
}

TEST(Platform, WriteFileKeepsOldFileOnFailureAndReplacesOnSuccess) {
    TempDir t;
    std::string path = (t.path / "out.bin").string();
    Bytes back;
    for (const Bytes& bytes : {Bytes{1, 2, 3}, Bytes{}}) {
        EXPECT_TRUE(Platform::writeFile(path, bytes));
        ASSERT_TRUE(Platform::readFile(path, back));
        EXPECT_EQ(back, bytes);
    }

    EXPECT_FALSE(Platform::writeFile((t.path / "no" / "such" / "dir.bin").string(), Bytes{1}));

    // Writing over a directory fails and leaves it, and no temporary file stays behind.
    fs::create_directory(t.path / "adir");
    EXPECT_FALSE(Platform::writeFile((t.path / "adir").string(), Bytes{1}));
    EXPECT_TRUE(fs::is_directory(t.path / "adir"));
    int files = 0;
    for (auto& e : fs::directory_iterator(t.path)) files += e.is_regular_file();
    EXPECT_EQ(files, 1);

    // A write cut short by the file-size limit is a failure, and the old file is kept.
    ASSERT_TRUE(Platform::writeFile(path, Bytes{5, 6}));
    {
        struct rlimit old {};
        getrlimit(RLIMIT_FSIZE, &old);
        auto oldHandler = signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old;
        small.rlim_cur = 4096;
        setrlimit(RLIMIT_FSIZE, &small);
        bool wrote = Platform::writeFile(path, Bytes(100000, 1));
        setrlimit(RLIMIT_FSIZE, &old);
        signal(SIGXFSZ, oldHandler);
        EXPECT_FALSE(wrote);
        ASSERT_TRUE(Platform::readFile(path, back));
        EXPECT_EQ(back, (Bytes{5, 6}));
    }
    if (getuid() != 0) {  // root ignores directory permissions
        fs::permissions(t.path, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(Platform::writeFile(path, Bytes{7, 7, 7}));
        fs::permissions(t.path, fs::perms::owner_all);
        ASSERT_TRUE(Platform::readFile(path, back));
        EXPECT_EQ(back, (Bytes{5, 6}));
    }
}

// Saves over files as a user without root (when started as root) and counts what went wrong.
int writeAsStranger(const fs::path& dir) {
    if (getuid() == 0 && (chown(dir.c_str(), 65534, 65534) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
        return 99;
    umask(022);
    fs::create_directory(dir / "sub");
    touch(dir / "new.bin.vorlix-tmp", "mine");  // a stranger's file named like a temporary
    // Written through, holding the bytes, mode before (0: absent) and after, whether it writes.
    const struct { const char *name, *real; unsigned mode, after; bool writes; } rows[] = {
        {"private.bin", "private.bin", 0600, 0600, true}, {"readonly.bin", "readonly.bin", 0444, 0444, false},
        {"link.bin", "sub/real.bin", 0640, 0640, true},   {"new.bin", "new.bin", 0, 0644, true}};
    int failures = 0;
    for (const auto& r : rows) {
        if (r.mode) touch(dir / r.real, "old"), chmod((dir / r.real).c_str(), r.mode);
        if (r.name != std::string(r.real)) fs::create_symlink(r.real, dir / r.name);
        bool wrote = Platform::writeFile((dir / r.name).string(), Bytes{'n', 'e', 'w'});
        std::ifstream in(dir / r.real);
        std::string content((std::istreambuf_iterator<char>(in)), {});
        struct stat st {};
        stat((dir / r.real).c_str(), &st);
        failures += wrote != r.writes || content != (r.writes ? "new" : "old") || (st.st_mode & 07777) != r.after ||
                    (r.name != std::string(r.real) && !fs::is_symlink(dir / r.name));
    }
    int entries = 0;
    for (auto& e : fs::recursive_directory_iterator(dir)) entries += !e.is_directory();
    std::ifstream stranger(dir / "new.bin.vorlix-tmp");
    return failures + (entries != 6) + (std::string((std::istreambuf_iterator<char>(stranger)), {}) != "mine");
}

// Saving over a file changes nothing but its bytes.
TEST(Platform, WriteFileKeepsModeLinkAndNeighbours) {
    TempDir t;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(writeAsStranger(t.path)), testing::ExitedWithCode(0), "");
}

}  // namespace
