// The AVX2 pass of the trail filter: eight chunks of 128 pixels side by side
// on wide rows (see trail_filter_chunks.h), transposed in blocks of 8 x 8
// pixels. A 256-bit register holds chunks 0 to 3 in its low half and 4 to 7
// in its high half, so only in-half shuffles are needed until the chunks of
// a block are stored back.
#include <immintrin.h>

#include "engine/trail_filter_chunks.h"

// Everything here is forced inline: a call would spill the running chain.
#define STARVANE_INLINE [[gnu::always_inline]] inline

namespace {

constexpr int32_t kLanes = 8;
constexpr int32_t kChunk = kCanvasRowPixels / kLanes;
constexpr int32_t kStep = kLanes * 4;  // words of a wide step
constexpr int32_t kRowWords = WideRowWords(kLanes);
// Pixels of the chunk before that a guessed start is run over; one chunk in
// a few hundred then still needs repair, which costs a pixel or two.
constexpr int32_t kWarmUp = 8;
// The first block of the row below that the guesses need.
constexpr int32_t kFirstEarlyBlock = (kChunk - kWarmUp) / 8 * 8;

// Unaligned forms throughout: no cost on aligned data, and no fault where a
// stack cannot be aligned to 32 bytes.
STARVANE_INLINE __m256i Load(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
STARVANE_INLINE void Store(void* p, __m256i v) { _mm256_storeu_si256(static_cast<__m256i*>(p), v); }

// Four words from `low` and four from `high`.
STARVANE_INLINE __m256i LoadPair(const uint32_t* low, const uint32_t* high) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
}

// Pixels q to q + 3 of the chunks in a, b, c, d (chunks 0 to 3 in the low
// halves, 4 to 7 in the high ones) into wide steps q to q + 3.
STARVANE_INLINE void WidenQuad(__m256i a, __m256i b, __m256i c, __m256i d, uint16_t* wide) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i ab0 = _mm256_unpacklo_epi32(a, b);  // a0 b0 a1 b1
    const __m256i ab1 = _mm256_unpackhi_epi32(a, b);  // a2 b2 a3 b3
    const __m256i cd0 = _mm256_unpacklo_epi32(c, d);
    const __m256i cd1 = _mm256_unpackhi_epi32(c, d);
    Store(wide, _mm256_unpacklo_epi8(ab0, zero));
    Store(wide + 16, _mm256_unpacklo_epi8(cd0, zero));
    Store(wide + kStep, _mm256_unpackhi_epi8(ab0, zero));
    Store(wide + kStep + 16, _mm256_unpackhi_epi8(cd0, zero));
    Store(wide + 2 * kStep, _mm256_unpacklo_epi8(ab1, zero));
    Store(wide + 2 * kStep + 16, _mm256_unpacklo_epi8(cd1, zero));
    Store(wide + 3 * kStep, _mm256_unpackhi_epi8(ab1, zero));
    Store(wide + 3 * kStep + 16, _mm256_unpackhi_epi8(cd1, zero));
}

// Block s (pixels s to s + 7 of every chunk) of a natural row into wide
// steps s to s + 7.
STARVANE_INLINE void TransposeIn(const uint32_t* line, uint16_t* wide, int32_t s) {
#pragma GCC unroll 2
    for (int32_t q = s; q < s + 8; q += 4) {
        const uint32_t* n = line + q;
        WidenQuad(LoadPair(n, n + 4 * kChunk), LoadPair(n + kChunk, n + 5 * kChunk),
                  LoadPair(n + 2 * kChunk, n + 6 * kChunk), LoadPair(n + 3 * kChunk, n + 7 * kChunk),
                  wide + q * kStep);
    }
}

// Wide steps q to q + 3 packed back: chunk p's four pixels in half p / 4 of
// register p % 4.
STARVANE_INLINE void NarrowQuad(const uint16_t* wide, __m256i out[4]) {
    const __m256i ab0 = _mm256_packus_epi16(Load(wide), Load(wide + kStep));  // a0 b0 a1 b1
    const __m256i ab1 = _mm256_packus_epi16(Load(wide + 2 * kStep), Load(wide + 3 * kStep));
    const __m256i cd0 = _mm256_packus_epi16(Load(wide + 16), Load(wide + kStep + 16));
    const __m256i cd1 = _mm256_packus_epi16(Load(wide + 2 * kStep + 16), Load(wide + 3 * kStep + 16));
    auto pick = [](__m256i x, __m256i y, int even) {
        const __m256 fx = _mm256_castsi256_ps(x), fy = _mm256_castsi256_ps(y);
        return _mm256_castps_si256(even ? _mm256_shuffle_ps(fx, fy, _MM_SHUFFLE(2, 0, 2, 0))
                                        : _mm256_shuffle_ps(fx, fy, _MM_SHUFFLE(3, 1, 3, 1)));
    };
    out[0] = pick(ab0, ab1, 1);
    out[1] = pick(ab0, ab1, 0);
    out[2] = pick(cd0, cd1, 1);
    out[3] = pick(cd0, cd1, 0);
}

