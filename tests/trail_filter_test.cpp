// The trail filter: the per-byte rule on known patterns, and every code path
// against the reference on random, adversarial and fed-back canvases.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/canvas.h"
#include "engine/random.h"
#include "engine/trail_filter.h"

namespace {

constexpr uint32_t kSentinel = 0xA5C3E17Bu;
constexpr int32_t kWords = kCanvasWidth * kCanvasHeight;

struct TestCanvas {
    Canvas canvas;
    TestCanvas() {
        canvas.width = kCanvasWidth;
        canvas.height = kCanvasHeight;
        canvas.bitsPerPixel = 32;
        AllocateCanvas(canvas);
    }
    ~TestCanvas() { FreeCanvas(canvas); }
    TestCanvas(const TestCanvas&) = delete;
    TestCanvas& operator=(const TestCanvas&) = delete;
    uint32_t* Row(int32_t y) { return canvas.pixels + y * kCanvasWidth; }
    uint8_t& Byte(int32_t x, int32_t y, int32_t b) { return reinterpret_cast<uint8_t*>(Row(y) + x)[b]; }
    void CopyFrom(const TestCanvas& other) { std::memcpy(canvas.pixels, other.canvas.pixels, kWords * 4); }
};

// An output image of `pitch` bytes a row, filled with the sentinel.
std::vector<uint32_t> SentinelImage(int32_t pitch = kOutputWidth * 4) {
    return std::vector<uint32_t>(size_t(pitch / 4) * kOutputHeight, kSentinel);
}

std::vector<TrailFilterPath> AvailablePaths() {
    std::vector<TrailFilterPath> paths;
    for (int32_t p = 0; p < kTrailFilterPathCount; ++p)
        if (TrailFilterPathAvailable(TrailFilterPath(p))) paths.push_back(TrailFilterPath(p));
    return paths;
}

void FillRandom(TestCanvas& c, Rng& random, int32_t percentLit) {
    for (int32_t i = 0; i < kWords; ++i) {
        const uint32_t word = uint32_t(Rand(random)) << 17 ^ uint32_t(Rand(random)) << 2 ^ uint32_t(Rand(random));
        c.canvas.pixels[i] = Rand(random) % 100 < percentLit ? word : 0;
    }
}

// Runs `path` and the reference on copies of `start` and compares canvases
// and whole output images.
void ExpectMatchesReference(TrailFilterPath path, const TestCanvas& start, const char* what,
                            int32_t pitch = kOutputWidth * 4) {
    TestCanvas expected, actual;
    expected.CopyFrom(start);
    actual.CopyFrom(start);
    std::vector<uint32_t> expectedImage = SentinelImage(pitch), actualImage = SentinelImage(pitch);
    TrailFilterReference(expected.canvas, expectedImage.data(), pitch);
    TrailFilterWith(path, actual.canvas, actualImage.data(), pitch);
    int32_t firstBad = -1;
    for (int32_t i = 0; i < kWords && firstBad < 0; ++i)
        if (actual.canvas.pixels[i] != expected.canvas.pixels[i]) firstBad = i;
    EXPECT_EQ(firstBad, -1) << TrailFilterPathName(path) << ", " << what << ": canvas differs first at row "
                            << firstBad / kCanvasWidth << " column " << firstBad % kCanvasWidth;
    EXPECT_TRUE(actualImage == expectedImage) << TrailFilterPathName(path) << ", " << what << ": output differs";
}

// Five-pixel crosses with white centres, as the plotter draws them.
void PlotCrosses(TestCanvas& c, Rng& random, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const int32_t x = 3 + Rand(random) % 1019, y = 3 + Rand(random) % 713;
        const uint32_t color = uint32_t(Rand(random)) << 9 ^ uint32_t(Rand(random));
        c.Row(y)[x - 1] = color;
        c.Row(y)[x + 1] = color;
        c.Row(y + 1)[x] = color;
        c.Row(y - 1)[x] = color;
        c.Row(y)[x] = 0x00FFFFFF;
    }
}

}  // namespace

