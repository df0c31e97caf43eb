// The trail filter's code paths, its reference, and the memory floor: the
// least traffic any filter pass must make.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/canvas.h"
#include "engine/random.h"
#include "engine/trail_filter.h"
#include "tests/random_crosses.h"

namespace {

// A canvas as a running show leaves it: crosses drawn and filtered for a
// number of frames, with streaks of every age.
struct ShowCanvas {
    Canvas canvas;
    std::vector<uint32_t> output = std::vector<uint32_t>(size_t(kOutputWidth) * kOutputHeight);
    Rng random;
    ShowCanvas() {
        canvas.width = kCanvasWidth;
        canvas.height = kCanvasHeight;
        canvas.bitsPerPixel = 32;
        AllocateCanvas(canvas);
        for (int32_t frame = 0; frame < 30; ++frame) {
            PlotRandomCrosses(canvas, random, 2000);
            TrailFilterReference(canvas, output.data(), kOutputWidth * 4);
        }
    }
    ~ShowCanvas() { FreeCanvas(canvas); }
};

// One frame a round: the crosses of the next frame are drawn untimed.
template <typename Filter>
void RunFrames(benchmark::State& state, Filter filter) {
    ShowCanvas show;
    for (auto _ : state) {
        state.PauseTiming();
        PlotRandomCrosses(show.canvas, show.random, 2000);
        state.ResumeTiming();
        filter(show.canvas, show.output.data(), kOutputWidth * 4);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 733184);
}

void BM_TrailFilterPath(benchmark::State& state, TrailFilterPath path) {
    RunFrames(state, [path](Canvas& c, uint32_t* out, int32_t pitch) { TrailFilterWith(path, c, out, pitch); });
}

void BM_TrailFilterReference(benchmark::State& state) { RunFrames(state, TrailFilterReference); }
BENCHMARK(BM_TrailFilterReference)->Unit(benchmark::kMicrosecond);

// The 733,184 filtered pixels (canvas rows 1 to 716) copied into output rows
// 25 to 740 and back over the canvas.
void BM_MemoryFloor(benchmark::State& state) {
    ShowCanvas show;
    const size_t bytes = size_t(716) * kCanvasWidth * 4;
    for (auto _ : state) {
        std::memcpy(show.output.data() + 25 * kOutputWidth, show.canvas.pixels + kCanvasWidth, bytes);
        benchmark::ClobberMemory();
        std::memcpy(show.canvas.pixels + kCanvasWidth, show.output.data() + 25 * kOutputWidth, bytes);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 733184);
}
BENCHMARK(BM_MemoryFloor)->Unit(benchmark::kMicrosecond);

// BM_TrailFilter/<path> for each path this processor has.
const bool registered = [] {
    for (int32_t p = 0; p < kTrailFilterPathCount; ++p) {
        const TrailFilterPath path = TrailFilterPath(p);
        if (!TrailFilterPathAvailable(path)) continue;
        const std::string name = std::string("BM_TrailFilter/") + TrailFilterPathName(path);
        benchmark::RegisterBenchmark(name.c_str(), BM_TrailFilterPath, path)->Unit(benchmark::kMicrosecond);
    }
    return true;
}();

}  // namespace
