#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <random>

#include "disk/DiskDrive.h"
#include "platform/FileIO.h"
#include "tests/DiskTestSupport.h"
#include "tests/TempDir.h"

using namespace disktest;
namespace fs = std::filesystem;

namespace {

Img prg(int start, size_t len, unsigned seed = 1) {
    Img b{uint8_t(start), uint8_t(start >> 8)};
    for (size_t i = 0; i < len; i++) b.push_back(uint8_t(seed * 131 + i * 7 + i / 253));
    return b;
}

// A blank image with files saved by the drive.
fs::path makeImage(const TempDir& d, const std::vector<std::pair<std::string, size_t>>& files) {
    fs::path p = d.path / "t.d64";
    writeFile(p, DiskDrive::blankD64("test", "1"));
    DiskDrive drive;
    drive.mountD64(p);
    unsigned seed = 0;
    for (auto& [name, len] : files) EXPECT_TRUE(drive.writeFile(name, prg(0x0801, len, ++seed))) << drive.error;
    return p;
}

}  // namespace

TEST(D64, SavesLayBlocksLikeTheDrive) {
    struct Case {
        size_t len;
        std::vector<int> blocks;  // track << 8 | sector
        int lastLinkSector;
    } cases[] = {
        {8000,
         {0x1300, 0x130A, 0x1301, 0x130B, 0x1302, 0x130C, 0x1303, 0x130D, 0x1304, 0x130E, 0x1305,
          0x130F, 0x1306, 0x1310, 0x1307, 0x1311, 0x1308, 0x1312, 0x1309, 0x1400, 0x140A, 0x1401,
          0x140B, 0x1402, 0x140C, 0x1403, 0x140D, 0x1404, 0x140E, 0x1405, 0x140F, 0x1406},
         129},
        {252, {0x1300}, 255},
        {253, {0x1300, 0x130A}, 2},
        {0, {0x1300}, 3},
    };
    for (const Case& c : cases) {
        TempDir d;
        fs::path p = makeImage(d, {{"PICTURE", c.len}});
        Img im = readFile(p);
        const uint8_t* e = &im[size_t(offset(18, 1))];
        EXPECT_EQ(e[2], 0x82);
        std::vector<int> got = chain(im, e[3], e[4]);
        EXPECT_EQ(got, c.blocks) << c.len;
        EXPECT_EQ(im[size_t(offset(got.back() >> 8, got.back() & 255)) + 1], c.lastLinkSector);
        EXPECT_EQ(freeBlocks(im), 664 - int(c.blocks.size()));
        EXPECT_EQ(validate(im), "");
    }
}

// The directory grows from 18/1 in steps of three sectors, up to 144 entries.
TEST(D64, DirectoryGrowth) {
    TempDir d;
    std::vector<std::pair<std::string, size_t>> files;
    for (int i = 0; i < 144; i++) files.push_back({"F" + std::to_string(i), 1});
    const Img im = readFile(makeImage(d, files));
    std::vector<int> dirChain = chain(im, 18, 1);
    EXPECT_EQ(dirChain.size(), 18u);
    dirChain.resize(4);
    EXPECT_EQ(dirChain, std::vector<int>({0x1201, 0x1204, 0x1207, 0x120A}));
    EXPECT_EQ(validate(im), "");
}

