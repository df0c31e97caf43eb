// Particle-borne effects: spark placement, values, draw order and the wind.
#include "emitters/effects.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include <gtest/gtest.h>

#include "engine/motion.h"
#include "world_fixture.h"

namespace {

struct Fx : TestWorld {
    using TestWorld::TestWorld;
    // A direct write of a whole particle; the free index is rebuilt.
    void Put(int32_t slot, int32_t life, float x = 0, float y = 0, float vx = 0, float vy = 0,
             uint32_t color = 0x123456, int32_t phase = 0) {
        w.pool.particles[slot] = Particle{life, x, y, vx, vy, color, phase};
        RebuildFreeIndex(w.pool);
    }
};

Rng After(Rng r, int draws) {
    for (int i = 0; i < draws; ++i) Rand(r);
    return r;
}

template <class Pred>
uint32_t SeedWhere(Pred pred) {
    for (uint32_t seed = 1;; ++seed)
        if (Rng r{seed}; pred(r)) return seed;
}

}  // namespace

TEST(ForkSplit, SixtyDegreesEachWayAndRangesByTick) {
    const uint32_t normal = 1;  // first draw 41: a normal tick
    const uint32_t longTick = SeedWhere([](Rng& r) { return Rand(r) % 8 == 0; });
    struct Case { uint32_t seed; int32_t slot, life, phase, sparkLife; };
    for (const Case& c : {Case{normal, 25, 9, 0, 145}, Case{normal, 80, 9, 200, 145},
                          Case{normal, 24, 3, 10, 0}, Case{normal, 40, 10, 0, 0},
                          Case{longTick, 49, 3, 10, 0}, Case{longTick, 50, 1, 359, 680}}) {
        Fx f(100, c.seed);
        f.Put(c.slot, c.life, 12.5f, 40.25f, 9, 9, 0xABCDEF, c.phase);
        SpawnForkSplit(f.w);
        EXPECT_EQ(f.w.random.state, After(Rng{c.seed}, 1).state);  // one draw per tick
        EXPECT_EQ(f[0].life, c.sparkLife) << c.slot;
        if (c.sparkLife == 0) continue;
        EXPECT_EQ(f[1].life, c.sparkLife); EXPECT_EQ(f[2].life, 0);
        EXPECT_EQ(f[0].phase, (c.phase + 300) % 360); EXPECT_EQ(f[1].phase, (c.phase + 60) % 360);
        EXPECT_EQ(f[1].x, 12.5f); EXPECT_EQ(f[1].y, 40.25f); EXPECT_EQ(f[1].color, 0xABCDEFu);
        if (c.phase != 0) continue;
        EXPECT_EQ(f[0].vx, -2.5980828f); EXPECT_EQ(f[0].vy, 1.4999884f);
        EXPECT_EQ(f[1].vx, 2.5980749f); EXPECT_EQ(f[1].vy, 1.5000024f);
    }
}

TEST(ApplyWind, TurningNudgesAndANewStepEveryFortySixTicks) {
    Fx f(100);
    f.Put(3, 10);
    f.Put(7, 10);  // the free slots between do not turn the wind
    ApplyWind(f.w);
    EXPECT_EQ(f[3].vx, 0.17207281f); EXPECT_EQ(f[3].vy, 0.24574572f);
    EXPECT_EQ(f[7].vx, 0.16339159f); EXPECT_EQ(f[7].vy, 0.25160128f);
    EXPECT_EQ(f.w.effects.windTicks, 1); EXPECT_EQ(f.w.random.state, 1u);  // no draw
    Fx e(100);  // nothing live: the ticks still count, the 46th draws a step
    for (int tick = 1; tick <= 45; ++tick) ApplyWind(e.w);
    Rng expected = e.w.random;
    const int32_t steps[8] = {-2, -3, -5, -7, 2, 4, 6, 8}, step = steps[Rand(expected) % 8];
    ApplyWind(e.w);
    EXPECT_EQ(e.w.effects.windTicks, 0); EXPECT_EQ(e.w.effects.windStep, step);
    EXPECT_EQ(e.w.random.state, expected.state);
    Fx g(6000);  // step -7: the angle passes below 0 at the 5149th live particle and turns on
    g.Fill(0, 6000, 1);
    g.w.effects.windStep = -7;
    ApplyWind(g.w);
    EXPECT_EQ(g[5148].vx, float(double(0.3f) * double(g.w.angles.SinTable[359])));
    EXPECT_EQ(g[5149].vy, float(double(0.3f) * double(g.w.angles.CosTable[352])));
}

