// What the trail filter's files share, and the vector pass that the SSE2 and
// AVX2 files build from their own instructions.
//
// Each pixel takes its left neighbour as just replaced, so a row is one long
// serial chain. The vector pass cuts every row into V::kLanes chunks of equal
// length and runs them side by side on rows held transposed: step t of a
// transposed row holds pixel t of every chunk. Chunk 0 starts from the true
// left input; every other chunk starts from a guess, found by running the
// tail of the chunk before it from a rough start. A step divides the weight
// of its left input by four, so the guess is nearly always exact, and
// SettleChunkStarts mends the few chunks whose guess was not.
//
// Filtered rows are kept packed: word t * kLanes + p is pixel t of chunk p.
// Rows before the pass are kept wide, each byte in a 16-bit word: a step is
// two registers, its packed bytes unpacked low and high against zero. A
// register is one or more 128-bit slices, and slice h holds chunks 4h to
// 4h + 3. Every operation of V keeps within its slices except LoadQuad and
// JoinQuads, so one pass serves one slice (SSE2) and two (AVX2).
#pragma once
#include <cstdint>
#include "engine/canvas.h"

constexpr int32_t kFilteredRows = 716;  // canvas rows 1 to 716

// SSE2 is part of x86-64, and Emscripten translates it to WebAssembly SIMD
// (-msimd128 -msse2). AVX2 is built on x86-64 and run where the processor
// has it.
#if defined(__SSE2__)
#define STARVANE_TRAIL_SSE2 1
#else
#define STARVANE_TRAIL_SSE2 0
#endif
#if defined(__x86_64__)
#define STARVANE_TRAIL_AVX2 1
#else
#define STARVANE_TRAIL_AVX2 0
#endif

// The passes over a checked canvas, rows 1 to 716 in place, and into the
// output image unless it is null.
void TrailFilterSse2Pass(uint32_t* pixels, uint32_t* output, int32_t outputPitch);
void TrailFilterAvx2Pass(uint32_t* pixels, uint32_t* output, int32_t outputPitch);

// Makes `steps`, canvas row `line` filtered from the guessed starts in
// `guesses` (lanes pixels; guesses[0] the true left input), exact. Row
// line - 1 must be filtered and in the canvas, rows line and line + 1 not.
void SettleChunkStarts(const uint32_t* line, uint32_t* steps, int32_t lanes, const uint32_t* guesses);

// Everything below has internal linkage: a file built for AVX2 must not lend
// its copies to the others.
namespace {

#define STARVANE_INLINE [[gnu::always_inline]] inline

inline uint32_t* OutputRow(uint32_t* output, int32_t outputPitch, int32_t row) {
    return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(output) + intptr_t(row) * outputPitch);
}

// Pixels of the chunk before that a guessed start is run over.
constexpr int32_t kWarmUp = 8;

// One step of the chain in both registers: x = (U + R + D + x) / 4, U packed.
template <class V>
STARVANE_INLINE void Step(const uint32_t* up, const uint16_t* right, const uint16_t* down, typename V::R& x0,
                          typename V::R& x1) {
    constexpr int32_t half = V::kLanes * 2;
    const typename V::R zero = V::Zero(), u = V::Load(up);
    const typename V::R a0 = V::Add(V::Add(V::UnpackLo8(u, zero), V::Load(right)), V::Load(down));
    const typename V::R a1 = V::Add(V::Add(V::UnpackHi8(u, zero), V::Load(right + half)), V::Load(down + half));
    x0 = V::Quarter(V::Add(V::Settled(a0), x0));
    x1 = V::Quarter(V::Add(V::Settled(a1), x1));
}

