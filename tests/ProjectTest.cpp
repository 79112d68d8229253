#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/Machine.h"

namespace {

std::unique_ptr<Machine> filledMachine(u32 seed) {
    auto m = std::make_unique<Machine>();
    u32 s = seed;
    auto next = [&] {
        s = s * 1664525u + 1013904223u;
        return u8(s >> 24);
    };
    for (u8& b : m->ram) b = next();
    for (u8& b : m->charRom) b = next();
    for (u8& b : m->vic) b = next();
    for (u8& b : m->monitorScreen) b = next();
    m->pen = 11;
    m->bank = 3;
    m->powerOnImage.assign(10, 0x5A);
    return m;
}

// Whole-record comparison: a refused file must change nothing.
bool sameMachine(const Machine& a, const Machine& b) {
    return std::memcmp(a.ram, b.ram, sizeof a.ram) == 0 &&
           std::memcmp(a.charRom, b.charRom, sizeof a.charRom) == 0 &&
           std::memcmp(a.vic, b.vic, sizeof a.vic) == 0 && a.bank == b.bank && a.pen == b.pen &&
           std::memcmp(a.monitorScreen, b.monitorScreen, sizeof a.monitorScreen) == 0 &&
           a.powerOnImage == b.powerOnImage;
}

void put32(Bytes& f, size_t at, u32 v) {
    for (int k = 0; k < 4; ++k) f[at + k] = u8(v >> (8 * k));
}

// Layout written by hand, independent of the code under test.
Bytes handMadeFile(const Machine& m, i32 v1, i32 v2, u32 pen, u16 bank) {
    const std::string magic = "VORLIX PROJECT";
    Bytes f(magic.begin(), magic.end());
    f.resize(22);
    put32(f, 14, u32(v1));
    put32(f, 18, u32(v2));
    f.insert(f.end(), m.ram, m.ram + 65536);
    f.insert(f.end(), m.monitorScreen, m.monitorScreen + 1000);
    f.insert(f.end(), m.vic, m.vic + 47);
    f.resize(f.size() + 4);
    put32(f, f.size() - 4, pen);
    f.push_back(u8(bank));
    f.push_back(u8(bank >> 8));
    return f;
}

void expectRefused(const Bytes& file, const std::string& text) {
    auto m = filledMachine(99);
    auto before = filledMachine(99);
    std::string error = "untouched";
    EXPECT_FALSE(m->loadProject(file, error));
    EXPECT_EQ(error, text);
    EXPECT_TRUE(sameMachine(*m, *before));
}

TEST(Project, SaveLayout) {
    auto m = filledMachine(1);
    m->pen = 13;
    m->bank = 2;
    const Bytes f = m->saveProject();
    ASSERT_EQ(f.size(), 66611u);
    EXPECT_EQ(f, handMadeFile(*m, 1, 1, 13, 2));
    EXPECT_EQ(std::string(f.begin(), f.begin() + 14), "VORLIX PROJECT");
    EXPECT_EQ(f[14], 1);
    EXPECT_EQ(f[18], 1);
    EXPECT_EQ(f[22 + 0xD800], m->ram[0xD800]);
    EXPECT_EQ(f[66558 + 0x20], m->vic[0x20]);
    EXPECT_EQ(f[66605], 13);
    EXPECT_EQ(f[66609], 2);
    EXPECT_EQ(f[66610], 0);
}

TEST(Project, RoundTrip) {
    auto a = filledMachine(2);
    a->pen = 7;
    a->bank = 1;
    const Bytes f = a->saveProject();
    auto b = filledMachine(3);
    std::string error = "kept";
    ASSERT_TRUE(b->loadProject(f, error));
    EXPECT_EQ(error, "kept");
    EXPECT_EQ(std::memcmp(a->ram, b->ram, sizeof a->ram), 0);
    EXPECT_EQ(std::memcmp(a->vic, b->vic, sizeof a->vic), 0);
    EXPECT_EQ(std::memcmp(a->monitorScreen, b->monitorScreen, sizeof a->monitorScreen), 0);
    EXPECT_EQ(b->pen, 7);
    EXPECT_EQ(b->bank, 1);
    // The character ROM and the power-on image are not part of a project.
    auto c = filledMachine(3);
    EXPECT_EQ(std::memcmp(b->charRom, c->charRom, sizeof c->charRom), 0);
    EXPECT_EQ(b->powerOnImage, c->powerOnImage);
}

TEST(Project, Truncated) {
    auto m = filledMachine(4);
    Bytes f = m->saveProject();
    f.resize(66610);
    expectRefused(f, "Project file is truncated!");
    f.resize(14);
    expectRefused(f, "Project file is truncated!");
}

TEST(Project, NotAProject) {
    auto m = filledMachine(5);
    Bytes f = m->saveProject();
    Bytes shortFile(f.begin(), f.begin() + 13);
    expectRefused(shortFile, "Unknown file format (Not a Vorlix project)!");
    expectRefused(Bytes(), "Unknown file format (Not a Vorlix project)!");
    f[13] = 'Z';
    expectRefused(f, "Unknown file format (Not a Vorlix project)!");
    f[13] = 'T';
    f[0] = 'v';
    expectRefused(f, "Unknown file format (Not a Vorlix project)!");
}

TEST(Project, Versions) {
    auto src = filledMachine(6);
    expectRefused(handMadeFile(*src, 2, 1, 1, 1), "Unknown project version!");
    expectRefused(handMadeFile(*src, 1, 2, 1, 1), "Unknown project version!");
    expectRefused(handMadeFile(*src, 0x7FFFFFFF, 0, 1, 1), "Unknown project version!");
    for (auto [v1, v2] : {std::pair<i32, i32>{0, 0}, {-5, 1}, {1, -2147483647 - 1}}) {
        auto m = filledMachine(7);
        std::string error;
        EXPECT_TRUE(m->loadProject(handMadeFile(*src, v1, v2, 4, 0), error)) << v1 << "/" << v2;
        EXPECT_EQ(m->pen, 4);
        EXPECT_EQ(std::memcmp(m->ram, src->ram, sizeof src->ram), 0);
    }
}

TEST(Project, OversizedAccepted) {
    auto src = filledMachine(8);
    Bytes f = handMadeFile(*src, 1, 1, 5, 3);
    f.resize(f.size() + 1000, 0xEE);
    auto m = filledMachine(9);
    std::string error;
    ASSERT_TRUE(m->loadProject(f, error));
    EXPECT_EQ(m->bank, 3);
    EXPECT_EQ(m->pen, 5);
}

TEST(Project, PenAndBankLowBytesOnly) {
    auto src = filledMachine(10);
    auto m = filledMachine(11);
    std::string error;
    ASSERT_TRUE(m->loadProject(handMadeFile(*src, 1, 1, 0x12345678, 0x0106), error));
    EXPECT_EQ(m->pen, 8);
    EXPECT_EQ(m->bank, 2);
    ASSERT_TRUE(m->loadProject(handMadeFile(*src, 1, 1, 0xFFFFFFFF, 0xFFFF), error));
    EXPECT_EQ(m->pen, 15);
    EXPECT_EQ(m->bank, 3);
}

}  // namespace
