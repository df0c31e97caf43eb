// What the vector passes of the trail filter share.
//
// Each pixel takes its left neighbour as just replaced, so a row is one long
// serial chain. A vector pass cuts every row into `lanes` chunks of equal
// length and runs them side by side, one chunk per 32-bit lane, on rows held
// transposed: word t * lanes + p of a transposed row is pixel
// p * (1024 / lanes) + t. Chunk 0 starts from the true left input; every
// other chunk starts from a guess, found by running the tail of the chunk
// before it from a rough start. A step divides the weight of its left input
// by four, so the guess is nearly always exact. SettleChunkStarts checks each
// guess against the true value and recomputes, serially, the start of any
// chunk that guessed wrong until it meets the values already there (from
// there on they are the same), so the row comes out exact whatever it holds.
#pragma once
#include <cstdint>
#include "engine/canvas.h"

constexpr int32_t kCanvasRowPixels = 1024;
constexpr int32_t kFilteredRows = 716;  // canvas rows 1 to 716
// Words of one transposed row buffer: a row, one spare step after it (the
// vector passes keep the right neighbours of the chunk ends there) and
// spacing.
constexpr int32_t kScratchRowWords = kCanvasRowPixels + 64;

struct TransposedRows {
    int32_t lanes;            // chunks per row: 4, 8 or 16
    const uint32_t* up;       // row above, already filtered (row 0 as stored)
    const uint32_t* old;      // this row before the pass
    const uint32_t* below;    // the row below, before the pass
    uint32_t* row;            // this row, filtered from the guessed starts
    const uint32_t* guesses;  // lanes words: the left input chunk p started from
};

// Makes rows.row exact, given that chunk 0 started from the true left input.
void SettleChunkStarts(const TransposedRows& rows);

// Whether the canvas is the one the filter works on: 1024 x 719, pitch 4096,
// 32 bits per pixel, with pixels present.
bool CanvasFitsTrailFilter(const Canvas& canvas);

// Row `row` of the output image. Internal linkage: the file built for AVX2
// must not lend its copy to the others.
static inline uint32_t* OutputRow(uint32_t* output, int32_t outputPitch, int32_t row) {
    return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(output) +
                                       static_cast<intptr_t>(row) * outputPitch);
}

// The paths; the canvas has been checked. The SSE2, AVX2 and AVX-512 passes
// exist on x86-64 only.
void TrailFilterPortablePass(uint32_t* pixels, uint32_t* output, int32_t outputPitch);
void TrailFilterSse2Pass(uint32_t* pixels, uint32_t* output, int32_t outputPitch);
void TrailFilterAvx2Pass(uint32_t* pixels, uint32_t* output, int32_t outputPitch);
void TrailFilterAvx512Pass(uint32_t* pixels, uint32_t* output, int32_t outputPitch);
