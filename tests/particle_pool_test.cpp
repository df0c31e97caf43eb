// The pool, its free-slot index, the generator and the angle tables.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "engine/angle_tables.h"
#include "engine/motion.h"
#include "engine/particle_pool.h"
#include "engine/random.h"
#include "engine/show_params.h"

namespace {

// The definition the free-slot index must agree with: a walk over life.
int32_t PlainNextFree(const ParticlePool& pool, int32_t from) {
    for (int32_t i = from < 0 ? 0 : from; i < pool.particleCount; ++i) {
        if (pool.particles[i].life == 0) return i;
    }
    return pool.particleCount;
}

ParticlePool MakePool(int32_t count, Rng& random) {
    ParticlePool pool;
    pool.particleCount = count;
    EXPECT_TRUE(CreatePool(pool, random));
    return pool;
}

// Every scan start agrees with the plain walk.
void ExpectScansAgree(ParticlePool& pool) {
    for (int32_t from = -1; from <= pool.particleCount + 1; ++from) {
        ASSERT_EQ(NextFreeSlot(pool, from), PlainNextFree(pool, from)) << "from " << from;
    }
    ASSERT_EQ(NextFreeSlot(pool, 0), PlainNextFree(pool, 0));
}

}  // namespace

TEST(AngleTables, ReferenceValues) {
    AngleTables t;
    BuildAngleTables(t);
    EXPECT_FLOAT_EQ(t.SinTable[30], 0.49999961f);
    EXPECT_EQ(t.SinTable[90], 1.0f);
    EXPECT_FLOAT_EQ(t.CosTable[90], 1.3267949e-06f);
    EXPECT_FLOAT_EQ(t.SinTable[180], 2.6535897e-06f);
    EXPECT_EQ(t.CosTable[180], -1.0f);
    EXPECT_FLOAT_EQ(t.CosTable[270], -3.9803845e-06f);
    EXPECT_FLOAT_EQ(t.SinTable[359], -0.017457698f);
    EXPECT_EQ(t.SinTable[0], 0.0f);
    EXPECT_EQ(t.CosTable[0], 1.0f);
}

TEST(Random, FirstDrawsFromStateOne) {
    Rng r;
    const int32_t expected[] = {41, 18467, 6334, 26500, 19169, 15724};
    for (int32_t e : expected) EXPECT_EQ(Rand(r), e);
}

TEST(ParticlePool, CreateDrawsOnePhasePerSlot) {
    Rng random;
    SeedRandom(random, 12345);
    Rng expected = random;
    ParticlePool pool = MakePool(1900, random);
    ASSERT_EQ(pool.particleCount, 1900);
    for (int32_t i = 0; i < 1900; ++i) {
        const Particle& p = pool.particles[i];
        ASSERT_EQ(p.life, 0);
        ASSERT_EQ(p.phase, Rand(expected) & 0xFF) << i;
        ASSERT_EQ(p.x, 0.0f);  // a finite position for paired partners
        ASSERT_EQ(p.y, 0.0f);
    }
    EXPECT_EQ(random.state, expected.state);  // exactly 1900 draws
    EXPECT_EQ(NextFreeSlot(pool, 0), 0);
    DestroyPool(pool);
    EXPECT_EQ(pool.particles, nullptr);
}

TEST(ParticlePool, ResizeEmptiesAndRedrawsEvenAtSameCount) {
    Rng random;
    ParticlePool pool = MakePool(100, random);
    for (int32_t i = 0; i < 100; i += 3) ClaimSlot(pool, i, 50).x = 7.0f;
    Rng expected = random;
    ASSERT_TRUE(ResizePool(pool, random, 100));
    EXPECT_EQ(pool.particleCount, 100);
    for (int32_t i = 0; i < 100; ++i) {
        ASSERT_EQ(pool.particles[i].life, 0);
        ASSERT_EQ(pool.particles[i].x, 0.0f);
        ASSERT_EQ(pool.particles[i].phase, Rand(expected) & 0xFF);
    }
    EXPECT_EQ(random.state, expected.state);
    ExpectScansAgree(pool);

    // Growing and shrinking give the new count, all free.
    ClaimSlot(pool, 99, 5);
    ASSERT_TRUE(ResizePool(pool, random, 2300));
    EXPECT_EQ(pool.particleCount, 2300);
    ExpectScansAgree(pool);
    ASSERT_TRUE(ResizePool(pool, random, 65));
    ExpectScansAgree(pool);
    DestroyPool(pool);
}

