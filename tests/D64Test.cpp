#include <chrono>
#include <map>

#include "app/DiskActions.h"
#include "core/TextCase.h"
#include "disk/DiskDrive.h"
#include "tests/FileTestSupport.h"

namespace {

// Images read on their own terms, independently of the code under test.

inline int sectors(int t) { return t < 18 ? 21 : t < 25 ? 19 : t < 31 ? 18 : 17; }
inline long offset(int t, int s) {
    long o = 0;
    for (int i = 1; i < t; i++) o += 256L * sectors(i);
    return o + 256L * s;
}

// The blocks of a chain as (track << 8 | sector).
inline std::vector<int> chain(const Bytes& im, int t, int s) {
    std::vector<int> out;
    while (t != 0 && out.size() < 700) {
        out.push_back(t << 8 | s);
        const uint8_t* b = &im[size_t(offset(t, s))];
        t = b[0], s = b[1];
    }
    return out;
}

inline bool isFree(const Bytes& im, int t, int s) { return im[size_t(offset(18, 0) + 1 + 4 * t + s / 8)] >> (s % 8) & 1; }

// The blocks of a directory entry's file marked free in the BAM, as a scratch leaves them.
inline void freeChain(Bytes& im, const uint8_t* e) {
    for (int b : chain(im, e[3], e[4])) {
        im[size_t(offset(18, 0) + 4 * (b >> 8))]++;
        im[size_t(offset(18, 0) + 4 * (b >> 8) + 1 + (b & 255) / 8)] |= uint8_t(1 << (b & 7));
    }
}

// The free-block total of the BAM, track 18 left out.
inline int freeBlocks(const Bytes& im) {
    int n = 0;
    for (int t = 1; t <= 35; t++)
        if (t != 18) n += im[size_t(offset(18, 0) + 4 * t)];
    return n;
}

// Empty when the image is consistent: counts match bitmaps, every chain is
// valid and ends properly, no block is in two chains, the used blocks are
// exactly the files' and the directory's, and unused directory slots are zero.
inline std::string validate(const Bytes& im) {
    const uint8_t* bam = &im[size_t(offset(18, 0))];
    std::vector<char> used(36 << 8);
    used[18 << 8] = 1;
    auto claimAll = [&](const std::vector<int>& c) {
        for (int b : c)
            if ((b >> 8) < 1 || (b >> 8) > 35 || (b & 255) >= sectors(b >> 8) || used[size_t(b)]++) return false;
        return true;
    };
    for (int t = 1; t <= 35; t++) {
        int bits = 0;
        for (int s = 0; s < sectors(t); s++) bits += isFree(im, t, s);
        if (bits != bam[4 * t]) return "count of track " + std::to_string(t);
    }
    std::vector<int> dir = chain(im, 18, 1);
    if (!claimAll(dir)) return "directory chain";
    for (size_t i = 0; i < dir.size() * 8; i++) {
        const uint8_t* e = &im[size_t(offset(dir[i / 8] >> 8, dir[i / 8] & 255)) + 32 * (i % 8)];
        if (e[5] == 0 && e[2] == 0) {
            if (std::any_of(e + 2, e + 32, [](uint8_t b) { return b != 0; })) return "stale slot " + std::to_string(i);
            continue;
        }
        if (e[2] == 0) continue;  // scratched: its blocks are free
        std::vector<int> c = chain(im, e[3], e[4]);
        if (!claimAll(c) || int(c.size()) != (e[30] | e[31] << 8)) return "file chain " + std::to_string(i);
    }
    for (int t = 1; t <= 35; t++)
        for (int s = 0; s < sectors(t); s++)
            if (isFree(im, t, s) == bool(used[size_t(t << 8 | s)])) return "BAM of " + std::to_string(t) + "/" + std::to_string(s);
    return "";
}


Bytes prg(int start, size_t len, unsigned seed = 1) {
    Bytes b{uint8_t(start), uint8_t(start >> 8)};
    for (size_t i = 0; i < len; i++) b.push_back(uint8_t(seed * 131 + i * 7 + i / 253));
    return b;
}

// A blank image with files saved by the drive, then files F<n> of `len` bytes up to `count` files.
fs::path makeImage(const TempDir& d, std::vector<std::pair<std::string, size_t>> files, size_t count = 0, size_t len = 1,
                   const std::string& image = "t.d64") {
    fs::path p = d.path / image;
    writeBytes(p, DiskDrive::blankD64("test", "1"));
    DiskDrive drive;
    drive.mountD64(p);
    unsigned seed = 0;
    for (size_t i = files.size(); i < count; i++) files.push_back({"F" + std::to_string(i), len});
    for (auto& [name, len] : files) EXPECT_TRUE(drive.writeFile(name, prg(0x0801, len, ++seed))) << drive.error;
    return p;
}

// Every file of the image by name, read through a drive of its own.
std::map<std::string, Bytes> filesOn(const fs::path& p) {
    std::map<std::string, Bytes> out;
    DiskDrive drive;
    drive.mountD64(p);
    const std::vector<DiskDrive::Entry> list = drive.list();
    for (size_t i = 0; i < list.size(); i++) drive.readFile(int(i), out[list[i].name]);
    return out;
}

int run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

}  // namespace

