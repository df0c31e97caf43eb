#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>

#include "emitters/rainbow_bursts.h"

namespace {

struct RainbowWorld {
    World world;
    explicit RainbowWorld(int32_t count) {
        BuildAngleTables(world.angles);
        world.pool.particleCount = count;
        CreatePool(world.pool, world.random);
    }
    ~RainbowWorld() { DestroyPool(world.pool); }
};

Rng Advanced(Rng r, int draws) {
    for (int i = 0; i < draws; ++i) Rand(r);
    return r;
}

// The first generator state from 1 up whose next nine draws satisfy `want`.
uint32_t FindState(const std::function<bool(const std::array<int32_t, 9>&)>& want) {
    for (uint32_t state = 1;; ++state) {
        Rng r{state};
        std::array<int32_t, 9> d;
        for (int32_t& v : d) v = Rand(r);
        if (want(d)) return state;
    }
}

void FillLive(ParticlePool& pool, int32_t life) {
    for (int32_t i = 0; i < pool.particleCount; ++i) pool.particles[i].life = life;
    RebuildFreeIndex(pool);
}

double Speed(const Particle& p) { return std::hypot(double(p.vx), double(p.vy)); }

}  // namespace

TEST(RainbowColor, SamplePhasesAndPackings) {
    struct Sample { int32_t p, r, g, b; };
    const Sample samples[] = {
        {1, 127, 1, 0},   {50, 127, 63, 0},  {99, 127, 125, 0}, {100, 127, 127, 0},
        {101, 125, 127, 0}, {150, 63, 127, 0}, {200, 0, 127, 0},  {250, 0, 127, 63},
        {300, 0, 127, 127}, {350, 0, 63, 127}, {400, 0, 0, 127},  {450, 63, 0, 127},
        {500, 127, 0, 127}, {550, 127, 0, 63}, {599, 127, 0, 1},  {0, 127, 0, 0},
    };
    for (const Sample& s : samples) {
        const RainbowChannels c = RainbowColor(s.p);
        EXPECT_EQ(c.first, s.r) << s.p;
        EXPECT_EQ(c.second, s.g) << s.p;
        EXPECT_EQ(c.third, s.b) << s.p;
        EXPECT_EQ(RainbowFull(c), uint32_t(s.r << 16 | s.g << 8 | s.b)) << s.p;
        EXPECT_EQ(RainbowHalf(c), uint32_t((s.r / 2) << 16 | (s.g / 2) << 8 | s.b / 2)) << s.p;
    }
    EXPECT_EQ(RainbowFull(RainbowColor(0)), 0x7F0000u);
    EXPECT_EQ(RainbowHalf(RainbowColor(0)), 0x3F0000u);
    for (int32_t p = 0; p < 600; ++p) {
        const RainbowChannels c = RainbowColor(p);
        for (int32_t v : {c.first, c.second, c.third}) {
            EXPECT_GE(v, 0) << p;
            EXPECT_LE(v, 127) << p;
        }
    }
}

TEST(RainbowBursts, DrawCountsHoldOnAFullPool) {
    RainbowWorld s(100);
    FillLive(s.world.pool, 4);
    Rng expected = Advanced(s.world.random, 5 + 7);
    SpawnRainbowRing(s.world, 5, 5);
    SpawnSpiralBurst(s.world, 5, 5);
    EXPECT_EQ(s.world.random.state, expected.state);
    for (int32_t i = 0; i < 100; ++i) EXPECT_EQ(s.world.pool.particles[i].life, 4);
    expected = Advanced(s.world.random, 9);
    SpawnGrandBurst(s.world, 5, 5);
    EXPECT_EQ(s.world.random.state, expected.state);
}

