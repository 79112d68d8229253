#pragma once
// Where a file of the shared test data lies; the benchmarks use it too.
#include <cstdlib>
#include <filesystem>
#include <string>

struct TestDataFile {
    std::string path;     // empty when the file was not found
    std::string missing;  // what to do about it
    bool required = false;
};

// `relative` under the folder `envDir` names, else under `defaultDir`.
inline TestDataFile lookUpTestData(const std::string& relative, const char* envDir, const std::string& defaultDir,
                                   const char* ci) {
    TestDataFile f;
    for (const std::string& dir : {std::string(envDir ? envDir : ""), defaultDir}) {
        std::error_code ec;
        if (!dir.empty() && std::filesystem::is_regular_file(std::filesystem::path(dir) / relative, ec)) {
            f.path = (std::filesystem::path(dir) / relative).string();
            return f;
        }
    }
    f.missing = relative + " not found: set VORLIX_TESTDATA to the folder that holds it, or put it under " + defaultDir;
    f.required = ci && std::string(ci) == "true";
    return f;
}

inline TestDataFile findTestData(const std::string& relative) {
    return lookUpTestData(relative, std::getenv("VORLIX_TESTDATA"), VORLIX_TESTDATA_DIR, std::getenv("CI"));
}
