#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "tests/FileTestSupport.h"

namespace {

class FileIOTest : public testing::Test {
protected:
    TempDir tmp{"vorlix-fileio"};
    const fs::path root = tmp.path;
    FileIO::Dialog& d = FileIO::dialog();

    void TearDown() override { FileIO::cancel(); }
    void type(const std::string& name) {
        std::strcpy(d.name, name.c_str());
        FileIO::nameEdited();
    }
    // Every file and directory below root, relative to it.
    std::set<std::string> files() {
        std::set<std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(root)) out.insert(fs::relative(e.path(), root).string());
        return out;
    }
};

TEST(FileIOPath, ExtensionAndBaseName) {
    // Extensions lower-cased, bytes above $7F kept as they are (no sign-extended lookup).
    const struct {
        const char *path, *extension, *base;
    } rows[] = {{"dir/PIC.KOA", "koa", "PIC.KOA"},   {"a.b/c", "", "c"},           {"a.b\\c", "", "c"},
                {"name.", "", "name."},              {".bashrc", "bashrc", ".bashrc"}, {"dir/.Prg", "prg", ".Prg"},
                {"noext", "", "noext"},              {"x.tar.GZ", "gz", "x.tar.GZ"}, {"bild.\xC4\xD6X", "\xC4\xD6x", "bild.\xC4\xD6X"},
                {"C:\\games\\disk.d64", "d64", "disk.d64"}, {"dir/", "", ""},    {"a\\b/c", "", "c"}};
    for (const auto& r : rows) {
        EXPECT_EQ(FileIO::extension(r.path), r.extension) << r.path;
        EXPECT_EQ(FileIO::baseName(r.path), r.base) << r.path;
    }
}

TEST_F(FileIOTest, ListingSortsAndFilters) {
    for (const char* dir : {"b", "A", ".hiddendir"}) fs::create_directory(root / dir);
    for (const char* file : {"z.prg", "B.prg", "PIC.KOA", "pic.koa.bak", ".secret.koa", "ab", "a"}) writeText(root / file);
    fs::create_directory_symlink(root / "A", root / "linkdir");
    auto names = [&](const FileIO::Filter& filter) {
        std::string out;
        for (auto& e : FileIO::list(root.string(), filter)) out += (e.isDir ? "[" + e.name + "]" : e.name) + " ";
        return out;
    };
    EXPECT_EQ(names({"All files", {}}), "[A] [b] [linkdir] a ab B.prg PIC.KOA pic.koa.bak z.prg ");
    EXPECT_EQ(names({"*.koa", {"koa"}}), "[A] [b] [linkdir] PIC.KOA ");
    EXPECT_EQ(names({"Directories", {"\x01"}}), "[A] [b] [linkdir] ");
    EXPECT_TRUE(FileIO::list((root / "missing").string(), {"All files", {}}).empty());
}

