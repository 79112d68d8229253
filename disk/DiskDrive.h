#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "disk/D64.h"

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

    int mode = 0;  // 0 empty, 1 D64 image, 2 host directory
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
    bool readFile(const std::string& name, std::vector<uint8_t>& out);
    bool writeFile(const std::string& name, const std::vector<uint8_t>& bytes);

    static std::vector<uint8_t> blankD64(const std::string& name, const std::string& id);

private:
    bool fail(const std::string& text);
    // A host file name inside the mounted directory, or false with the error set.
    bool hostName(const std::string& name, std::string& file);
};