TEST(TrailFilter, SingleBrightByteSpreadsDownAndRight) {
    struct Spot {
        int32_t x, y, b;
    };
    const Spot spots[] = {{1, 2, 0}, {500, 300, 1}, {1021, 714, 2}, {127, 40, 3}, {128, 41, 0}, {255, 600, 2}};
    // Byte value at (x + dx, y + dy) after one pass, rows dy = -1 .. 2.
    const int32_t spread[4][4] = {{0, 63, 15, 3}, {63, 31, 11, 3}, {15, 11, 5, 2}, {3, 3, 2, 1}};
    for (TrailFilterPath path : AvailablePaths()) {
        for (const Spot& s : spots) {
            TestCanvas c;
            c.Byte(s.x, s.y, s.b) = 255;
            std::vector<uint32_t> image = SentinelImage();
            TrailFilterWith(path, c.canvas, image.data(), kOutputWidth * 4);
            int32_t wrong = 0;
            for (int32_t y = 0; y < kCanvasHeight; ++y)
                for (int32_t x = 0; x < kCanvasWidth; ++x)
                    for (int32_t b = 0; b < 4; ++b) {
                        const int32_t dx = x - s.x, dy = y - s.y;
                        int32_t want = 0;
                        if (b == s.b && dy >= -1 && dy <= 2 && dx >= -1 && dx <= 2) want = spread[dy + 1][dx + 1];
                        if (c.Byte(x, y, b) != want) ++wrong;
                    }
            EXPECT_EQ(wrong, 0) << TrailFilterPathName(path) << " at " << s.x << "," << s.y;
            // The output row shows the middle canvas row three times brighter.
            const uint8_t* shown = reinterpret_cast<const uint8_t*>(image.data() + (s.y + 24) * kOutputWidth);
            EXPECT_EQ(shown[4 * (s.x - 1) + s.b], 189);
            EXPECT_EQ(shown[4 * s.x + s.b], 93);
            EXPECT_EQ(shown[4 * (s.x + 1) + s.b], 33);
            EXPECT_EQ(shown[4 * (s.x + 2) + s.b], 9);
            EXPECT_EQ(image[(s.y + 24) * kOutputWidth + s.x + 3], 0u);
        }
    }
}

TEST(TrailFilter, BlackCanvasStaysBlackAndOnlyPictureRowsAreWritten) {
    for (TrailFilterPath path : AvailablePaths()) {
        TestCanvas c;
        std::vector<uint32_t> image = SentinelImage();
        TrailFilterWith(path, c.canvas, image.data(), kOutputWidth * 4);
        int32_t lit = 0, wrongRows = 0;
        for (int32_t i = 0; i < kWords; ++i) lit += c.canvas.pixels[i] != 0;
        for (int32_t y = 0; y < kOutputHeight; ++y)
            for (int32_t x = 0; x < kOutputWidth; ++x)
                wrongRows += image[y * kOutputWidth + x] != (y >= 25 && y <= 740 ? 0u : kSentinel);
        EXPECT_EQ(lit, 0) << TrailFilterPathName(path);
        EXPECT_EQ(wrongRows, 0) << TrailFilterPathName(path);
    }
}

TEST(TrailFilter, EveryPathMatchesReferenceOnRandomAndAdversarialCanvases) {
    Rng random;
    SeedRandom(random, 12345);
    for (TrailFilterPath path : AvailablePaths()) {
        TestCanvas c;
        FillRandom(c, random, 100);
        ExpectMatchesReference(path, c, "dense random");
        FillRandom(c, random, 3);
        ExpectMatchesReference(path, c, "sparse random");
        // A padded output pitch: rows land pitch bytes apart.
        ExpectMatchesReference(path, c, "sparse random, padded output", kOutputWidth * 4 + 64);

        // Every byte 255 (rows 0, 717 and 718 too), then with row 0 black as
        // allocated: each chunk settles on one of two fixed points, 169 or
        // 170, depending on its left input, so every guess is wrong.
        std::memset(c.canvas.pixels, 0xFF, kWords * 4);
        ExpectMatchesReference(path, c, "all 255");
        std::memset(c.canvas.pixels, 0, kCanvasWidth * 4);
        ExpectMatchesReference(path, c, "all 255 below a black row 0");

        // Saturated rows between dark ones, and bright edges: columns 0 and
        // 1023, chunk seams, the first pixel.
        std::memset(c.canvas.pixels, 0, kWords * 4);
        for (int32_t y = 0; y < kCanvasHeight; y += 3) std::memset(c.Row(y), 0xFF, kCanvasWidth * 4);
        ExpectMatchesReference(path, c, "saturated rows");
        std::memset(c.canvas.pixels, 0, kWords * 4);
        for (int32_t y = 0; y < kCanvasHeight; ++y)
            for (int32_t x : {0, 1, 127, 128, 255, 256, 511, 512, 1022, 1023}) c.Row(y)[x] = 0xFFFFFFFF;
        ExpectMatchesReference(path, c, "bright columns");

        // Single bright pixels: the first visited pixel, row ends, row starts.
        std::memset(c.canvas.pixels, 0, kWords * 4);
        c.Row(1)[0] = 0xFFFFFFFF;
        c.Row(1)[1023] = 0xFFFFFFFF;
        c.Row(0)[1023] = 0xFFFFFFFF;
        c.Row(200)[1023] = 0x00FF00FF;
        c.Row(201)[0] = 0xFF00FF00;
        c.Row(716)[1023] = 0xFFFFFFFF;
        c.Row(717)[0] = 0xFFFFFFFF;
        ExpectMatchesReference(path, c, "single bright pixels");
    }
}