// Damaged, foreign or hostile images end with an error; a refused save writes nothing.
TEST(D64, CorruptAndUnusualImages) {
    const char* const readError = "Could not read D64-file (premature end of file or readsize to small)";
    auto at = [](Img& im, int t, int s, int i) -> uint8_t& { return im[size_t(offset(t, s) + i)]; };
    struct Case {
        const char* what;
        std::function<void(Img&)> damage;
        char op;  // m mount, r read A, s save C, S replace A
        const char* error;
        int listed;  // after mounting again
        const char* path = nullptr;  // in place of the image
        int files = 12;
    } cases[] = {
        {"one byte more", [](Img& im) { im.push_back(0); }, 'm', "Unknown D64-disk format", 0},
        {"truncated", [](Img& im) { im.resize(100000); }, 'm', "Unknown D64-disk format", 0},
        {"40 tracks", [](Img& im) { im.resize(196608); }, 'm', "40 Track disk with no error bytes is not supported", 0},
        {"40 tracks, error bytes", [](Img& im) { im.resize(197376); }, 'm',
         "40 Track disk with error bytes is not supported", 0},
        {"error bytes", [](Img& im) { im.resize(175531); }, 's', "Disk is mounted as read only", 12},
        {"missing", [](Img&) {}, 'm', "Unable to open file", 0, "missing.d64"},
        {"directory", [](Img&) {}, 'm', "File is no ordinary file", 0, "."},
        {"FIFO", [](Img&) {}, 'm', "File is no ordinary file", 0, "fifo.d64"},
        {"directory loop", [&](Img& im) { at(im, 18, 1, 0) = 18, at(im, 18, 1, 1) = 1; }, 'm', "BAM not valid", 0},
        {"file loop", [&](Img& im) { at(im, 19, 10, 0) = 19, at(im, 19, 10, 1) = 0; }, 'r', readError, 12},
        {"link off disk", [&](Img& im) { at(im, 19, 0, 0) = 40; }, 'r', readError, 12},
        {"start off disk", [&](Img& im) { at(im, 18, 1, 3) = 36; }, 'r', readError, 12},
        {"SEQ file", [&](Img& im) { at(im, 18, 1, 2) = 0x81; }, 'r', "Filetype is not loadable", 12},
        {"count disagrees", [&](Img& im) { at(im, 18, 0, 4 * 30)++; }, 's', "BAM not valid", 12},
        {"file block marked free", [&](Img& im) { at(im, 18, 0, 4 * 19 + 1) |= 1, at(im, 18, 0, 4 * 19)++; }, 'S',
         "BAM not valid", 12},
        {"directory block marked free", [&](Img& im) { at(im, 18, 0, 4 * 18 + 1) |= 2, at(im, 18, 0, 4 * 18)++; }, 's',
         "BAM not valid", 12},
        {"only track 18 free",
         [&](Img& im) { for (int t = 1; t <= 35; t++) std::fill_n(&at(im, 18, 0, 4 * t), t == 18 ? 0 : 4, 0); }, 's',
         "Insufficient space available on disk", 12},
        {"scratched name is free", [&](Img& im) { at(im, 18, 1, 34) = 0, at(im, 18, 1, 37) = 'C'; }, 's', nullptr, 13},
        // The rewrite moves entries up past empty slots and leaves no stale copy behind them.
        {"empty slots", [&](Img& im) { at(im, 18, 1, 64 + 5) = at(im, 18, 1, 96 + 5) = 0; }, 's', nullptr, 11},
        {"long names", [](Img&) {}, 'l', nullptr, 15},
        {"directory full", [](Img&) {}, 's', "No free sectors in directory. Not possible to write new direcotry.", 144,
         nullptr, 144},
        {"directory goes on past 144 entries",
         [&](Img& im) {
             const int last = chain(im, 18, 1).back() & 255;
             at(im, 18, last, 0) = 19, at(im, 18, last, 1) = 0;
         },
         'm', "BAM not valid", 0, nullptr, 144},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::pair<std::string, size_t>> files = {{"A", 600}, {"B", 10}};
        for (int i = 2; i < c.files; i++) files.push_back({"F" + std::to_string(i), 1});
        TempDir d;
        mkfifo((d.path / "fifo.d64").c_str(), 0644);
        fs::path p = makeImage(d, files);
        Img im = readFile(p);
        c.damage(im);
        writeFile(p, im);
        DiskDrive drive;
        Img out;
        const fs::path image = c.path ? d.path / c.path : p;
        bool ok = drive.mountD64(image);
        if (c.op == 'r') ok = drive.readFile("A", out);
        if (c.op == 's') ok = drive.writeFile("C", prg(0x1000, 100));
        if (c.op == 'S') ok = drive.writeFile("@:A", prg(0x1000, 100));
        // Names longer than 16 never match and are stored cut; names compare with case.
        for (const char* name : {"ABCDEFGHIJKLMNOPQ", "ABCDEFGHIJKLMNOPQ", "a"})
            ok = ok && (c.op != 'l' || drive.writeFile(name, {0, 0}));
        EXPECT_EQ(ok ? "ok" : drive.error, c.error ? c.error : "ok");
        EXPECT_TRUE(ok || readFile(p) == im);
        drive.mountD64(image);
        EXPECT_EQ(int(drive.list().size()), c.listed);
    }
}

