// The program with one check that cannot pass put before the script: the
// self-test run of CI must fail on it.
#include "gui/Program.h"
#include "selftest/AutoTest.h"

int main(int argc, char** argv) {
    AutoTest::add("broken check", 0, [](App&) { AutoTest::check(false, "deliberately broken"); });
    return runProgram(argc > 0 ? argv[0] : "");
}
