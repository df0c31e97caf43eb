// A fresh world for emitter and effect tests: angle tables built, a pool of
// `count` free slots, the generator at `state`.
#pragma once
#include "engine/angle_tables.h"
#include "engine/world.h"

struct TestWorld {
    World w;
    explicit TestWorld(int32_t count, uint32_t state = 1) {
        BuildAngleTables(w.angles);
        w.pool.particleCount = count;
        CreatePool(w.pool, w.random);
        w.random.state = state;
    }
    ~TestWorld() { DestroyPool(w.pool); }
    TestWorld(const TestWorld&) = delete;
    TestWorld& operator=(const TestWorld&) = delete;
    Particle& operator[](int32_t i) { return w.pool.particles[i]; }
    // Slots [from, to) get `life`; direct writes, so the free index is rebuilt.
    void Fill(int32_t from, int32_t to, int32_t life) {
        for (int32_t i = from; i < to; ++i) w.pool.particles[i].life = life;
        RebuildFreeIndex(w.pool);
    }
};
