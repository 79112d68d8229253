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

TEST(Project, SaveLayoutAndRoundTrip) {
    auto a = filledMachine(2);
    a->pen = 7;
    a->bank = 1;
    const Bytes f = a->saveProject();
    ASSERT_EQ(f.size(), 66611u);
    EXPECT_EQ(f, handMadeFile(*a, 1, 1, 7, 1));
    auto b = filledMachine(3);
    std::string error = "kept";
    ASSERT_TRUE(b->loadProject(f, error));
    EXPECT_EQ(error, "kept");
    // The character ROM and the power-on image are not part of a project.
    auto c = filledMachine(3);
    std::memcpy(c->ram, a->ram, sizeof c->ram);
    std::memcpy(c->vic, a->vic, sizeof c->vic);
    std::memcpy(c->monitorScreen, a->monitorScreen, sizeof c->monitorScreen);
    c->pen = 7;
    c->bank = 1;
    EXPECT_TRUE(sameMachine(*b, *c));
}

TEST(Project, RefusedFilesChangeNothing) {
    auto src = filledMachine(6);
    const Bytes good = handMadeFile(*src, 1, 1, 1, 1);
    auto with = [&](size_t at, u8 value) {
        Bytes f = good;
        f[at] = value;
        return f;
    };
    const std::string notOurs = "Unknown file format (Not a Vorlix project)!", truncated = "Project file is truncated!",
                      version = "Unknown project version!";
    const std::pair<Bytes, std::string> rows[] = {
        {Bytes(good.begin(), good.begin() + 66610), truncated}, {Bytes(good.begin(), good.begin() + 14), truncated},
        {Bytes(good.begin(), good.begin() + 13), notOurs},      {Bytes(), notOurs},
        {with(13, 'Z'), notOurs},                               {with(0, 'v'), notOurs},
        {handMadeFile(*src, 2, 1, 1, 1), version},              {handMadeFile(*src, 1, 2, 1, 1), version},
        {handMadeFile(*src, 0x7FFFFFFF, 0, 1, 1), version},
    };
    for (const auto& [file, text] : rows) {
        auto m = filledMachine(99);
        auto before = filledMachine(99);
        std::string error = "untouched";
        EXPECT_FALSE(m->loadProject(file, error)) << text << " " << file.size();
        EXPECT_EQ(error, text) << file.size();
        EXPECT_TRUE(sameMachine(*m, *before)) << text << " " << file.size();
    }
}

TEST(Project, AcceptedVersionsSizesPensAndBanks) {
    // Versions below 2 (signed), longer files, and only the low bits of pen and bank count.
    const struct {
        i32 v1, v2;
        u32 pen;
        u16 bank;
        size_t extra;
        int wantPen, wantBank;
    } rows[] = {{0, 0, 4, 0, 0, 4, 0},   {-5, 1, 4, 0, 0, 4, 0},          {1, -2147483647 - 1, 4, 0, 0, 4, 0},
                {1, 1, 5, 3, 1000, 5, 3}, {1, 1, 0x12345678, 0x0106, 0, 8, 2}, {1, 1, 0xFFFFFFFF, 0xFFFF, 0, 15, 3}};
    auto src = filledMachine(10);
    for (const auto& r : rows) {
        Bytes f = handMadeFile(*src, r.v1, r.v2, r.pen, r.bank);
        f.resize(f.size() + r.extra, 0xEE);
        auto m = filledMachine(11);
        std::string error;
        EXPECT_TRUE(m->loadProject(f, error)) << r.v1 << "/" << r.v2;
        EXPECT_EQ(m->pen, r.wantPen);
        EXPECT_EQ(m->bank, r.wantBank);
        EXPECT_EQ(std::memcmp(m->ram, src->ram, sizeof src->ram), 0);
    }
}

}  // namespace
