// The trail filter: every pixel of canvas rows 1 to 716 becomes, per byte,
// the floor of the mean of its four neighbours in memory order (left and up
// already replaced, right and down not yet), and is written three times
// brighter, saturating, into rows 25 to 740 of a 1024 x 768 output image.
#pragma once
#include <cstdint>
#include "engine/canvas.h"

constexpr int32_t kOutputWidth = 1024;
constexpr int32_t kOutputHeight = 768;

// output: row 0 of the 1024 x 768 image, rows outputPitch bytes apart; null
// filters the canvas alone. The canvas must be 1024 x 719 with pitch 4096 and
// 32 bits per pixel; any other canvas (a freed one included) is left alone.
void TrailFilter(Canvas& canvas, uint32_t* output, int32_t outputPitch);

// The plain per-byte rule, one byte at a time: the definition the fast paths
// are checked against.
void TrailFilterReference(Canvas& canvas, uint32_t* output, int32_t outputPitch);

// The code paths behind TrailFilter. All give the same result; TrailFilter
// takes AVX2, else SSE2, else the portable path, chosen once.
enum TrailFilterPath : int32_t {
    TrailFilterPortable = 0,  // plain C++, any processor
    TrailFilterSse2 = 1,      // x86-64, and WebAssembly SIMD
    TrailFilterAvx2 = 2,      // x86-64 with AVX2
};
constexpr int32_t kTrailFilterPathCount = 3;

bool TrailFilterPathAvailable(TrailFilterPath path);
TrailFilterPath TrailFilterBestPath();
const char* TrailFilterPathName(TrailFilterPath path);  // "portable", "sse2", "avx2"
// Runs the given path; an unavailable one falls back to the portable path.
void TrailFilterWith(TrailFilterPath path, Canvas& canvas, uint32_t* output, int32_t outputPitch);
