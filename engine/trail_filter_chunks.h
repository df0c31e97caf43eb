// What the vector passes of the trail filter share.
//
// Each pixel takes its left neighbour as just replaced, so a row is one long
// serial chain. A vector pass cuts every row into `lanes` chunks of equal
// length and runs them side by side on rows held transposed: step t of a
// transposed row holds pixel t of every chunk. Rows are kept either packed
// (word t * lanes + p is pixel t of chunk p) and widened to 16-bit words in
// registers, or wide, each byte already in a 16-bit word (layout below).
// Chunk 0 starts from the true left input; every other chunk starts from a
// guess, found by running the tail of the chunk before it from a rough
// start. A step divides the weight of its left input by four, so the guess
// is nearly always exact. SettleChunkStarts checks each guess against the
// true value and recomputes, serially, the start of any chunk that guessed
// wrong until it meets the values already there (from there on they are the
// same), so the row comes out exact whatever it holds.
//
// Layout of one step of a wide row: two registers of lanes * 2 words each.
// Chunks 4h .. 4h + 3 sit in 128-bit slice h of both: 4h and 4h + 1 in the
// first register, 4h + 2 and 4h + 3 in the second, four words a pixel. That
// is what widening the bytes of a packed step with unpack-low and
// unpack-high against zero gives, and what packing back with unsigned
// saturation undoes.
#pragma once
#include <cstdint>
#include "engine/canvas.h"

constexpr int32_t kCanvasRowPixels = 1024;
constexpr int32_t kFilteredRows = 716;  // canvas rows 1 to 716

// Consecutive canvas rows for a pass: the rows are read from `old` and
// written to `to`, which may be the same rows (the pass reads each row
// before it writes it).
struct FilterRun {
    const uint32_t* above;       // the row above the first, already filtered
    uint32_t left;               // left input of the first pixel
    int32_t rows;                // rows in the run, at least 1
    const uint32_t* const* old;  // rows + 1 rows before the pass: the run, then the row below it
    uint32_t* const* to;         // rows entries: where each filtered row goes, null to drop it
    uint32_t* const* shown;      // rows entries: output rows, null for none; or null altogether
};

// Row tables of the canvas and its output image, indexed by canvas row
// (0 to 717), for runs that filter the canvas in place.
struct CanvasRows {
    const uint32_t* old[kFilteredRows + 2];
    uint32_t* to[kFilteredRows + 2];
    uint32_t* shown[kFilteredRows + 2];  // null entries without an output
    bool hasOutput;
};
void FillCanvasRows(CanvasRows& rows, uint32_t* pixels, uint32_t* output, int32_t outputPitch);
// Canvas rows first .. first + count - 1, below `above` and after `left`.
FilterRun CanvasRun(const CanvasRows& rows, int32_t first, int32_t count, const uint32_t* above, uint32_t left);

// The inline helpers here have internal linkage: the files built for wider
// instruction sets must not lend their copies to the others.

// Word offset of pixel p of step t in a wide row of `lanes` chunks.
static inline int32_t WideOffset(int32_t lanes, int32_t t, int32_t p) {
    return t * lanes * 4 + (p & 2 ? lanes * 2 : 0) + (p >> 2) * 8 + (p & 1) * 4;
}

// Words of a wide row: a step per pixel of a chunk, one spare step after
// them (the passes keep there the right neighbours of the chunk ends), and
// a step of spacing.
static constexpr int32_t WideRowWords(int32_t lanes) { return (kCanvasRowPixels / lanes + 2) * lanes * 4; }

// Transposed rows around the one being filtered, packed (32-bit words) or
// wide (16-bit words): the rows before the pass alike, the filtered ones
// alike.
struct ChunkRows {
    int32_t lanes;            // chunks per row: 4 or 8
    const void* up;           // row above, filtered
    const void* old;          // this row before the pass, its spare step filled
    const void* below;        // the row below, before the pass
    void* row;                // this row, filtered from the guessed starts
    bool filteredWide;        // up and row
    bool inputWide;           // old and below
    const uint32_t* guesses;  // lanes pixels: the left input chunk p started from
};

// Makes rows.row exact, given that chunk 0 started from the true left input.
void SettleChunkStarts(const ChunkRows& rows);

// Pixel p of step t of a wide row, packed.
static inline uint32_t WidePixel(const uint16_t* wide, int32_t lanes, int32_t t, int32_t p) {
    const uint16_t* w = wide + WideOffset(lanes, t, p);
    return uint32_t(w[0]) | uint32_t(w[1]) << 8 | uint32_t(w[2]) << 16 | uint32_t(w[3]) << 24;
}

// Whether the canvas is the one the filter works on: 1024 x 719, pitch 4096,
// 32 bits per pixel, with pixels present.
bool CanvasFitsTrailFilter(const Canvas& canvas);

// Row `row` of the output image.
static inline uint32_t* OutputRow(uint32_t* output, int32_t outputPitch, int32_t row) {
    return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(output) +
                                       static_cast<intptr_t>(row) * outputPitch);
}

// Runs one path over a run; the caller has made sure the processor has it.
void RunTrailFilterPath(int32_t path, const FilterRun& run);

// The paths, over a run of rows; the canvas has been checked. The SSE2 and
// AVX2 passes exist on x86-64 only.
void TrailFilterPortableRun(const FilterRun& run);
void TrailFilterSse2Run(const FilterRun& run);
void TrailFilterAvx2Run(const FilterRun& run);