// Where the drive lays a file's blocks, with the last block's link byte (bytes used + 1); 144 small files
// grow the directory from 18/1 in steps of three sectors; "@:" frees the old blocks first, so the file
// replaced lies where it lay.
TEST(D64, SavesLayBlocksLikeTheDrive) {
    const std::tuple<size_t, size_t, const char*, bool> cases[] = {
        {1, 8000, "19/0 19/10 19/1 19/11 19/2 19/12 19/3 19/13 19/4 19/14 19/5 19/15 19/6 19/16 19/7 19/17 19/8 19/18 "
                  "19/9 20/0 20/10 20/1 20/11 20/2 20/12 20/3 20/13 20/4 20/14 20/5 20/15 20/6 :129 | 18/1 :255", false},
        {1, 8000, "19/0 19/10 19/1 19/11 19/2 19/12 19/3 19/13 19/4 19/14 19/5 19/15 19/6 19/16 19/7 19/17 19/8 19/18 "
                  "19/9 20/0 20/10 20/1 20/11 20/2 20/12 20/3 20/13 20/4 20/14 20/5 20/15 20/6 :129 | 18/1 :255", true},
        {1, 252, "19/0 :255 | 18/1 :255", false}, {1, 253, "19/0 19/10 :2 | 18/1 :255", false},
        {1, 0, "19/0 :3 | 18/1 :255", false},
        {144, 1, "19/0 :4 | 18/1 18/4 18/7 18/10 18/13 18/16 18/2 18/5 18/8 18/11 18/14 18/17 18/3 18/6 18/9 18/12 "
                 "18/15 18/18 :255", false},
    };
    for (auto [count, len, want, replace] : cases) {
        TempDir d;
        const fs::path p = makeImage(d, {}, count, len);
        DiskDrive drive;
        EXPECT_TRUE(!replace || (drive.mountD64(p) && drive.writeFile("@:F0", prg(0x0801, len, 9)))) << drive.error;
        drive.unmount();
        const Bytes im = readBytes(p);
        const uint8_t* e = &im[size_t(offset(18, 1))];
        std::string got;
        for (int from : {e[3] << 8 | e[4], 18 << 8 | 1}) {
            const std::vector<int> c = chain(im, from >> 8, from & 255);
            for (int b : c) got += std::to_string(b >> 8) + "/" + std::to_string(b & 255) + " ";
            got += ":" + std::to_string(im[size_t(offset(c.back() >> 8, c.back() & 255)) + 1]) + " | ";
        }
        EXPECT_EQ(got, std::string(want) + " | ") << len;
        EXPECT_EQ(e[2], 0x82);
        EXPECT_EQ(validate(im), "");
    }
}