// A few hundred random saves, replaces and disk-full failures: after each the
// image is consistent, a refused save changed no byte, and a save that fits
// beside the files changed no block they use (so a replaced file stays
// readable until its new entry is written).
TEST(D64, RandomSavesKeepTheImageValid) {
    TempDir d;
    fs::path p = makeImage(d, {{"N0", 10}});
    Img im = readFile(p);
    im[size_t(offset(18, 1)) + 2] = 0xC2;  // locked: a replace leaves a plain PRG
    writeFile(p, im);
    DiskDrive drive;
    drive.mountD64(p);
    std::mt19937 rng(7);
    std::map<std::string, Img> files{{"N0", prg(0x0801, 10, 1)}};
    for (int i = 0; i < 300; i++) {
        const std::string name = "N" + std::to_string(rng() % 24);
        const bool replace = rng() % 2;
        Img bytes = prg(int(rng() % 0x1000), rng() % 3 ? rng() % 3000 : rng() % 60000, unsigned(i));
        const Img before = readFile(p);
        const int need = int((bytes.size() + 253) / 254);
        const bool exists = files.count(name);
        const int oldBlocks = exists ? int((files[name].size() + 253) / 254) : 0;
        const bool fits = need <= freeBlocks(before) + (replace ? oldBlocks : 0);
        const bool ok = drive.writeFile((replace ? "@:" : "") + name, bytes);
        ASSERT_EQ(ok, fits && (replace || !exists)) << i << " " << drive.error;
        if (ok) files[name] = bytes;
        const Img after = readFile(p);
        ASSERT_EQ(validate(after), "") << i;
        for (int t = 1; t <= 35; t++)
            for (int s = 0; s < sectors(t) && t != 18 && ok && need <= freeBlocks(before); s++) {
                const auto at = before.begin() + offset(t, s);
                ASSERT_TRUE(isFree(before, t, s) || std::equal(at, at + 256, after.begin() + offset(t, s))) << i;
            }
        ASSERT_TRUE(ok || after == before) << i;
    }
    EXPECT_EQ(readFile(p)[size_t(offset(18, 1)) + 2], 0x82);
    DiskDrive again;
    again.mountD64(p);
    for (auto& [name, bytes] : files) {
        Img back;
        EXPECT_TRUE(again.readFile(name, back)) << name;
        EXPECT_EQ(back, bytes) << name;
    }
}