STARVANE_INLINE __m256i TripleSaturated(__m256i v) { return _mm256_adds_epu8(_mm256_adds_epu8(v, v), v); }

// Wide steps s to s + 7 back into the natural row and, three times brighter,
// into the output row, as the flags say.
template <bool kLine, bool kShown>
STARVANE_INLINE void TransposeOut(const uint16_t* wide, uint32_t* line, uint32_t* shown, int32_t s) {
    __m256i a[4], b[4];
    NarrowQuad(wide + s * kStep, a);        // pixels s .. s + 3
    NarrowQuad(wide + (s + 4) * kStep, b);  // pixels s + 4 .. s + 7
#pragma GCC unroll 4
    for (int32_t p = 0; p < 4; ++p) {
        const __m256i low = _mm256_permute2x128_si256(a[p], b[p], 0x20);   // chunk p
        const __m256i high = _mm256_permute2x128_si256(a[p], b[p], 0x31);  // chunk p + 4
        if (kLine) {
            Store(line + p * kChunk + s, low);
            Store(line + (p + 4) * kChunk + s, high);
        }
        if (kShown) {
            Store(shown + p * kChunk + s, TripleSaturated(low));
            Store(shown + (p + 4) * kChunk + s, TripleSaturated(high));
        }
    }
}

// Either row may be null.
STARVANE_INLINE void TransposeOut(const uint16_t* wide, uint32_t* line, uint32_t* shown, int32_t s) {
    if (line != nullptr && shown != nullptr)
        TransposeOut<true, true>(wide, line, shown, s);
    else if (line != nullptr)
        TransposeOut<true, false>(wide, line, shown, s);
    else if (shown != nullptr)
        TransposeOut<false, true>(wide, line, shown, s);
}

// Hides a value's origin from the compiler, which would otherwise fold the
// sum U + R + D into the running chain and lengthen it by an addition.
STARVANE_INLINE __m256i Settled(__m256i v) {
    __asm__("" : "+v"(v));
    return v;
}

// One step of the chain in both registers: x = (U + R + D + x) / 4.
STARVANE_INLINE void Step(const uint16_t* up, const uint16_t* right, const uint16_t* down, __m256i& x0,
                          __m256i& x1) {
    const __m256i a0 = _mm256_add_epi16(_mm256_add_epi16(Load(up), Load(right)), Load(down));
    const __m256i a1 = _mm256_add_epi16(_mm256_add_epi16(Load(up + 16), Load(right + 16)), Load(down + 16));
    x0 = _mm256_srli_epi16(_mm256_add_epi16(Settled(a0), x0), 2);
    x1 = _mm256_srli_epi16(_mm256_add_epi16(Settled(a1), x1), 2);
}

// One canvas row: filters it into `row` while transposing the row below in
// and the finished row above out.
struct RowPass {
    const uint16_t* up;         // row above, filtered
    uint16_t* old;              // this row before the pass
    uint16_t* below;            // receives the row below
    uint16_t* row;              // receives this row
    const uint32_t* oldLine;    // this row in natural order, before the pass
    const uint32_t* belowLine;  // the row below in natural order
    uint32_t* upLine;           // row to receive `up`, or null
    uint32_t* upShown;          // output row to receive `up`, or null
    uint32_t left;              // true left input of chunk 0
    uint32_t* guesses;          // receives the left input each chunk started from
};