TEST(TrailFilter, EveryPathMatchesReferenceOnCanvasFedBackOverFrames) {
    for (TrailFilterPath path : AvailablePaths()) {
        Rng random;
        TestCanvas running, expected;
        std::vector<uint32_t> expectedImage = SentinelImage(), actualImage = SentinelImage();
        int32_t firstBadFrame = -1;
        for (int32_t frame = 0; frame < 40 && firstBadFrame < 0; ++frame) {
            // Crosses drawn onto what the path left, as in the show.
            PlotCrosses(running, random, frame < 20 ? 400 : 40);
            expected.CopyFrom(running);
            TrailFilterReference(expected.canvas, expectedImage.data(), kOutputWidth * 4);
            TrailFilterWith(path, running.canvas, actualImage.data(), kOutputWidth * 4);
            if (std::memcmp(running.canvas.pixels, expected.canvas.pixels, kWords * 4) != 0 ||
                actualImage != expectedImage)
                firstBadFrame = frame;
        }
        EXPECT_EQ(firstBadFrame, -1) << TrailFilterPathName(path);
    }
}

TEST(TrailFilter, NullOutputFiltersTheCanvasAlone) {
    Rng random;
    TestCanvas start;
    FillRandom(start, random, 50);
    TestCanvas expected;
    expected.CopyFrom(start);
    std::vector<uint32_t> image = SentinelImage();
    TrailFilterReference(expected.canvas, image.data(), kOutputWidth * 4);
    for (TrailFilterPath path : AvailablePaths()) {
        TestCanvas c;
        c.CopyFrom(start);
        TrailFilterWith(path, c.canvas, nullptr, 0);
        EXPECT_EQ(std::memcmp(c.canvas.pixels, expected.canvas.pixels, kWords * 4), 0) << TrailFilterPathName(path);
    }
}

TEST(TrailFilter, CanvasOfAnotherShapeOrFreedIsLeftAlone) {
    TestCanvas c;
    std::memset(c.canvas.pixels, 0x5A, kWords * 4);
    std::vector<uint32_t> image = SentinelImage();
    Canvas wrong = c.canvas;
    wrong.height = 718;
    TrailFilter(wrong, image.data(), kOutputWidth * 4);
    wrong = c.canvas;
    wrong.pitch = 4100;
    TrailFilterReference(wrong, image.data(), kOutputWidth * 4);
    wrong = c.canvas;
    wrong.bitsPerPixel = 0;  // as FreeCanvas leaves it
    TrailFilter(wrong, image.data(), kOutputWidth * 4);
    wrong = c.canvas;
    wrong.pixels = nullptr;
    TrailFilter(wrong, image.data(), kOutputWidth * 4);
    int32_t changed = 0;
    for (int32_t i = 0; i < kWords; ++i) changed += c.canvas.pixels[i] != 0x5A5A5A5Au;
    EXPECT_EQ(changed, 0);
    EXPECT_TRUE(image == SentinelImage());
}

TEST(TrailFilter, PathsAndTheirNames) {
    EXPECT_TRUE(TrailFilterPathAvailable(TrailFilterPortable));
    EXPECT_TRUE(TrailFilterPathAvailable(TrailFilterBestPath()));
    EXPECT_STREQ(TrailFilterPathName(TrailFilterPortable), "portable");
    EXPECT_STREQ(TrailFilterPathName(TrailFilterSse2), "sse2");
    EXPECT_STREQ(TrailFilterPathName(TrailFilterAvx2), "avx2");
    EXPECT_STREQ(TrailFilterPathName(TrailFilterAvx512), "avx512");
#if defined(__x86_64__) || defined(_M_X64)
    EXPECT_TRUE(TrailFilterPathAvailable(TrailFilterSse2));
    EXPECT_NE(TrailFilterBestPath(), TrailFilterPortable);
#endif
}
