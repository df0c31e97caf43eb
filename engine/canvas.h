// The off-screen particle image and the plotter that draws live particles
// into it as five-pixel crosses with white centres.
#pragma once
#include <cstdint>
#include "engine/particle_pool.h"

constexpr int32_t kCanvasWidth = 1024;
constexpr int32_t kCanvasHeight = 719;

struct Canvas {
    int32_t width = 0;
    int32_t pitch = 0;         // bytes per row
    int32_t height = 0;
    int32_t bitsPerPixel = 0;  // 0 once freed
    uint32_t* pixels = nullptr;  // row 0, 8-byte aligned, inside block
    void* block = nullptr;       // the storage as allocated
};

// The caller sets width, height and bitsPerPixel. Returns false when the
// storage cannot be had (block and pixels stay null).
bool AllocateCanvas(Canvas& canvas);
void FreeCanvas(Canvas& canvas);

void PlotParticles(const ParticlePool& pool, Canvas& canvas);
