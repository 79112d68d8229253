// The window layout file, checked before the GUI library reads it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/LayoutFile.h"
#include "platform/Platform.h"
#include "tests/SavedLayout.h"
#include "tests/TempDir.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned kMain = 0x079D3A04;

// A layout as the program writes it: the screen on the left, two stacks on the right.
const std::string kSaved =
    "[Window][Screen]\nPos=61,59\nSize=935,822\nCollapsed=0\nDockId=0x00000001,0\n\n"
    "[Window][Registers]\nPos=998,59\nSize=402,410\nCollapsed=0\nDockId=0x00000003,0\n\n"
    "[Window][Sprites]\nPos=998,471\nSize=402,410\nCollapsed=0\nDockId=0x00000004,0\n\n"
    "[Window][Calc converter]\nPos=310,200\nSize=330,330\nCollapsed=0\n\n" +
    kSavedDocking;

std::string replaced(std::string s, const std::string& from, const std::string& to) {
    const size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) s.replace(at, from.size(), to);
    return s;
}

std::string deepNodes(int depth) {
    std::string s = "[Docking][Data]\nDockSpace ID=0x079D3A04 Pos=0,0 Size=800,600 Split=X\n";
    for (int d = 1; d <= depth; ++d) {
        const unsigned parent = d == 1 ? kMain : unsigned(2 * d - 2);
        char line[160];
        for (unsigned k : {2u * d - 1, 2u * d}) {
            std::snprintf(line, sizeof line, "DockNode ID=0x%08X Parent=0x%08X SizeRef=10,10%s\n", k, parent, k == 2u * d ? " Split=Y" : "");
            s += line;
        }
    }
    return s;
}

}  // namespace

