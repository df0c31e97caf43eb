// Crosses at random places in the live area and in random colours, drawn by
// the show's own plotter: what the trail filter works on in its tests and
// benchmarks.
#pragma once
#include <cstdint>
#include "engine/canvas.h"
#include "engine/particle_pool.h"
#include "engine/random.h"

inline void PlotRandomCrosses(Canvas& canvas, Rng& random, int32_t count) {
    ParticlePool pool;
    pool.particleCount = count;
    Rng phases;  // the pool's own draws leave `random` alone
    if (!CreatePool(pool, phases)) return;
    for (int32_t i = 0; i < count; ++i) {
        Particle& p = ClaimSlot(pool, i, 1);
        p.x = float(3 + Rand(random) % 1019);
        p.y = float(3 + Rand(random) % 713);
        p.color = uint32_t(Rand(random)) << 9 ^ uint32_t(Rand(random));
    }
    PlotParticles(pool, canvas);
    DestroyPool(pool);
}