// Damaged, foreign or hostile images end with an error; a refused save writes nothing.
TEST(D64, CorruptAndUnusualImages) {
    const char* const readError = "Could not read D64-file (premature end of file or readsize to small)";
    auto at = [](Bytes& im, int t, int s, int i) -> uint8_t& { return im[size_t(offset(t, s) + i)]; };
    // The damage done to an image of A (600 bytes), B and files F2... up to `files`; m mount, r read A, s save C,
    // c save C of 253 bytes, S replace A, e save without a name, x save FIRST and two big files and read FIRST back,
    // t save 61 files and read T back; the error; the files listed after mounting again; a path opened in place of
    // the image; whether the saved image validates (here and for cc1541) with every other file as it was; whether
    // the save found used blocks marked free (recorded as "Sector allready freed in BAM").
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
        char op;
        const char* error;
        int listed;
        const char* path = nullptr;
        int files = 12;
        bool validates = false;
        bool mended = false;
    } cases[] = {
        {"one byte more", [](Bytes& im) { im.push_back(0); }, 'm', "Unknown D64-disk format", 0},
        {"40 tracks", [](Bytes& im) { im.resize(196608); }, 'm', "40 Track disk with no error bytes is not supported", 0},
        {"40 tracks, error bytes", [](Bytes& im) { im.resize(197376); }, 'm', "40 Track disk with error bytes is not supported", 0},
        {"error bytes", [](Bytes& im) { im.resize(175531); }, 's', "Disk is mounted as read only", 12},
        {"missing", [](Bytes&) {}, 'm', "Unable to open file", 0, "missing.d64"},
        {"FIFO", [](Bytes&) {}, 'm', "File is no ordinary file", 0, "fifo.d64"},
        {"directory loop", [&](Bytes& im) { at(im, 18, 1, 0) = 18, at(im, 18, 1, 1) = 1; }, 'm', "BAM not valid", 0},
        {"file loop", [&](Bytes& im) { at(im, 19, 10, 0) = 19, at(im, 19, 10, 1) = 0; }, 'r', readError, 12},
        {"link off disk", [&](Bytes& im) { at(im, 19, 0, 0) = 40; }, 'r', readError, 12},
        {"start off disk", [&](Bytes& im) { at(im, 18, 1, 3) = 36; }, 'r', readError, 12},
        {"SEQ file", [&](Bytes& im) { at(im, 18, 1, 2) = 0x81; }, 'r', "Filetype is not loadable", 12},
        {"count disagrees", [&](Bytes& im) { at(im, 18, 0, 4 * 30)++; }, 's', "BAM not valid", 12},
        // A listed file's blocks are used whatever the BAM says; the save goes on and the BAM written marks them.
        {"file block marked free", [&](Bytes& im) { at(im, 18, 0, 77) |= 1, at(im, 18, 0, 76)++; }, 's', nullptr, 13,
         nullptr, 12, true, true},
        {"file block marked free, replaced", [&](Bytes& im) { at(im, 18, 0, 77) |= 1, at(im, 18, 0, 76)++; }, 'S', nullptr,
         12, nullptr, 12, true, true},
        // T's one block 18/2, a link of the directory's chain: no directory block ever takes it.
        {"file on track 18 in the directory's chain",
         [&](Bytes& im) {
             std::fill_n(&at(im, 18, 2, 0), 256, 0), at(im, 18, 2, 1) = 255;
             at(im, 18, 0, 72)--, at(im, 18, 0, 73) &= uint8_t(~4);
             const uint8_t t[32] = {0, 0, 0x82, 18, 2, 'T', 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0,
                                    0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0};
             std::copy_n(t, 32, &at(im, 18, 1, 64));
             at(im, 18, 1, 0) = 18, at(im, 18, 1, 1) = 2;
         },
         't', nullptr, 64, nullptr, 2, true},
        // Its blocks are taken as used: the save goes on and the BAM written marks them.
        {"directory block marked free", [&](Bytes& im) { at(im, 18, 0, 73) |= 2, at(im, 18, 0, 72)++; }, 's', nullptr, 13,
         nullptr, 12, true, true},
        {"directory leaves track 18 through a free block", [&](Bytes& im) { at(im, 18, 1, 0) = 20, at(im, 18, 1, 1) = 18; },
         'x', nullptr, 5, nullptr, 2, true},
        // A chain through a file's block (of zeros, so it reads as empty entries) leaves it to the file.
        {"directory runs through a file's block",
         [&](Bytes& im) {
             const int t = at(im, 18, 1, 35), s = at(im, 18, 1, 36);
             std::fill_n(&at(im, t, s, 2), 254, 0);
             at(im, 18, 1, 0) = uint8_t(t), at(im, 18, 1, 1) = uint8_t(s);
         },
         's', nullptr, 3, nullptr, 2, true},
        {"full directory with a scratched entry", [&](Bytes& im) { freeChain(im, &at(im, 18, 1, 64)), at(im, 18, 1, 66) = 0; },
         's', nullptr, 144, nullptr, 144, true},
        {"no name", [](Bytes&) {}, 'e', "SYNTAX ERROR", 12},
        // The space test counts data bytes: 253 fit the one free block, the second block is not found.
        {"only 35/0 free, 253 bytes",
         [&](Bytes& im) {
             for (int t = 1; t <= 35; t++) std::fill_n(&at(im, 18, 0, 4 * t), 4, 0);
             at(im, 18, 0, 4 * 35) = 1, at(im, 18, 0, 4 * 35 + 1) = 1;
         },
         'c', "No more free tracks found. Maybe disk or BAM is damaged", 12},
        {"only track 18 free",
         [&](Bytes& im) { for (int t = 1; t <= 35; t++) std::fill_n(&at(im, 18, 0, 4 * t), t == 18 ? 0 : 4, 0); }, 's',
         "No more free sectors found on track. Maybe disk or BAM is damaged", 12},
        {"scratched name is free", [&](Bytes& im) { at(im, 18, 1, 34) = 0, at(im, 18, 1, 37) = 'C'; }, 's', nullptr, 12},
        // The rewrite moves entries up past empty slots and leaves no stale copy behind them.
        {"empty slots", [&](Bytes& im) { std::fill_n(&at(im, 18, 1, 64), 64, 0); }, 's', nullptr, 11},
        {"long names", [](Bytes&) {}, 'l', nullptr, 15},
        {"directory full", [](Bytes&) {}, 's', "No free sectors in directory. Not possible to write new direcotry.", 144,
         nullptr, 144},
        {"directory goes on past 144 entries",  // its last block linked to 19/0
         [&](Bytes& im) { at(im, 18, chain(im, 18, 1).back() & 255, 1) = 0, at(im, 18, chain(im, 18, 1).back() & 255, 0) = 19; },
         'm', "BAM not valid", 0, nullptr, 144},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir d;
        mkfifo((d.path / "fifo.d64").c_str(), 0644);
        fs::path p = makeImage(d, {{"A", 600}, {"B", 10}}, size_t(c.files));
        Bytes im = readBytes(p);
        c.damage(im);
        writeBytes(p, im);
        const std::map<std::string, Bytes> old = c.validates ? filesOn(p) : std::map<std::string, Bytes>();
        DiskDrive drive;
        Bytes out;
        const fs::path image = c.path ? d.path / c.path : p;
        bool ok = drive.mountD64(image);
        if (c.op == 'r') ok = drive.readFile("A", out);
        if (c.op == 's' || c.op == 'c') ok = drive.writeFile("C", prg(0x1000, c.op == 's' ? 100 : 253));
        for (int i = 0; c.op == 't' && i < 61; i++) ok = ok && drive.writeFile("N" + std::to_string(i), prg(0x1000, 10));
        if (c.op == 'S') ok = drive.writeFile("@:A", prg(0x1000, 100));
        if (c.op == 'e') ok = drive.writeFile("", prg(0x1000, 100)) || drive.error != "SYNTAX ERROR" || drive.writeFile("@:", prg(0x1000, 100));
        const D64Error recorded = c.mended ? D64Error::AlreadyFreed : D64Error::NoError;
        EXPECT_TRUE(!ok || (c.op != 's' && c.op != 'S') || drive.d64.lastError == recorded);
        for (auto [name, length] : {std::pair<const char*, size_t>{"FIRST", 20000}, {"BIG1", 60000}, {"BIG2", 60000}})
            ok = ok && (c.op != 'x' || drive.writeFile(name, prg(0x0801, length, 3)));
        if (c.op == 'x' && ok) ok = drive.readFile("FIRST", out) && out == prg(0x0801, 20000, 3);
        // Names longer than 16 never match and are stored cut; names compare with case.
        for (const char* name : {"ABCDEFGHIJKLMNOPQ", "ABCDEFGHIJKLMNOPQ", "a"})
            ok = ok && (c.op != 'l' || drive.writeFile(name, {0, 0}));
        EXPECT_EQ(ok ? "ok" : drive.error, c.error ? c.error : "ok");
        EXPECT_TRUE(ok || readBytes(p) == im);
        if (c.validates) {
            EXPECT_EQ(validate(readBytes(p)), "");
            EXPECT_EQ(run("cc1541 -V " + p.string()), 0);
            std::map<std::string, Bytes> now = filesOn(p);
            for (const auto& [name, bytes] : old)
                EXPECT_EQ(now[name], c.op == 'S' && name == "A" ? prg(0x1000, 100) : bytes) << name;
        }
        drive.mountD64(image);
        EXPECT_EQ(int(drive.list().size()), c.listed);
    }
}

