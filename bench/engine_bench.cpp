// The per-frame engine passes and the free-slot scan.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "engine/canvas.h"
#include "engine/motion.h"
#include "engine/particle_pool.h"
#include "engine/random.h"
#include "engine/show_params.h"
#include "engine/trail_filter.h"

namespace {

// Fills every slot with a live particle well inside the live area, slow
// enough to stay there for many frames.
void FillLive(ParticlePool& pool, Rng& random) {
    for (int32_t i = 0; i < pool.particleCount; ++i) {
        Particle& p = ClaimSlot(pool, i, 1 << 30);
        p.x = 100.0f + float(Rand(random) % 800);
        p.y = 100.0f + float(Rand(random) % 500);
        p.vx = float(Rand(random) % 200 - 100) * 0.01f;
        p.vy = float(Rand(random) % 200 - 100) * 0.01f;
        p.color = uint32_t(Rand(random)) * 0x10101u;
    }
}

ParticlePool MakeLivePool(int32_t count, Rng& random) {
    ParticlePool pool;
    pool.particleCount = count;
    CreatePool(pool, random);
    FillLive(pool, random);
    return pool;
}

void BM_MoveParticles(benchmark::State& state) {
    Rng random;
    ParticlePool pool = MakeLivePool(int32_t(state.range(0)), random);
    ShowParams params;
    params.motionMode = int32_t(state.range(1));
    params.gravity = 0.01f;
    int32_t frames = 0;
    for (auto _ : state) {
        MoveParticles(pool, params);
        benchmark::ClobberMemory();
        // Re-made now and then so that nothing drifts out or slows down.
        if (++frames == 64) {
            state.PauseTiming();
            FillLive(pool, random);
            frames = 0;
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    DestroyPool(pool);
}
BENCHMARK(BM_MoveParticles)->ArgsProduct({{1900, 3600, 100000}, {Swirl, Fall, Radial, Paired}});

void BM_PlotParticles(benchmark::State& state) {
    Rng random;
    ParticlePool pool = MakeLivePool(int32_t(state.range(0)), random);
    Canvas canvas;
    canvas.width = kCanvasWidth;
    canvas.height = kCanvasHeight;
    canvas.bitsPerPixel = 32;
    AllocateCanvas(canvas);
    for (auto _ : state) {
        PlotParticles(pool, canvas);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    FreeCanvas(canvas);
    DestroyPool(pool);
}
BENCHMARK(BM_PlotParticles)->Arg(1900)->Arg(3600)->Arg(100000);

// A whole frame's engine work: move, plot, filter into a 1024 x 768 image,
// with every slot live.
void BM_RunFrame(benchmark::State& state) {
    Rng random;
    ParticlePool pool = MakeLivePool(int32_t(state.range(0)), random);
    ShowParams params;
    Canvas canvas;
    canvas.width = kCanvasWidth;
    canvas.height = kCanvasHeight;
    canvas.bitsPerPixel = 32;
    AllocateCanvas(canvas);
    std::vector<uint32_t> output(size_t(kOutputWidth) * kOutputHeight);
    int32_t frames = 0;
    for (auto _ : state) {
        MoveParticles(pool, params);
        PlotParticles(pool, canvas);
        TrailFilter(canvas, output.data(), kOutputWidth * 4);
        benchmark::ClobberMemory();
        if (++frames == 64) {
            state.PauseTiming();
            FillLive(pool, random);
            frames = 0;
            state.ResumeTiming();
        }
    }
    FreeCanvas(canvas);
    DestroyPool(pool);
}
BENCHMARK(BM_RunFrame)->Arg(3600)->Arg(100000);

// The reference scan: a walk over life.
int32_t PlainNextFree(const ParticlePool& pool, int32_t from) {
    for (int32_t i = from; i < pool.particleCount; ++i) {
        if (pool.particles[i].life == 0) return i;
    }
    return pool.particleCount;
}

// Pool patterns: 0 crowded (all live below the last eighth, every other slot
// of the last eighth free), 1 random with one slot in 16 free, 2 random half
// free.
ParticlePool MakeScanPool(int32_t count, int32_t pattern, Rng& random) {
    ParticlePool pool;
    pool.particleCount = count;
    CreatePool(pool, random);
    const int32_t lastEighth = count - count / 8;
    for (int32_t i = 0; i < count; ++i) {
        bool live = false;
        if (pattern == 0) live = i < lastEighth || (i - lastEighth) % 2 == 0;
        if (pattern == 1) live = Rand(random) % 16 != 0;
        if (pattern == 2) live = Rand(random) % 2 != 0;
        if (live) ClaimSlot(pool, i, 5);
    }
    return pool;
}

// Sixty-four claimers in a row, each looking for six free slots from slot 0,
// as the effects do per parent (without claiming, so every round is alike).
template <bool Indexed>
void BM_ClaimScan(benchmark::State& state) {
    Rng random;
    const int32_t count = int32_t(state.range(0));
    ParticlePool pool = MakeScanPool(count, int32_t(state.range(1)), random);
    for (auto _ : state) {
        int64_t sum = 0;
        for (int parent = 0; parent < 64; ++parent) {
            int32_t s = Indexed ? NextFreeSlot(pool, 0) : PlainNextFree(pool, 0);
            for (int k = 0; k < 6 && s < count; ++k) {
                sum += s;
                s = Indexed ? NextFreeSlot(pool, s + 1) : PlainNextFree(pool, s + 1);
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    DestroyPool(pool);
}
BENCHMARK_TEMPLATE(BM_ClaimScan, false)->Name("BM_ClaimScan/plain")->ArgsProduct({{3600, 100000}, {0, 1, 2}});
BENCHMARK_TEMPLATE(BM_ClaimScan, true)->Name("BM_ClaimScan/indexed")->ArgsProduct({{3600, 100000}, {0, 1, 2}});

}  // namespace
