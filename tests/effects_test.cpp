// Particle-borne effects: spark placement, values, draw order and the wind.
#include "emitters/effects.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

namespace {

struct WorldDeleter {
    void operator()(World* w) const {
        DestroyPool(w->pool);
        delete w;
    }
};
using WorldPtr = std::unique_ptr<World, WorldDeleter>;

WorldPtr MakeWorld(int32_t count, uint32_t seed = 1) {
    WorldPtr w(new World{});
    BuildAngleTables(w->angles);
    w->pool.particleCount = count;
    CreatePool(w->pool, w->random);
    SeedRandom(w->random, seed);
    return w;
}

// Writes a live particle directly; callers rebuild the free index after.
void Put(World& w, int32_t slot, int32_t life, float x = 0, float y = 0, float vx = 0,
         float vy = 0, uint32_t color = 0x123456, int32_t phase = 0) {
    Particle& p = w.pool.particles[slot];
    p = Particle{life, x, y, vx, vy, color, phase};
}

void FillLives(World& w, int32_t from, int32_t to, int32_t life) {
    for (int32_t i = from; i < to; ++i) w.pool.particles[i].life = life;
}

int32_t LiveCount(const World& w) {
    int32_t live = 0;
    for (int32_t i = 0; i < w.pool.particleCount; ++i) live += w.pool.particles[i].life != 0;
    return live;
}

// A seed whose first draw satisfies the predicate.
template <class Pred>
uint32_t SeedWhere(Pred pred) {
    for (uint32_t seed = 1;; ++seed) {
        Rng r{seed};
        if (pred(r)) return seed;
    }
}

}  // namespace

TEST(ForkSplit, TurnsTheHeadingBySixtyDegreesEachWay) {
    // A normal tick (first draw mod 8 != 0): range n/4 up, life 145.
    const uint32_t seed = SeedWhere([](Rng& r) { return Rand(r) % 8 != 0; });
    WorldPtr w = MakeWorld(100, seed);
    Put(*w, 99, 5, 12.5f, 40.25f, 9, 9, 0xABCDEF, 0);
    FillLives(*w, 2, 99, 50);
    w->pool.particles[60].life = 0;
    RebuildFreeIndex(w->pool);
    SpawnForkSplit(*w);
    const Particle* p = w->pool.particles;
    EXPECT_EQ(p[0].life, 145);
    EXPECT_EQ(p[1].life, 145);
    EXPECT_EQ(p[60].life, 0);  // two sparks only
    EXPECT_EQ(p[0].phase, 300);
    EXPECT_EQ(p[1].phase, 60);
    EXPECT_FLOAT_EQ(p[0].vx, -2.5980828f);
    EXPECT_FLOAT_EQ(p[0].vy, 1.4999884f);
    EXPECT_FLOAT_EQ(p[1].vx, 2.5980749f);
    EXPECT_FLOAT_EQ(p[1].vy, 1.5000024f);
    EXPECT_EQ(p[0].x, 12.5f);
    EXPECT_EQ(p[1].y, 40.25f);
    EXPECT_EQ(p[1].color, 0xABCDEFu);

    // Phase 200 gives 140 and 260; the draw is one per tick.
    WorldPtr v = MakeWorld(100, seed);
    Put(*v, 80, 9, 0, 0, 0, 0, 1, 200);
    RebuildFreeIndex(v->pool);
    Rng expected = v->random;
    Rand(expected);
    SpawnForkSplit(*v);
    EXPECT_EQ(v->pool.particles[0].phase, 140);
    EXPECT_EQ(v->pool.particles[1].phase, 260);
    EXPECT_EQ(v->random.state, expected.state);
}

