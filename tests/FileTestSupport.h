#pragma once
// What the file, format and application tests share: the usual headers, file helpers and machine comparison.
#include <gtest/gtest.h>
#include <stb_image.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "platform/AtomicFile.h"
#include "tests/TempDir.h"

namespace fs = std::filesystem;

inline Bytes readBytes(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline std::string readText(const std::filesystem::path& p) {
    const Bytes b = readBytes(p);
    return std::string(b.begin(), b.end());
}

inline void writeBytes(const std::filesystem::path& p, const Bytes& bytes) {
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Makes the directories on the way.
inline void writeText(const std::filesystem::path& p, const std::string& text = "x") {
    std::filesystem::create_directories(p.parent_path());
    writeBytes(p, Bytes(text.begin(), text.end()));
}

// What a shell command prints on its standard output.
inline std::string commandOutput(const std::string& command) {
    std::string out;
    FILE* f = popen(command.c_str(), "r");
    char buf[65536];
    for (size_t n; f && (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
    if (f) pclose(f);
    return out;
}

// Bytes this process has read from files so far; -1 where the host does not count them.
inline long long bytesRead() {
    std::ifstream io("/proc/self/io");
    std::string key;
    long long n = -1;
    while (io >> key >> n)
        if (key == "rchar:") return n;
    return -1;
}

// RGBA pixels of a decoded picture, empty when it does not decode.
inline std::vector<u32> decode(const Bytes& file, int& w, int& h) {
    int n = 0;
    u32* p = reinterpret_cast<u32*>(stbi_load_from_memory(file.data(), int(file.size()), &w, &h, &n, 4));
    std::vector<u32> px(p, p ? p + w * h : p);
    stbi_image_free(p);
    return px;
}

// A PRG file of n bytes of memory from addr.
inline Bytes prgOf(const Machine& m, int addr, int n) {
    Bytes b{u8(addr), u8(addr >> 8)};
    b.insert(b.end(), m.ram + addr, m.ram + addr + n);
    return b;
}

// Whole-record comparison: a refused command must change nothing.
inline bool sameMachine(const Machine& a, const Machine& b) {
    return std::memcmp(a.ram, b.ram, sizeof a.ram) == 0 && std::memcmp(a.charRom, b.charRom, sizeof a.charRom) == 0 &&
           std::memcmp(a.vic, b.vic, sizeof a.vic) == 0 && a.bank == b.bank && a.pen == b.pen &&
           std::memcmp(a.monitorScreen, b.monitorScreen, sizeof a.monitorScreen) == 0 &&
           a.powerOnImage == b.powerOnImage;
}

// Runs save with the file layer failing from step `at` on, or in a child process that is killed there;
// whether it succeeded.
inline bool underFault(long long at, bool kill, const std::function<bool()>& save) {
    if (!kill) {
        Platform::setWriteFault({at, -1});
        const bool ok = save();
        Platform::setWriteFault({});
        return ok;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        Platform::setWriteFault({-1, at});
        _exit(save() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
