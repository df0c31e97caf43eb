// The trail filter shared with a helper thread: always the plain pass's
// result, whether the helper goes on, declines or is not waited for.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/canvas.h"
#include "engine/random.h"
#include "engine/trail_filter.h"

namespace {

constexpr uint32_t kSentinel = 0x5EA5F00Du;
constexpr int32_t kWords = kCanvasWidth * kCanvasHeight;
constexpr int32_t kPitch = kOutputWidth * 4;

struct Picture {
    Canvas canvas;
    std::vector<uint32_t> image = std::vector<uint32_t>(size_t(kOutputWidth) * kOutputHeight, kSentinel);
    Picture() {
        canvas.width = kCanvasWidth;
        canvas.height = kCanvasHeight;
        canvas.bitsPerPixel = 32;
        AllocateCanvas(canvas);
    }
    ~Picture() { FreeCanvas(canvas); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    void CopyFrom(const Picture& other) {
        std::memcpy(canvas.pixels, other.canvas.pixels, kWords * 4);
        image = other.image;
    }
    bool operator==(const Picture& other) const {
        return std::memcmp(canvas.pixels, other.canvas.pixels, kWords * 4) == 0 && image == other.image;
    }
};

std::vector<TrailFilterPath> AvailablePaths() {
    std::vector<TrailFilterPath> paths;
    for (int32_t p = 0; p < kTrailFilterPathCount; ++p)
        if (TrailFilterPathAvailable(TrailFilterPath(p))) paths.push_back(TrailFilterPath(p));
    return paths;
}

void PlotCrosses(Picture& p, Rng& random, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const int32_t x = 3 + Rand(random) % 1019, y = 3 + Rand(random) % 713;
        uint32_t* row = p.canvas.pixels + y * kCanvasWidth;
        const uint32_t color = uint32_t(Rand(random)) << 9 ^ uint32_t(Rand(random));
        row[x - 1] = row[x + 1] = row[x - kCanvasWidth] = row[x + kCanvasWidth] = color;
        row[x] = 0x00FFFFFF;
    }
}

// One frame shared and one by the reference, from the same start.
bool SharedMatchesReference(TrailFilterPath path, TrailFilterWorkers& workers, const Picture& start) {
    Picture expected, actual;
    expected.CopyFrom(start);
    actual.CopyFrom(start);
    TrailFilterReference(expected.canvas, expected.image.data(), kPitch);
    TrailFilterWith(path, actual.canvas, actual.image.data(), kPitch, workers);
    return actual == expected;
}

}  // namespace

TEST(TrailFilterWorkers, SharedPassMatchesReferenceWhenTheHelperGoesOnOrDeclines) {
    TrailFilterWorkers workers;
    if (!StartTrailFilterWorkers(workers)) GTEST_SKIP() << "one processor: no helper thread";
    workers.patient = true;  // every frame gets the helper's verdict
    Rng random;
    SeedRandom(random, 777);
    for (TrailFilterPath path : AvailablePaths()) {
        Picture p;
        // Dense and sparse random pixels, and a canvas as the show leaves it:
        // the bounds agree well before the split.
        for (int32_t i = 0; i < kWords; ++i)
            p.canvas.pixels[i] = uint32_t(Rand(random)) << 17 ^ uint32_t(Rand(random)) << 2 ^ uint32_t(Rand(random));
        const int64_t sharedBefore = workers.shared;
        EXPECT_TRUE(SharedMatchesReference(path, workers, p)) << TrailFilterPathName(path) << ", dense random";
        for (int32_t i = 0; i < kWords; ++i) p.canvas.pixels[i] = Rand(random) % 50 == 0 ? 0xFFFFFFFFu : 0;
        EXPECT_TRUE(SharedMatchesReference(path, workers, p)) << TrailFilterPathName(path) << ", sparse";
        EXPECT_EQ(workers.shared - sharedBefore, 2) << TrailFilterPathName(path);

        // Every byte 255: the runs from the two extremes never meet, so the
        // helper declines and this thread filters the rest.
        const int64_t declinedBefore = workers.declined;
        std::memset(p.canvas.pixels, 0xFF, kWords * 4);
        EXPECT_TRUE(SharedMatchesReference(path, workers, p)) << TrailFilterPathName(path) << ", all 255";
        EXPECT_EQ(workers.declined - declinedBefore, 1) << TrailFilterPathName(path);

        // Bright pixels on the rows around the split and at the row ends.
        std::memset(p.canvas.pixels, 0, kWords * 4);
        for (int32_t y = 340; y < 420; ++y) {
            p.canvas.pixels[y * kCanvasWidth] = 0xFFFFFFFFu;
            p.canvas.pixels[y * kCanvasWidth + 1023] = 0x00FF00FFu;
            p.canvas.pixels[y * kCanvasWidth + 5 * y % 1024] = 0xFF00FF00u;
        }
        EXPECT_TRUE(SharedMatchesReference(path, workers, p)) << TrailFilterPathName(path) << ", split rows";
    }
    StopTrailFilterWorkers(workers);
    EXPECT_EQ(workers.crew, nullptr);
}