TEST(RainbowBursts, RingSkipsLiveSlotsAndWindsOutwards) {
    RainbowWorld s(300);
    for (int32_t i = 0; i < 20; ++i) s.world.pool.particles[i].life = 4;
    RebuildFreeIndex(s.world.pool);
    Rng peek = Advanced(s.world.random, 3);
    const int32_t quota = (Rand(peek) & 63) + 70;
    SpawnRainbowRing(s.world, 100, 200);
    const Particle* p = s.world.pool.particles;
    for (int32_t i = 0; i < 300; ++i)
        EXPECT_EQ(p[i].life, i < 20 ? 4 : i < 20 + quota ? 370 : 0) << i;
    // Particle i flies at (1 + 0.02 i) times the first one's speed, 6 degrees on.
    const double first = Speed(p[20]);
    for (int32_t i = 1; i < quota; ++i) {
        const Particle& a = p[20 + i - 1];
        const Particle& b = p[20 + i];
        EXPECT_NEAR(Speed(b) / first, 1.0 + 0.02 * i, 1e-5) << i;
        const double turn = std::atan2(a.vx * b.vy - a.vy * b.vx, a.vx * b.vx + a.vy * b.vy);
        EXPECT_NEAR(turn, -6.0 * 3.14159 / 180.0, 1e-5) << i;  // vx from sine: clockwise
        EXPECT_EQ(b.color & 0x808080u, 0u);
    }
}

TEST(RainbowBursts, SpiralIntoTenFreeSlotsIsThePatternsStart) {
    RainbowWorld whole(600), cut(600);
    const uint32_t state = FindState([](const auto& d) { return (d[5] & 7) == 7; });  // 480 particles
    whole.world.random.state = cut.world.random.state = state;
    FillLive(cut.world.pool, 4);
    const int32_t freeSlots[] = {0, 7, 8, 100, 101, 102, 300, 301, 598, 599};
    for (int32_t slot : freeSlots) cut.world.pool.particles[slot].life = 0;
    RebuildFreeIndex(cut.world.pool);
    SpawnSpiralBurst(whole.world, 50, 60);
    SpawnSpiralBurst(cut.world, 50, 60);
    for (int32_t k = 0; k < 10; ++k) {
        const Particle& a = whole.world.pool.particles[k];
        const Particle& b = cut.world.pool.particles[freeSlots[k]];
        EXPECT_EQ(a.life, b.life);
        EXPECT_EQ(a.vx, b.vx);
        EXPECT_EQ(a.vy, b.vy);
        EXPECT_EQ(a.color, b.color);
        EXPECT_EQ(b.x, 50.0f);
    }
    EXPECT_EQ(whole.world.pool.particles[479].life, whole.world.pool.particles[0].life);
    EXPECT_EQ(whole.world.pool.particles[480].life, 0);
}

TEST(RainbowBursts, SpiralWithOneLobeIsARingOrAnEllipse) {
    for (int32_t variant : {0, 1}) {
        RainbowWorld s(100);
        s.world.random.state =
            FindState([variant](const auto& d) { return (d[5] & 7) == 0 && (d[6] & 1) == variant; });
        SpawnSpiralBurst(s.world, 0, 0);
        const Particle* p = s.world.pool.particles;
        EXPECT_EQ(p[0].life, variant ? 960 : 900);
        EXPECT_EQ(p[59].life, p[0].life);
        EXPECT_EQ(p[60].life, 0);
        const double halfX = p[0].vx;                 // S
        const double halfY = variant ? p[15].vy : halfX;  // |A - B| at 90 degrees
        for (int32_t i = 0; i < 60; ++i) {
            const double e = (p[i].vx / halfX) * (p[i].vx / halfX) + (p[i].vy / halfY) * (p[i].vy / halfY);
            EXPECT_NEAR(e, 1.0, 1e-4) << variant << " " << i;
        }
    }
}