void FilterRow(const RowPass& pass) {
    const uint16_t* up = pass.up;
    uint16_t* old = pass.old;
    uint16_t* below = pass.below;
    uint16_t* row = pass.row;
    const __m256i zero = _mm256_setzero_si256();

    // The guesses run over the tails of the chunks: those blocks of the row
    // below come first.
    for (int32_t s = kFirstEarlyBlock; s < kChunk; s += 8) TransposeIn(pass.belowLine, below, s);
    // The right neighbour of each chunk's last pixel: the next chunk's first
    // pixel, and for the last chunk the first pixel of the row below. It goes
    // into the spare step of `old`.
    {
        const uint32_t* o = pass.oldLine;
        const __m256i ends = _mm256_setr_epi32(
            int32_t(o[kChunk]), int32_t(o[2 * kChunk]), int32_t(o[3 * kChunk]), int32_t(o[4 * kChunk]),
            int32_t(o[5 * kChunk]), int32_t(o[6 * kChunk]), int32_t(o[7 * kChunk]), int32_t(pass.belowLine[0]));
        Store(old + kChunk * kStep, _mm256_unpacklo_epi8(ends, zero));
        Store(old + kChunk * kStep + 16, _mm256_unpackhi_epi8(ends, zero));
    }

    // Guesses: each lane runs the last pixels of its own chunk, starting from
    // the fixed point a / 3 of the step v = (a + v) / 4; the results move up
    // a lane, and lane 0 takes the true left input.
    __m256i x0, x1;
    {
        const int32_t t0 = kChunk - kWarmUp;
        const uint16_t *u = up + t0 * kStep, *r = old + (t0 + 1) * kStep, *d = below + t0 * kStep;
        const __m256i third = _mm256_set1_epi16(21846);
        x0 = _mm256_mulhi_epu16(_mm256_add_epi16(_mm256_add_epi16(Load(u), Load(r)), Load(d)), third);
        x1 = _mm256_mulhi_epu16(_mm256_add_epi16(_mm256_add_epi16(Load(u + 16), Load(r + 16)), Load(d + 16)),
                                third);
        for (int32_t t = t0; t < kChunk; ++t) Step(up + t * kStep, old + (t + 1) * kStep, below + t * kStep, x0, x1);
        __m256i g = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(x0, x1), _mm256_setr_epi32(0, 0, 1, 2, 3, 4, 5, 6));
        g = _mm256_blend_epi32(g, _mm256_set1_epi32(int32_t(pass.left)), 0x01);
        Store(pass.guesses, g);
        x0 = _mm256_unpacklo_epi8(g, zero);
        x1 = _mm256_unpackhi_epi8(g, zero);
    }

    for (int32_t s = 0; s < kChunk; s += 8) {
        if (s < kFirstEarlyBlock) TransposeIn(pass.belowLine, below, s);
        TransposeOut(up, pass.upLine, pass.upShown, s);
#pragma GCC unroll 8
        for (int32_t t = s; t < s + 8; ++t) {
            Step(up + t * kStep, old + (t + 1) * kStep, below + t * kStep, x0, x1);
            Store(row + t * kStep, x0);
            Store(row + t * kStep + 16, x1);
        }
    }
}

}  // namespace

void TrailFilterAvx2Run(const FilterRun& run) {
    // Spaced so that no two buffers share their low 12 address bits at the
    // same step: a load that seems to alias an earlier store would wait.
    alignas(32) uint16_t buffers[4][kRowWords];
    alignas(32) uint32_t guesses[kLanes];
    uint16_t* up = buffers[0];
    uint16_t* old = buffers[1];
    uint16_t* below = buffers[2];
    uint16_t* row = buffers[3];
    for (int32_t s = 0; s < kChunk; s += 8) {
        TransposeIn(run.above, up, s);
        TransposeIn(run.old[0], old, s);
    }
    uint32_t left = run.left;
    for (int32_t i = 0; i < run.rows; ++i) {
        // Row i - 1 is written out during this row's pass.
        uint32_t* upLine = i > 0 ? run.to[i - 1] : nullptr;
        uint32_t* upShown = i > 0 && run.shown != nullptr ? run.shown[i - 1] : nullptr;
        FilterRow({up, old, below, row, run.old[i], run.old[i + 1], upLine, upShown, left, guesses});
        SettleChunkStarts({kLanes, up, old, below, row, guesses});
        left = WidePixel(row, kLanes, kChunk - 1, kLanes - 1);
        // Plain swaps: no template shared with the files built without AVX2.
        uint16_t* freed = up;
        up = row;
        row = freed;
        freed = old;
        old = below;
        below = freed;
    }
    uint32_t* lastLine = run.to[run.rows - 1];
    uint32_t* lastShown = run.shown != nullptr ? run.shown[run.rows - 1] : nullptr;
    for (int32_t s = 0; s < kChunk; s += 8) TransposeOut(up, lastLine, lastShown, s);
}
