#pragma once
#include <cstdlib>

namespace AutoTest {

// "VORLIX_AUTOTEST": unset or empty is off; "0" alone is off; anything else
// is on, so "00" and "0x" switch it on.
inline bool switchedOn(const char* value) {
    if (!value || !*value) return false;
    return value[0] != '0' || value[1] != '\0';
}

// Self-test mode, read from the environment once.
inline bool enabled() {
    static const bool on = switchedOn(std::getenv("VORLIX_AUTOTEST"));
    return on;
}

// While the self-test runs, its synthetic input is the only input.
inline bool ownsInput() { return enabled(); }

}  // namespace AutoTest
