// The hue ramp, the ring and spiral scans and the grand burst's slot layout.
#include "emitters/rainbow_bursts.h"

#include <gtest/gtest.h>

#include "world_fixture.h"

#include <array>
#include <cmath>

namespace {

using Fx = TestWorld;

std::array<int32_t, 9> Draws(uint32_t state) {  // the next nine draws, in order
    Rng r{state};
    return {Rand(r), Rand(r), Rand(r), Rand(r), Rand(r), Rand(r), Rand(r), Rand(r), Rand(r)};
}

template <class Want>
uint32_t StateWhere(Want want) {  // the first state whose next nine draws satisfy `want`
    for (uint32_t state = 1;; ++state) if (want(Draws(state))) return state;
}

Rng After(uint32_t state, int draws) {
    Rng r{state};
    for (int i = 0; i < draws; ++i) Rand(r);
    return r;
}

}  // namespace

TEST(RainbowColor, SamplePhasesAndPackings) {
    struct Sample { int32_t p, r, g, b; };
    const Sample samples[] = {{1, 127, 1, 0}, {50, 127, 63, 0}, {99, 127, 125, 0},
        {100, 127, 127, 0}, {101, 125, 127, 0}, {150, 63, 127, 0}, {200, 0, 127, 0},
        {250, 0, 127, 63}, {300, 0, 127, 127}, {350, 0, 63, 127}, {400, 0, 0, 127},
        {450, 63, 0, 127}, {500, 127, 0, 127}, {550, 127, 0, 63}, {599, 127, 0, 1}, {0, 127, 0, 0}};
    for (const Sample& s : samples) {
        const RainbowChannels c = RainbowColor(s.p);
        EXPECT_EQ(RainbowFull(c), uint32_t(s.r << 16 | s.g << 8 | s.b)) << s.p;
        EXPECT_EQ(RainbowHalf(c), uint32_t((s.r / 2) << 16 | (s.g / 2) << 8 | s.b / 2)) << s.p;
    }
    for (int32_t p = 0; p < 600; ++p) EXPECT_EQ(RainbowFull(RainbowColor(p)) & ~0x7F7F7Fu, 0u) << p;
}

TEST(RainbowBursts, RingAndSpiralTakeTheirPatternInOrderIntoFreeSlots) {
    const uint32_t state = StateWhere([](const auto& d) { return (d[5] & 7) == 7; });  // 480
    const int32_t quotas[] = {(Draws(state)[3] & 63) + 70, 480};
    const int32_t freeSlots[] = {0, 7, 8, 100, 101, 102, 300, 301, 598, 599};
    for (int32_t spiral : {0, 1}) {
        Fx whole(600, state), cut(600, state), full(600, state);
        cut.Fill(0, 600, 4); full.Fill(0, 600, 4);
        for (int32_t slot : freeSlots) cut.Fill(slot, slot + 1, 0);
        for (Fx* f : {&whole, &cut, &full})
            (spiral ? SpawnSpiralBurst : SpawnRainbowRing)(f->w, 50, 60);
        EXPECT_EQ(full.w.random.state, After(state, spiral ? 7 : 5).state);  // all draws first
        for (int32_t k = 0; k < 10; ++k) {  // ten free slots: the pattern's first ten steps
            const Particle &a = whole[k], &b = cut[freeSlots[k]];
            EXPECT_TRUE(a.life == b.life && a.color == b.color && a.vx == b.vx && a.vy == b.vy) << k;
            EXPECT_TRUE(b.x == 50.0f && b.y == 60.0f) << k;
        }
        EXPECT_EQ(whole[0].life, spiral ? 900 + 60 * (Draws(state)[6] & 1) : 370);
        EXPECT_NE(whole[quotas[spiral] - 1].life, 0); EXPECT_EQ(whole[quotas[spiral]].life, 0);
    }
}

TEST(RainbowBursts, SingleTurnRosettesAreRingsOrEllipses) {
    // Spiral m = 1, grand burst m = 3: half-axes S and, if the second angle reverses, |A - B|.
    // mix (low bits of the mix draw) picks colour draws with top bits set; last: k = 2, k = 1.
    struct Case { bool grand; int32_t variant, mix; };
    for (const Case& c : {Case{false, 0, 5}, Case{false, 1, 3}, Case{true, 0, 1},
                          Case{true, 1, 15}, Case{true, 1, 5}}) {
        const int32_t o = c.grand ? 2 : 0;  // the grand burst's shape draws come two later
        const uint32_t state = StateWhere([&](const auto& d) {  // m - 1 is o
            return (d[4 + o] & 15) == c.mix && (d[5 + o] & 7) == o && (d[6 + o] & 1) == c.variant; });
        const auto d = Draws(state);
        const double s = float((d[3 + o] & 31) * double(0.06f) + double(2.6f));
        const double k = c.grand ? ((d[6] & 15) + 5) * double(0.1f) : (d[4] & 15) * double(0.0666f);
        Fx f(1900, state); (c.grand ? SpawnGrandBurst : SpawnSpiralBurst)(f.w, 0, 0);
        EXPECT_EQ(f[0].life, c.grand ? (c.variant ? 1800 : 1660) : (c.variant ? 960 : 900));
        const int32_t color = c.grand ? (d[2] & 127) << 16 | (d[3] & 31) << 8 | (d[4] & 127)
                                      : (d[0] & 255) << 16 | (d[1] & 63) << 8 | (d[2] & 127);
        EXPECT_TRUE((c.grand && c.variant) || f[59].color == uint32_t(color)) << f[59].color;
        const double halfY = c.variant ? std::fabs(2 * k - 1) * s : s;
        for (int32_t i = 0; i < (c.grand ? 540 : 60); ++i)
            EXPECT_NEAR(std::pow(f[i].vx / s, 2) + std::pow(f[i].vy / halfY, 2), 1.0, 1e-4) << i;
    }
}

TEST(GrandBurst, SlotLayoutsAndLayers) {
    struct Case { int32_t count, m, written; };
    for (const Case& c : {Case{1900, 1, 1620}, Case{1700, 8, 1440}, Case{1000, 8, 1000},
                          Case{519, 1, 180}, Case{100, 1, 100}, Case{0, 1, 0}}) {
        const uint32_t state = StateWhere([&c](const auto& d) { return (d[7] & 7) == c.m - 1; });
        Fx f(c.count, state);
        f.Fill(0, c.count, 4);
        SpawnGrandBurst(f.w, 512, 384);
        EXPECT_EQ(f.w.random.state, After(state, 9).state);  // nine draws, slots or not
        const bool rainbow = c.count > 0 && f[0].life == 1800;
        for (int32_t i = 0; i < c.count; ++i) {
            ASSERT_EQ(f[i].life, i < c.written ? (rainbow ? 1800 : 1660) : 4) << c.count << " " << i;
            EXPECT_TRUE(i >= c.written || f[i].x == 512.0f) << i;
        }
        for (int32_t ray = 0; c.count == 1900 && ray < 180; ++ray) for (int32_t j : {1, 6, 8})
            EXPECT_NEAR(f[ray + 180 * j].vy, f[ray].vy * (6 - j) / 6.0, 1e-5) << ray << j;  // layers
    }
}