// Images of cc1541 read back byte-exact; ours are listed by cc1541 and unpacked by cbmconvert.
TEST(D64, PeerToolsAgree) {
    TempDir d;
    std::vector<std::pair<std::string, Img>> files = {
        {"FIRST", prg(0x0801, 3000, 1)}, {"SECOND", prg(0xC000, 254, 2)}, {"THIRD", prg(0x2000, 8000, 3)}};
    // Both tools show PETSCII upper case as ASCII lower case.
    std::string cmd = "cd " + d.path.string() + " && cc1541 -q -n 'test disk' -i 'xy 2a'";
    for (auto& [name, bytes] : files) {
        writeFile(d.path / (name + ".bin"), bytes);
        cmd += " -f " + FileIO::lowerCase(name) + " -w " + name + ".bin";
    }
    ASSERT_EQ(std::system((cmd + " peer.d64 >/dev/null").c_str()), 0);
    DiskDrive drive;
    ASSERT_TRUE(drive.mountD64((d.path / "peer.d64").string())) << drive.error;
    EXPECT_EQ(drive.diskName(), "TEST DISK");
    EXPECT_EQ(drive.diskId(), "XY 2A");
    ASSERT_EQ(drive.list().size(), files.size());
    for (size_t i = 0; i < files.size(); i++) {
        Img back;
        EXPECT_EQ(drive.list()[i].name, files[i].first);
        EXPECT_TRUE(drive.readFile(int(i), back)) << drive.error;
        EXPECT_EQ(back, files[i].second);
    }

    fs::path ours = d.path / "ours.d64";
    writeFile(ours, DiskDrive::blankD64("our disk", "7"));
    ASSERT_TRUE(drive.mountD64(ours.string()));
    for (auto& [name, bytes] : files) ASSERT_TRUE(drive.writeFile(name, bytes)) << drive.error;
    ASSERT_TRUE(drive.writeFile("@:SECOND", files[1].second));
    drive.unmount();
    const std::string list = "cc1541 " + ours.string() + " | grep -q ";
    EXPECT_EQ(std::system((list + "'\"our disk        \" 70'").c_str()), 0);
    EXPECT_EQ(std::system((list + "'^" + std::to_string(freeBlocks(readFile(ours))) + " blocks free'").c_str()), 0);
    fs::create_directory(d.path / "out");
    const std::string unpack = "cd " + (d.path / "out").string() + " && cbmconvert -N -d ../ours.d64 >/dev/null 2>&1";
    ASSERT_EQ(std::system(unpack.c_str()), 0);
    for (auto& [name, bytes] : files)
        EXPECT_EQ(readFile(d.path / "out" / FileIO::lowerCase(name + ".prg")), bytes) << name;
}

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
    const std::vector<std::pair<std::string, int>> want = {{"GAME", 2}, {"demo", 1}, {"empty", 0}, {"fifo", 0}, {"\xC1", 1}};
    EXPECT_EQ(listed, want);
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
        {&host, 'r', "GAME", {}, nullptr, 300},           {&host, 'i', "", {}, nullptr, 254},  // row 1: demo
        {&host, 'r', "empty", {}, "Cannot read file", 0}, {&host, 'r', "fifo", {}, "Cannot read file", 0},
        {&host, 'r', "nothere", {}, "File not found", 0}, {&host, 'r', "../host/demo", {}, "Invalid file name", 0},
        {&host, 'w', "x", {1}, "Nothing to save", 0},     {&host, 'w', "new", {1, 2, 3}, nullptr, 0},
        {&host, 'w', "new", {1, 2, 3}, "File already exists", 0},
        {&host, 'w', "../evil", {1, 2, 3}, "Invalid file name", 0},
        {&host, 'w', "a\\b", {1, 2, 3}, "Invalid file name", 0},
        {&host, 'w', "a\x01", {1, 2, 3}, "Invalid file name", 0},
        {&image, 'w', "X", {1}, "Nothing to save", 0},    {&image, 'w', "P", {0, 0x10}, nullptr, 0},
        {&image, 'w', "@:P", {0, 0x10, 9}, nullptr, 0},   {&image, 'r', "P", {}, nullptr, 3},
        {&image, 'w', "HI", f000, nullptr, 0},            {&image, 'r', "HI", {}, nullptr, 4098},
        {&empty, 'r', "P", {}, "Disk is not mounted", 0}, {&empty, 'w', "P", {1, 2}, "Disk is not mounted", 0},
    };
    for (const Case& c : cases) {
        Img out;
        bool ok = c.op == 'w' ? c.drive->writeFile(c.name, c.bytes)
                : c.op == 'i' ? c.drive->readFile(1, out)
                              : c.drive->readFile(c.name, out);
        EXPECT_EQ(ok ? "ok" : c.drive->error, c.error ? c.error : "ok") << c.op << c.name;
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