// Block s (pixels s to s + 7 of every chunk) of a natural row into wide
// steps s to s + 7.
template <class V>
STARVANE_INLINE void WidenBlock(const uint32_t* line, uint16_t* wide, int32_t s) {
    constexpr int32_t chunk = kCanvasWidth / V::kLanes, step = V::kLanes * 4, half = V::kLanes * 2;
    const typename V::R zero = V::Zero();
#pragma GCC unroll 2
    for (int32_t q = s; q < s + 8; q += 4) {
        const uint32_t* n = line + q;
        const typename V::R a = V::LoadQuad(n), b = V::LoadQuad(n + chunk);
        const typename V::R c = V::LoadQuad(n + 2 * chunk), d = V::LoadQuad(n + 3 * chunk);
        const typename V::R ab0 = V::UnpackLo32(a, b), ab1 = V::UnpackHi32(a, b);  // a0 b0 a1 b1, a2 b2 a3 b3
        const typename V::R cd0 = V::UnpackLo32(c, d), cd1 = V::UnpackHi32(c, d);
        uint16_t* w = wide + q * step;
        V::Store(w, V::UnpackLo8(ab0, zero));
        V::Store(w + half, V::UnpackLo8(cd0, zero));
        V::Store(w + step, V::UnpackHi8(ab0, zero));
        V::Store(w + step + half, V::UnpackHi8(cd0, zero));
        V::Store(w + 2 * step, V::UnpackLo8(ab1, zero));
        V::Store(w + 2 * step + half, V::UnpackLo8(cd1, zero));
        V::Store(w + 3 * step, V::UnpackHi8(ab1, zero));
        V::Store(w + 3 * step + half, V::UnpackHi8(cd1, zero));
    }
}

// 4 x 4 transpose of 32-bit words within each slice.
template <class V>
STARVANE_INLINE void Transpose4(typename V::R* v) {
    const typename V::R ab0 = V::UnpackLo32(v[0], v[1]), ab1 = V::UnpackHi32(v[0], v[1]);
    const typename V::R cd0 = V::UnpackLo32(v[2], v[3]), cd1 = V::UnpackHi32(v[2], v[3]);
    v[0] = V::UnpackLo64(ab0, cd0);
    v[1] = V::UnpackHi64(ab0, cd0);
    v[2] = V::UnpackLo64(ab1, cd1);
    v[3] = V::UnpackHi64(ab1, cd1);
}

// Packed steps s to s + 7 into the natural row and, three times brighter,
// into the output row; either may be null.
template <class V>
STARVANE_INLINE void NarrowBlock(const uint32_t* steps, uint32_t* line, uint32_t* shown, int32_t s) {
    constexpr int32_t chunk = kCanvasWidth / V::kLanes;
    if (line == nullptr && shown == nullptr) return;
    typename V::R a[4], b[4];  // after the transposes, pixels s.. and s + 4.. of chunk p in a[p] and b[p]
#pragma GCC unroll 4
    for (int32_t i = 0; i < 4; ++i) {
        a[i] = V::Load(steps + (s + i) * V::kLanes);
        b[i] = V::Load(steps + (s + 4 + i) * V::kLanes);
    }
    Transpose4<V>(a);
    Transpose4<V>(b);
#pragma GCC unroll 4
    for (int32_t p = 0; p < 4; ++p) {
        typename V::R first, second;  // for pixel s and pixel s + V::kSecondQuad of chunk p
        V::JoinQuads(a[p], b[p], first, second);
        const int32_t at = p * chunk + s;
        if (line != nullptr) {
            V::Store(line + at, first);
            V::Store(line + at + V::kSecondQuad, second);
        }
        if (shown != nullptr) {
            V::Store(shown + at, V::Triple(first));
            V::Store(shown + at + V::kSecondQuad, V::Triple(second));
        }
    }
}

// One canvas row: filters it into `row` while moving the row below in and
// the finished row above out.
struct RowPass {
    const uint32_t* up;         // row above, filtered, packed
    uint16_t* old;              // this row before the pass, wide
    uint16_t* below;            // receives the row below, wide
    uint32_t* row;              // receives this row, packed
    const uint32_t* line;       // this row in the canvas, before the pass; the row below follows it
    uint32_t* upLine;           // canvas row to receive `up`, or null
    uint32_t* upShown;          // output row to receive `up`, or null
    uint32_t left;              // true left input of chunk 0
    uint32_t* guesses;          // receives the left input each chunk started from
    const uint32_t* nextBelow;  // the row the next row's pass moves in, or null
};

