#pragma once
#include <cstdlib>
#include <cstring>

namespace AutoTest {

// Self-test mode: "VORLIX_AUTOTEST" set, non-empty and not "0".
inline bool enabled() {
    const char* v = std::getenv("VORLIX_AUTOTEST");
    return v && *v && std::strcmp(v, "0") != 0;
}

}  // namespace AutoTest