TEST(TrailFilterWorkers, AnySplitRowGivesThePlainResult) {
    TrailFilterWorkers workers;
    if (!StartTrailFilterWorkers(workers)) GTEST_SKIP() << "one processor: no helper thread";
    workers.fixedSplit = true;
    Rng random;
    Picture p;
    PlotCrosses(p, random, 6000);
    for (int32_t split : {kTrailFilterSplitFirst, 26, 100, 383, 700, kTrailFilterSplitLast, 0, 9999}) {
        // Waiting for the helper: it goes on from the split.
        workers.patient = true;
        workers.splitRow = split;
        const int64_t shared = workers.shared;
        EXPECT_TRUE(SharedMatchesReference(TrailFilterBestPath(), workers, p)) << "split " << split;
        EXPECT_EQ(workers.shared, shared + 1) << "split " << split;
        EXPECT_EQ(workers.splitRow, split);  // kept as set
        // Not waiting: near the top the helper is rarely in time, and the
        // frame is taken back.
        workers.patient = false;
        EXPECT_TRUE(SharedMatchesReference(TrailFilterBestPath(), workers, p)) << "split " << split;
    }
    StopTrailFilterWorkers(workers);
}

TEST(TrailFilterWorkers, CanvasFedBackOverFramesStaysExactWithoutWaitingForTheHelper) {
    TrailFilterWorkers workers;
    if (!StartTrailFilterWorkers(workers)) GTEST_SKIP() << "one processor: no helper thread";
    for (TrailFilterPath path : AvailablePaths()) {
        if (path == TrailFilterPortable) continue;  // slow, and the same code as the patient test's
        Rng random;
        Picture running, expected;
        int32_t firstBadFrame = -1;
        for (int32_t frame = 0; frame < 60 && firstBadFrame < 0; ++frame) {
            PlotCrosses(running, random, frame < 30 ? 500 : 50);
            expected.CopyFrom(running);
            TrailFilterReference(expected.canvas, expected.image.data(), kPitch);
            TrailFilterWith(path, running.canvas, running.image.data(), kPitch, workers);
            if (!(running == expected)) firstBadFrame = frame;
        }
        EXPECT_EQ(firstBadFrame, -1) << TrailFilterPathName(path);
    }
    // Every frame ended one of the three ways.
    EXPECT_GT(workers.shared + workers.declined + workers.alone, 0);
    StopTrailFilterWorkers(workers);
}

TEST(TrailFilterWorkers, RecordsStartAndStopCleanlyAndWithoutHelperFilterAlone) {
    TrailFilterWorkers none;
    StopTrailFilterWorkers(none);  // nothing to stop
    Rng random;
    Picture start;
    PlotCrosses(start, random, 3000);
    EXPECT_TRUE(SharedMatchesReference(TrailFilterBestPath(), none, start));
    EXPECT_EQ(none.shared + none.declined + none.alone, 0);

    for (int32_t round = 0; round < 5; ++round) {
        TrailFilterWorkers workers;
        if (!StartTrailFilterWorkers(workers)) GTEST_SKIP() << "one processor: no helper thread";
        EXPECT_TRUE(StartTrailFilterWorkers(workers));  // already running: kept
        workers.patient = true;
        EXPECT_TRUE(SharedMatchesReference(TrailFilterBestPath(), workers, start));
        // A null output and a canvas of another shape.
        Picture expected, actual;
        expected.CopyFrom(start);
        actual.CopyFrom(start);
        TrailFilterReference(expected.canvas, nullptr, 0);
        TrailFilter(actual.canvas, nullptr, 0, workers);
        EXPECT_TRUE(std::memcmp(actual.canvas.pixels, expected.canvas.pixels, kWords * 4) == 0);
        Canvas wrong = actual.canvas;
        wrong.height = 718;
        TrailFilter(wrong, actual.image.data(), kPitch, workers);
        EXPECT_TRUE(std::memcmp(actual.canvas.pixels, expected.canvas.pixels, kWords * 4) == 0);
        EXPECT_TRUE(actual.image == start.image);
        StopTrailFilterWorkers(workers);
        EXPECT_EQ(workers.crew, nullptr);
    }
}
