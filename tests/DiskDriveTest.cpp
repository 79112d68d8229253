#include <gtest/gtest.h>
#include <sys/stat.h>

#include "disk/DiskDrive.h"
#include "tests/DiskTestSupport.h"
#include "tests/TempDir.h"

using namespace disktest;
namespace fs = std::filesystem;

TEST(DiskDrive, OperationsOnEveryKindOfDrive) {
    TempDir d;
    fs::create_directory(d.path / "host");
    writeFile(d.path / "host" / "GAME.PRG", Img(300, 7));
    writeFile(d.path / "host" / "demo.prg", Img(254, 1));
    writeFile(d.path / "host" / "empty.prg", {});
    writeFile(d.path / "host" / "notes.txt", Img(10, 0));
    writeFile(d.path / "host" / "\xC1.prg", {1, 2, 3});
    mkfifo((d.path / "host" / "fifo.prg").c_str(), 0644);
    writeFile(d.path / "t.d64", DiskDrive::blankD64("disk", "q"));

    DiskDrive host, image, empty;
    ASSERT_TRUE(host.mountDirectory((d.path / "host").string()));
    ASSERT_TRUE(image.mountD64((d.path / "t.d64").string()));
    std::vector<std::pair<std::string, int>> listed;
    for (auto& e : host.list()) listed.push_back({e.name, e.blocks});
    EXPECT_EQ(listed, (std::vector<std::pair<std::string, int>>{{"GAME", 2}, {"demo", 1}, {"empty", 0}, {"fifo", 0}, {"\xC1", 1}}));
    EXPECT_EQ(host.diskName(), "host");
    EXPECT_EQ(image.diskName(), "DISK");
    EXPECT_EQ(image.diskId(), "Q0\xA0" "2A");

    Img f000(8194, 5);
    f000[0] = 0x00;
    f000[1] = 0xF0;
    struct Case {
        DiskDrive* drive;
        char op;  // r read by name, i read by index, w write
        std::string name;
        Img bytes;
        const char* error;  // null: success
        size_t outSize;
    } cases[] = {
        {&host, 'r', "GAME", {}, nullptr, 300},
        {&host, 'i', "", {}, nullptr, 254},  // row 1: demo
        {&host, 'r', "empty", {}, "Cannot read file", 0},
        {&host, 'r', "fifo", {}, "Cannot read file", 0},
        {&host, 'r', "nothere", {}, "File not found", 0},
        {&host, 'r', "../host/demo", {}, "Invalid file name", 0},
        {&host, 'w', "x", {1}, "Nothing to save", 0},
        {&host, 'w', "new", {1, 2, 3}, nullptr, 0},
        {&host, 'w', "new", {1, 2, 3}, "File already exists", 0},
        {&host, 'w', "../evil", {1, 2, 3}, "Invalid file name", 0},
        {&host, 'w', "a\\b", {1, 2, 3}, "Invalid file name", 0},
        {&host, 'w', "a\x01", {1, 2, 3}, "Invalid file name", 0},
        {&image, 'w', "X", {1}, "Nothing to save", 0},
        {&image, 'w', "P", {0, 0x10}, nullptr, 0},
        {&image, 'w', "@:P", {0, 0x10, 9}, nullptr, 0},
        {&image, 'r', "P", {}, nullptr, 3},
        {&image, 'w', "HI", f000, nullptr, 0},
        {&image, 'r', "HI", {}, nullptr, 4098},
        {&empty, 'r', "P", {}, "Disk is not mounted", 0},
        {&empty, 'w', "P", {1, 2}, "Disk is not mounted", 0},
    };
    for (const Case& c : cases) {
        Img out;
        bool ok = c.op == 'w' ? c.drive->writeFile(c.name, c.bytes)
                : c.op == 'i' ? c.drive->readFile(1, out)
                              : c.drive->readFile(c.name, out);
        EXPECT_EQ(ok, c.error == nullptr) << c.op << c.name;
        EXPECT_EQ(c.error ? c.drive->error : "", c.error ? c.error : "") << c.op << c.name;
        EXPECT_EQ(out.size(), c.outSize) << c.op << c.name;
    }
    EXPECT_FALSE(fs::exists(d.path / "evil.prg"));
    EXPECT_EQ(host.list().size(), 6u);
    EXPECT_EQ(image.list()[0].blocks, 1);
    EXPECT_EQ(image.list()[1].blocks, 17);

    // The same image on a second drive must not write its own BAM over the first's.
    DiskDrive second;
    ASSERT_TRUE(second.mountD64((d.path / "t.d64").string()));
    EXPECT_TRUE(second.readOnly());
    EXPECT_FALSE(second.writeFile("Q", {0, 0x10, 1}));
    image.unmount();
    ASSERT_TRUE(second.mountD64((d.path / "t.d64").string()));
    EXPECT_FALSE(second.readOnly());
}
