#pragma once
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/Machine.h"

inline Bytes readBytes(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::filesystem::path& p, const Bytes& bytes) {
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Whole-record comparison: a refused command must change nothing.
inline bool sameMachine(const Machine& a, const Machine& b) {
    return std::memcmp(a.ram, b.ram, sizeof a.ram) == 0 && std::memcmp(a.charRom, b.charRom, sizeof a.charRom) == 0 &&
           std::memcmp(a.vic, b.vic, sizeof a.vic) == 0 && a.bank == b.bank && a.pen == b.pen &&
           std::memcmp(a.monitorScreen, b.monitorScreen, sizeof a.monitorScreen) == 0 &&
           a.powerOnImage == b.powerOnImage;
}