TEST(LastEighth, SparksAheadOfTheParentAreParentsInTheSameTick) {
    bool toggle = false;  // carried on, so the cross starts where the fan left it
    for (auto effect : {SpawnMirrorGlitter, SpawnSprayTrail, SpawnMirrorFan, SpawnMirrorCross,
                        SpawnEchoSpiral}) {
        Fx f(100);  // free: the last eighth (88 to 99) but for one parent
        f.Fill(0, 88, 300);
        f.Put(88, 300, 10, 20, 0.5f, 0.25f, 0x00FF00);
        f.w.effects.effectAngle = 357;
        f.w.effects.mirrorToggle = toggle;
        Rng r = f.w.random;
        effect(f.w);
        toggle = f.w.effects.mirrorToggle;
        EXPECT_EQ(f[99].color, 0x00FF00u);  // every slot up to 99 taken
        const float* sn = f.w.angles.SinTable;
        if (effect == SpawnMirrorGlitter) {  // two draws for each of the 11 sparks
            const int32_t a = Rand(r), b = Rand(r);
            EXPECT_EQ(f[89].vx, float(a % 4 - 1)); EXPECT_EQ(f[89].vy, float(b % 4 - 2));
            EXPECT_EQ(f[89].x, 20.0f); EXPECT_EQ(f[89].y, 10.0f); EXPECT_EQ(f[89].life, 23);
            EXPECT_EQ(f.w.random.state, After(r, 20).state);
        } else if (effect == SpawnSprayTrail) {  // 89 to 94 from 88, 95 to 99 from 89
            EXPECT_EQ(f[90].vx, float(0.5 + 2.0 * double(sn[0])));
            EXPECT_EQ(f[95].vx, float(double(f[89].vx) + 2.0 * double(sn[15])));
            EXPECT_EQ(f[99].life, 65); EXPECT_EQ(f.w.effects.effectAngle, 30);
        } else if (effect == SpawnEchoSpiral) {  // two draws for each of the 12 live parents
            const float s = float(double((Rand(r) % 32) + 10) * double(0.1f));
            const double step = double(float(double(s) * double(0.006f)));
            EXPECT_EQ(f[89].vx, float(double(s) * double(0.3f) * double(sn[357]) + 0.5));
            EXPECT_EQ(f[90].vx, float((double(s) * double(0.3f) + step) * double(sn[3]) + 0.5));
            EXPECT_EQ(f[90].x, 630.0f); EXPECT_EQ(f[90].y, 460.0f); EXPECT_EQ(f[90].life, 135);
            EXPECT_EQ(f.w.random.state, After(r, 23).state);
            EXPECT_EQ(f.w.effects.effectAngle, (357 + 11 * 6) % 360);
        } else {  // mirror fan, then cross: the fan's 11 flips leave the toggle set
            const bool cross = effect == SpawnMirrorCross;
            for (int k = -3; k <= 2; ++k) {
                const Particle& s = f[k + 92];
                const bool odd = k % 2 != 0;  // the cross puts odd k on vy
                EXPECT_EQ(s.vx, 0.25f + (!cross || !odd ? float(k) : 0.0f)) << cross << k;
                EXPECT_EQ(s.vy, 0.5f + (!cross || odd ? float(k) : 0.0f)) << cross << k;
                EXPECT_EQ(s.x, 20.0f); EXPECT_EQ(s.y, 10.0f); EXPECT_EQ(s.life, 175);
            }
            EXPECT_EQ(toggle, !cross);
        }
    }
}

TEST(AxisAndHexSparks, ParentRangesLivesAndDirections) {
    // Axis, 51 slots: only slot 50 is a parent; first index 4 to 7, second an axis.
    Fx v(51, SeedWhere([](Rng& r) { return Rand(r) % 8 >= 4 && Rand(r) % 8 < 4; }));
    v.Fill(10, 50, 5);
    v.Put(50, 12, 7.0f, 8.0f, 5.0f, 5.0f, 0xFEDCBA);
    Rng r = After(v.w.random, 1);
    const int32_t d = Rand(r) % 8, stepX[4] = {0, 0, 1, -1}, stepY[4] = {1, -1, 0, 0};
    SpawnAxisSparks(v.w);
    EXPECT_EQ(v.w.random.state, r.state);
    // The unclaimed first spark still moves the scan past slot 0.
    EXPECT_EQ(v[0].life, 0);
    EXPECT_EQ(v[1].life, 135);
    EXPECT_EQ(v[1].vx, float(3 * stepX[d])); EXPECT_EQ(v[1].vy, float(3 * stepY[d]));
    EXPECT_EQ(v[1].x, 7.0f); EXPECT_EQ(v[1].color, 0xFEDCBAu);
    EXPECT_EQ(v[2].life, 0);
    Fx f(80, 5);  // hex
    f.Put(9, 3);                        // below n/8: not a parent
    f.Put(10, 7, 3.0f, 4.0f, 9, 9, 2);  // first slot of the range
    f.Put(11, 8);                       // too old to be a parent
    r = f.w.random;
    const int32_t d0 = Rand(r) % 8, d1 = Rand(r) % 8;
    SpawnHexSparks(f.w);
    EXPECT_EQ(f.w.random.state, r.state);
    const float hx[8] = {1, -1, 0.5f, -0.5f, -0.5f, 0.5f, 0, 0};
    const float hy[8] = {0, 0, 0.866f, 0.866f, -0.866f, -0.866f, 0, 0};
    EXPECT_EQ(f[0].vx, float(1.5 * hx[d0])); EXPECT_EQ(f[0].vy, float(1.5 * hy[d0]));
    EXPECT_EQ(f[1].vy, float(1.5 * hy[d1])); EXPECT_EQ(f[1].life, 125); EXPECT_EQ(f[1].x, 3.0f);
    EXPECT_EQ(f[2].life, 0);
}

