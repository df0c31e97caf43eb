// One tick of a particle-borne effect on a crowded pool: every slot below the
// last eighth live, and n / 16 live parents spread over the last eighth. The
// cost should grow about linearly with the pool, not with parents x slots.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "emitters/effects.h"
#include "engine/world.h"

namespace {

// The crowded pool: lower slots long-lived, parents near the end of their
// life so that the life-window effects take them too.
std::vector<Particle> CrowdedRecords(int32_t n, Rng& random) {
    std::vector<Particle> records(size_t(n), Particle{});
    const int32_t lastEighth = n - n / 8;
    for (int32_t i = 0; i < n; ++i) {
        Particle& p = records[size_t(i)];
        p.phase = Rand(random) & 0xFF;
        p.x = 200.0f + float(Rand(random) % 300);
        p.y = 150.0f + float(Rand(random) % 300);
        p.vx = float(Rand(random) % 200 - 100) * 0.01f;
        p.vy = float(Rand(random) % 200 - 100) * 0.01f;
        p.color = (uint32_t(Rand(random)) * 0x10101u) & 0xFFFFFFu;
        if (i < lastEighth) p.life = 400;
    }
    const int32_t parents = n / 16;
    const int32_t span = n - lastEighth;
    for (int32_t k = 0; k < parents; ++k) {
        records[size_t(lastEighth + int64_t(k) * span / parents)].life = 5;
    }
    return records;
}

void BM_EffectTick(benchmark::State& state, void (*effect)(World&)) {
    const int32_t n = int32_t(state.range(0));
    World world;
    BuildAngleTables(world.angles);
    world.pool.particleCount = n;
    CreatePool(world.pool, world.random);
    const std::vector<Particle> records = CrowdedRecords(n, world.random);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(world.pool.particles, records.data(), records.size() * sizeof(Particle));
        RebuildFreeIndex(world.pool);
        state.ResumeTiming();
        effect(world);
        benchmark::ClobberMemory();
    }
    DestroyPool(world.pool);
}

BENCHMARK_CAPTURE(BM_EffectTick, SprayTrail, SpawnSprayTrail)->Arg(3600)->Arg(100000);
BENCHMARK_CAPTURE(BM_EffectTick, EchoSpiral, SpawnEchoSpiral)->Arg(3600)->Arg(100000);
BENCHMARK_CAPTURE(BM_EffectTick, MirrorFan, SpawnMirrorFan)->Arg(3600)->Arg(100000);
BENCHMARK_CAPTURE(BM_EffectTick, AxisSparks, SpawnAxisSparks)->Arg(3600)->Arg(100000);
BENCHMARK_CAPTURE(BM_EffectTick, ForkSplit, SpawnForkSplit)->Arg(3600)->Arg(100000);

}  // namespace
