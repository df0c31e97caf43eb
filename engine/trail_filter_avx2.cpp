// The AVX2 pass of the trail filter: eight chunks of 128 pixels side by side
// (see trail_filter_chunks.h), transposed in blocks of 8 x 8 pixels. The
// rows before the pass are kept wide, the filtered rows packed: each is read
// once more (as the row above) and once on the way out, and packed they cost
// half the loads. A 256-bit register holds chunks 0 to 3 in its low half and
// 4 to 7 in its high half, so only in-half shuffles are needed until the
// chunks of a block are stored back.
#include <immintrin.h>

#include "engine/trail_filter_chunks.h"

// Everything here is forced inline: a call would spill the running chain.
#define STARVANE_INLINE [[gnu::always_inline]] inline

namespace {

constexpr int32_t kLanes = 8;
constexpr int32_t kChunk = kCanvasRowPixels / kLanes;
constexpr int32_t kStep = kLanes * 4;  // words of a wide step
constexpr int32_t kRowWords = WideRowWords(kLanes);
// Words of a packed row: a row and spacing.
constexpr int32_t kPackedRowWords = kCanvasRowPixels + 2 * kLanes;
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

// 4 x 4 transposes of 32-bit words, in each 128-bit half separately.
STARVANE_INLINE void Transpose4(__m256i& a, __m256i& b, __m256i& c, __m256i& d) {
    const __m256i ab0 = _mm256_unpacklo_epi32(a, b);
    const __m256i ab1 = _mm256_unpackhi_epi32(a, b);
    const __m256i cd0 = _mm256_unpacklo_epi32(c, d);
    const __m256i cd1 = _mm256_unpackhi_epi32(c, d);
    a = _mm256_unpacklo_epi64(ab0, cd0);
    b = _mm256_unpackhi_epi64(ab0, cd0);
    c = _mm256_unpacklo_epi64(ab1, cd1);
    d = _mm256_unpackhi_epi64(ab1, cd1);
}

// Block s of a natural row into packed steps s to s + 7.
STARVANE_INLINE void TransposeInPacked(const uint32_t* line, uint32_t* rows, int32_t s) {
    for (int32_t q = s; q < s + 8; q += 4) {
        const uint32_t* n = line + q;
        __m256i a = LoadPair(n, n + 4 * kChunk), b = LoadPair(n + kChunk, n + 5 * kChunk);
        __m256i c = LoadPair(n + 2 * kChunk, n + 6 * kChunk), d = LoadPair(n + 3 * kChunk, n + 7 * kChunk);
        Transpose4(a, b, c, d);
        Store(rows + q * kLanes, a);
        Store(rows + (q + 1) * kLanes, b);
        Store(rows + (q + 2) * kLanes, c);
        Store(rows + (q + 3) * kLanes, d);
    }
}

// Packed steps q to q + 3: chunk p's four pixels in half p / 4 of register
// p % 4.
STARVANE_INLINE void NarrowQuad(const uint32_t* rows, __m256i out[4]) {
    out[0] = Load(rows);
    out[1] = Load(rows + kLanes);
    out[2] = Load(rows + 2 * kLanes);
    out[3] = Load(rows + 3 * kLanes);
    Transpose4(out[0], out[1], out[2], out[3]);
}

STARVANE_INLINE __m256i TripleSaturated(__m256i v) { return _mm256_adds_epu8(_mm256_adds_epu8(v, v), v); }

// Wide steps s to s + 7 back into the natural row and, three times brighter,
// into the output row, as the flags say.
template <bool kLine, bool kShown>
STARVANE_INLINE void TransposeOut(const uint32_t* rows, uint32_t* line, uint32_t* shown, int32_t s) {
    __m256i a[4], b[4];
    NarrowQuad(rows + s * kLanes, a);        // pixels s .. s + 3
    NarrowQuad(rows + (s + 4) * kLanes, b);  // pixels s + 4 .. s + 7
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
STARVANE_INLINE void TransposeOut(const uint32_t* rows, uint32_t* line, uint32_t* shown, int32_t s) {
    if (line != nullptr && shown != nullptr)
        TransposeOut<true, true>(rows, line, shown, s);
    else if (line != nullptr)
        TransposeOut<true, false>(rows, line, shown, s);
    else if (shown != nullptr)
        TransposeOut<false, true>(rows, line, shown, s);
}

// Hides a value's origin from the compiler, which would otherwise fold the
// sum U + R + D into the running chain and lengthen it by an addition.
STARVANE_INLINE __m256i Settled(__m256i v) {
    __asm__("" : "+v"(v));
    return v;
}

// One step of the chain in both registers: x = (U + R + D + x) / 4, the row
// above packed.
STARVANE_INLINE void Step(const uint32_t* up, const uint16_t* right, const uint16_t* down, __m256i& x0,
                          __m256i& x1) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i u = Load(up);
    const __m256i a0 = _mm256_add_epi16(_mm256_add_epi16(_mm256_unpacklo_epi8(u, zero), Load(right)), Load(down));
    const __m256i a1 =
        _mm256_add_epi16(_mm256_add_epi16(_mm256_unpackhi_epi8(u, zero), Load(right + 16)), Load(down + 16));
    x0 = _mm256_srli_epi16(_mm256_add_epi16(Settled(a0), x0), 2);
    x1 = _mm256_srli_epi16(_mm256_add_epi16(Settled(a1), x1), 2);
}

// One canvas row: filters it into `row` while transposing the row below in
// and the finished row above out.
struct RowPass {
    const uint32_t* up;         // row above, filtered, packed
    uint16_t* old;              // this row before the pass
    uint16_t* below;            // receives the row below
    uint32_t* row;              // receives this row, packed
    const uint32_t* oldLine;    // this row in natural order, before the pass
    const uint32_t* belowLine;  // the row below in natural order
    uint32_t* upLine;           // row to receive `up`, or null
    uint32_t* upShown;          // output row to receive `up`, or null
    uint32_t left;              // true left input of chunk 0
    uint32_t* guesses;          // receives the left input each chunk started from
    const uint32_t* nextBelow;  // the row the next row's pass moves in, or null
};

void FilterRow(const RowPass& pass) {
    const uint32_t* up = pass.up;
    uint16_t* old = pass.old;
    uint16_t* below = pass.below;
    uint32_t* row = pass.row;
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
        const __m256i third = _mm256_set1_epi16(21846);
        x0 = zero;
        x1 = zero;
        Step(up + t0 * kLanes, old + (t0 + 1) * kStep, below + t0 * kStep, x0, x1);  // a / 4
        x0 = _mm256_mulhi_epu16(_mm256_slli_epi16(x0, 2), third);
        x1 = _mm256_mulhi_epu16(_mm256_slli_epi16(x1, 2), third);
        for (int32_t t = t0; t < kChunk; ++t) Step(up + t * kLanes, old + (t + 1) * kStep, below + t * kStep, x0, x1);
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
            Step(up + t * kLanes, old + (t + 1) * kStep, below + t * kStep, x0, x1);
            Store(row + t * kLanes, _mm256_packus_epi16(x0, x1));
            // Rows are moved in a cache line of every chunk at a time, an
            // order the hardware does not fetch ahead for: a line of the
            // row the next pass moves in, in memory order, every other step.
            if ((t & 1) == 0 && pass.nextBelow != nullptr)
                _mm_prefetch(reinterpret_cast<const char*>(pass.nextBelow + t * 8), _MM_HINT_T0);
        }
    }
}

}  // namespace