// Every effect, on pools from empty to crowded, with parents anywhere in the
// live area, then a frame of motion: the pool stays sound. Lives stay within
// what effects give (the longest is a fork-split spark's 680), the free-slot
// index agrees with the lives, colours keep their top byte clear, and what
// stays alive is inside the live area.
TEST(Effects, EveryEffectKeepsThePoolSound) {
    constexpr int32_t kLongestLife = 680;
    for (int32_t n : {0, 1, 2, 7, 8, 9, 49, 50, 51, 400, 1900}) {
        Fx f(n, uint32_t(n) * 7919u + 1u);
        for (int32_t i = 0; i < n; i += 2) {
            const float x = float(3 + Rand(f.w.random) % 1019), y = float(3 + Rand(f.w.random) % 712);
            f.Put(i, 1 + Rand(f.w.random) % 200, x, y, float(Rand(f.w.random) % 9 - 4), float(Rand(f.w.random) % 9 - 4),
                  uint32_t(Rand(f.w.random)) << 9 & 0xFFFFFF, Rand(f.w.random) % 256);
        }
        for (auto effect : {SpawnMirrorGlitter, SpawnSprayTrail, SpawnMirrorFan, SpawnMirrorCross, SpawnEchoSpiral,
                            SpawnAxisSparks, SpawnHexSparks, SpawnForkSplit, ApplyWind}) {
            effect(f.w);
            MoveParticles(f.w.pool, f.w.params);
            int32_t live = 0, lowestFree = n;
            for (int32_t i = 0; i < n; ++i) {
                const Particle& p = f[i];
                const bool freeBit = f.w.pool.freeBits[i / 64] >> (i % 64) & 1;
                ASSERT_EQ(freeBit, p.life == 0) << "slot " << i << " of " << n;
                ASSERT_TRUE(p.life >= 0 && p.life <= kLongestLife) << p.life;
                if (p.life == 0) {
                    lowestFree = std::min(lowestFree, i);
                    continue;
                }
                ++live;
                ASSERT_EQ(p.color >> 24, 0u) << "slot " << i;
                ASSERT_TRUE(p.x >= 3.0f && p.x <= 1021.0f && p.y >= 3.0f && p.y < 715.0f) << p.x << ", " << p.y;
            }
            EXPECT_LE(f.w.pool.lowestFree, lowestFree);  // every slot below it is live
            int32_t freeCount = 0;
            for (int32_t word = 0; word < (n + 63) / 64; ++word) freeCount += std::popcount(f.w.pool.freeBits[word]);
            EXPECT_EQ(live, n - freeCount);
        }
    }
}

TEST(MirrorCross, TheComponentWithoutOffsetIsCopiedSignedZeroAndAll) {
    for (bool toggle : {false, true}) {
        Fx f(16);  // slots 0 to 13 free, parent in slot 14 of the last eighth
        f.Put(14, 50, 1, 2, -0.0f, -0.0f);
        f.w.effects.mirrorToggle = toggle;
        SpawnMirrorCross(f.w);
        for (int32_t s = 0; s < 6; ++s) {
            // Spark s has its offset on vy when the toggle stood set for it.
            const bool offsetOnVy = toggle == (s % 2 == 0);
            const float copied = offsetOnVy ? f[s].vx : f[s].vy;
            EXPECT_EQ(copied, 0.0f) << toggle << s;
            EXPECT_TRUE(std::signbit(copied)) << toggle << s;
        }
    }
}