TEST(ForkSplit, OneTickInEightSplitsTheSecondHalfIntoLongLivedSparks) {
    const uint32_t longSeed = SeedWhere([](Rng& r) { return Rand(r) % 8 == 0; });
    const uint32_t shortSeed = SeedWhere([](Rng& r) { return Rand(r) % 8 != 0; });
    for (uint32_t seed : {longSeed, shortSeed}) {
        WorldPtr w = MakeWorld(100, seed);
        Put(*w, 24, 3, 0, 0, 0, 0, 1, 10);  // below n/4: never a parent
        Put(*w, 40, 3, 0, 0, 0, 0, 1, 10);  // n/4 to n/2: only in normal ticks
        Put(*w, 70, 10, 0, 0, 0, 0, 1, 10); // life above 9: never a parent
        RebuildFreeIndex(w->pool);
        SpawnForkSplit(*w);
        const Particle* p = w->pool.particles;
        if (seed == longSeed) {
            EXPECT_EQ(p[0].life, 0);
        } else {
            EXPECT_EQ(p[0].life, 145);
            EXPECT_EQ(p[1].life, 145);
            EXPECT_EQ(p[2].life, 0);
        }
    }
    // A long tick with a parent in the second half.
    WorldPtr w = MakeWorld(100, longSeed);
    Put(*w, 50, 1, 0, 0, 0, 0, 1, 359);
    RebuildFreeIndex(w->pool);
    SpawnForkSplit(*w);
    EXPECT_EQ(w->pool.particles[0].life, 680);
    EXPECT_EQ(w->pool.particles[1].life, 680);
    EXPECT_EQ(w->pool.particles[0].phase, 299);
    EXPECT_EQ(w->pool.particles[1].phase, 59);
}

TEST(ApplyWind, NudgesLiveParticlesInTurningDirections) {
    WorldPtr w = MakeWorld(100);
    Put(*w, 3, 10);
    Put(*w, 7, 10);  // the free slots between do not turn the wind
    RebuildFreeIndex(w->pool);
    const Rng before = w->random;
    ApplyWind(*w);
    const Particle* p = w->pool.particles;
    EXPECT_FLOAT_EQ(p[3].vx, 0.17207281f);
    EXPECT_FLOAT_EQ(p[3].vy, 0.24574572f);
    EXPECT_FLOAT_EQ(p[7].vx, 0.16339159f);
    EXPECT_FLOAT_EQ(p[7].vy, 0.25160128f);
    EXPECT_EQ(p[7].vx, float(double(0.3f) * double(w->angles.SinTable[33])));
    EXPECT_EQ(p[7].vy, float(double(0.3f) * double(w->angles.CosTable[33])));
    EXPECT_EQ(w->effects.windTicks, 1);
    EXPECT_EQ(w->random.state, before.state);
}

TEST(ApplyWind, DrawsANewStepOnTheFortySixthTickEvenWithNothingLive) {
    WorldPtr w = MakeWorld(100);
    for (int tick = 1; tick <= 45; ++tick) ApplyWind(*w);
    EXPECT_EQ(w->effects.windTicks, 45);
    EXPECT_EQ(w->effects.windStep, -2);
    Rng expected = w->random;
    const int32_t steps[8] = {-2, -3, -5, -7, 2, 4, 6, 8};
    const int32_t step = steps[Rand(expected) % 8];
    ApplyWind(*w);
    EXPECT_EQ(w->effects.windTicks, 0);
    EXPECT_EQ(w->effects.windStep, step);
    EXPECT_EQ(w->random.state, expected.state);
    EXPECT_EQ(LiveCount(*w), 0);
}

TEST(ApplyWind, NegativeAnglesKeepTurningWithoutAJump) {
    const int32_t n = 40000;
    WorldPtr w = MakeWorld(n);
    FillLives(*w, 0, n, 1);
    RebuildFreeIndex(w->pool);
    w->effects.windStep = -7;
    ApplyWind(*w);
    const double strength = double(0.3f);
    for (int32_t i = 0; i < n; ++i) {
        const int32_t a = int32_t((((35 - 7 * int64_t(i)) % 360) + 360) % 360);
        ASSERT_EQ(w->pool.particles[i].vx, float(strength * double(w->angles.SinTable[a]))) << i;
        ASSERT_EQ(w->pool.particles[i].vy, float(strength * double(w->angles.CosTable[a]))) << i;
    }
}