// Each damage the library cannot bear makes the file unsound, with its reason; a sound file goes to the
// library as the library reads it, without what the program never writes and without tabs behind the screen.
TEST(LayoutFile, Check) {
    const struct {
        const char* what;
        std::string text;
        const char* fault;     // empty: sound
        const char* kept;      // in the text given to the library
        const char* left;      // not in it
    } rows[] = {
        {"as written", kSaved, "", "DockNode  ID=0x00000004 Parent=0x00000002 SizeRef=402,410", ""},
        {"last node cut", replaced(kSaved, "    DockNode  ID=0x00000004 Parent=0x00000002 SizeRef=402,410 Selected=0x18D772F2\n", ""),
         "two parts", "", ""},
        {"node its own parent", replaced(kSaved, "ID=0x00000003 Parent=0x00000002", "ID=0x00000003 Parent=0x00000003"),
         "parent is missing", "", ""},
        {"split without axis", replaced(kSaved, " Split=X", ""), "two parts and its axis", "", ""},
        {"split along no axis", replaced(kSaved, " Split=Y", " Split=Z"), "two parts and its axis", "", ""},
        {"two central nodes", replaced(kSaved, "SizeRef=402,410 Selected=0x18D772F2", "SizeRef=402,410 CentralNode=1"),
         "central", "", ""},
        {"a central split node", replaced(kSaved, "SizeRef=402,822 Split=Y", "SizeRef=402,822 Split=Y CentralNode=1"),
         "central", "", ""},
        {"a dock space inside a node", replaced(kSaved, "  DockNode    ID=0x00000002", "  DockSpace   ID=0x00000002"),
         "dock space inside", "", ""},
        {"three parts", kSaved + "    DockNode  ID=0x00000005 Parent=0x00000002 SizeRef=402,410\n", "more than two", "", ""},
        {"two nodes of one id", replaced(kSaved, "ID=0x00000004", "ID=0x00000003"), "one id", "", ""},
        {"docked into a missing node", replaced(kSaved, "DockId=0x00000004,0", "DockId=0x00000009,0"), "", "[Window][Sprites]", "0x00000009"},
        // The library scans "0x%X", which skips blanks and takes a second "0x".
        {"a dock id as the library scans it", replaced(kSaved, "DockId=0x00000004,0", "DockId=0x 9"), "", "[Window][Sprites]", "DockId=0x 9"},
        {"docked into a split node", replaced(kSaved, "DockId=0x00000004,0", "DockId=0x00000002,0"), "", "[Window][Sprites]", "DockId=0x00000002"},
        {"the library's window docked", kSaved + "[Window][Debug##Default]\nPos=60,60\nSize=400,400\nDockId=0x00000003,1\n",
         "library's own window", "", ""},
        {"the library's window floating", kSaved + "[Window][Debug##Default]\nPos=60,60\nSize=400,400\n", "",
         "[Window][Debug##Default]", ""},
        {"size out of range", replaced(kSaved, "Size=330,330", "Size=40000,330"), "size out of range", "", ""},
        {"parts without size", replaced(replaced(kSaved, "SizeRef=402,410 Selected=0x2B614047", "SizeRef=402,0"),
                                        "SizeRef=402,410 Selected=0x18D772F2", ""), "no size", "", ""},
        {"negative node size", replaced(kSaved, "SizeRef=935,822", "SizeRef=-935,822"), "size out of range", "", ""},
        {"tab order out of range", replaced(kSaved, "DockId=0x00000004,0", "DockId=0x00000004,99999"), "tab order", "", ""},
        {"another dock space", kSaved + "DockSpace ID=0x12345678 Pos=0,0 Size=100,100\n", "dock space the program does not have", "", ""},
        {"a node in a window", replaced(kSaved, "SizeRef=402,410 Selected=0x2B614047", "Window=0x1BBC0F80 SizeRef=402,410"),
         "inside a window", "", ""},
        {"nested too deeply", deepNodes(70), "too deeply", "", ""},
        {"nested deep enough", deepNodes(20), "", "ID=0x00000028", ""},
        {"not text", kSaved + std::string("[Window][Mount disk]\nPos=1,\0\n", 29), "not text", "", ""},
        {"larger than written", kSaved + std::string(LayoutFile::kMaxSize, ';'), "larger", "", ""},
        {"tables left out", kSaved + "[Table][0x12345678,4]\nColumn 0 Order=999\n", "", "[Docking][Data]", "[Table]"},
        {"comments and unknown lines left out", replaced(kSaved, "Collapsed=0\n", "; note\nWhatever=1\n"), "", "Pos=61,59", "Whatever"},
        // "[Window]" alone is no header for the library: its lines still belong to the window before.
        {"a broken header", replaced(kSaved, "[Window][Calc converter]", "[Window]"), "", "Pos=310,200", "[Window]\n"},
        {"a tab behind the screen", kSaved + "[Window][Second view]\nPos=0,0\nSize=330,330\nDockId=0x00000001,1\n", "",
         "[Window][Screen]", "[Window][Second view]"},
        {"a window beside the screen", kSaved + "[Window][Second view]\nPos=0,0\nSize=330,330\nDockId=0x00000003,1\n", "",
         "[Window][Second view]", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        const LayoutFile::Checked c = LayoutFile::check(r.text, kMain, "Screen");
        EXPECT_EQ(c.sound, !*r.fault) << c.fault;
        EXPECT_TRUE(!*r.fault || c.fault.find(r.fault) != std::string::npos) << c.fault;
        EXPECT_TRUE(!*r.kept || c.text.find(r.kept) != std::string::npos) << c.text;
        EXPECT_TRUE(!*r.left || c.text.find(r.left) == std::string::npos) << c.text;
        // What is given to the library reads back to itself.
        EXPECT_TRUE(!c.sound || LayoutFile::check(c.text, kMain, "Screen").text == c.text);
    }
}

// The file as found at start: missing, sound, damaged (set aside), too large or unreadable (left as it is, never
// written over).
TEST(LayoutFile, Load) {
    TempDir tmp{"vorlix-layoutfile"};
    fs::permissions(tmp.path, fs::perms::all);  // another user reads it below
    setenv("APPDATA", tmp.path.c_str(), 1);
    Platform::initWithBasePath("");
    const fs::path ini = fs::path(Platform::configDir()) / LayoutFile::kName;
    const fs::path damaged = fs::path(Platform::configDir()) / LayoutFile::kDamagedName;
    fs::permissions(Platform::configDir(), fs::perms::all);
    const std::string cut = replaced(kSaved, " Split=X", "");
    enum Kind { Missing, File, Directory, WriteOnly };
    const struct {
        const char* what;
        Kind kind;
        std::string text;
        bool given, keep, said, setAside;
    } rows[] = {
        {"missing", Missing, "", false, false, false, false},
        {"sound", File, kSaved, true, false, false, false},
        {"damaged", File, cut, false, false, true, true},
        {"too large", File, kSaved + std::string(LayoutFile::kMaxSize, '\n'), false, true, true, false},
        {"a directory", Directory, "", false, true, false, false},
        {"write-only", WriteOnly, kSaved, false, true, false, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        fs::remove_all(ini);
        fs::remove(damaged);
        if (r.kind == Directory) fs::create_directory(ini);
        if (r.kind == File || r.kind == WriteOnly) std::ofstream(ini, std::ios::binary) << r.text;
        if (r.kind == WriteOnly) fs::permissions(ini, fs::perms::owner_write);
        LayoutFile::Loaded l;
        if (r.kind == WriteOnly && geteuid() == 0) {
            // The owner may read any file: the file is another user's to read.
            fs::permissions(ini, fs::perms::owner_write | fs::perms::others_write);
            const pid_t child = fork();
            if (child == 0) {
                if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
                const LayoutFile::Loaded mine = LayoutFile::load(kMain, "Screen");
                _exit(mine.keep && mine.text.empty() && mine.message.empty() ? 0 : 1);
            }
            int status = 0;
            waitpid(child, &status, 0);
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), 0) << "kept, unread, silent";
            continue;
        }
        l = LayoutFile::load(kMain, "Screen");
        EXPECT_EQ(!l.text.empty(), r.given);
        EXPECT_EQ(l.keep, r.keep);
        EXPECT_EQ(!l.message.empty(), r.said) << l.message;
        EXPECT_EQ(fs::exists(damaged), r.setAside);
        if (r.setAside) {
            std::ifstream f(damaged, std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(f), {}), r.text);
            EXPECT_NE(l.message.find(damaged.string()), std::string::npos) << l.message;
        }
        EXPECT_TRUE(!(r.keep && r.kind == File) || fs::file_size(ini) == r.text.size()) << "left as it is";
    }
    fs::remove_all(ini);
    unsetenv("APPDATA");
    Platform::initWithBasePath("");
}