// Each request with a name typed in a directory and accepted, as "message|open or closed|what the callback got
// ("%" stands for root)|the file written, with its bytes|where the dialog is, or where the next one starts".
TEST_F(FileIOTest, Requests) {
    writeText(root / "data.prg", "prg");
    writeText(root / "disk.d64");
    writeText(root / "other.prg", "old");
    writeText(root / "sub" / ".hidden", "xy");
    fs::create_directory(root / "prgs");
    const std::string exists = "other.prg exists. Press Save again to overwrite.|open|||";
    const struct {
        const char* name;
        char kind;  // Open, open Path, Save, save Refused by its producer, choose Directory, open Followed by another
        const char *defaultName, *dir, *typed;
        std::string outcome;
    } rows[] = {
        {"open hands over name and bytes", 'O', "", "", "data.prg", "|closed|data.prg:prg||"},
        {"nothing typed", 'O', "", "", "", "|open|||"},
        {"missing file", 'O', "", "", "missing.prg", "Couldn't open file!|open|||"},
        {"a typed directory is entered", 'O', "", "", "sub", "|open|||sub"},
        {"hidden files can be typed", 'O', "", "sub", ".hidden", "|closed|.hidden:xy||sub"},
        {"open path", 'P', "", "", "disk.d64", "|closed|%/disk.d64||"},
        {"open path of a missing file", 'P', "", "", "nothere.d64", "File not found|open|||"},
        {"choose directory", 'D', "", "prgs", "", "|closed|%/prgs||prgs"},
        {"save adds the extension", 'S', "picture.prg", "", "picture", "|closed|picture.prg|picture.prg:new|"},
        {"upper-case extension of the kind kept", 'S', "image.koa", "", "PIC.KOA", "|closed|PIC.KOA|PIC.KOA:new|"},
        {"another extension replaced; an existing file asks", 'S', "picture.prg", "", "other.png", exists},
        {"save into a missing directory", 'S', "a.prg", "nodir", "a.prg", "Couldn't open file for writing!|open|||nodir"},
        {"refused by the producer", 'R', "a.png", "", "a.png", "Couldn't encode it!|open|||"},
        {"a callback may start a new request", 'F', "", "", "data.prg", "|open|||"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::string got;
        auto onOpen = [&](const std::string& n, std::vector<uint8_t>& b) { got = n + ":" + std::string(b.begin(), b.end()); };
        auto onPath = [&](const std::string& p) { got = "%" + p.substr(std::min(p.size(), root.string().size())); };
        auto onSaved = [&](const std::string& n) { got = n; };
        auto produce = [](const std::string&) { return std::vector<uint8_t>{'n', 'e', 'w'}; };
        auto refuse = [](const std::string&) {
            FileIO::refuseSave("Couldn't encode it!");
            return std::vector<uint8_t>{};
        };
        if (r.kind == 'O') FileIO::open("Load", {{"PRG", {"prg"}}}, onOpen);
        if (r.kind == 'P') FileIO::openPath("Mount", {}, onPath);
        if (r.kind == 'D') FileIO::chooseDirectory("Dir", onPath);
        if (r.kind == 'S' || r.kind == 'R') FileIO::saveWith("Save", r.defaultName, r.kind == 'S' ? produce : refuse, onSaved);
        if (r.kind == 'F') FileIO::open("First", {}, [](const std::string&, std::vector<uint8_t>&) { FileIO::open("Follow-up", {}, nullptr); });
        EXPECT_EQ(d.dir, FileIO::startDir());  // where the last one ended
        const auto before = files();
        const unsigned serial = FileIO::requestSerial();
        d.dir = (root / r.dir).string();
        type(r.typed);
        if (r.kind == 'D') FileIO::useThisDirectory();
        else FileIO::accept();
        std::string written;
        for (const std::string& f : files())
            if (!before.count(f)) written += f + ":" + readText(root / f);
        const fs::path at = (fs::path(d.open ? d.dir : FileIO::startDir()) / "").lexically_normal();
        EXPECT_EQ(d.error + (d.open ? "|open|" : "|closed|") + got + "|" + written + "|" +
                      at.lexically_relative(root).parent_path().string(), r.outcome);
        if (at != (root / r.dir / "").lexically_normal()) { EXPECT_STREQ(d.name, ""); }
        if (r.kind == 'F') { EXPECT_TRUE(d.title == "Follow-up" && FileIO::requestSerial() != serial); }
        if (r.kind != 'R') continue;
        // A later producer that succeeds is not refused by the earlier text.
        d.producer = produce;
        FileIO::accept();
        EXPECT_EQ(readText(root / "a.png"), "new");
    }
}

// The first Save on an existing file arms the overwrite; an edit of the name, picking a file, entering or leaving
// a directory disarms it, and armed for one path it never overwrites another. The default name gives the save its
// extension and its filter; a long one is cut to fit.
TEST_F(FileIOTest, Overwrite) {
    fs::create_directories(root / "sub" / "deeper");
    writeText(root / "x.prg", "old");
    writeText(root / "sub" / "x.prg", "old");
    const std::pair<void (*)(), fs::path> actions[] = {{[] { FileIO::nameEdited(); }, root / "sub"},
                                                       {[] { FileIO::pickFile("x.prg"); }, root / "sub"},
                                                       {[] { FileIO::enterDir("deeper"); }, root / "sub" / "deeper"},
                                                       {FileIO::goUp, root}};
    for (const auto& [action, dir] : actions) {
        FileIO::save("Save", "x.prg", {'n', 'e', 'w'}, nullptr);
        EXPECT_EQ(d.producer("x"), d.producer("y"));  // the bytes are held for every call
        EXPECT_EQ(d.filters[0].name + d.filters[0].extensions[0] + d.defaultExt, "*.prgprgprg");
        d.dir = (root / "sub").string();
        FileIO::accept();
        EXPECT_TRUE(d.overwriteArmed);
        EXPECT_EQ(d.error, "x.prg exists. Press Save again to overwrite.");
        action();
        EXPECT_FALSE(d.overwriteArmed);
        EXPECT_EQ(fs::path(d.dir), dir);
    }
    FileIO::accept();  // another file: a new warning, nothing written
    d.dir = (root / "sub").string();
    FileIO::accept();
    EXPECT_EQ(readText(root / "sub" / "x.prg") + readText(root / "x.prg"), "oldold");
    FileIO::accept();
    EXPECT_EQ(readText(root / "sub" / "x.prg") + readText(root / "x.prg"), "newold");
    EXPECT_FALSE(d.open);
    FileIO::save("Save", std::string(700, 'x'), {}, nullptr);
    EXPECT_EQ(d.name + d.defaultExt, std::string(511, 'x'));
    EXPECT_EQ(d.filters.size(), 1u);
    // A new request drops the old one's callback.
    bool firstCalled = false;
    FileIO::open("First", {}, [&](const std::string&, std::vector<uint8_t>&) { firstCalled = true; });
    FileIO::open("Second", {}, nullptr);
    d.dir = root.string();
    type("x.prg");
    FileIO::accept();
    EXPECT_FALSE(firstCalled);
    d.dir = "/tmp/";
    FileIO::goUp();
    FileIO::goUp();  // no further than the root
    EXPECT_EQ(d.dir, "/");
}

// Where the platform finds its assets and keeps its settings; "%" stands for a fresh directory, which is also
// the working directory while the platform looks. Assets: the variable wins; then base/assets, then
// base/../share/vorlix/assets (a missing separator added); an empty variable is skipped, never taken for the working
// directory. Settings: APPDATA, then XDG_CONFIG_HOME, then HOME/.config; the directory is made.
TEST(Platform, AssetAndConfigDirectories) {
    auto expand = [](const char* s, const fs::path& t) {
        std::string out = s ? s : "";
        if (const size_t at = out.find('%'); at != std::string::npos) out.replace(at, 1, t.string());
        return out;
    };
    const struct {
        std::vector<const char*> files;
        const char *variable, *base, *assets, *appData, *xdg, *home, *config;
    } rows[] = {
        {{"env/C64Chars.bin", "base/assets/C64Chars.bin"}, "%/env", "%/base/", "%/env", "%/appdata", "%/xdg", "%",
         "%/appdata/Vorlix"},
        {{"share/vorlix/assets/C64Chars.bin", "bin/program"}, "%/nothing", "%/bin/", "%/bin/../share/vorlix/assets", "",
         "%/xdg", "%", "%/xdg/vorlix"},
        {{"share/vorlix/assets/C64Chars.bin", "bin/assets/C64Chars.bin"}, "%/nothing", "%/bin", "%/bin/assets", "",
         nullptr, "%", "%/.config/vorlix"},
        {{"C64Chars.bin"}, "", "%/nowhere/", "assets", "", nullptr, nullptr, "."},
    };
    const fs::path cwd = fs::current_path();
    const std::string home = getenv("HOME") ? getenv("HOME") : "/";
    for (const auto& r : rows) {
        SCOPED_TRACE(r.assets);
        TempDir t;
        for (const char* f : r.files) writeText(t.path / f);
        setenv("VORLIX_ASSETS", expand(r.variable, t.path).c_str(), 1);
        setenv("APPDATA", expand(r.appData, t.path).c_str(), 1);
        r.xdg ? setenv("XDG_CONFIG_HOME", expand(r.xdg, t.path).c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
        r.home ? setenv("HOME", expand(r.home, t.path).c_str(), 1) : unsetenv("HOME");
        fs::current_path(t.path);
        Platform::initWithBasePath(expand(r.base, t.path));
        const bool made = fs::is_directory(Platform::configDir());
        fs::current_path(cwd);
        EXPECT_EQ(Platform::assetDir(), expand(r.assets, t.path));
        EXPECT_EQ(Platform::configDir(), expand(r.config, t.path));
        EXPECT_TRUE(made);
    }
    setenv("HOME", home.c_str(), 1);
    unsetenv("VORLIX_ASSETS");
    unsetenv("APPDATA");
    unsetenv("XDG_CONFIG_HOME");
}

// Files are read whole; a missing file, a directory, a FIFO and an oversized file fail at once, buffer untouched.
TEST(Platform, ReadFileCases) {
    TempDir t;
    writeText(t.path / "empty", "");
    writeText(t.path / "data", std::string("\x01\x00\xff", 3));
    ASSERT_EQ(mkfifo((t.path / "fifo").c_str(), 0600), 0);
    std::ofstream(t.path / "big", std::ios::binary).seekp(Platform::kMaxFileSize).put('x');
    const std::pair<const char*, Bytes> rows[] = {{"empty", {}}, {"data", {1, 0, 255}}, {"missing", {7}}, {"", {7}}, {"fifo", {7}}, {"big", {7}}};
    for (const auto& [name, want] : rows) {
        Bytes b{7};
        EXPECT_EQ(Platform::readFile((t.path / name).string(), b), want != Bytes{7}) << name;
        EXPECT_EQ(b, want) << name;
    }
}

// Saves as a user without root (when started as root, so that permissions count) and counts what went wrong: the
// bytes and mode each file ends with, written through a link; a failed save keeps the old file and leaves no
// temporary behind, and a stranger's file named like a temporary stays.
int writeAsStranger(const fs::path& dir) {
    if (getuid() == 0 && (chown(dir.c_str(), 65534, 65534) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
        return 99;
    umask(022);
    for (const char* sub : {"sub", "adir", "locked"}) fs::create_directory(dir / sub);
    writeText(dir / "new.bin.vorlix-tmp", "mine");
    writeText(dir / "locked" / "kept.bin", "old");
    chmod((dir / "locked").c_str(), 0555);
    signal(SIGXFSZ, SIG_IGN);
    // Mode before (0: not made here) and after (0: absent); the last is cut short by the file-size limit.
    const struct { const char *name, *real; unsigned mode, after; size_t size; bool writes; const char* old; } rows[] = {
        {"private.bin", "private.bin", 0600, 0600, 3, true, ""},     {"readonly.bin", "readonly.bin", 0444, 0444, 3, false, "old"},
        {"link.bin", "sub/real.bin", 0640, 0640, 3, true, ""},       {"new.bin", "new.bin", 0, 0644, 3, true, ""},
        {"empty.bin", "empty.bin", 0644, 0644, 0, true, ""},         {"no/such/dir.bin", "no/such/dir.bin", 0, 0, 3, false, ""},
        {"adir", "adir", 0, 0755, 3, false, ""},                     {"locked/kept.bin", "locked/kept.bin", 0, 0644, 3, false, "old"},
        {"big.bin", "big.bin", 0644, 0644, 100000, false, "old"},
    };
    int failures = 0;
    for (const auto& r : rows) {
        if (r.mode) {
            writeText(dir / r.real, "old");
            chmod((dir / r.real).c_str(), r.mode);
        }
        if (r.name != std::string(r.real)) fs::create_symlink(r.real, dir / r.name);
        if (r.size > 4096) {
            const struct rlimit small{4096, 4096};
            setrlimit(RLIMIT_FSIZE, &small);
        }
        const bool wrote = Platform::writeFile((dir / r.name).string(), Bytes(r.size, 'n'));
        struct stat st {};
        stat((dir / r.real).c_str(), &st);
        const std::string now = fs::is_directory(dir / r.real) ? "" : readText(dir / r.real);
        failures += wrote != r.writes || now != (r.writes ? std::string(r.size, 'n') : r.old) ||
                    (st.st_mode & 07777) != r.after || (r.name != std::string(r.real) && !fs::is_symlink(dir / r.name));
    }
    int entries = 0;
    for (auto& e : fs::recursive_directory_iterator(dir)) entries += !e.is_directory();
    return failures + (entries != 9) + (readText(dir / "new.bin.vorlix-tmp") != "mine");
}

TEST(Platform, WriteFile) {
    TempDir t;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(writeAsStranger(t.path)), testing::ExitedWithCode(0), "");
}

}  // namespace