TEST(LastEighth, SparksAheadOfTheParentBecomeParentsInTheSameTick) {
    // Only the last eighth (slots 88 to 99) is free but for one live parent.
    for (auto effect : {SpawnMirrorGlitter, SpawnSprayTrail, SpawnMirrorFan, SpawnMirrorCross,
                        SpawnEchoSpiral}) {
        WorldPtr w = MakeWorld(100);
        FillLives(*w, 0, 88, 300);
        Put(*w, 88, 300, 10, 20, 0.5f, 0.25f, 0x00FF00);
        RebuildFreeIndex(w->pool);
        effect(*w);
        EXPECT_EQ(LiveCount(*w), 100);
    }
    // Spray: parent 88 fills 89 to 94, its spark at 89 fills 95 to 99.
    WorldPtr w = MakeWorld(100);
    FillLives(*w, 0, 88, 300);
    Put(*w, 88, 300, 10, 20, 0.5f, 0.25f, 0x00FF00);
    RebuildFreeIndex(w->pool);
    SpawnSprayTrail(*w);
    const Particle* p = w->pool.particles;
    const float* sn = w->angles.SinTable;
    EXPECT_EQ(p[94].vx, float(0.5 + 2.0 * double(sn[15])));
    EXPECT_EQ(p[95].vx, float(double(p[89].vx) + 2.0 * double(sn[18])));
    EXPECT_EQ(p[99].life, 65);
    EXPECT_EQ(w->effects.effectAngle, 33);
    EXPECT_EQ(w->pool.particles[87].life, 300);  // below the range: untouched
}

TEST(EchoSpiral, DrawsTwicePerLiveParentAndSpiralsOutward) {
    // Full pool: no sparks, but two draws per live parent of the last eighth.
    WorldPtr w = MakeWorld(100);
    FillLives(*w, 0, 100, 40);
    // Slots 90 and 95 are free; parent 88's two sparks fill them, and they are
    // parents in turn: twelve parents, 24 draws.
    w->pool.particles[90].life = 0;
    w->pool.particles[95].life = 0;
    RebuildFreeIndex(w->pool);
    Rng expected = w->random;
    for (int i = 0; i < 2 * 12; ++i) Rand(expected);
    const int32_t angle = w->effects.effectAngle;
    SpawnEchoSpiral(*w);
    EXPECT_EQ(w->random.state, expected.state);
    EXPECT_EQ(LiveCount(*w), 100);
    EXPECT_EQ(w->effects.effectAngle, (angle + 2 * 6) % 360);  // two sparks

    // Values: mirrored through (320, 240), speed growing by step per spark.
    WorldPtr v = MakeWorld(200, 77);
    Put(*v, 199, 30, 100.5f, 50.25f, 1.0f, -2.0f, 0x0000FF);
    FillLives(*v, 3, 175, 30);  // free: 0 to 2 and 175 to 198
    RebuildFreeIndex(v->pool);
    v->effects.effectAngle = 354;
    Rng r = v->random;
    const float s = float(double((Rand(r) % 32) + 10) * double(0.1f));
    const float step = float(double(s) * double(0.006f));
    Rand(r);
    SpawnEchoSpiral(*v);
    const Particle* p = v->pool.particles;
    const AngleTables& t = v->angles;
    const double speed0 = double(s) * double(0.3f);
    EXPECT_EQ(p[0].vx, float(speed0 * double(t.SinTable[354]) + 1.0));
    EXPECT_EQ(p[1].vy, float((speed0 + double(step)) * double(t.CosTable[0]) - 2.0));
    EXPECT_EQ(p[2].vx, float((speed0 + 2.0 * double(step)) * double(t.SinTable[6]) + 1.0));
    EXPECT_EQ(p[2].x, 539.5f);
    EXPECT_EQ(p[2].y, 429.75f);
    EXPECT_EQ(v->random.state, r.state);
    EXPECT_EQ(p[198].life, 135);
    EXPECT_EQ(v->effects.effectAngle, (354 + 27 * 6) % 360);  // 27 free slots
}

