// Scatter, sparkle and flower bursts: free-slot scans, draw counts and the flower's shape.
#include "emitters/scatter_bursts.h"

#include <gtest/gtest.h>

#include "world_fixture.h"

#include <cmath>

namespace {

struct Fx : TestWorld {
    using TestWorld::TestWorld;
    void Lives(int32_t (*life)(int32_t)) {  // slot i gets life(i); rebuilds the free index
        for (int32_t i = 0; i < w.pool.particleCount; ++i) w.pool.particles[i].life = life(i);
        RebuildFreeIndex(w.pool);
    }
};

Rng After(uint32_t state, int draws) {
    Rng r{state};
    for (int i = 0; i < draws; ++i) Rand(r);
    return r;
}

}  // namespace

TEST(ScatterBursts, FreeSlotsOnlyAndDrawsOnlyForThem) {
    for (int32_t sparkle : {0, 1}) {  // no quota, then five free slots for 300, then no room
        Fx f(100);
        f.Lives([](int32_t i) { return i == 3 || i == 17 || i == 40 || i == 41 || i == 99 ? 0 : 9; });
        const auto spawn = sparkle ? SpawnSparkleBurst : SpawnScatterBurst;
        spawn(f.w, 0, 0, sparkle ? -7 : 0);
        spawn(f.w, 200, 300, 300);
        spawn(f.w, 1, 1, 10); SpawnFlowerBurst(f.w, 1, 1);  // no room: first draws only
        EXPECT_EQ(f.w.random.state, After(1, 4 + (4 + (sparkle ? 2 : 3) * 5) + 4 + 8).state);
        EXPECT_EQ(f[0].life, 9);
        for (int32_t slot : {3, 17, 40, 41, 99}) {
            const Particle& p = f[slot];
            EXPECT_TRUE(sparkle ? p.life == 1500 : p.life >= 30 && p.life <= 157) << p.life;
            EXPECT_EQ(p.color & (sparkle ? 0xC080C0u : 0x8080C0u), 0u);  // channel ranges
            EXPECT_TRUE(p.x == 200 && p.y == 300 && std::hypot(p.vx, p.vy) <= (sparkle ? 4.71 : 5.31));
        }
    }
}

TEST(FlowerBurst, ScatteredFreeSlotsTakeTheStepsInOrderAndNoDepthIsARing) {
    Fx f(200);  // 40 free slots between live ones: directions 0 to 195
    f.Lives([](int32_t i) { return i % 3 == 1 && i < 120 ? 0 : 9; });
    SpawnFlowerBurst(f.w, 512, 384);
    for (int32_t k = 0; k < 40; ++k) {  // the k-th free slot flies along 5k degrees, either way
        const Particle& p = f[3 * k + 1];
        EXPECT_NEAR(p.vx * f.w.angles.SinTable[5 * k], p.vy * f.w.angles.CosTable[5 * k], 1e-5) << k;
        EXPECT_TRUE(std::hypot(p.vx, p.vy) <= 5.29 && p.life >= 147 && p.life <= 402 && p.x == 512) << k;
    }
    uint32_t state = 1;  // the first whose fifth draw has low four bits 0: q = 0
    for (Rng r = After(state, 4); (Rand(r) & 15) != 0; r = After(++state, 4)) {}
    Rng r = After(state, 3);
    const float s = float((Rand(r) & 63) * double(0.06f) + double(1.5f));
    Fx g(100, state);
    SpawnFlowerBurst(g.w, 0, 0);
    EXPECT_EQ(g[0].vx, s); EXPECT_EQ(g[72].life, 0); EXPECT_LE(g[0].life, 402);  // its life draw has bit 8 set
    for (int i = 0; i < 72; ++i) EXPECT_NEAR(std::hypot(g[i].vx, g[i].vy), s, 1e-5) << i;
}
