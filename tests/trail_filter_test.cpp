// The trail filter: the per-byte rule on a known impulse, and every path
// against the reference.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/canvas.h"
#include "engine/random.h"
#include "engine/trail_filter.h"
#include "tests/random_crosses.h"

namespace {

constexpr uint32_t kSentinel = 0xA5C3E17Bu;
constexpr int32_t kWords = kCanvasWidth * kCanvasHeight;
constexpr int32_t kPitch = kOutputWidth * 4;

// A canvas as allocated (black) and a sentinel-filled output of `pitch` bytes a row.
struct Picture {
    Canvas canvas;
    int32_t pitch;
    std::vector<uint32_t> image;
    explicit Picture(int32_t outputPitch = kPitch)
        : pitch(outputPitch), image(size_t(outputPitch / 4) * kOutputHeight, kSentinel) {
        canvas.width = kCanvasWidth;
        canvas.height = kCanvasHeight;
        canvas.bitsPerPixel = 32;
        AllocateCanvas(canvas);
    }
    ~Picture() { FreeCanvas(canvas); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    uint32_t* Row(int32_t y) { return canvas.pixels + y * kCanvasWidth; }
    uint8_t& Byte(int32_t x, int32_t y, int32_t b) { return reinterpret_cast<uint8_t*>(Row(y) + x)[b]; }
    const uint32_t* Output(int32_t y) const { return image.data() + y * (pitch / 4); }
    void CopyCanvas(const Picture& o) { std::memcpy(canvas.pixels, o.canvas.pixels, kWords * 4); }
    bool SameCanvas(const Picture& o) const { return std::memcmp(canvas.pixels, o.canvas.pixels, kWords * 4) == 0; }
    bool SameAs(const Picture& o) const {  // canvas and the visible output rows, whatever the pitches
        for (int32_t y = 0; y < kOutputHeight; ++y)
            if (std::memcmp(Output(y), o.Output(y), kPitch) != 0) return false;
        return SameCanvas(o);
    }
};

std::vector<TrailFilterPath> AvailablePaths() {
    std::vector<TrailFilterPath> paths;
    for (int32_t p = 0; p < kTrailFilterPathCount; ++p)
        if (TrailFilterPathAvailable(TrailFilterPath(p))) paths.push_back(TrailFilterPath(p));
    return paths;
}

void Noise(Picture& p, Rng& random, int32_t percentLit) {
    for (int32_t i = 0; i < kWords; ++i) {
        const uint32_t word = uint32_t(Rand(random)) << 17 ^ uint32_t(Rand(random)) << 2 ^ uint32_t(Rand(random));
        p.canvas.pixels[i] = Rand(random) % 100 < percentLit ? word : 0;
    }
}

struct Case {
    const char* name;
    void (*fill)(Picture&, Rng&);
};
const Case kCases[] = {
    {"dense random", [](Picture& p, Rng& r) { Noise(p, r, 100); }},
    {"sparse random", [](Picture& p, Rng& r) { Noise(p, r, 3); }},
    // Rows 0, 717 and 718 too.
    {"all 255", [](Picture& p, Rng&) { std::memset(p.canvas.pixels, 0xFF, kWords * 4); }},
    // Each chunk settles on 169 or 170 by its left input, so every guess is wrong.
    {"all 255 below a black row 0",
     [](Picture& p, Rng&) { std::memset(p.Row(1), 0xFF, (kWords - kCanvasWidth) * 4); }},
    {"saturated rows",
     [](Picture& p, Rng&) {
         for (int32_t y = 0; y < kCanvasHeight; y += 3) std::memset(p.Row(y), 0xFF, kCanvasWidth * 4);
     }},
    {"bright edge columns and chunk seams",
     [](Picture& p, Rng&) {
         for (int32_t y = 0; y < kCanvasHeight; ++y)
             for (int32_t x : {0, 1, 127, 128, 255, 256, 511, 512, 1022, 1023}) p.Row(y)[x] = 0xFFFFFFFF;
     }},
    {"single bright pixels at row ends",
     [](Picture& p, Rng&) {
         p.Row(1)[0] = p.Row(1)[1023] = p.Row(0)[1023] = p.Row(716)[1023] = p.Row(717)[0] = 0xFFFFFFFF;
         p.Row(200)[1023] = 0x00FF00FF;
         p.Row(201)[0] = 0xFF00FF00;
     }},
    {"bright pixels down both edges and a diagonal",
     [](Picture& p, Rng&) {
         for (int32_t y = 340; y < 420; ++y) p.Row(y)[0] = p.Row(y)[1023] = p.Row(y)[5 * y % 1024] = 0xFFFFFFFFu;
     }},
};

}  // namespace

TEST(TrailFilter, SingleBrightByteSpreadsDownAndRight) {
    struct Spot {
        int32_t x, y, b;
    };
    const Spot spots[] = {{1, 2, 0}, {500, 300, 1}, {1021, 714, 2}, {127, 40, 3}, {128, 41, 0}, {255, 600, 2}};
    // Byte value at (x + dx, y + dy) after one pass, rows dy = -1 .. 2.
    const int32_t spread[4][4] = {{0, 63, 15, 3}, {63, 31, 11, 3}, {15, 11, 5, 2}, {3, 3, 2, 1}};
    for (TrailFilterPath path : AvailablePaths())
        for (const Spot& s : spots) {
            Picture c;
            c.Byte(s.x, s.y, s.b) = 255;
            TrailFilterWith(path, c.canvas, c.image.data(), kPitch);
            int32_t wrong = 0, untouched = 0;
            for (int32_t y = 0; y < kCanvasHeight; ++y)
                for (int32_t x = 0; x < kCanvasWidth; ++x)
                    for (int32_t b = 0; b < 4; ++b) {
                        const int32_t dx = x - s.x, dy = y - s.y;
                        const bool near = b == s.b && dy >= -1 && dy <= 2 && dx >= -1 && dx <= 2;
                        wrong += c.Byte(x, y, b) != (near ? spread[dy + 1][dx + 1] : 0);
                    }
            const std::vector<uint32_t> blank(kOutputWidth, kSentinel);
            for (int32_t y = 0; y < kOutputHeight; ++y)
                untouched += (y < 25 || y > 740) && std::memcmp(c.Output(y), blank.data(), kPitch) == 0;
            EXPECT_EQ(wrong, 0) << TrailFilterPathName(path) << " at " << s.x << "," << s.y;
            EXPECT_EQ(untouched, 768 - 716) << TrailFilterPathName(path);
            // The output row shows the middle canvas row three times brighter.
            const uint8_t* shown = reinterpret_cast<const uint8_t*>(c.Output(s.y + 24) + s.x - 1);
            const int32_t want[] = {189, 93, 33, 9};
            for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(shown[4 * i + s.b], want[i]) << TrailFilterPathName(path);
            EXPECT_EQ(c.Output(s.y + 24)[s.x + 3], 0u);
        }
}

// Every path, with a plain, a padded and a null output, against the
// reference on each case.
TEST(TrailFilter, EveryPathMatchesReference) {
    Rng random;
    SeedRandom(random, 12345);
    for (const Case& k : kCases) {
        Picture start, expected, actual, padded(kPitch + 64);
        k.fill(start, random);
        expected.CopyCanvas(start);
        TrailFilterReference(expected.canvas, expected.image.data(), kPitch);
        for (TrailFilterPath path : AvailablePaths()) {
            const char* name = TrailFilterPathName(path);
            actual.CopyCanvas(start);
            TrailFilterWith(path, actual.canvas, actual.image.data(), kPitch);
            EXPECT_TRUE(actual.SameAs(expected)) << name << ", " << k.name;
            actual.CopyCanvas(start);
            TrailFilterWith(path, actual.canvas, nullptr, 0);
            EXPECT_TRUE(actual.SameCanvas(expected)) << name << ", " << k.name << ", null output";
            padded.CopyCanvas(start);
            TrailFilterWith(path, padded.canvas, padded.image.data(), padded.pitch);
            EXPECT_TRUE(padded.SameAs(expected)) << name << ", " << k.name << ", padded output";
        }
    }
}

// Crosses drawn onto the last frame's canvas, as in the show.
TEST(TrailFilter, CanvasFedBackOverFramesStaysExact) {
    Rng random;
    Picture expected, before, actual;
    for (int32_t frame = 0; frame < 30 && !HasFailure(); ++frame) {
        PlotRandomCrosses(expected.canvas, random, frame < 15 ? 500 : 50);
        before.CopyCanvas(expected);
        TrailFilterReference(expected.canvas, expected.image.data(), kPitch);
        for (TrailFilterPath path : AvailablePaths()) {
            actual.CopyCanvas(before);
            TrailFilterWith(path, actual.canvas, actual.image.data(), kPitch);
            EXPECT_TRUE(actual.SameAs(expected)) << TrailFilterPathName(path) << ", frame " << frame;
        }
    }
}

TEST(TrailFilter, OddCanvasesAreLeftAlone) {
    Picture c;
    std::memset(c.canvas.pixels, 0x5A, kWords * 4);
    const Canvas kept = c.canvas;
    for (int32_t odd = 0; odd < 4; ++odd) {
        Canvas wrong = kept;
        if (odd == 0) wrong.height = 718;
        if (odd == 1) wrong.pitch = 4100;
        if (odd == 2) wrong.bitsPerPixel = 0;  // as FreeCanvas leaves it
        if (odd == 3) wrong.pixels = nullptr;
        TrailFilter(wrong, c.image.data(), kPitch);
        TrailFilterReference(wrong, c.image.data(), kPitch);
    }
    int32_t changed = 0;
    for (int32_t i = 0; i < kWords; ++i) changed += c.canvas.pixels[i] != 0x5A5A5A5Au;
    EXPECT_EQ(changed, 0);
    EXPECT_TRUE(c.image == Picture().image);
}

// AVX2 wherever the processor has it, else SSE2, which every x86-64 has.
TEST(TrailFilter, TakesAvx2FirstThenSse2) {
    EXPECT_TRUE(TrailFilterPathAvailable(TrailFilterPortable));
    if (TrailFilterPathAvailable(TrailFilterAvx2)) {
        EXPECT_EQ(TrailFilterBestPath(), TrailFilterAvx2);
    }
#if defined(__x86_64__)
    EXPECT_TRUE(TrailFilterPathAvailable(TrailFilterSse2));
    EXPECT_NE(TrailFilterBestPath(), TrailFilterPortable);
#endif
}