TEST(AxisSparks, RangeStartsAtSlotFiftyAndOddIndicesClaimNothing) {
    // 50 slots: nothing happens, not even a draw.
    WorldPtr w = MakeWorld(50);
    FillLives(*w, 10, 50, 5);
    RebuildFreeIndex(w->pool);
    const Rng before = w->random;
    SpawnAxisSparks(*w);
    EXPECT_EQ(w->random.state, before.state);
    EXPECT_EQ(LiveCount(*w), 40);

    // 51 slots: only slot 50 is a parent. Choose a seed whose first direction
    // index is 4 to 7 and whose second is an axis.
    const uint32_t seed = SeedWhere([](Rng& r) {
        const int32_t a = Rand(r) % 8, b = Rand(r) % 8;
        return a >= 4 && b < 4;
    });
    WorldPtr v = MakeWorld(51, seed);
    FillLives(*v, 10, 50, 5);
    Put(*v, 50, 12, 7.0f, 8.0f, 5.0f, 5.0f, 0xFEDCBA);
    RebuildFreeIndex(v->pool);
    Rng r = v->random;
    Rand(r);
    const int32_t d = Rand(r) % 8;
    SpawnAxisSparks(*v);
    EXPECT_EQ(v->random.state, r.state);
    const Particle* p = v->pool.particles;
    const int32_t stepX[4] = {0, 0, 1, -1}, stepY[4] = {1, -1, 0, 0};
    // The unclaimed first spark leaves slot 0 for the second.
    EXPECT_EQ(p[0].life, 135);
    EXPECT_EQ(p[0].vx, float(3 * stepX[d]));
    EXPECT_EQ(p[0].vy, float(3 * stepY[d]));
    EXPECT_EQ(p[0].x, 7.0f);
    EXPECT_EQ(p[0].color, 0xFEDCBAu);
    EXPECT_EQ(p[1].life, 0);
    EXPECT_EQ(LiveCount(*v), 42);
}

TEST(HexSparks, SixDirectionsOrRestFromTheFirstEighthOn) {
    WorldPtr w = MakeWorld(80, 5);
    Put(*w, 9, 3);                       // below n/8: not a parent
    Put(*w, 10, 7, 3.0f, 4.0f, 9, 9, 2); // first slot of the range
    Put(*w, 11, 8);                      // too old a life to be a parent
    RebuildFreeIndex(w->pool);
    Rng r = w->random;
    const int32_t d0 = Rand(r) % 8, d1 = Rand(r) % 8;
    SpawnHexSparks(*w);
    EXPECT_EQ(w->random.state, r.state);
    const float hx[8] = {1, -1, 0.5f, -0.5f, -0.5f, 0.5f, 0, 0};
    const float hy[8] = {0, 0, 0.866f, 0.866f, -0.866f, -0.866f, 0, 0};
    const Particle* p = w->pool.particles;
    EXPECT_EQ(p[0].vx, float(1.5 * double(hx[d0])));
    EXPECT_EQ(p[0].vy, float(1.5 * double(hy[d0])));
    EXPECT_EQ(p[1].vy, float(1.5 * double(hy[d1])));
    EXPECT_EQ(p[1].life, 125);
    EXPECT_EQ(p[1].x, 3.0f);
    EXPECT_EQ(p[2].life, 0);
    EXPECT_EQ(LiveCount(*w), 5);
}

TEST(EffectAngle, StaysInRangeAndReturnsAfter120Sprays) {
    WorldPtr w = MakeWorld(100);
    Put(*w, 99, 1000);
    RebuildFreeIndex(w->pool);
    for (int tick = 0; tick < 20; ++tick) {  // six sprays a tick
        SpawnSprayTrail(*w);
        ASSERT_GE(w->effects.effectAngle, 0);
        ASSERT_LT(w->effects.effectAngle, 360);
        for (int32_t s = 0; s < 6; ++s) FreeSlot(w->pool, s);
    }
    EXPECT_EQ(w->effects.effectAngle, 0);
    w->effects.effectAngle = 357;
    SpawnSprayTrail(*w);
    EXPECT_EQ(w->pool.particles[1].vx, float(2.0 * double(w->angles.SinTable[0])));
    EXPECT_EQ(w->effects.effectAngle, 15);
}

