// The AVX-512 pass of the trail filter: sixteen chunks of 64 pixels side by
// side on wide rows (see trail_filter_chunks.h), transposed in blocks of
// 16 x 16 pixels with full-width shuffles. 128-bit slice h of a register
// holds chunks 4h to 4h + 3.
// The file is built for the wider instruction set on its own and runs only
// where the processor has it.
#include "engine/trail_filter_chunks.h"

#if defined(__x86_64__) || defined(_M_X64)

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,avx512f,avx512bw"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512bw")
#endif
#include <immintrin.h>

// Everything here is forced inline: a call would spill the running chain.
#define STARVANE_INLINE [[gnu::always_inline]] inline

namespace {

constexpr int32_t kLanes = 16;
constexpr int32_t kChunk = kCanvasRowPixels / kLanes;
constexpr int32_t kStep = kLanes;  // words of a transposed step
// A row, a spare step and spacing.
constexpr int32_t kRowWords = (kChunk + 2) * kStep;
constexpr int32_t kBlock = 16;
// Pixels of the chunk before that a guessed start is run over.
constexpr int32_t kWarmUp = 8;
// The first block of the row below that the guesses need.
constexpr int32_t kFirstEarlyBlock = (kChunk - kWarmUp) / kBlock * kBlock;

STARVANE_INLINE __m512i Load(const void* p) { return _mm512_loadu_si512(p); }
STARVANE_INLINE void Store(void* p, __m512i v) { _mm512_storeu_si512(p, v); }
// The shuffles in their zero-masking forms with a full mask: the plain ones
// trip a false uninitialised-value warning in some compilers' headers.
constexpr __mmask16 kAll = 0xFFFF;
// Lane p takes lane index[p].
STARVANE_INLINE __m512i Permute(__m512i v, __m512i index) { return _mm512_maskz_permutexvar_epi32(kAll, index, v); }
template <int kPick>
STARVANE_INLINE __m512i ShuffleSlices(__m512i a, __m512i b) { return _mm512_maskz_shuffle_i32x4(kAll, a, b, kPick); }
STARVANE_INLINE __m512i UnpackLow32(__m512i a, __m512i b) { return _mm512_maskz_unpacklo_epi32(kAll, a, b); }
STARVANE_INLINE __m512i UnpackHigh32(__m512i a, __m512i b) { return _mm512_maskz_unpackhi_epi32(kAll, a, b); }
STARVANE_INLINE __m512i UnpackLow64(__m512i a, __m512i b) { return _mm512_maskz_unpacklo_epi64(0xFF, a, b); }
STARVANE_INLINE __m512i UnpackHigh64(__m512i a, __m512i b) { return _mm512_maskz_unpackhi_epi64(0xFF, a, b); }
// Words 0 and 2 (kOdd false) or 1 and 3 of each slice of a, then of b.
template <bool kOdd>
STARVANE_INLINE __m512i PickWords(__m512i a, __m512i b) {
    const __m512 fa = _mm512_castsi512_ps(a), fb = _mm512_castsi512_ps(b);
    return _mm512_castps_si512(_mm512_maskz_shuffle_ps(kAll, fa, fb, kOdd ? _MM_SHUFFLE(3, 1, 3, 1) : _MM_SHUFFLE(2, 0, 2, 0)));
}

// 4 x 4 transpose of the 128-bit slices of p, q, s, t: slice h of the j-th
// result is slice j of the h-th input.
STARVANE_INLINE void TransposeSlices(__m512i& p, __m512i& q, __m512i& s, __m512i& t) {
    const __m512i pqLow = ShuffleSlices<0x44>(p, q), pqHigh = ShuffleSlices<0xEE>(p, q);
    const __m512i stLow = ShuffleSlices<0x44>(s, t), stHigh = ShuffleSlices<0xEE>(s, t);
    p = ShuffleSlices<0x88>(pqLow, stLow);
    q = ShuffleSlices<0xDD>(pqLow, stLow);
    s = ShuffleSlices<0x88>(pqHigh, stHigh);
    t = ShuffleSlices<0xDD>(pqHigh, stHigh);
}

// 4 x 4 transpose of the 32-bit words in each slice of a, b, c, d.
STARVANE_INLINE void TransposeWords(__m512i& a, __m512i& b, __m512i& c, __m512i& d) {
    const __m512i ab0 = UnpackLow32(a, b);  // a0 b0 a1 b1
    const __m512i ab1 = UnpackHigh32(a, b);  // a2 b2 a3 b3
    const __m512i cd0 = UnpackLow32(c, d);
    const __m512i cd1 = UnpackHigh32(c, d);
    a = UnpackLow64(ab0, cd0);
    b = UnpackHigh64(ab0, cd0);
    c = UnpackLow64(ab1, cd1);
    d = UnpackHigh64(ab1, cd1);
}

// A block of 16 x 16 pixels is moved in eight pieces each way, so that the
// pieces can be spread over the steps of the chain, which is bound by its
// latency and leaves room for them.
//
// Into a transposed row, block s (pixels s to s + 15 of every chunk):
// pieces g = 0..3 gather chunks g, 4 + g, 8 + g and 12 + g into r[4j + g]
// (pixels s + 4j .. s + 4j + 3 of chunk 4h + g in slice h); pieces j = 0..3
// then store steps s + 4j .. s + 4j + 3.
STARVANE_INLINE void GatherIn(const uint32_t* line, int32_t s, int32_t g, __m512i r[16]) {
    __m512i p = Load(line + g * kChunk + s), q = Load(line + (4 + g) * kChunk + s);
    __m512i u = Load(line + (8 + g) * kChunk + s), v = Load(line + (12 + g) * kChunk + s);
    TransposeSlices(p, q, u, v);
    r[g] = p;
    r[4 + g] = q;
    r[8 + g] = u;
    r[12 + g] = v;
}

STARVANE_INLINE void StoreIn(uint32_t* rows, int32_t s, int32_t j, __m512i r[16]) {
    TransposeWords(r[4 * j], r[4 * j + 1], r[4 * j + 2], r[4 * j + 3]);
    for (int32_t k = 0; k < 4; ++k) Store(rows + (s + 4 * j + k) * kStep, r[4 * j + k]);
}

STARVANE_INLINE void TransposeIn(const uint32_t* line, uint32_t* rows, int32_t s) {
    __m512i r[16];
#pragma GCC unroll 4
    for (int32_t g = 0; g < 4; ++g) GatherIn(line, s, g, r);
#pragma GCC unroll 4
    for (int32_t j = 0; j < 4; ++j) StoreIn(rows, s, j, r);
}

STARVANE_INLINE __m512i TripleSaturated(__m512i v) { return _mm512_adds_epu8(_mm512_adds_epu8(v, v), v); }

// Out of a transposed row, block s: pieces j = 0..3 load steps s + 4j ..
// s + 4j + 3 into a[4j + g] (as r above); pieces g = 0..3 store chunks g,
// 4 + g, 8 + g and 12 + g into the natural row and, three times brighter,
// into the output row, as the flags say.
STARVANE_INLINE void GatherOut(const uint32_t* rows, int32_t s, int32_t j, __m512i a[16]) {
    for (int32_t k = 0; k < 4; ++k) a[4 * j + k] = Load(rows + (s + 4 * j + k) * kStep);
    TransposeWords(a[4 * j], a[4 * j + 1], a[4 * j + 2], a[4 * j + 3]);
}

template <bool kLine, bool kShown>
STARVANE_INLINE void StoreOut(uint32_t* line, uint32_t* shown, int32_t s, int32_t g, __m512i a[16]) {
    __m512i out[4] = {a[g], a[4 + g], a[8 + g], a[12 + g]};
    TransposeSlices(out[0], out[1], out[2], out[3]);
#pragma GCC unroll 4
    for (int32_t h = 0; h < 4; ++h) {
        const int32_t at = (4 * h + g) * kChunk + s;
        if (kLine) Store(line + at, out[h]);
        if (kShown) Store(shown + at, TripleSaturated(out[h]));
    }
}

template <bool kLine, bool kShown>
STARVANE_INLINE void TransposeOut(const uint32_t* rows, uint32_t* line, uint32_t* shown, int32_t s) {
    __m512i a[16];
#pragma GCC unroll 4
    for (int32_t j = 0; j < 4; ++j) GatherOut(rows, s, j, a);
#pragma GCC unroll 4
    for (int32_t g = 0; g < 4; ++g) StoreOut<kLine, kShown>(line, shown, s, g, a);
}

// Hides a value's origin from the compiler, which would otherwise fold the
// sum U + R + D into the running chain and lengthen it by an addition.
STARVANE_INLINE __m512i Settled(__m512i v) {
    __asm__("" : "+v"(v));
    return v;
}

// One step of the chain in both registers: x = (U + R + D + x) / 4.
STARVANE_INLINE void Step(const uint32_t* up, const uint32_t* right, const uint32_t* down, __m512i& x0,
                          __m512i& x1) {
    const __m512i zero = _mm512_setzero_si512();
    const __m512i u = Load(up), r = Load(right), d = Load(down);
    const __m512i a0 = _mm512_add_epi16(_mm512_add_epi16(_mm512_unpacklo_epi8(u, zero), _mm512_unpacklo_epi8(r, zero)),
                                        _mm512_unpacklo_epi8(d, zero));
    const __m512i a1 = _mm512_add_epi16(_mm512_add_epi16(_mm512_unpackhi_epi8(u, zero), _mm512_unpackhi_epi8(r, zero)),
                                        _mm512_unpackhi_epi8(d, zero));
    x0 = _mm512_srli_epi16(_mm512_add_epi16(Settled(a0), x0), 2);
    x1 = _mm512_srli_epi16(_mm512_add_epi16(Settled(a1), x1), 2);
}

struct RowPass {
    const uint32_t* up;         // row above, filtered
    uint32_t* old;              // this row before the pass
    uint32_t* below;            // receives the row below
    uint32_t* row;              // receives this row
    const uint32_t* belowLine;  // the row below in natural order
    uint32_t* upLine;           // row to receive `up`, or null
    uint32_t* upShown;          // output row to receive `up`, or null
    uint32_t left;              // true left input of chunk 0
    uint32_t* guesses;          // receives the left input each chunk started from
    const uint32_t* nextBelow;  // the row the next row's pass moves in, or null
};

// Filters one row into `row` while moving the row below in and the finished
// row above out, as the flags say.
template <bool kLine, bool kShown>
void FilterRow(const RowPass& pass) {
    const uint32_t* up = pass.up;
    uint32_t* old = pass.old;
    uint32_t* below = pass.below;
    uint32_t* row = pass.row;

    // The guesses run over the tails of the chunks: that block of the row
    // below comes first, then the first block.
    TransposeIn(pass.belowLine, below, kFirstEarlyBlock);
    // The right neighbour of each chunk's last pixel, into the spare step:
    // the first pixel of the next chunk, and of the row below for the last.
    const __m512i next = _mm512_setr_epi32(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0);
    Store(old + kChunk * kStep, _mm512_mask_mov_epi32(Permute(Load(old), next), 0x8000,
                                                      _mm512_set1_epi32(int32_t(pass.belowLine[0]))));

    // Guesses: each lane runs the last pixels of its own chunk from about
    // a / 3, the fixed point of v = (a + v) / 4; the results move up a lane,
    // and lane 0 takes the true left input.
    __m512i x0, x1;
    {
        const int32_t t0 = kChunk - kWarmUp;
        const __m512i third = _mm512_set1_epi16(21846);
        x0 = _mm512_setzero_si512();
        x1 = x0;
        Step(up + t0 * kStep, old + (t0 + 1) * kStep, below + t0 * kStep, x0, x1);  // a / 4
        x0 = _mm512_mulhi_epu16(_mm512_slli_epi16(x0, 2), third);
        x1 = _mm512_mulhi_epu16(_mm512_slli_epi16(x1, 2), third);
        for (int32_t t = t0; t < kChunk; ++t) Step(up + t * kStep, old + (t + 1) * kStep, below + t * kStep, x0, x1);
        const __m512i lift = _mm512_setr_epi32(0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14);
        const __m512i g = _mm512_mask_mov_epi32(Permute(_mm512_packus_epi16(x0, x1), lift), 0x0001,
                                                _mm512_set1_epi32(int32_t(pass.left)));
        Store(pass.guesses, g);
        const __m512i zero = _mm512_setzero_si512();
        x0 = _mm512_unpacklo_epi8(g, zero);
        x1 = _mm512_unpackhi_epi8(g, zero);
    }
    if (kFirstEarlyBlock > 0) TransposeIn(pass.belowLine, below, 0);

    // Block s of the chain, with the next block of the row below moved in
    // and block s of the row above moved out alongside: a piece each step.
    for (int32_t s = 0; s < kChunk; s += kBlock) {
        const bool moveIn = s + kBlock < kFirstEarlyBlock;
        const bool moveOut = kLine || kShown;
        __m512i in[16], out[16];
#pragma GCC unroll 16
        for (int32_t k = 0; k < kBlock; ++k) {
            const int32_t t = s + k;
            Step(up + t * kStep, old + (t + 1) * kStep, below + t * kStep, x0, x1);
            Store(row + t * kStep, _mm512_packus_epi16(x0, x1));
            // Rows are moved in a cache line of every chunk at a time, an
            // order the hardware does not fetch ahead for: a line of the
            // row the next pass moves in, in memory order.
            if (pass.nextBelow != nullptr)
                _mm_prefetch(reinterpret_cast<const char*>(pass.nextBelow + t * 16), _MM_HINT_T0);
            if (k < 4) {
                if (moveIn) GatherIn(pass.belowLine, s + kBlock, k, in);
            } else if (k < 8) {
                if (moveIn) StoreIn(below, s + kBlock, k - 4, in);
            } else if (k < 12) {
                if (moveOut) GatherOut(up, s, k - 8, out);
            } else {
                if (moveOut) StoreOut<kLine, kShown>(pass.upLine, pass.upShown, s, k - 12, out);
            }
        }
    }
}

void FilterRow(const RowPass& pass) {
    if (pass.upLine != nullptr && pass.upShown != nullptr)
        FilterRow<true, true>(pass);
    else if (pass.upLine != nullptr)
        FilterRow<true, false>(pass);
    else if (pass.upShown != nullptr)
        FilterRow<false, true>(pass);
    else
        FilterRow<false, false>(pass);
}

}  // namespace

