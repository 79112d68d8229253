#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/FileIO.h"

namespace fs = std::filesystem;

namespace {

class FileIOTest : public testing::Test {
protected:
    fs::path root;

    void SetUp() override {
        root = fs::path(testing::TempDir()) /
               ("vorlix_fileio_" + std::to_string(getpid()) + "_" +
                std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override {
        FileIO::cancel();
        fs::remove_all(root);
    }
    void write(const fs::path& p, const std::string& text) {
        std::ofstream f(p, std::ios::binary);
        f << text;
    }
    std::string read(const fs::path& p) {
        std::ifstream f(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    void type(const std::string& name) {
        std::strcpy(FileIO::dialog().name, name.c_str());
        FileIO::nameEdited();
    }
};

std::vector<std::string> names(const std::vector<FileIO::Entry>& entries) {
    std::vector<std::string> out;
    for (auto& e : entries) out.push_back(e.isDir ? "[" + e.name + "]" : e.name);
    return out;
}

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

// A default name gives the save its extension and its filter; a long one is cut to fit.
TEST_F(FileIOTest, SaveRequestsTakeTheDefaultName) {
    auto& d = FileIO::dialog();
    for (auto [name, ext] : std::initializer_list<std::pair<std::string, std::string>>{{"image.koa", "koa"}, {"noext", ""}, {std::string(700, 'x'), ""}}) {
        FileIO::saveWith("Save it", name, [](const std::string&) { return std::vector<uint8_t>{1}; }, nullptr);
        EXPECT_EQ(d.defaultExt, ext);
        ASSERT_EQ(d.filters.size(), ext.empty() ? 1u : 2u);
        if (!ext.empty()) { EXPECT_EQ(d.filters[0].name + d.filters[0].extensions[0], "*.koakoa"); }
        EXPECT_EQ(d.name, name.substr(0, 511));
    }
}

TEST_F(FileIOTest, ListingSortsAndFilters) {
    fs::create_directory(root / "b");
    fs::create_directory(root / "A");
    fs::create_directory(root / ".hiddendir");
    write(root / "z.prg", "1");
    write(root / "B.prg", "1");
    write(root / "PIC.KOA", "1");
    write(root / "pic.koa.bak", "1");
    write(root / ".secret.koa", "1");
    write(root / "ab", "1");
    write(root / "a", "1");
    fs::create_directory_symlink(root / "A", root / "linkdir");

    auto all = names(FileIO::list(root.string(), {"All files", {}}));
    EXPECT_EQ(all, (std::vector<std::string>{"[A]", "[b]", "[linkdir]", "a", "ab", "B.prg", "PIC.KOA",
                                             "pic.koa.bak", "z.prg"}));
    auto koa = names(FileIO::list(root.string(), {"*.koa", {"koa"}}));
    EXPECT_EQ(koa, (std::vector<std::string>{"[A]", "[b]", "[linkdir]", "PIC.KOA"}));
    auto dirs = names(FileIO::list(root.string(), {"Directories", {"\x01"}}));
    EXPECT_EQ(dirs, (std::vector<std::string>{"[A]", "[b]", "[linkdir]"}));
    EXPECT_TRUE(FileIO::list((root / "missing").string(), {"All files", {}}).empty());
}

TEST_F(FileIOTest, OpenReadsAndHandsOverNameAndBytes) {
    write(root / "data.prg", std::string("\x01\x08\x42", 3));
    std::string gotName;
    std::vector<uint8_t> gotBytes;
    int calls = 0;
    FileIO::open("Load", {{"PRG", {"prg"}}}, [&](const std::string& n, std::vector<uint8_t>& b) {
        gotName = n;
        gotBytes = b;
        ++calls;
    });
    FileIO::dialog().dir = root.string();
    type("data.prg");
    FileIO::accept();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(gotName, "data.prg");
    EXPECT_EQ(gotBytes, (std::vector<uint8_t>{1, 8, 0x42}));
    EXPECT_FALSE(FileIO::dialog().open);
    EXPECT_EQ(FileIO::startDir(), root.string());

    // The next dialog starts where the last one ended.
    FileIO::open("Again", {}, nullptr);
    EXPECT_EQ(FileIO::dialog().dir, root.string());
}

// Refused requests stay open with a message, call nothing back and write nothing.
TEST_F(FileIOTest, RefusalsStayInTheDialog) {
    ASSERT_EQ(::mkfifo((root / "pipe.prg").c_str(), 0600), 0);
    int calls = 0;
    auto& d = FileIO::dialog();
    const struct { char kind; const char *dir, *name, *error; } rows[] = {
        {'o', "", "", ""}, {'o', "", "missing.prg", "Couldn't open file!"},
        {'o', "", "pipe.prg", "Couldn't open file!"},  // must not block on the FIFO
        {'s', "nodir", "a.prg", "Couldn't open file for writing!"}, {'p', "", "nothere.d64", "File not found"},
        {'r', "", "a.png", "Couldn't encode it!"},
    };
    for (const auto& r : rows) {
        if (r.kind == 'o') FileIO::open("Load", {}, [&](const std::string&, std::vector<uint8_t>&) { ++calls; });
        if (r.kind == 's') FileIO::saveWith("Save", "a.prg", [](const std::string&) { return std::vector<uint8_t>{1}; }, [&](const std::string&) { ++calls; });
        if (r.kind == 'p') FileIO::openPath("Mount", {}, [&](const std::string&) { ++calls; });
        if (r.kind == 'r')
            FileIO::saveWith("Save", "a.png", [](const std::string&) { FileIO::refuseSave("Couldn't encode it!"); return std::vector<uint8_t>{}; },
                             [&](const std::string&) { ++calls; });
        d.dir = (root / r.dir).string();
        type(r.name);
        FileIO::accept();
        EXPECT_EQ(d.error, r.error) << r.name;
        EXPECT_TRUE(d.open) << r.name;
        EXPECT_FALSE(fs::exists(root / r.dir / r.name) && r.kind != 'o') << r.name;
    }
    EXPECT_EQ(calls, 0);
    // A later producer that succeeds is not refused by the earlier text.
    d.producer = [](const std::string&) { return std::vector<uint8_t>{1}; };
    FileIO::accept();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(fs::exists(root / "a.png"));
}

TEST_F(FileIOTest, TypedDirectoryIsEntered) {
    fs::create_directory(root / "sub");
    FileIO::open("Load", {}, [](const std::string&, std::vector<uint8_t>&) { FAIL(); });
    auto& d = FileIO::dialog();
    d.dir = root.string();
    type("sub");
    FileIO::accept();
    EXPECT_TRUE(d.open);
    EXPECT_EQ(fs::path(d.dir), fs::weakly_canonical(root / "sub"));
    EXPECT_STREQ(d.name, "");
    // Hidden files are not listed but can be typed.
    write(root / "sub" / ".hidden", "xy");
    std::string got;
    d.onOpen = [&](const std::string& n, std::vector<uint8_t>&) { got = n; };
    type(".hidden");
    FileIO::accept();
    EXPECT_EQ(got, ".hidden");
}

TEST_F(FileIOTest, SaveForcesExtensionAndConfirmsOverwrite) {
    int saved = 0;
    std::string savedName;
    auto producer = [](const std::string&) { return std::vector<uint8_t>{'n', 'e', 'w'}; };
    FileIO::saveWith("Save", "picture.prg", producer, [&](const std::string& n) {
        savedName = n;
        ++saved;
    });
    auto& d = FileIO::dialog();
    d.dir = root.string();
    type("picture");
    FileIO::accept();
    EXPECT_EQ(saved, 1);
    EXPECT_EQ(savedName, "picture.prg");
    EXPECT_EQ(read(root / "picture.prg"), "new");

    write(root / "other.prg", "old");
    FileIO::saveWith("Save", "picture.prg", producer, [&](const std::string&) { ++saved; });
    d.dir = root.string();
    type("other.png");  // becomes other.prg, which exists
    FileIO::accept();
    EXPECT_EQ(d.error, "other.prg exists. Press Save again to overwrite.");
    EXPECT_EQ(read(root / "other.prg"), "old");
    EXPECT_TRUE(d.open);
    // An edit between the presses asks again.
    type("other.prg");
    FileIO::accept();
    EXPECT_EQ(read(root / "other.prg"), "old");
    FileIO::accept();
    EXPECT_EQ(read(root / "other.prg"), "new");
    EXPECT_EQ(saved, 2);
    EXPECT_FALSE(d.open);

    // Upper-case extension of the default kind is kept.
    FileIO::saveWith("Save", "image.koa", producer, nullptr);
    d.dir = root.string();
    type("PIC.KOA");
    FileIO::accept();
    EXPECT_TRUE(fs::exists(root / "PIC.KOA"));
    EXPECT_FALSE(fs::exists(root / "PIC.koa"));
}

// A first Save on an existing file arms the overwrite; picking a file, entering or leaving a directory disarms
// it, and armed for one path it never overwrites another.
TEST_F(FileIOTest, OverwriteIsDisarmed) {
    fs::create_directories(root / "sub" / "deeper");
    write(root / "x.prg", "old");
    write(root / "sub" / "x.prg", "old");
    auto& d = FileIO::dialog();
    const std::pair<void (*)(), fs::path> actions[] = {
        {[] { FileIO::pickFile("x.prg"); }, root / "sub"}, {[] { FileIO::enterDir("deeper"); }, root / "sub" / "deeper"}, {FileIO::goUp, root}};
    for (const auto& [action, dir] : actions) {
        FileIO::save("Save", "x.prg", {'n', 'e', 'w'}, nullptr);
        EXPECT_EQ(d.producer("x"), d.producer("y"));  // the bytes are held for every call
        d.dir = (root / "sub").string();
        FileIO::accept();
        EXPECT_TRUE(d.overwriteArmed);
        action();
        EXPECT_FALSE(d.overwriteArmed);
        EXPECT_EQ(fs::path(d.dir), dir);
    }
    FileIO::accept();  // another file: a new warning, nothing written
    EXPECT_EQ(d.error, "x.prg exists. Press Save again to overwrite.");
    d.dir = (root / "sub").string();
    FileIO::accept();
    EXPECT_EQ(read(root / "sub" / "x.prg") + read(root / "x.prg"), "oldold");
    FileIO::accept();
    EXPECT_EQ(read(root / "sub" / "x.prg") + read(root / "x.prg"), "newold");
    // A new request drops the old one's callback.
    bool firstCalled = false;
    FileIO::open("First", {}, [&](const std::string&, std::vector<uint8_t>&) { firstCalled = true; });
    FileIO::open("Second", {}, nullptr);
    d.dir = root.string();
    type("x.prg");
    FileIO::accept();
    EXPECT_FALSE(firstCalled);
}

TEST_F(FileIOTest, OpenPathAndChooseDirectory) {
    write(root / "disk.d64", "x");
    std::string got;
    FileIO::openPath("Mount", {}, [&](const std::string& p) { got = p; });
    auto& d = FileIO::dialog();
    d.dir = root.string();
    type("disk.d64");
    FileIO::accept();
    EXPECT_EQ(fs::path(got), root / "disk.d64");
    EXPECT_FALSE(d.open);

    fs::create_directory(root / "prgs");
    got.clear();
    FileIO::chooseDirectory("Dir", [&](const std::string& p) { got = p; });
    d.dir = (root / "prgs").string();
    FileIO::useThisDirectory();
    EXPECT_EQ(got, (root / "prgs").string());
    EXPECT_FALSE(d.open);
    EXPECT_EQ(FileIO::startDir(), (root / "prgs").string());
}

TEST_F(FileIOTest, CallbackMayStartANewRequest) {
    write(root / "f.prg", "1");
    unsigned before = 0;
    FileIO::open("First", {}, [&](const std::string&, std::vector<uint8_t>&) {
        FileIO::open("Follow-up", {}, nullptr);
    });
    before = FileIO::requestSerial();
    FileIO::dialog().dir = root.string();
    type("f.prg");
    FileIO::accept();
    EXPECT_TRUE(FileIO::dialog().open);
    EXPECT_EQ(FileIO::dialog().title, "Follow-up");
    EXPECT_NE(FileIO::requestSerial(), before);
}

TEST_F(FileIOTest, UpStopsAtRoot) {
    FileIO::open("x", {}, nullptr);
    for (const char* dir : {"/", "/tmp/"}) {
        FileIO::dialog().dir = dir;
        FileIO::goUp();
        EXPECT_EQ(FileIO::dialog().dir, "/") << dir;
    }
}

}  // namespace