TEST(Mirror, SparksMirrorAcrossTheDiagonalAndTheToggleAlternates) {
    WorldPtr w = MakeWorld(100);
    Put(*w, 95, 20, 10.0f, 700.5f, 1.5f, -0.25f, 0x112233);
    RebuildFreeIndex(w->pool);
    SpawnMirrorFan(*w);
    const Particle* p = w->pool.particles;
    for (int k = -3; k <= 2; ++k) {
        const Particle& s = p[k + 3];
        EXPECT_EQ(s.life, 175);
        EXPECT_EQ(s.x, 700.5f);
        EXPECT_EQ(s.y, 10.0f);
        EXPECT_EQ(s.vx, -0.25f + float(k));
        EXPECT_EQ(s.vy, 1.5f + float(k));
        EXPECT_EQ(s.color, 0x112233u);
    }
    EXPECT_FALSE(w->effects.mirrorToggle);  // six flips

    // Cross: the offset alternates between the axes, starting on vx while the
    // toggle is false.
    for (int32_t s = 0; s < 6; ++s) FreeSlot(w->pool, s);
    SpawnMirrorCross(*w);
    for (int k = -3; k <= 2; ++k) {
        const Particle& s = p[k + 3];
        const bool onVx = (k + 3) % 2 == 0;
        EXPECT_EQ(s.vx, onVx ? -0.25f + float(k) : -0.25f) << k;
        EXPECT_EQ(s.vy, onVx ? 1.5f : 1.5f + float(k)) << k;
    }

    // One free slot: a single fan spark leaves the toggle set, so the next
    // cross spark puts its offset on vy.
    WorldPtr v = MakeWorld(100);
    FillLives(*v, 1, 100, 9);
    Put(*v, 88, 9, 1.0f, 2.0f, 0.5f, 0.75f);
    RebuildFreeIndex(v->pool);
    SpawnMirrorFan(*v);
    EXPECT_TRUE(v->effects.mirrorToggle);
    FreeSlot(v->pool, 0);
    SpawnMirrorCross(*v);
    EXPECT_EQ(v->pool.particles[0].vy, 0.5f - 3.0f);
    EXPECT_EQ(v->pool.particles[0].vx, 0.75f);
    EXPECT_EQ(v->pool.particles[0].x, 2.0f);
    EXPECT_FALSE(v->effects.mirrorToggle);
}

TEST(MirrorGlitter, SmallWholeVelocitiesFromTwoDrawsPerSpark) {
    WorldPtr w = MakeWorld(100, 3);
    FillLives(*w, 2, 100, 5);
    Put(*w, 88, 5, 30.0f, 40.0f);  // the first parent takes both free slots
    RebuildFreeIndex(w->pool);
    Rng r = w->random;
    const int32_t a = Rand(r), b = Rand(r), c = Rand(r), d = Rand(r);
    SpawnMirrorGlitter(*w);
    EXPECT_EQ(w->random.state, r.state);  // two sparks found slots, four draws
    const Particle* p = w->pool.particles;
    EXPECT_EQ(p[0].vx, float(a % 4 - 1));
    EXPECT_EQ(p[0].vy, float(b % 4 - 2));
    EXPECT_EQ(p[1].vx, float(c % 4 - 1));
    EXPECT_EQ(p[1].vy, float(d % 4 - 2));
    EXPECT_EQ(p[1].x, 40.0f);
    EXPECT_EQ(p[1].y, 30.0f);
    EXPECT_EQ(LiveCount(*w), 100);
}

TEST(Effects, TinyPoolsStayInBounds) {
    for (int32_t n : {0, 1, 2, 7, 8, 9, 49, 50, 51}) {
        WorldPtr w = MakeWorld(n);
        for (int32_t i = 0; i < n; i += 2) Put(*w, i, 1 + i % 9, 1, 1, 0, 0, 1, 7);
        RebuildFreeIndex(w->pool);
        for (auto effect : {SpawnMirrorGlitter, SpawnSprayTrail, SpawnMirrorFan, SpawnMirrorCross,
                            SpawnEchoSpiral, SpawnAxisSparks, SpawnHexSparks, SpawnForkSplit,
                            ApplyWind}) {
            effect(*w);
        }
        EXPECT_GE(w->effects.effectAngle, 0);
        EXPECT_LT(w->effects.effectAngle, 360);
    }
}
