// Canvas storage and the cross plotter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>

#include "engine/canvas.h"

TEST(Canvas, AllocateAndFree) {
    Canvas canvas{.width = 1024, .height = 719, .bitsPerPixel = 32};
    ASSERT_TRUE(AllocateCanvas(canvas));
    EXPECT_EQ(canvas.pitch, 4096);
    const uintptr_t pixels = reinterpret_cast<uintptr_t>(canvas.pixels);
    EXPECT_EQ(pixels % 8, 0u);
    EXPECT_LE(pixels - reinterpret_cast<uintptr_t>(canvas.block), 4u);  // and not before it
    EXPECT_EQ(std::count(canvas.pixels, canvas.pixels + 736256, 0u), 736256);
    FreeCanvas(canvas);
    EXPECT_EQ(canvas.bitsPerPixel, 0);
    EXPECT_EQ(canvas.width, 1024);
    EXPECT_EQ(canvas.height, 719);
    EXPECT_EQ(canvas.pitch, 4096);
    FreeCanvas(canvas);  // a second release is harmless
    Canvas bad{.width = -5, .height = 719, .bitsPerPixel = 32};
    EXPECT_FALSE(AllocateCanvas(bad));
    EXPECT_EQ(bad.pixels, nullptr);
}

// Rounding halves to even, replacing stores, overlaps, the edges of the live
// area, and strays the motion step never leaves (skipped, not stored outside).
TEST(Canvas, PlotsWhiteCentredCrosses) {
    Rng random;
    ParticlePool pool;
    pool.particleCount = 64;
    ASSERT_TRUE(CreatePool(pool, random));
    Canvas canvas{.width = kCanvasWidth, .height = kCanvasHeight, .bitsPerPixel = 32};
    ASSERT_TRUE(AllocateCanvas(canvas));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct { int32_t slot; float x, y; uint32_t color; } particles[] = {
        {0, 4.5f, 5.5f, 0x123456},    {3, 50.2f, 60.0f, 0x111111},   {7, 49.8f, 60.1f, 0x222222},
        {9, 51.0f, 60.0f, 0x333333},  {12, 200.0f, 100.0f, 0x444444}, {13, 201.0f, 101.0f, 0x555555},
        {20, 3.0f, 3.0f, 0x010101},   {21, 1021.0f, 714.9f, 0x020202}, {30, nan, 100.0f, 0x030303},
        {31, 2000.0f, 100.0f, 0x030303}, {32, 100.0f, -1e30f, 0x030303}, {33, 2.4f, 100.0f, 0x030303},
        {34, 100.0f, 716.0f, 0x030303}, {40, 300.0f, 300.0f, 0x0000FF}};
    for (const auto& p : particles) {
        Particle& slot = ClaimSlot(pool, p.slot, 10);
        slot.x = p.x, slot.y = p.y, slot.color = p.color;
    }
    FreeSlot(pool, 40);                      // freed: not drawn
    canvas.pixels[6 * 1024 + 3] = 0xFF0000;  // replaced, not blended
    PlotParticles(pool, canvas);
    const struct { int32_t x, y; uint32_t color; } expected[] = {
        {4, 6, 0xFFFFFF},     {3, 6, 0x123456},     {5, 6, 0x123456},     {4, 5, 0x123456},    {4, 7, 0x123456},
        // The higher slot wins, and a later arm covers an earlier centre.
        {49, 60, 0x222222},   {50, 59, 0x222222},   {50, 61, 0x222222},   {50, 60, 0x333333},  {51, 60, 0xFFFFFF},
        {52, 60, 0x333333},   {200, 100, 0xFFFFFF}, {200, 101, 0x555555}, {201, 100, 0x555555},
        {3, 3, 0xFFFFFF},     {2, 3, 0x010101},     {3, 2, 0x010101},     {1021, 715, 0xFFFFFF},
        {1022, 715, 0x020202}, {1021, 716, 0x020202}};
    for (const auto& e : expected) EXPECT_EQ(canvas.pixels[e.y * 1024 + e.x], e.color) << e.x << ", " << e.y;
    EXPECT_EQ(std::count(canvas.pixels, canvas.pixels + 1024 * 719, 0u), 1024 * 719 - 31);  // nothing else
    FreeCanvas(canvas);
    DestroyPool(pool);
}
