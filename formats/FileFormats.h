#pragma once
#include <string>
#include <vector>

#include "core/Machine.h"
#include "core/Types.h"

// C64 picture formats: the table, its loader, the Koala and Doodle writers and PRG files.
namespace FileFormats {

struct Chunk {
    i32 type;
    i32 offset;
    i32 length;
};

struct Format {
    const char* name;
    const char* extensions;  // lower case, ";"-separated
    const char* information;
    i32 gfxMode;
    i32 raw;
    i32 bitsPerPixel;
    Chunk chunks[7];  // ends at the first type 0
};

extern const Format formats[29];

int count();
std::string name(int i);
std::string information(int i);
std::vector<std::string> extensions(int i);
int findByExtension(const std::string& ext);

// Loads a whole picture file (load address included, except for raw rows).
bool load(Machine& m, int fmt, const Bytes& data);

Bytes saveKoala(const Machine& m);
Bytes saveDoodle(const Machine& m);

Bytes savePrg(const Machine& m, int start, int len);
int loadPrg(Machine& m, const Bytes& data, int& start);

}  // namespace FileFormats
