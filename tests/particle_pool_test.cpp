// The pool, its free-slot index, the generator and the angle tables.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "engine/angle_tables.h"
#include "engine/particle_pool.h"
#include "engine/random.h"

namespace {

// What the free-slot index must agree with: a walk over life.
int32_t PlainNextFree(const ParticlePool& pool, int32_t from) {
    for (int32_t i = from < 0 ? 0 : from; i < pool.particleCount; ++i)
        if (pool.particles[i].life == 0) return i;
    return pool.particleCount;
}

void ExpectScansAgree(ParticlePool& pool) {
    for (int32_t from = -1; from <= pool.particleCount + 1; ++from)
        ASSERT_EQ(NextFreeSlot(pool, from), PlainNextFree(pool, from)) << "from " << from;
}

// Every slot free, zeroed, with the phase of the next draw of `expected`;
// `random` has made exactly those draws.
void ExpectFreshPool(ParticlePool& pool, Rng expected, const Rng& random) {
    for (int32_t i = 0; i < pool.particleCount; ++i) {
        ASSERT_EQ(pool.particles[i].life, 0) << i;
        ASSERT_EQ(pool.particles[i].x, 0.0f) << i;  // a finite position for paired partners
        ASSERT_EQ(pool.particles[i].phase, Rand(expected) & 0xFF) << i;
    }
    EXPECT_EQ(random.state, expected.state);
    ExpectScansAgree(pool);
}

}  // namespace

TEST(AngleTables, ReferenceValuesOfThe314159Approximation) {
    AngleTables t;
    BuildAngleTables(t);
    EXPECT_EQ(t.SinTable[30], 0.49999961f);
    EXPECT_EQ(t.SinTable[90], 1.0f);
    EXPECT_EQ(t.SinTable[180], 2.6535897e-06f);
    EXPECT_EQ(t.SinTable[359], -0.017457698f);
    EXPECT_EQ(t.CosTable[90], 1.3267949e-06f);
    EXPECT_EQ(t.CosTable[180], -1.0f);
    EXPECT_EQ(t.CosTable[270], -3.9803845e-06f);
}

TEST(Random, FirstDrawsFromStateOne) {
    Rng r;
    for (int32_t e : {41, 18467, 6334, 26500, 19169, 15724}) EXPECT_EQ(Rand(r), e);
}

TEST(ParticlePool, CreateAndResizeEmptyEverySlotAndDrawOnePhaseEach) {
    Rng random;
    SeedRandom(random, 12345);
    Rng expected = random;
    ParticlePool pool;
    ASSERT_TRUE(CreatePool(pool, random));
    ASSERT_EQ(pool.particleCount, 1900);
    ExpectFreshPool(pool, expected, random);
    // The same count still empties and redraws. A count that cannot be had
    // (INT32_MAX slots is about 60 GB; more does not fit) keeps the old size.
    const struct { int64_t count; int32_t size; } steps[] = {
        {1900, 1900}, {2300, 2300}, {INT32_MAX, 2300}, {int64_t(INT32_MAX) + 1, 2300},
        {int64_t(1) << 40, 2300}, {65, 65}, {0, 65}, {-200, 65}, {1, 1}};
    for (const auto& step : steps) {
        for (int32_t i = 0; i < pool.particleCount; i += 3) ClaimSlot(pool, i, 50).x = 7.0f;
        expected = random;
        EXPECT_EQ(ResizePool(pool, random, step.count), step.count == step.size) << step.count;
        ASSERT_EQ(pool.particleCount, step.size);
        ExpectFreshPool(pool, expected, random);
    }
    DestroyPool(pool);
    EXPECT_EQ(pool.particles, nullptr);

    ParticlePool none;  // could not be created: no slots at all
    none.particleCount = 0;
    EXPECT_FALSE(CreatePool(none, random));
    EXPECT_FALSE(ResizePool(none, random, -1));
    EXPECT_EQ(none.particleCount, 0);
    EXPECT_EQ(NextFreeSlot(none, 0), 0);
}

// The index against its definition at word boundaries and past them, with
// lives written directly, frees, blind claims and claimer-like scans.
TEST(ParticlePool, IndexedScanMatchesThePlainWalk) {
    std::mt19937 gen(7);
    Rng random;
    for (int32_t count : {1, 63, 64, 65, 100, 1900, 4097}) {
        for (int round = 0; round < 6; ++round) {
            ParticlePool pool;
            pool.particleCount = count;
            ASSERT_TRUE(CreatePool(pool, random));
            std::bernoulli_distribution live(round / 5.0);  // nearly empty to nearly full
            for (int32_t i = 0; i < count; ++i) pool.particles[i].life = live(gen) ? 1 + int32_t(gen() % 4) : 0;
            RebuildFreeIndex(pool);
            ExpectScansAgree(pool);
            for (int step = 0; step < 200; ++step) {
                const int32_t kind = int32_t(gen() % 4), slot = int32_t(gen() % uint32_t(count));
                if (kind == 0) FreeSlot(pool, slot);
                if (kind == 1) ClaimSlot(pool, slot, 2);
                for (int32_t want = kind < 2 ? 0 : int32_t(gen() % 8), from = 0; want > 0; --want) {
                    const int32_t at = NextFreeSlot(pool, from);
                    ASSERT_EQ(at, PlainNextFree(pool, from));
                    if (at == count) break;
                    ClaimSlot(pool, at, 1);
                    from = at + 1;
                }
            }
            ExpectScansAgree(pool);
            DestroyPool(pool);
        }
    }
}
