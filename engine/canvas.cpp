// The off-screen particle image and the cross plotter.
#include "engine/canvas.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Rows the plotter addresses: the live area reaches row 715, and its crosses
// one row further.
constexpr int32_t kPlotRows = 717;
constexpr uint32_t kWhite = 0x00FFFFFF;

// Nearest integer, halves to even, for 0 <= v < 2^23: adding 2^23 leaves no
// fraction bits, so the float addition itself rounds (default rounding mode).
inline int32_t RoundHalfEven(float v) {
    const float shifted = v + 8388608.0f;
    return int32_t(shifted - 8388608.0f);
}

}  // namespace

bool AllocateCanvas(Canvas& canvas) {
    canvas.pitch = canvas.width * (canvas.bitsPerPixel / 8);
    canvas.block = nullptr;
    canvas.pixels = nullptr;
    if (canvas.width <= 0 || canvas.height <= 0) return false;

    // Four bytes a pixel whatever bitsPerPixel says, and 32 spare bytes so
    // that row 0 can start on an 8-byte boundary.
    const size_t words = size_t(canvas.width) * size_t(canvas.height);
    void* block = std::malloc(words * 4 + 32);
    if (block == nullptr) return false;
    char* start = static_cast<char*>(block);
    if (reinterpret_cast<uintptr_t>(start) % 8 != 0) start += 4;

    canvas.block = block;
    canvas.pixels = reinterpret_cast<uint32_t*>(start);
    std::memset(canvas.pixels, 0, words * 4);
    return true;
}

void FreeCanvas(Canvas& canvas) {
    std::free(canvas.block);
    canvas.block = nullptr;
    canvas.pixels = nullptr;
    canvas.bitsPerPixel = 0;
}

void PlotParticles(const ParticlePool& pool, Canvas& canvas) {
    if (canvas.pixels == nullptr || pool.particles == nullptr) return;

    // Crosses reach one pixel past the centre, so centres must keep one
    // pixel inside the canvas as well as inside the live area.
    const int32_t rows = canvas.height < kPlotRows ? canvas.height : kPlotRows;
    const int32_t maxX = canvas.width - 2 < 1021 ? canvas.width - 2 : 1021;
    const int32_t maxY = rows - 2 < 715 ? rows - 2 : 715;

    uint32_t* rowStart[kPlotRows];
    char* base = reinterpret_cast<char*>(canvas.pixels);
    for (int32_t r = 0; r < rows; ++r) {
        rowStart[r] = reinterpret_cast<uint32_t*>(base + size_t(r) * size_t(canvas.pitch));
    }

    const Particle* particles = pool.particles;
    const int32_t n = pool.particleCount;
    for (int32_t i = 0; i < n; ++i) {
        const Particle& p = particles[i];
        if (p.life == 0) continue;
        // The float test keeps NaN and huge values away from the rounding.
        if (!(p.x >= 2.5f && p.x <= 1021.5f && p.y >= 2.5f && p.y <= 715.5f)) continue;
        const int32_t px = RoundHalfEven(p.x);
        const int32_t py = RoundHalfEven(p.y);
        if (px < 3 || px > maxX || py < 3 || py > maxY) continue;

        const uint32_t c = p.color;
        uint32_t* row = rowStart[py];
        row[px - 1] = c;
        row[px + 1] = c;
        rowStart[py + 1][px] = c;
        rowStart[py - 1][px] = c;
        row[px] = kWhite;
    }
}
