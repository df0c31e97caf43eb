#include <gtest/gtest.h>

#include <cmath>

#include "emitters/scatter_bursts.h"

namespace {

struct ScatterWorld {
    World world;
    explicit ScatterWorld(int32_t count) {
        BuildAngleTables(world.angles);
        world.pool.particleCount = count;
        CreatePool(world.pool, world.random);
    }
    ~ScatterWorld() { DestroyPool(world.pool); }
};

Rng Advanced(Rng r, int draws) {
    for (int i = 0; i < draws; ++i) Rand(r);
    return r;
}

// Marks every slot live except the listed ones.
void FillAllBut(ParticlePool& pool, std::initializer_list<int32_t> freeSlots) {
    for (int32_t i = 0; i < pool.particleCount; ++i) pool.particles[i].life = 9;
    for (int32_t i : freeSlots) pool.particles[i].life = 0;
    RebuildFreeIndex(pool);
}

int CountLife(const ParticlePool& pool, int32_t life) {
    int n = 0;
    for (int32_t i = 0; i < pool.particleCount; ++i) n += pool.particles[i].life == life;
    return n;
}

}  // namespace

TEST(ScatterBursts, ShortPoolFillsFreeSlotsAndDrawsOnlyForThem) {
    ScatterWorld s(100);
    FillAllBut(s.world.pool, {3, 17, 40, 41, 99});
    Rng expected = Advanced(s.world.random, 4 + 3 * 5);
    SpawnScatterBurst(s.world, 200, 300, 300);
    EXPECT_EQ(s.world.random.state, expected.state);
    EXPECT_EQ(CountLife(s.world.pool, 9), 95);
    for (int32_t slot : {3, 17, 40, 41, 99}) {
        const Particle& p = s.world.pool.particles[slot];
        EXPECT_GE(p.life, 30);
        EXPECT_LE(p.life, 157);
        EXPECT_EQ(p.x, 200.0f);
        EXPECT_EQ(p.y, 300.0f);
        EXPECT_LE(std::hypot(p.vx, p.vy), 5.31f);  // at most 53 steps of 0.1
        EXPECT_EQ(p.color & 0x8080C0u, 0u);        // red, green < 128, blue < 64
    }

    FillAllBut(s.world.pool, {3, 17, 40, 41, 99});
    expected = Advanced(s.world.random, 4 + 2 * 5);
    SpawnSparkleBurst(s.world, 10, 20, 300);
    EXPECT_EQ(s.world.random.state, expected.state);
    EXPECT_EQ(CountLife(s.world.pool, 1500), 5);
    EXPECT_EQ(s.world.pool.particles[99].color & 0xC080C0u, 0u);
}

TEST(ScatterBursts, EmptyQuotaOrFullPoolOnlyMakesTheFirstDraws) {
    ScatterWorld s(50);
    Rng expected = Advanced(s.world.random, 4);
    SpawnScatterBurst(s.world, 0, 0, 0);
    SpawnSparkleBurst(s.world, 0, 0, -7);
    EXPECT_EQ(s.world.random.state, Advanced(expected, 4).state);
    EXPECT_EQ(CountLife(s.world.pool, 0), 50);

    FillAllBut(s.world.pool, {});
    expected = Advanced(s.world.random, 8 + 4 + 4);
    SpawnFlowerBurst(s.world, 1, 1);
    SpawnScatterBurst(s.world, 1, 1, 10);
    SpawnSparkleBurst(s.world, 1, 1, 10);
    EXPECT_EQ(s.world.random.state, expected.state);
    EXPECT_EQ(CountLife(s.world.pool, 9), 50);
}

TEST(FlowerBurst, FortyFreeSlotsGiveTheFirstHalfWithoutGaps) {
    ScatterWorld s(200);
    // 40 free slots scattered between live ones.
    for (int32_t i = 0; i < 200; ++i) s.world.pool.particles[i].life = (i % 3 == 1 && i < 120) ? 0 : 9;
    RebuildFreeIndex(s.world.pool);
    Rng expected = Advanced(s.world.random, 8);
    SpawnFlowerBurst(s.world, 512, 384);
    EXPECT_EQ(s.world.random.state, expected.state);
    int k = 0;  // k-th claimed slot takes direction 5k
    for (int32_t i = 0; i < 200; ++i) {
        const Particle& p = s.world.pool.particles[i];
        if (p.life == 9) continue;
        ASSERT_EQ(i % 3, 1);
        const double c = s.world.angles.CosTable[5 * k], sn = s.world.angles.SinTable[5 * k];
        const double speed = p.vx * c + p.vy * sn;  // signed: petal waists may fly backwards
        EXPECT_NEAR(p.vx, speed * c, 1e-5) << "slot " << i;
        EXPECT_NEAR(p.vy, speed * sn, 1e-5) << "slot " << i;
        EXPECT_LE(std::fabs(speed), 5.29);
        EXPECT_EQ(p.x, 512.0f);
        ++k;
    }
    EXPECT_EQ(k, 40);  // directions 0 to 195
}

TEST(FlowerBurst, NoPetalDepthGivesAPlainRing) {
    // Find a state whose fifth draw has low four bits 0 (q = 0).
    uint32_t state = 1;
    for (;; ++state) {
        Rng r = Advanced(Rng{state}, 4);
        if ((Rand(r) & 15) == 0) break;
    }
    ScatterWorld s(100);
    s.world.random.state = state;
    SpawnFlowerBurst(s.world, 0, 0);
    const Particle* p = s.world.pool.particles;
    EXPECT_EQ(CountLife(s.world.pool, p[0].life), 72);
    EXPECT_GE(p[0].vx, 1.5f);
    EXPECT_LE(p[0].vx, 5.28f);
    for (int i = 0; i < 72; ++i) EXPECT_NEAR(std::hypot(p[i].vx, p[i].vy), p[0].vx, 1e-5) << i;
}
