#pragma once
// Test data the project cannot carry (third-party files) is looked up at run
// time; a test without it is skipped, except under CI, where it must be there.
#include <gtest/gtest.h>

#include "tests/TestDataPath.h"

// Declares `var` for the file, or ends the test: a failure under CI, else a skip.
#define REQUIRE_TEST_DATA(var, relative)                  \
    const TestDataFile var = findTestData(relative);      \
    if (var.path.empty()) {                               \
        if (var.required) GTEST_FAIL() << var.missing;    \
        GTEST_SKIP() << var.missing;                      \
    }