// A few hundred random saves, replaces and disk-full failures: after each the
// image is consistent, a refused save changed no byte, and a save changed no
// block of the files it kept.
TEST(D64, RandomSavesKeepTheImageValid) {
    TempDir d;
    fs::path p = makeImage(d, {{"N0", 10}});
    Bytes im = readBytes(p);
    im[size_t(offset(18, 1)) + 2] = 0xC2;  // locked: a replace keeps the type byte
    writeBytes(p, im);
    DiskDrive drive;
    drive.mountD64(p);
    std::mt19937 rng(7);
    std::map<std::string, Bytes> files{{"N0", prg(0x0801, 10, 1)}};
    for (int i = 0; i < 300; i++) {
        const std::string name = "N" + std::to_string(rng() % 24);
        const bool replace = rng() % 2;
        Bytes bytes = prg(int(rng() % 0x1000), rng() % 3 ? rng() % 3000 : rng() % 60000, unsigned(i));
        const Bytes before = readBytes(p);
        const int need = int((bytes.size() + 253) / 254);
        const bool exists = files.count(name);
        const int oldBlocks = exists ? int((files[name].size() + 253) / 254) : 0;
        const bool fits = need <= freeBlocks(before) + (replace ? oldBlocks : 0);
        const bool ok = drive.writeFile((replace ? "@:" : "") + name, bytes);
        ASSERT_EQ(ok, fits && (replace || !exists)) << i << " " << drive.error;
        if (ok) files[name] = bytes;
        const Bytes after = readBytes(p);
        ASSERT_EQ(validate(after), "") << i;
        std::vector<char> replaced(36 << 8);
        for (int b : chain(before, 18, 1))
            for (int j = 0; j < 8 && replace; j++) {
                const uint8_t* e = &before[size_t(offset(b >> 8, b & 255) + 32 * j)];
                if (e[2] && std::string(e + 5, std::find(e + 5, e + 21, 0xA0)) == name)
                    for (int c : chain(before, e[3], e[4])) replaced[size_t(c)] = 1;
            }
        for (int t = 1; t <= 35; t++)
            for (int s = 0; s < sectors(t) && t != 18 && ok; s++) {
                const auto at = before.begin() + offset(t, s);
                ASSERT_TRUE(isFree(before, t, s) || replaced[size_t(t << 8 | s)] ||
                            std::equal(at, at + 256, after.begin() + offset(t, s))) << i;
            }
        ASSERT_TRUE(ok || after == before) << i;
    }
    EXPECT_EQ(readBytes(p)[size_t(offset(18, 1)) + 2], 0xC2);
    // cc1541 lists the image as it is, cbmconvert unpacks every file.
    drive.unmount();
    const std::string list = "cc1541 " + p.string() + " | grep -q ";
    EXPECT_EQ(std::system((list + "'\"test            \" 10'").c_str()), 0);
    EXPECT_EQ(std::system((list + "'^" + std::to_string(freeBlocks(readBytes(p))) + " blocks free'").c_str()), 0);
    fs::create_directory(d.path / "out");
    ASSERT_EQ(std::system(("cd " + (d.path / "out").string() + " && cbmconvert -N -d ../t.d64 >/dev/null 2>&1").c_str()), 0);
    for (auto& [name, bytes] : files) EXPECT_EQ(readBytes(d.path / "out" / LowerCase(name + ".prg")), bytes) << name;
}

