// Canvas storage and the cross plotter.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "engine/canvas.h"
#include "engine/particle_pool.h"

namespace {

struct PlotFixture : ::testing::Test {
    Rng random;
    ParticlePool pool;
    Canvas canvas;
    void SetUp() override {
        pool.particleCount = 64;
        ASSERT_TRUE(CreatePool(pool, random));
        canvas.width = kCanvasWidth;
        canvas.height = kCanvasHeight;
        canvas.bitsPerPixel = 32;
        ASSERT_TRUE(AllocateCanvas(canvas));
    }
    void TearDown() override {
        FreeCanvas(canvas);
        DestroyPool(pool);
    }
    void Put(int32_t slot, float x, float y, uint32_t color, int32_t life = 10) {
        Particle& p = ClaimSlot(pool, slot, life);
        p.x = x;
        p.y = y;
        p.color = color;
    }
    uint32_t At(int32_t x, int32_t y) const { return canvas.pixels[y * (canvas.pitch / 4) + x]; }
    int32_t CountNonZero() const {
        int32_t n = 0;
        for (int32_t i = 0; i < canvas.width * canvas.height; ++i) n += canvas.pixels[i] != 0;
        return n;
    }
};

}  // namespace

TEST(Canvas, AllocateAndFree) {
    Canvas canvas;
    canvas.width = 1024;
    canvas.height = 719;
    canvas.bitsPerPixel = 32;
    ASSERT_TRUE(AllocateCanvas(canvas));
    EXPECT_EQ(canvas.pitch, 4096);
    const uintptr_t block = reinterpret_cast<uintptr_t>(canvas.block);
    const uintptr_t pixels = reinterpret_cast<uintptr_t>(canvas.pixels);
    EXPECT_EQ(pixels % 8, 0u);
    EXPECT_GE(pixels, block);
    EXPECT_LE(pixels - block, 4u);
    int32_t nonZero = 0;
    for (int32_t i = 0; i < 736256; ++i) nonZero += canvas.pixels[i] != 0;
    EXPECT_EQ(nonZero, 0);
    FreeCanvas(canvas);
    EXPECT_EQ(canvas.bitsPerPixel, 0);
    EXPECT_EQ(canvas.width, 1024);
    EXPECT_EQ(canvas.height, 719);
    EXPECT_EQ(canvas.pitch, 4096);
    FreeCanvas(canvas);  // a second release is harmless

    Canvas bad;
    bad.width = -5;
    bad.height = 719;
    bad.bitsPerPixel = 32;
    EXPECT_FALSE(AllocateCanvas(bad));
    EXPECT_EQ(bad.pixels, nullptr);
}

TEST_F(PlotFixture, CrossRoundsHalvesToEven) {
    Put(0, 4.5f, 5.5f, 0x123456);
    Put(1, 100.49f, 200.51f, 0x00AA00);
    Put(2, 300.0f, 300.0f, 0x0000FF, 0);  // free: not drawn
    PlotParticles(pool, canvas);
    EXPECT_EQ(At(4, 6), 0xFFFFFFu);
    EXPECT_EQ(At(3, 6), 0x123456u);
    EXPECT_EQ(At(5, 6), 0x123456u);
    EXPECT_EQ(At(4, 5), 0x123456u);
    EXPECT_EQ(At(4, 7), 0x123456u);
    EXPECT_EQ(At(100, 201), 0xFFFFFFu);
    EXPECT_EQ(At(101, 201), 0x00AA00u);
    EXPECT_EQ(CountNonZero(), 10);

    // Stores replace, nothing is blended; the pool is left as it was.
    canvas.pixels[6 * 1024 + 3] = 0xFF0000;
    PlotParticles(pool, canvas);
    EXPECT_EQ(At(3, 6), 0x123456u);
    EXPECT_EQ(pool.particles[0].life, 10);
}

TEST_F(PlotFixture, HigherSlotWinsOverlaps) {
    Put(3, 50.2f, 60.0f, 0x111111);
    Put(7, 49.8f, 60.1f, 0x222222);  // same rounded position
    Put(9, 51.0f, 60.0f, 0x333333);  // its left arm covers the centre at 50
    Put(12, 200.0f, 100.0f, 0x444444);
    Put(13, 201.0f, 101.0f, 0x555555);  // arms at (200, 101) and (201, 100)
    PlotParticles(pool, canvas);
    EXPECT_EQ(At(49, 60), 0x222222u);
    EXPECT_EQ(At(50, 59), 0x222222u);
    EXPECT_EQ(At(50, 61), 0x222222u);
    EXPECT_EQ(At(50, 60), 0x333333u);
    EXPECT_EQ(At(51, 60), 0xFFFFFFu);
    EXPECT_EQ(At(52, 60), 0x333333u);
    EXPECT_EQ(At(200, 100), 0xFFFFFFu);
    EXPECT_EQ(At(200, 101), 0x555555u);
    EXPECT_EQ(At(201, 100), 0x555555u);
}

TEST_F(PlotFixture, EdgesOfTheLiveAreaAndStrayPositions) {
    Put(0, 3.0f, 3.0f, 0x010101);
    Put(1, 1021.0f, 714.9f, 0x020202);
    // Never produced by the motion step; skipped rather than stored outside.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Put(2, nan, 100.0f, 0x030303);
    Put(3, 2000.0f, 100.0f, 0x030303);
    Put(4, 100.0f, -1e30f, 0x030303);
    Put(5, 2.4f, 100.0f, 0x030303);
    Put(6, 100.0f, 716.0f, 0x030303);
    PlotParticles(pool, canvas);
    EXPECT_EQ(At(3, 3), 0xFFFFFFu);
    EXPECT_EQ(At(2, 3), 0x010101u);
    EXPECT_EQ(At(3, 2), 0x010101u);
    EXPECT_EQ(At(1021, 715), 0xFFFFFFu);
    EXPECT_EQ(At(1022, 715), 0x020202u);
    EXPECT_EQ(At(1021, 716), 0x020202u);
    EXPECT_EQ(CountNonZero(), 10);
    for (int32_t x = 0; x < 1024; ++x) {
        ASSERT_EQ(At(x, 0), 0u);
        ASSERT_EQ(At(x, 717), 0u);
    }
}