void TrailFilterAvx512Run(const FilterRun& run) {
    // Spaced so that no two buffers share their low 12 address bits at the
    // same step.
    alignas(64) uint32_t buffers[4][kRowWords];
    alignas(64) uint32_t guesses[kLanes];
    uint32_t* up = buffers[0];
    uint32_t* old = buffers[1];
    uint32_t* below = buffers[2];
    uint32_t* row = buffers[3];
    for (int32_t s = 0; s < kChunk; s += kBlock) {
        TransposeIn(run.above, up, s);
        TransposeIn(run.old[0], old, s);
    }
    uint32_t left = run.left;
    for (int32_t i = 0; i < run.rows; ++i) {
        uint32_t* upLine = i > 0 ? run.to[i - 1] : nullptr;
        uint32_t* upShown = i > 0 && run.shown != nullptr ? run.shown[i - 1] : nullptr;
        const uint32_t* nextBelow = i + 1 < run.rows ? run.old[i + 2] : nullptr;
        FilterRow({up, old, below, row, run.old[i + 1], upLine, upShown, left, guesses, nextBelow});
        // Each chunk's guess against the last pixel of the chunk before.
        const __m512i lift = _mm512_setr_epi32(0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14);
        const __m512i ends = Permute(Load(row + (kChunk - 1) * kStep), lift);
        if (_mm512_cmpneq_epi32_mask(ends, Load(guesses)) & 0xFFFE)
            SettleChunkStarts({kLanes, up, old, below, row, false, false, guesses});
        left = row[kCanvasRowPixels - 1];
        uint32_t* freed = up;
        up = row;
        row = freed;
        freed = old;
        old = below;
        below = freed;
    }
    uint32_t* lastLine = run.to[run.rows - 1];
    uint32_t* lastShown = run.shown != nullptr ? run.shown[run.rows - 1] : nullptr;
    for (int32_t s = 0; s < kChunk; s += kBlock) {
        if (lastLine != nullptr && lastShown != nullptr)
            TransposeOut<true, true>(up, lastLine, lastShown, s);
        else if (lastLine != nullptr)
            TransposeOut<true, false>(up, lastLine, lastShown, s);
        else if (lastShown != nullptr)
            TransposeOut<false, true>(up, lastLine, lastShown, s);
    }
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#endif
