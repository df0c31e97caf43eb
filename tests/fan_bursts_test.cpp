// Fan bursts: draw counts, geometry clamping, the velocity walk and a short pool.
#include "emitters/fan_bursts.h"

#include <gtest/gtest.h>

#include "world_fixture.h"

#include <climits>
#include <cmath>

namespace {

struct Fx : TestWorld {
    explicit Fx(int32_t count, int32_t repeats = 3, int32_t spokes = 5) : TestWorld(count) {
        w.params.fanRepeats = repeats;
        w.params.fanSpokes = spokes;
    }
};

uint32_t StateAfter(int draws) {
    Rng r{1};
    for (int i = 0; i < draws; ++i) Rand(r);
    return r.state;
}

}  // namespace

TEST(FanBursts, DrawCountsFollowTheSpokesAndOutOfRangeGeometryIsClamped) {
    struct Geometry { int32_t repeats, spokes, spokesUsed; };
    const Geometry cases[] = {{3, 5, 5}, {2, 1, 1}, {9, 9, 9}, {4, 3, 3}, {0, 0, 1}, {1, 10, 9},
                              {-5, -3, 1}, {100, 50, 9}, {INT_MIN, INT_MAX, 9}, {INT_MAX, INT_MIN, 1}};
    for (const Geometry& g : cases) {
        Fx f(3000, g.repeats, g.spokes);
        SpawnFanBurst(f.w, 500, 300, 100, 0.2f, 31);
        EXPECT_EQ(f.w.random.state, StateAfter(5 + 2 * g.spokesUsed)) << g.repeats << " " << g.spokes;
        SpawnFanBurstFixed(f.w, 500, 300, 100, 0.2f, 10);
        EXPECT_EQ(f.w.random.state, StateAfter(10 + 3 * g.spokesUsed)) << g.repeats << " " << g.spokes;
        EXPECT_EQ(f.w.params.fanRepeats, g.repeats);  // only local copies are clamped
    }
}

TEST(FanBursts, FixedBurstWalksInVelocityStartsBesideThePointAndIsCutShort) {
    const int32_t start = int32_t(StateAfter(10) >> 16) & 255;  // the last, tenth draw
    Fx f(1900);  // initial geometry: 3 repeats of 5 spokes of 10
    SpawnFanBurstFixed(f.w, 300, 200, 500, 0.18f, 10);
    EXPECT_EQ(f[149].life, 500); EXPECT_EQ(f[150].life, 0);
    const float dA = float(double(0.18f) * f.w.angles.SinTable[start]);
    const float dB = float(double(0.18f) * f.w.angles.CosTable[start]);
    EXPECT_EQ(f[0].vx, dA); EXPECT_EQ(f[0].vy, dB);
    EXPECT_EQ(f[0].x, float(300.0 + 15.0 * double(dB))); EXPECT_EQ(f[0].y, float(200.0 - 15.0 * double(dA)));
    for (int32_t i = 1; i < 150; ++i) {  // steps speed long; start 15 x velocity, a quarter turn on
        EXPECT_NEAR(std::hypot(f[i].vx - f[i - 1].vx, f[i].vy - f[i - 1].vy), 0.18f, 1e-5) << i;
        EXPECT_NEAR(f[i].x - 300.0f, 15.0f * f[i].vy, 1e-3) << i;
        EXPECT_NEAR(f[i].y - 200.0f, -15.0f * f[i].vx, 1e-3) << i;
        EXPECT_EQ(f[i].color, f[0].color);
    }
    EXPECT_NEAR(std::hypot(f[149].vx, f[149].vy), 0.0, 1e-4);  // turned 120 degrees thrice: closed
    Fx cut(40);  // room for 23: two whole spokes, then three of the third
    for (int32_t i = 0; i < 17; ++i) cut[i].life = 3;
    RebuildFreeIndex(cut.w.pool);
    SpawnFanBurstFixed(cut.w, 300, 200, 500, 0.18f, 10);
    EXPECT_EQ(cut.w.random.state, f.w.random.state);
    for (int32_t i = 17; i < 40; ++i)
        EXPECT_TRUE(cut[i].vx == f[i - 17].vx && cut[i].vy == f[i - 17].vy && cut[i].x == f[i - 17].x) << i;
}