TEST(GrandBurst, SlotLayouts) {
    struct Case { int32_t count, m, written; };
    for (const Case& c : {Case{1900, 1, 1620}, Case{1700, 8, 1440}, Case{1000, 8, 1000}}) {
        RainbowWorld s(c.count);
        FillLive(s.world.pool, 4);
        s.world.random.state = FindState([&c](const auto& d) { return (d[7] & 7) == c.m - 1; });
        SpawnGrandBurst(s.world, 512, 384);
        const Particle* p = s.world.pool.particles;
        const bool rainbow = p[0].life == 1800;
        for (int32_t i = 0; i < c.count; ++i) {
            ASSERT_EQ(p[i].life, i < c.written ? (rainbow ? 1800 : 1660) : 4) << c.count << " " << i;
            if (i >= c.written) continue;
            EXPECT_EQ(p[i].x, 512.0f);
            EXPECT_EQ(p[i].color & (rainbow ? 0xC0C0C0u : 0x80E080u), 0u);
        }
    }
    // 1900 with m = 1: nine layers of 180, scaled 6/6 down to -2/6.
    RainbowWorld s(1900);
    s.world.random.state = FindState([](const auto& d) { return (d[7] & 7) == 0; });
    SpawnGrandBurst(s.world, 0, 0);
    const Particle* p = s.world.pool.particles;
    for (int32_t ray = 0; ray < 180; ++ray) {
        for (int32_t j = 1; j < 9; ++j) {
            const Particle& q = p[ray + 180 * j];
            EXPECT_NEAR(q.vx, p[ray].vx * (6 - j) / 6.0, 1e-5) << ray << " " << j;
            EXPECT_NEAR(q.vy, p[ray].vy * (6 - j) / 6.0, 1e-5) << ray << " " << j;
        }
        EXPECT_EQ(p[ray + 6 * 180].vx, 0.0f);
    }
}

TEST(GrandBurst, MixOfOneAndTwo) {
    // k = 1.0: every ray flies at S along its first angle alone.
    RainbowWorld one(1900);
    one.world.random.state = FindState([](const auto& d) { return (d[6] & 15) == 5 && (d[7] & 7) == 2; });
    SpawnGrandBurst(one.world, 0, 0);
    const double s1 = Speed(one.world.pool.particles[0]);
    EXPECT_GE(s1, 2.6 - 1e-6);
    EXPECT_LE(s1, 4.46 + 1e-6);
    for (int32_t ray = 0; ray < 540; ++ray) EXPECT_NEAR(Speed(one.world.pool.particles[ray]), s1, 3e-6) << ray;

    // k = 2.0: A = 2S, B = -S, so speeds run from S (ray 0) up to 3S.
    RainbowWorld two(1900);
    two.world.random.state = FindState([](const auto& d) { return (d[6] & 15) == 15 && (d[7] & 7) == 0; });
    SpawnGrandBurst(two.world, 0, 0);
    const double s2 = Speed(two.world.pool.particles[0]);
    double lo = 1e9, hi = 0;
    for (int32_t ray = 0; ray < 180; ++ray) {
        lo = std::min(lo, Speed(two.world.pool.particles[ray]));
        hi = std::max(hi, Speed(two.world.pool.particles[ray]));
    }
    EXPECT_NEAR(lo, s2, 1e-5);
    EXPECT_NEAR(hi / s2, 3.0, 0.01);
}

TEST(GrandBurst, TinyPoolsGetOnePartialLayer) {
    for (int32_t count : {0, 1, 100, 159, 160, 180, 339}) {
        RainbowWorld s(count);
        s.world.random.state = FindState([](const auto& d) { return (d[7] & 7) == 0; });  // 180 rays
        SpawnGrandBurst(s.world, 3, 4);
        for (int32_t i = 0; i < count; ++i)
            EXPECT_EQ(s.world.pool.particles[i].life > 0, i < 180) << count << " " << i;
    }
}

TEST(GrandBurst, ThreeLobesGiveRingsOrEllipses) {
    for (int32_t rainbow : {0, 1}) {
        RainbowWorld s(1900);
        // m = 3, the wanted variant, and k above 0.5 so the ellipse has height.
        s.world.random.state = FindState([rainbow](const auto& d) {
            return (d[7] & 7) == 2 && (d[8] & 1) == rainbow && (d[6] & 15) != 0;
        });
        SpawnGrandBurst(s.world, 0, 0);
        const Particle* p = s.world.pool.particles;  // 540 rays, 3 layers
        EXPECT_EQ(p[0].life, rainbow ? 1800 : 1660);
        const double halfX = p[0].vx;                   // S
        const double halfY = rainbow ? p[45].vy : halfX;  // |A - B| at 90 degrees
        for (int32_t ray = 0; ray < 540; ++ray) {
            const double ex = p[ray].vx / halfX, ey = p[ray].vy / halfY;
            EXPECT_NEAR(ex * ex + ey * ey, 1.0, 1e-4) << rainbow << " " << ray;
        }
    }
}