TEST(DiskDrive, OperationsOnEveryKindOfDrive) {
    TempDir d;
    fs::create_directory(d.path / "host");
    const std::pair<const char*, Bytes> hostFiles[] = {
        {"GAME.PRG", Bytes(300, 7)}, {"demo.prg", Bytes(254, 1)}, {"empty.prg", {}}, {"notes.txt", Bytes(10, 0)}, {"\xC1.prg", {1, 2, 3}},
        {"pic..v2.prg", {1, 2, 3, 4}}, {"b\\s.prg", {1, 2, 3, 4, 5}}, {"zz.prg", {1, 2, 3}}, {"zZ.prg", {1, 2, 3}},
        {"PIC.PRG", Bytes(5, 1)}, {"pic.prg", Bytes(6, 2)}, {"...prg", {1, 2}}, {"..prg", {1, 2}}, {".prg", {1, 2}}};
    for (const auto& [name, bytes] : hostFiles) writeBytes(d.path / "host" / name, bytes);
    mkfifo((d.path / "host" / "fifo.prg").c_str(), 0644);
    writeBytes(d.path / "t.d64", DiskDrive::blankD64("my disk", "q"));

    DiskDrive host, image, empty;
    ASSERT_TRUE(host.mountDirectory((d.path / "host").string()));
    ASSERT_TRUE(image.mountD64((d.path / "t.d64").string()));
    EXPECT_EQ(host.diskName() + "|" + image.diskName() + "|" + image.diskId(), "host|MY DISK|Q0\xA0" "2A");
    const Bytes f000 = prg(0xF000, 8192);
    // Drive, r read by name, i read row 1 (demo), w write; the bytes read, "ok" or the error.
    const std::tuple<DiskDrive*, char, std::string, Bytes, std::string> cases[] = {
        {&host, 'r', "GAME", {}, "300"}, {&host, 'i', "1", {}, "5"}, {&host, 'r', "pic..v2", {}, "4"},
        {&host, 'r', "..", {}, "Invalid file name"}, {&host, 'r', "/etc/passwd", {}, "Invalid file name"}, {&host, 'r', "empty", {}, "Cannot read file"},
        {&host, 'r', "fifo", {}, "Cannot read file"}, {&host, 'r', "nothere", {}, "File not found"},
        {&host, 'r', "DEMO", {}, "254"}, {&host, 'r', "ZZ", {}, "More than one file matches ignoring case"},
        {&host, 'r', "../host/demo", {}, "Invalid file name"}, {&host, 'w', "x", {1}, "Nothing to save"},
        {&host, 'w', "new", {1, 2, 3}, "ok"}, {&host, 'w', "new", {1, 2, 3}, "File already exists"},
        {&host, 'w', "Demo", {1, 2, 3}, "ok"}, {&host, 'r', "PIC", {}, "5"}, {&host, 'r', "pic", {}, "6"},
        {&host, 'r', "Pic", {}, "More than one file matches ignoring case"}, {&host, 'w', "@:demo", Bytes(7, 4), "ok"},
        {&host, 'r', "demo", {}, "7"}, {&host, 'w', "@:DEMO", {1, 2, 3}, "More than one file matches ignoring case"},
        {&host, 'w', "@:fresh", {1, 2, 3}, "ok"}, {&host, 'w', "", {1, 2, 3}, "Invalid file name"},
        {&host, 'w', "@:", {1, 2, 3}, "Invalid file name"}, {&image, 'w', "", {1, 2, 3}, "SYNTAX ERROR"},
        {&image, 'w', "@:", {1, 2, 3}, "SYNTAX ERROR"},
        {&host, 'w', "../evil", {1, 2, 3}, "Invalid file name"}, {&host, 'w', "a\\b", {1, 2, 3}, "ok"},
        {&host, 'w', "a\x01", {1, 2, 3}, "Invalid file name"}, {&image, 'w', "X", {1}, "Nothing to save"},
        {&image, 'w', "P", {0, 0x10}, "ok"}, {&image, 'w', "@:P", {0, 0x10, 9}, "ok"}, {&image, 'r', "P", {}, "3"},
        {&image, 'w', "HI", f000, "ok"}, {&image, 'r', "HI", {}, "4098"}, {&image, 'w', "E", {1, 8}, "ok"},
        {&image, 'i', "2", {}, "2"}, {&image, 'i', "3", {}, "Invalid file number"},
        {&empty, 'r', "P", {}, "Disk is not mounted"}, {&empty, 'w', "P", {1, 2}, "Disk is not mounted"},
    };
    for (const auto& [drive, op, name, bytes, want] : cases) {
        Bytes out;
        const bool ok = op == 'w'   ? drive->writeFile(name, bytes)
                        : op == 'i' ? drive->readFile(std::stoi(name), out)
                                    : drive->readFile(name, out);
        EXPECT_EQ(!ok ? drive->error : op == 'w' ? "ok" : std::to_string(out.size()), want) << op << name;
    }
    EXPECT_FALSE(fs::exists(d.path / "evil.prg"));
    std::string listed;
    for (auto* drive : {&host, &image})
        for (auto& e : drive->list()) listed += e.name + " " + std::to_string(e.blocks) + ",";
    // Only what can be read is listed: no "..", "." or nameless file.
    EXPECT_EQ(listed, "Demo 1,GAME 2,PIC 1,a\\b 1,b\\s 1,demo 1,empty 0,fifo 0,fresh 1,new 1,pic 1,pic..v2 1,zZ 1,zz 1,\xC1 1,P 1,"
                      "HI 17,E 1,");
    EXPECT_EQ(readBytes(d.path / "host" / "demo.prg"), Bytes(7, 4));

    // The same image on a second drive must not write its own BAM over the first's.
    DiskDrive second;
    ASSERT_TRUE(second.mountD64((d.path / "t.d64").string()));
    EXPECT_TRUE(second.readOnly());
    EXPECT_FALSE(second.writeFile("Q", {0, 0x10, 1}));
    image.unmount();
    ASSERT_TRUE(second.mountD64((d.path / "t.d64").string()));
    EXPECT_FALSE(second.readOnly());
}

