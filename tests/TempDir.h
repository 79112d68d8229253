#pragma once
#include <stdlib.h>

#include <filesystem>
#include <string>

// A fresh directory under /tmp, removed with everything in it at the end of the scope.
struct TempDir {
    std::filesystem::path path;
    explicit TempDir(const std::string& prefix = "vorlix-test") {
        std::string tmpl = "/tmp/" + prefix + "-XXXXXX";
        path = mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
};