TEST(ParticlePool, FailedResizeKeepsPreviousSizeEmptied) {
    Rng random;
    ParticlePool pool = MakePool(300, random);
    // INT32_MAX slots is about 60 GB; larger counts do not fit the record.
    const int64_t badCounts[] = {INT32_MAX, int64_t(INT32_MAX) + 1, int64_t(1) << 40, 0, -200};
    for (int64_t count : badCounts) {
        for (int32_t i = 0; i < 300; i += 2) ClaimSlot(pool, i, 9);
        Rng expected = random;
        EXPECT_FALSE(ResizePool(pool, random, count)) << count;
        ASSERT_EQ(pool.particleCount, 300);
        ASSERT_NE(pool.particles, nullptr);
        for (int32_t i = 0; i < 300; ++i) {
            ASSERT_EQ(pool.particles[i].life, 0);
            ASSERT_EQ(pool.particles[i].phase, Rand(expected) & 0xFF);
        }
        EXPECT_EQ(random.state, expected.state);
        ExpectScansAgree(pool);
    }
    // Still fully usable afterwards.
    ClaimSlot(pool, 0, 4);
    EXPECT_EQ(NextFreeSlot(pool, 0), 1);
    EXPECT_TRUE(ResizePool(pool, random, 500));
    EXPECT_EQ(pool.particleCount, 500);
    DestroyPool(pool);

    // A pool that could not be created has no slots at all.
    ParticlePool none;
    none.particleCount = 0;
    EXPECT_FALSE(CreatePool(none, random));
    EXPECT_FALSE(ResizePool(none, random, -1));
    EXPECT_EQ(none.particleCount, 0);
    EXPECT_EQ(NextFreeSlot(none, 0), 0);
}

TEST(ParticlePool, ScanTakesLowestFreeAndNeverWraps) {
    Rng random;
    ParticlePool pool = MakePool(200, random);
    // Live: 0..9 and 150..199; free: 10..149.
    for (int32_t i = 0; i < 10; ++i) ClaimSlot(pool, i, 1);
    for (int32_t i = 150; i < 200; ++i) ClaimSlot(pool, i, 1);
    EXPECT_EQ(NextFreeSlot(pool, 0), 10);
    EXPECT_EQ(NextFreeSlot(pool, 5), 10);
    EXPECT_EQ(NextFreeSlot(pool, 149), 149);
    EXPECT_EQ(NextFreeSlot(pool, 150), 200);  // no wrap back to 10..149
    EXPECT_EQ(NextFreeSlot(pool, 250), 200);

    // A claimer that wants more than is free fills every free slot, in
    // order, and stops at the end.
    std::vector<int32_t> taken;
    for (int32_t s = NextFreeSlot(pool, 0); s < 200 && taken.size() < 500; s = NextFreeSlot(pool, s + 1)) {
        ClaimSlot(pool, s, 3);
        taken.push_back(s);
    }
    ASSERT_EQ(taken.size(), 140u);
    for (size_t k = 0; k < taken.size(); ++k) ASSERT_EQ(taken[k], int32_t(10 + k));
    EXPECT_EQ(NextFreeSlot(pool, 0), 200);

    // Freeing below the lowest free slot is seen by the next fresh scan;
    // a claim over a live slot (as the grand burst does) changes nothing.
    FreeSlot(pool, 120);
    FreeSlot(pool, 40);
    EXPECT_EQ(NextFreeSlot(pool, 0), 40);
    EXPECT_EQ(NextFreeSlot(pool, 41), 120);
    ClaimSlot(pool, 7, 30);
    EXPECT_EQ(NextFreeSlot(pool, 0), 40);
    ClaimSlot(pool, 40, 30);
    EXPECT_EQ(NextFreeSlot(pool, 0), 120);
    ExpectScansAgree(pool);
    DestroyPool(pool);
}

TEST(ParticlePool, FastScanMatchesPlainScan) {
    std::mt19937 gen(7);
    Rng random;
    const int32_t counts[] = {1, 63, 64, 65, 100, 1900, 4097};
    for (int32_t count : counts) {
        for (int round = 0; round < 6; ++round) {
            ParticlePool pool = MakePool(count, random);
            // Densities from nearly empty to nearly full.
            const double liveShare = round / 5.0;
            std::bernoulli_distribution live(liveShare);
            for (int32_t i = 0; i < count; ++i) {
                if (live(gen)) pool.particles[i].life = 1 + int32_t(gen() % 4);
            }
            RebuildFreeIndex(pool);
            ExpectScansAgree(pool);

            // Claimer-like scans from 0 mixed with frees and blind claims.
            std::uniform_int_distribution<int32_t> slot(0, count - 1);
            for (int step = 0; step < 200; ++step) {
                const int32_t kind = int32_t(gen() % 4);
                if (kind == 0) {
                    FreeSlot(pool, slot(gen));
                } else if (kind == 1) {
                    ClaimSlot(pool, slot(gen), 2);
                } else {
                    int32_t want = int32_t(gen() % 8);
                    int32_t s = NextFreeSlot(pool, 0);
                    ASSERT_EQ(s, PlainNextFree(pool, 0));
                    for (; s < count && want > 0; --want) {
                        ClaimSlot(pool, s, 1 + int32_t(gen() % 3));
                        const int32_t next = NextFreeSlot(pool, s + 1);
                        ASSERT_EQ(next, PlainNextFree(pool, s + 1));
                        s = next;
                    }
                }
            }
            ExpectScansAgree(pool);

            // Frees made by the motion step: some particles age out, others
            // leave the live area.
            ShowParams params;
            for (int32_t i = 0; i < count; ++i) {
                Particle& p = pool.particles[i];
                p.x = 500.0f;
                p.y = 300.0f;
                p.vx = (gen() % 5 == 0) ? 900.0f : 0.0f;
                p.vy = 0.0f;
            }
            for (int frame = 0; frame < 3; ++frame) {
                MoveParticles(pool, params);
                ExpectScansAgree(pool);
            }
            DestroyPool(pool);
        }
    }
}