// On tracks of 21, 19, 18 and 17 sectors the blocks of a file follow the 1541's interleave of 10.
TEST(D64, InterleaveOnTracksOfEverySize) {
    TempDir d;
    const fs::path p = makeImage(d, {{"A", 258 * 254 - 2}, {"B", 30 * 254 - 2}});
    const Bytes im = readBytes(p);
    const std::pair<int, const char*> cases[] = {
        {19, "0 10 1 11 2 12 3 13 4 14 5 15 6 16 7 17 8 18 9"}, {25, "0 10 1 11 2 12 3 13 4 14 5 15 6 16 7 17 8 9"},
        {31, "1 11 3 13 5 15 7 0 10 2 12 4 14 6 16 8 9"}, {17, "0 10 20 8 18 6 16 4 14 2 12 1 11 3 13 5 15 7 17 9 19"},
        {16, "7 17 5 15 3 13 1 11 0"},
    };
    for (auto [t, want] : cases) {
        std::string got;
        for (int slot : {0, 1}) {
            const uint8_t* e = &im[size_t(offset(18, 1) + 32 * slot)];
            for (int b : chain(im, e[3], e[4]))
                if (b >> 8 == t) got += (got.empty() ? "" : " ") + std::to_string(b & 255);
        }
        EXPECT_EQ(got, want) << "track " << t;
    }
    EXPECT_EQ(validate(im), "");
}

// A save that fails at any write, sync or rename, or is killed there, leaves the image as it was (and says so) or
// holds the new file whole: it always validates, every old file reads back the same, and a later save clears the
// killed saves' temporary files.
TEST(D64, SavesSurviveFailuresAndKills) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, size_t>> files;
        size_t count;
        std::string name;
        size_t length;
        std::string image = "t.d64";
    } cases[] = {
        {"new file", {{"A", 600}, {"B", 10}}, 0, "C", 3000},
        {"9th file", {}, 8, "F8", 100},
        {"@: on a nearly full disk", {{"BIG1", 65000}, {"BIG2", 65000}, {"X", 35000}}, 0, "@:X", 35000},
        // A name so long that the temporary's name must be shorter than ".NAME.XXXXXX".
        {"long image name", {{"A", 600}}, 0, "C", 3000, std::string(251, 'i') + ".d64"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir d;
        const fs::path p = makeImage(d, c.files, c.count, 100, c.image);
        const Bytes before = readBytes(p);
        const std::map<std::string, Bytes> old = filesOn(p);
        const Bytes bytes = prg(0x4000, c.length, 99);
        const long long steps = D64::kImageSize + 3;  // the bytes, a sync, the rename, the directory's sync
        for (long long at : {0LL, 1LL, 4096LL, steps / 2, steps - 4, steps - 3, steps - 2, steps - 1, steps})
            for (bool kill : {false, true}) {
                SCOPED_TRACE(std::to_string(at) + (kill ? " killed" : " failed"));
                writeBytes(p, before);
                DiskDrive drive;
                const bool ok = underFault(at, kill, [&] { return drive.mountD64(p) && drive.writeFile(c.name, bytes); });
                EXPECT_EQ(ok, at >= steps - (kill ? 0 : 1));  // killed at the last sync, with the image in place
                if (!kill) {
                    EXPECT_EQ(ok ? "ok" : drive.error, at < steps - 1 ? "Could not write to file" : "ok");
                }
                const Bytes after = readBytes(p);
                ASSERT_EQ(validate(after), "");
                std::map<std::string, Bytes> now = filesOn(p), want = old;
                const std::string saved = c.name.substr(c.name.find(':') + 1);
                if (at >= steps - 1) want[saved] = bytes;
                EXPECT_TRUE(at >= steps - 1 || after == before);
                EXPECT_EQ(now, want);
            }
        DiskDrive drive;
        ASSERT_TRUE(drive.mountD64(p));
        EXPECT_TRUE(drive.writeFile("LAST", prg(0x1000, 10)));
        EXPECT_EQ(std::distance(fs::directory_iterator(d.path), fs::directory_iterator()), 1);
    }
}