void TrailFilterAvx2Run(const FilterRun& run) {
    // Spaced so that no two buffers share their low 12 address bits at the
    // same step: a load that seems to alias an earlier store would wait.
    alignas(32) uint16_t wide[2][kRowWords];
    alignas(32) uint32_t packed[2][kPackedRowWords];
    alignas(32) uint32_t guesses[kLanes];
    uint32_t* up = packed[0];
    uint16_t* old = wide[0];
    uint16_t* below = wide[1];
    uint32_t* row = packed[1];
    for (int32_t s = 0; s < kChunk; s += 8) {
        TransposeInPacked(run.above, up, s);
        TransposeIn(run.old[0], old, s);
    }
    uint32_t left = run.left;
    for (int32_t i = 0; i < run.rows; ++i) {
        // Row i - 1 is written out during this row's pass.
        uint32_t* upLine = i > 0 ? run.to[i - 1] : nullptr;
        uint32_t* upShown = i > 0 && run.shown != nullptr ? run.shown[i - 1] : nullptr;
        const uint32_t* nextBelow = i + 1 < run.rows ? run.old[i + 2] : nullptr;
        FilterRow({up, old, below, row, run.old[i], run.old[i + 1], upLine, upShown, left, guesses, nextBelow});
        // Each chunk's guess against the last pixel of the chunk before.
        const __m256i ends = _mm256_permutevar8x32_epi32(Load(row + (kChunk - 1) * kLanes),
                                                         _mm256_setr_epi32(0, 0, 1, 2, 3, 4, 5, 6));
        const int held = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(ends, Load(guesses))));
        if ((held | 1) != 0xFF) SettleChunkStarts({kLanes, up, old, below, row, false, true, guesses});
        left = row[kCanvasRowPixels - 1];  // last lane of the last step
        // Plain swaps: no template shared with the files built without AVX2.
        uint32_t* done = up;
        up = row;
        row = done;
        uint16_t* freed = old;
        old = below;
        below = freed;
    }
    uint32_t* lastLine = run.to[run.rows - 1];
    uint32_t* lastShown = run.shown != nullptr ? run.shown[run.rows - 1] : nullptr;
    for (int32_t s = 0; s < kChunk; s += 8) TransposeOut(up, lastLine, lastShown, s);
}
