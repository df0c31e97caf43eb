#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "emitters/fan_bursts.h"

namespace {

struct FanWorld {
    World world;
    explicit FanWorld(int32_t count) {
        BuildAngleTables(world.angles);
        world.pool.particleCount = count;
        CreatePool(world.pool, world.random);
    }
    ~FanWorld() { DestroyPool(world.pool); }
};

Rng Advanced(Rng r, int draws) {
    for (int i = 0; i < draws; ++i) Rand(r);
    return r;
}

int32_t LiveCount(const ParticlePool& pool) {
    int32_t n = 0;
    for (int32_t i = 0; i < pool.particleCount; ++i) n += pool.particles[i].life > 0;
    return n;
}

}  // namespace

TEST(FanBursts, DrawCountsFollowTheSpokeCount) {
    struct Geometry { int32_t repeats, spokes; };
    for (const Geometry g : {Geometry{3, 5}, Geometry{2, 1}, Geometry{9, 9}, Geometry{4, 3}}) {
        FanWorld s(50);
        s.world.params.fanRepeats = g.repeats;
        s.world.params.fanSpokes = g.spokes;
        Rng expected = Advanced(s.world.random, 5 + 2 * g.spokes);
        SpawnFanBurst(s.world, 100, 100, 125, 0.37f, 7);
        EXPECT_EQ(s.world.random.state, expected.state) << g.repeats << " " << g.spokes;
        expected = Advanced(s.world.random, 5 + g.spokes);
        SpawnFanBurstFixed(s.world, 100, 100, 600, 0.18f, 10);
        EXPECT_EQ(s.world.random.state, expected.state) << g.repeats << " " << g.spokes;
    }
}

TEST(FanBursts, FixedBurstWithInitialGeometry) {
    FanWorld s(1900);
    Rng peek = Advanced(s.world.random, 9);
    const int32_t start = Rand(peek) & 255;  // last draw: starting angle
    const float speed = 0.18f;
    SpawnFanBurstFixed(s.world, 300, 200, 500, speed, 10);
    const Particle* p = s.world.pool.particles;
    EXPECT_EQ(LiveCount(s.world.pool), 150);
    EXPECT_EQ(p[149].life, 500);

    const float dA = float(double(speed) * s.world.angles.SinTable[start]);
    const float dB = float(double(speed) * s.world.angles.CosTable[start]);
    EXPECT_EQ(p[0].vx, dA);
    EXPECT_EQ(p[0].vy, dB);
    EXPECT_EQ(p[0].x, float(300.0 + 15.0 * double(dB)));
    EXPECT_EQ(p[0].y, float(200.0 - 15.0 * double(dA)));

    for (int32_t i = 0; i < 150; ++i) {
        // Steps are speed long; 3 repeats turned 120 degrees close the walk.
        if (i > 0) {
            EXPECT_NEAR(std::hypot(p[i].vx - p[i - 1].vx, p[i].vy - p[i - 1].vy), speed, 1e-5) << i;
        }
        EXPECT_NEAR(p[i].x - 300.0f, 15.0f * p[i].vy, 1e-3) << i;
        EXPECT_NEAR(p[i].y - 200.0f, -15.0f * p[i].vx, 1e-3) << i;
        EXPECT_EQ(p[i].color, p[0].color);
    }
    EXPECT_NEAR(std::hypot(p[149].vx, p[149].vy), 0.0, 1e-4);  // the walk closes
}

TEST(FanBursts, ShortPoolCutsOneSpokeAndPlacesNothingAfter) {
    FanWorld s(40);
    for (int32_t i = 0; i < 40; ++i) s.world.pool.particles[i].life = i < 17 ? 3 : 0;
    RebuildFreeIndex(s.world.pool);
    Rng expected = Advanced(s.world.random, 10);
    SpawnFanBurstFixed(s.world, 0, 0, 600, 0.18f, 10);
    EXPECT_EQ(s.world.random.state, expected.state);
    for (int32_t i = 0; i < 40; ++i) EXPECT_EQ(s.world.pool.particles[i].life, i < 17 ? 3 : 600) << i;
}

TEST(FanBursts, OutOfRangeGeometryIsClamped) {
    struct Geometry { int32_t repeats, spokes, spokesUsed; };
    const Geometry cases[] = {{0, 0, 1},   {1, 10, 9},  {-5, -3, 1},  {100, 50, 9},
                              {INT_MIN, INT_MAX, 9}, {INT_MAX, INT_MIN, 1}};
    for (const Geometry& g : cases) {
        FanWorld s(3000);
        s.world.params.fanRepeats = g.repeats;
        s.world.params.fanSpokes = g.spokes;
        Rng expected = Advanced(s.world.random, 5 + 2 * g.spokesUsed);
        SpawnFanBurst(s.world, 500, 300, 100, 0.2f, 31);
        EXPECT_EQ(s.world.random.state, expected.state) << g.repeats << " " << g.spokes;
        expected = Advanced(s.world.random, 5 + g.spokesUsed);
        SpawnFanBurstFixed(s.world, 500, 300, 100, 0.2f, 10);
        EXPECT_EQ(s.world.random.state, expected.state) << g.repeats << " " << g.spokes;
        EXPECT_EQ(s.world.params.fanRepeats, g.repeats);  // only local copies are clamped
        EXPECT_LE(LiveCount(s.world.pool), 9 * 9 * 31 + 9 * 9 * 10);
        for (int32_t i = 0; i < LiveCount(s.world.pool); ++i) EXPECT_TRUE(std::isfinite(s.world.pool.particles[i].vx));
    }
}