// What another program, or another drive on the same image, changed is read before a save and before a
// read-only drive lists or reads: cc1541 adding a file in place, or an image put in place by rename.
TEST(D64, ChangesByOthersAreReadFirst) {
    const char* const actions[] = {"true", "cc1541 -f other -w x.prg t.d64", "cp t.d64 n.d64 && cc1541 -f other -w x.prg n.d64 && mv n.d64 t.d64"};
    for (const char* action : actions) {
        SCOPED_TRACE(action);
        TempDir d;
        const fs::path p = makeImage(d, {{"X", 500}});
        writeBytes(d.path / "x.prg", prg(0x0801, 700, 5));
        DiskDrive writer, reader;
        ASSERT_TRUE(writer.mountD64(p));
        ASSERT_TRUE(reader.mountD64(p));
        EXPECT_TRUE(reader.readOnly());
        ASSERT_EQ(reader.list().size(), 1u);
        ASSERT_EQ(run("cd " + d.path.string() + " && " + action), 0);
        std::map<std::string, Bytes> want{{"X", prg(0x0900, 900, 6)}, {"MINE", prg(0x0A00, 20, 7)}};
        if (std::string(action) != "true") want["OTHER"] = prg(0x0801, 700, 5);
        EXPECT_TRUE(writer.writeFile("@:X", want["X"])) << writer.error;
        EXPECT_TRUE(writer.writeFile("MINE", want["MINE"])) << writer.error;
        EXPECT_EQ(validate(readBytes(p)), "");
        EXPECT_EQ(filesOn(p), want);
        DiskDrive late;  // the saved image is locked as the old one was
        EXPECT_TRUE(late.mountD64(p) && late.readOnly());
        for (auto& [name, bytes] : want) {
            Bytes out;
            EXPECT_TRUE(reader.readFile(name, out) && out == bytes) << name << " " << reader.error;
        }
        EXPECT_EQ(reader.list().size(), want.size());
    }
}

// Directories as cc1541 and directory editors leave them: an emptied slot before live entries, a scratched
// entry (type $00, name kept, blocks freed) of the name being saved, a SEQ, DEL and a locked file replaced with
// "@:", a name holding $00 or padded with it. Scratched entries stay on disk as they were; a refused save changes nothing.
TEST(D64, DirectoriesAsOtherToolsLeaveThem) {
    auto entry = [](Bytes& im, int i) { return &im[size_t(offset(18, 1) + 32 * i)]; };
    // The scratched entries of the directory on disk, bytes 2-31 each.
    auto scratched = [](const Bytes& im) {
        std::vector<Bytes> out;
        for (int b : chain(im, 18, 1))
            for (int j = 0; j < 8; j++) {
                const auto e = im.begin() + offset(b >> 8, b & 255) + 32 * j;
                if (e[2] == 0 && e[5] != 0) out.emplace_back(e + 2, e + 32);
            }
        return out;
    };
    const std::string before = "A PRG 82,B PRG 82,C PRG 82,PIC PRG 82,S SEQ 81,L PRG C2,";
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
        std::string save;
        std::string listed;  // name, type and type byte of each listed file after the save
        const char* error = nullptr;
    } cases[] = {
        {"empty slot", [&](Bytes& im) { freeChain(im, entry(im, 1)), std::fill_n(entry(im, 1), 32, 0); }, "D",
         "A PRG 82,C PRG 82,PIC PRG 82,S SEQ 81,L PRG C2,D PRG 82,"},
        {"scratched PIC", [&](Bytes& im) { freeChain(im, entry(im, 3)), entry(im, 3)[2] = 0; }, "PIC",
         "A PRG 82,B PRG 82,C PRG 82,S SEQ 81,L PRG C2,PIC PRG 82,"},
        {"scratched PIC, another save", [&](Bytes& im) { freeChain(im, entry(im, 3)), entry(im, 3)[2] = 0; }, "D",
         "A PRG 82,B PRG 82,C PRG 82,S SEQ 81,L PRG C2,D PRG 82,"},
        {"@: SEQ", [](Bytes&) {}, "@:S", before, "FILE TYPE MISMATCH"},
        {"@: DEL", [&](Bytes& im) { entry(im, 0)[2] = 0x80; }, "@:A", "A DEL 80" + before.substr(8), "FILE TYPE MISMATCH"},
        {"@: locked", [](Bytes&) {}, "@:L", before},
        {"name holding $00", [&](Bytes& im) { std::copy_n("D\0E", 3, entry(im, 1) + 5); }, "D",
         "A PRG 82,D?E PRG 82,C PRG 82,PIC PRG 82,S SEQ 81,L PRG C2,D PRG 82,"},
        // $00 bytes at the end of a name are padding as $A0 is.
        {"name padded with $00", [&](Bytes& im) { std::fill_n(entry(im, 1) + 6, 15, 0); }, "@:B", before},
        {"save name holding $00", [](Bytes&) {}, std::string("E\0F", 3), before + "E?F PRG 82,"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir d;
        const fs::path p = d.path / "t.d64";
        for (int i = 0; i < 3; i++) writeBytes(d.path / ("f" + std::to_string(i)), prg(0x0801, 300 * i + 10, unsigned(i)));
        ASSERT_EQ(run("cd " + d.path.string() + " && cc1541 -n test -f a -w f0 -f b -w f1 -f c -w f2 -f pic -w f0 -f s -T SEQ "
                      "-w f1 -f l -P -w f2 t.d64"), 0);
        Bytes im = readBytes(p);
        c.damage(im);
        writeBytes(p, im);
        const std::vector<Bytes> kept = scratched(im);
        DiskDrive drive;
        ASSERT_TRUE(drive.mountD64(p));
        const Bytes bytes = prg(0x2000, 400, 9);
        const bool ok = drive.writeFile(c.save, bytes);
        EXPECT_EQ(ok ? "ok" : drive.error, c.error ? c.error : "ok");
        EXPECT_TRUE(ok || readBytes(p) == im);
        im = readBytes(p);
        EXPECT_EQ(validate(im), "");
        EXPECT_EQ(scratched(im), kept);
        std::string listed;
        const std::vector<DiskDrive::Entry> list = drive.list();
        for (size_t i = 0, slot = 0; i < list.size(); i++, slot++) {
            while (entry(im, int(slot))[2] == 0) slot++;
            char byte[4];
            std::snprintf(byte, sizeof byte, "%02X", entry(im, int(slot))[2]);
            listed += DiskActions::printable(list[i].name) + " " + DiskDrive::typeName(list[i].type) + " " + byte + ",";
        }
        EXPECT_EQ(listed, c.listed);
        Bytes out;
        const std::string name = c.save.substr(c.save.find(':') + 1);
        EXPECT_TRUE(!ok || (drive.readFile(name, out) ? out == bytes : drive.error == "Filetype is not loadable"));
        EXPECT_TRUE(drive.readFile("C", out) && out == prg(0x0801, 610, 2));
    }
}