template <class V>
void FilterRow(const RowPass& pass) {
    constexpr int32_t lanes = V::kLanes, chunk = kCanvasWidth / lanes, step = lanes * 4;
    constexpr int32_t firstEarlyBlock = (chunk - kWarmUp) / 8 * 8;
    const uint32_t* up = pass.up;
    uint16_t* old = pass.old;
    uint16_t* below = pass.below;
    const uint32_t* belowLine = pass.line + kCanvasWidth;
    const typename V::R zero = V::Zero();

    // The guesses run over the tails of the chunks: those blocks of the row
    // below come first.
    for (int32_t s = firstEarlyBlock; s < chunk; s += 8) WidenBlock<V>(belowLine, below, s);
    // The right neighbour of each chunk's last pixel, into the spare step of
    // `old`: the next chunk's first pixel, for the last chunk the first pixel
    // of the row below.
    alignas(64) uint32_t ends[lanes];
    for (int32_t p = 0; p < lanes; ++p) ends[p] = pass.line[(p + 1) * chunk];
    const typename V::R e = V::Load(ends);
    V::Store(old + chunk * step, V::UnpackLo8(e, zero));
    V::Store(old + chunk * step + lanes * 2, V::UnpackHi8(e, zero));

    // Each lane runs the tail of its own chunk, from the filtered pixel above
    // the one before it; the results move up a lane, and lane 0 takes the
    // true left input.
    const typename V::R above = V::Load(up + (chunk - kWarmUp - 1) * lanes);
    typename V::R x0 = V::UnpackLo8(above, zero), x1 = V::UnpackHi8(above, zero);
    for (int32_t t = chunk - kWarmUp; t < chunk; ++t)
        Step<V>(up + t * lanes, old + (t + 1) * step, below + t * step, x0, x1);
    const typename V::R g = V::ShiftLanesUp(V::PackUs(x0, x1), pass.left);
    V::Store(pass.guesses, g);
    x0 = V::UnpackLo8(g, zero);
    x1 = V::UnpackHi8(g, zero);

    for (int32_t s = 0; s < chunk; s += 8) {
        if (s < firstEarlyBlock) WidenBlock<V>(belowLine, below, s);
        NarrowBlock<V>(up, pass.upLine, pass.upShown, s);
#pragma GCC unroll 8
        for (int32_t t = s; t < s + 8; ++t) {
            Step<V>(up + t * lanes, old + (t + 1) * step, below + t * step, x0, x1);
            V::Store(pass.row + t * lanes, V::PackUs(x0, x1));
            // Rows are moved in a cache line of every chunk at a time, an
            // order the hardware does not fetch ahead for: the 64 lines of
            // the next row to move in are asked for in memory order, spread
            // over the steps.
            if (t % (chunk / 64) == 0 && pass.nextBelow != nullptr) V::Prefetch(pass.nextBelow + t * lanes);
        }
    }
}

template <class V>
void FilterCanvas(uint32_t* pixels, uint32_t* output, int32_t outputPitch) {
    constexpr int32_t lanes = V::kLanes, chunk = kCanvasWidth / lanes;
    // A step per pixel of a chunk, the spare step and spacing: no two buffers
    // share their low 12 address bits at the same step, where a load that
    // seems to alias an earlier store would wait.
    alignas(64) uint16_t wide[2][(chunk + 2) * lanes * 4];
    alignas(64) uint32_t packed[2][kCanvasWidth + 2 * lanes];
    alignas(64) uint32_t guesses[lanes];
    uint32_t* up = packed[0];
    uint32_t* row = packed[1];
    uint16_t* old = wide[0];
    uint16_t* below = wide[1];
    for (int32_t t = 0; t < chunk; ++t)
        for (int32_t p = 0; p < lanes; ++p) up[t * lanes + p] = pixels[p * chunk + t];
    for (int32_t s = 0; s < chunk; s += 8) WidenBlock<V>(pixels + kCanvasWidth, old, s);
    uint32_t left = 0;
    for (int32_t r = 1; r <= kFilteredRows; ++r) {
        uint32_t* line = pixels + r * kCanvasWidth;
        // Row r - 1 goes out during this row's pass; row 0 stays as it is.
        uint32_t* upLine = r > 1 ? line - kCanvasWidth : nullptr;
        uint32_t* upShown = r > 1 && output != nullptr ? OutputRow(output, outputPitch, r + 23) : nullptr;
        const uint32_t* nextBelow = r < kFilteredRows ? line + 2 * kCanvasWidth : nullptr;
        FilterRow<V>({up, old, below, row, line, upLine, upShown, left, guesses, nextBelow});
        SettleChunkStarts(line, row, lanes, guesses);
        left = row[kCanvasWidth - 1];  // the last lane of the last step
        uint32_t* done = up;
        up = row;
        row = done;
        uint16_t* freed = old;
        old = below;
        below = freed;
    }
    uint32_t* lastShown = output != nullptr ? OutputRow(output, outputPitch, kFilteredRows + 24) : nullptr;
    for (int32_t s = 0; s < chunk; s += 8) NarrowBlock<V>(up, pixels + kFilteredRows * kCanvasWidth, lastShown, s);
}

}  // namespace
