#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "disk/D64.h"

// A leading "@:" on a save replaces the file of that name.
inline bool hasReplacePrefix(const std::string& name) { return name.compare(0, 2, "@:") == 0; }
inline std::string withoutReplacePrefix(const std::string& name) {
    return hasReplacePrefix(name) ? name.substr(2) : name;
}

// One of the drives 8-11: empty, a mounted D64 image, or a host directory whose
// .prg files are its files. Files pass in and out as PRG bytes (load address
// first). Failures return false and leave their text in error.
class DiskDrive {
public:
    struct Entry {
        std::string name;
        int blocks = 0;
        int type = 2;  // 0-4: DEL, SEQ, PRG, USR, REL
    };

    enum Mode : int { NoDisk = 0, D64Image = 1, HostDirectory = 2 };

    Mode mode = NoDisk;
    // Counts the changes of disk (every mount and unmount), so that what was chosen on the old one ends.
    unsigned long long diskChanges = 0;
    D64 d64;
    std::string path;
    std::string error;
    std::vector<Entry> entries;  // directory drives only

    static const char* typeName(int type);

    bool mountD64(const std::string& path);
    bool mountDirectory(const std::string& path);
    void unmount();
    void rescanDirectory();

    bool readOnly() const;
    std::string diskName();
    std::string diskId();
    std::vector<Entry> list();

    bool readFile(int index, std::vector<uint8_t>& out);
    // loadAt >= 0: the bytes go there instead of the file's own address, which is where a
    // D64 file must fit; out then starts with loadAt. endAt >= 0: only the bytes that land below
    // that address are read, the rest of the file is not.
    bool readFile(const std::string& name, std::vector<uint8_t>& out, int loadAt = -1, int endAt = -1);
    // A leading "@:" replaces the file of that name.
    bool writeFile(const std::string& name, const std::vector<uint8_t>& bytes);
    // Whether the name (after a leading "@:") can name a file on this drive's disk, to save or to load.
    bool acceptsName(const std::string& name, bool save) const;

    static std::vector<uint8_t> blankD64(const std::string& name, const std::string& id);

private:
    bool fail(const std::string& text);
    // A D64 image's directory entry as PRG bytes.
    bool readEntry(int entry, std::vector<uint8_t>& out, int loadAt, int endAt = -1);
    // The image's entries that are files, as rows of list().
    std::vector<int> listedEntries();
    // A host file name inside the mounted directory, or false with the error set.
    bool hostName(const std::string& name, std::string& file);
    // The host file a name reads: name.prg, a listed .PRG or .Prg, or the one match ignoring case;
    // name.prg when none exists. False with the error set when the name is refused or ambiguous.
    bool findHost(const std::string& name, std::string& file);
};