// A directory name is compared within its 16 bytes and the name's own length: a $00 inside it is no end, while
// $00 bytes at its end are padding.
TEST(D64, NameEqualsStaysInBounds) {
    const std::tuple<std::string, std::string, bool> cases[] = {
        {"PIC", std::string("PIC") + std::string(13, '\xA0'), true}, {"PIC", "PICTURE" + std::string(9, '\xA0'), false},
        {"pic", std::string("PIC") + std::string(13, '\xA0'), false}, {"AB", std::string("AB") + std::string(14, '\0'), true},
        {"AB", std::string("AB\0CD", 5) + std::string(11, '\xA0'), false}, {"ABC", std::string("AB") + std::string(14, '\0'), false},
        {"ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMNOP", true}, {"ABCDEFGHIJKLMNOPQ", "ABCDEFGHIJKLMNOP", false},
    };
    for (const auto& [name, entry, equal] : cases) {
        std::vector<char> exact(name.begin(), name.end());
        exact.resize(std::max<size_t>(name.size() + 1, 17), 0);  // zeros after the NUL are no part of the name
        EXPECT_EQ(_name_equals(exact.data(), reinterpret_cast<const uint8_t*>(entry.data())), equal) << name;
    }
}

// A broken image another program leaves in place of a mounted one is read once: the listing, drawn every frame,
// keeps what was held and reads the file again only when it changes once more.
TEST(D64, BrokenChangeIsNotReadOnEveryListing) {
    if (bytesRead() < 0) GTEST_SKIP() << "no read counts on this host";
    for (bool rename : {false, true}) {
        SCOPED_TRACE(rename ? "put in place by rename" : "written in place");
        TempDir d;
        const fs::path p = makeImage(d, {{"X", 500}});
        const Bytes good = readBytes(p);
        DiskDrive drive;
        ASSERT_TRUE(drive.mountD64(p));
        // Written a second apart at least, so every version has a time of its own.
        int version = 0;
        auto put = [&](const Bytes& im) {
            const fs::path to = rename ? d.path / "n.d64" : p;
            writeBytes(to, im);
            fs::last_write_time(to, fs::file_time_type::clock::now() + std::chrono::seconds(++version));
            if (rename) fs::rename(to, p);
        };
        Bytes broken = good;
        broken[size_t(offset(18, 1))] = 18, broken[size_t(offset(18, 1)) + 1] = 1;  // the directory links to itself
        put(broken);
        ASSERT_EQ(drive.list().size(), 1u);
        const long long before = bytesRead();
        for (int frame = 0; frame < 10; frame++) EXPECT_EQ(drive.list().size(), 1u);
        EXPECT_LT(bytesRead() - before, D64::kImageSize);
        EXPECT_EQ(drive.d64.refresh(), 0);
        EXPECT_EQ(drive.d64.lastError, D64Error::BamNotValid);
        TempDir other;
        put(readBytes(makeImage(other, {{"X", 500}, {"Y", 10}})));
        EXPECT_EQ(drive.list().size(), 2u);
    }
}

namespace {

// As a user without root (when started as root, so that permissions count): an image reached through a link
// is writable when the folder of the file it leads to is, whatever the link's own folder allows. The failures.
int mountThroughLinks(const fs::path& dir) {
    if (getuid() == 0 && (chown(dir.c_str(), 65534, 65534) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
        return 99;
    for (const char* sub : {"ro", "rw"}) fs::create_directory(dir / sub);
    writeBytes(dir / "ro" / "t.d64", DiskDrive::blankD64("ro", "1"));
    writeBytes(dir / "rw" / "t.d64", DiskDrive::blankD64("rw", "1"));
    fs::create_symlink("ro/t.d64", dir / "to-ro.d64");
    fs::create_symlink("../rw/t.d64", dir / "ro" / "to-rw.d64");
    chmod((dir / "ro").c_str(), 0555);
    const std::pair<fs::path, const char*> rows[] = {{dir / "to-ro.d64", "Disk is mounted as read only"},
                                                      {dir / "ro" / "to-rw.d64", "ok"}};
    int failures = 0;
    for (const auto& [link, want] : rows) {
        DiskDrive drive;
        const bool ok = drive.mountD64(link) && drive.writeFile("X", prg(0x1000, 10));
        failures += (ok ? std::string("ok") : drive.error) != want;
    }
    return failures;
}

}  // namespace

TEST(D64, ImageBehindALinkFollowsItsTargetsFolder) {
    TempDir t;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(mountThroughLinks(t.path)), testing::ExitedWithCode(0), "");
}
