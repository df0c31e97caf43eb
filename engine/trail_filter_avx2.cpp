// The AVX2 pass of the trail filter: eight chunks of 128 pixels side by side,
// one per 32-bit lane, on rows transposed in 8 x 8 blocks (see
// trail_filter_chunks.h).
#include <immintrin.h>

#include "engine/trail_filter_chunks.h"

// Everything here is forced inline: a call would spill the running chain.
#define STARVANE_INLINE [[gnu::always_inline]] inline

namespace {

constexpr int32_t kLanes = 8;
constexpr int32_t kChunk = kCanvasRowPixels / kLanes;
// Pixels of the chunk before that a guessed start is run over; one chunk in
// a few hundred then still needs repair, which costs a pixel or two.
constexpr int32_t kWarmUp = 8;
// The first block of the row below that the guesses need.
constexpr int32_t kFirstEarlyBlock = (kChunk - kWarmUp) / 8 * 8;

// Unaligned forms throughout: no cost on aligned data, and no fault where a
// stack cannot be aligned to 32 bytes.
STARVANE_INLINE __m256i Load(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
STARVANE_INLINE void Store(uint32_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

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

// Four words from `low` and four from `high`.
STARVANE_INLINE __m256i LoadPair(const uint32_t* low, const uint32_t* high) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
}

// Block s (pixels s to s + 7 of every chunk) of a natural row, transposed
// into steps s to s + 7. The halves of each register come from chunks p and
// p + 4, so only in-half shuffles are needed.
STARVANE_INLINE void TransposeIn(const uint32_t* line, uint32_t* rows, int32_t s) {
    const uint32_t* n = line + s;
    __m256i a0 = LoadPair(n, n + 4 * kChunk);
    __m256i a1 = LoadPair(n + kChunk, n + 5 * kChunk);
    __m256i a2 = LoadPair(n + 2 * kChunk, n + 6 * kChunk);
    __m256i a3 = LoadPair(n + 3 * kChunk, n + 7 * kChunk);
    __m256i b0 = LoadPair(n + 4, n + 4 * kChunk + 4);
    __m256i b1 = LoadPair(n + kChunk + 4, n + 5 * kChunk + 4);
    __m256i b2 = LoadPair(n + 2 * kChunk + 4, n + 6 * kChunk + 4);
    __m256i b3 = LoadPair(n + 3 * kChunk + 4, n + 7 * kChunk + 4);
    Transpose4(a0, a1, a2, a3);
    Transpose4(b0, b1, b2, b3);
    uint32_t* to = rows + s * kLanes;
    Store(to, a0);
    Store(to + 8, a1);
    Store(to + 16, a2);
    Store(to + 24, a3);
    Store(to + 32, b0);
    Store(to + 40, b1);
    Store(to + 48, b2);
    Store(to + 56, b3);
}

STARVANE_INLINE __m256i TripleSaturated(__m256i v) { return _mm256_adds_epu8(_mm256_adds_epu8(v, v), v); }

// Steps s to s + 7 of a transposed row back into the natural row, and three
// times brighter into the output row when there is one.
STARVANE_INLINE void TransposeOut(const uint32_t* rows, uint32_t* line, uint32_t* shown, int32_t s) {
    const uint32_t* from = rows + s * kLanes;
    __m256i a0 = Load(from), a1 = Load(from + 8), a2 = Load(from + 16), a3 = Load(from + 24);
    __m256i b0 = Load(from + 32), b1 = Load(from + 40), b2 = Load(from + 48), b3 = Load(from + 56);
    Transpose4(a0, a1, a2, a3);  // a_p: pixels s..s+3 of chunks p | p + 4
    Transpose4(b0, b1, b2, b3);  // b_p: pixels s+4..s+7 of chunks p | p + 4
    const __m256i out[8] = {
        _mm256_permute2x128_si256(a0, b0, 0x20), _mm256_permute2x128_si256(a1, b1, 0x20),
        _mm256_permute2x128_si256(a2, b2, 0x20), _mm256_permute2x128_si256(a3, b3, 0x20),
        _mm256_permute2x128_si256(a0, b0, 0x31), _mm256_permute2x128_si256(a1, b1, 0x31),
        _mm256_permute2x128_si256(a2, b2, 0x31), _mm256_permute2x128_si256(a3, b3, 0x31)};
    for (int32_t p = 0; p < kLanes; ++p) Store(line + p * kChunk + s, out[p]);
    if (shown != nullptr)
        for (int32_t p = 0; p < kLanes; ++p) Store(shown + p * kChunk + s, TripleSaturated(out[p]));
}

// Per byte, U + R + D of eight pixels: bytes 1 and 3 in o, bytes 0 and 2 in
// e, each in a 16-bit field (sums up to 765). The plain 16-bit sum of the
// words is e + 256 o modulo 2^16, which gives e back with one subtraction.
STARVANE_INLINE void Sums(__m256i u, __m256i r, __m256i d, __m256i& e, __m256i& o) {
    o = _mm256_add_epi16(_mm256_add_epi16(_mm256_srli_epi16(u, 8), _mm256_srli_epi16(r, 8)),
                         _mm256_srli_epi16(d, 8));
    e = _mm256_sub_epi16(_mm256_add_epi16(_mm256_add_epi16(u, r), d), _mm256_slli_epi16(o, 8));
}

// One canvas row: filters it into `row` while transposing the row below in
// and the finished row above out.
struct RowPass {
    const uint32_t* up;         // row above, filtered, transposed
    uint32_t* old;              // this row before the pass, transposed
    uint32_t* below;            // receives the row below, transposed
    uint32_t* row;              // receives this row, transposed
    const uint32_t* belowLine;  // the row below in the canvas
    uint32_t* upLine;           // canvas row to receive `up`, or null
    uint32_t* upShown;          // output row to receive `up`, or null
    uint32_t left;              // true left input of chunk 0
    uint32_t* guesses;          // receives the left input each chunk started from
};

void FilterRow(const RowPass& pass) {
    const uint32_t* up = pass.up;
    uint32_t* old = pass.old;
    uint32_t* below = pass.below;
    uint32_t* row = pass.row;

    // The guesses run over the tails of the chunks: those blocks of the row
    // below come first.
    for (int32_t s = kFirstEarlyBlock; s < kChunk; s += 8) TransposeIn(pass.belowLine, below, s);
    // The right neighbour of each chunk's last pixel: the next chunk's first
    // pixel, and for the last chunk the first pixel of the row below. It goes
    // into the spare words after `old`, where step 128 would be.
    Store(old + kChunk * kLanes,
          _mm256_blend_epi32(
              _mm256_permutevar8x32_epi32(Load(old), _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 0)),
              _mm256_set1_epi32(static_cast<int32_t>(pass.belowLine[0])), 0x80));

    // Guesses: lane p runs the last pixels of chunk p - 1, starting from the
    // fixed point a / 3 of the step v = (a + v) / 4.
    const __m256i lift = _mm256_setr_epi32(0, 0, 1, 2, 3, 4, 5, 6);  // lane p - 1 to p
    __m256i xe, xo;
    {
        const int32_t t0 = kChunk - kWarmUp;
        __m256i e, o;
        Sums(Load(up + t0 * kLanes), Load(old + (t0 + 1) * kLanes), Load(below + t0 * kLanes), e, o);
        const __m256i third = _mm256_set1_epi16(21846);
        xe = _mm256_mulhi_epu16(_mm256_permutevar8x32_epi32(e, lift), third);
        xo = _mm256_mulhi_epu16(_mm256_permutevar8x32_epi32(o, lift), third);
        for (int32_t t = t0; t < kChunk; ++t) {
            Sums(Load(up + t * kLanes), Load(old + (t + 1) * kLanes), Load(below + t * kLanes), e, o);
            xe = _mm256_srli_epi16(_mm256_add_epi16(_mm256_permutevar8x32_epi32(e, lift), xe), 2);
            xo = _mm256_srli_epi16(_mm256_add_epi16(_mm256_permutevar8x32_epi32(o, lift), xo), 2);
        }
    }
    // Lane 0 starts from the true left input.
    const __m256i low = _mm256_set1_epi32(0x00FF00FF);
    const __m256i leftInput = _mm256_set1_epi32(static_cast<int32_t>(pass.left));
    xe = _mm256_blend_epi32(xe, _mm256_and_si256(leftInput, low), 0x01);
    xo = _mm256_blend_epi32(xo, _mm256_and_si256(_mm256_srli_epi16(leftInput, 8), low), 0x01);
    Store(pass.guesses, _mm256_or_si256(xe, _mm256_slli_epi16(xo, 8)));

    for (int32_t s = 0; s < kChunk; s += 8) {
        if (s < kFirstEarlyBlock) TransposeIn(pass.belowLine, below, s);
        if (pass.upLine != nullptr) TransposeOut(up, pass.upLine, pass.upShown, s);
        for (int32_t t = s; t < s + 8; ++t) {
            __m256i e, o;
            Sums(Load(up + t * kLanes), Load(old + (t + 1) * kLanes), Load(below + t * kLanes), e, o);
            xe = _mm256_srli_epi16(_mm256_add_epi16(e, xe), 2);
            xo = _mm256_srli_epi16(_mm256_add_epi16(o, xo), 2);
            Store(row + t * kLanes, _mm256_or_si256(xe, _mm256_slli_epi16(xo, 8)));
        }
    }
}

}  // namespace

void TrailFilterAvx2Pass(uint32_t* pixels, uint32_t* output, int32_t outputPitch) {
    // Spaced so that no two buffers share their low 12 address bits: a load
    // that seems to alias an earlier store would wait for it.
    alignas(32) uint32_t buffers[4][kScratchRowWords];
    alignas(32) uint32_t guesses[kLanes];
    uint32_t* up = buffers[0];
    uint32_t* old = buffers[1];
    uint32_t* below = buffers[2];
    uint32_t* row = buffers[3];
    for (int32_t s = 0; s < kChunk; s += 8) {
        TransposeIn(pixels, up, s);
        TransposeIn(pixels + kCanvasRowPixels, old, s);
    }
    uint32_t left = 0;
    for (int32_t r = 1; r <= kFilteredRows; ++r) {
        // Row r - 1 is written out during this row's pass; row 0 never is.
        uint32_t* upLine = r > 1 ? pixels + (r - 1) * kCanvasRowPixels : nullptr;
        uint32_t* upShown = r > 1 && output != nullptr ? OutputRow(output, outputPitch, r + 23) : nullptr;
        FilterRow({up, old, below, row, pixels + (r + 1) * kCanvasRowPixels, upLine, upShown, left, guesses});
        SettleChunkStarts({kLanes, up, old, below, row, guesses});
        left = row[kCanvasRowPixels - 1];  // last lane of the last step
        // Plain swaps: no template shared with the files built without AVX2.
        uint32_t* freed = up;
        up = row;
        row = freed;
        freed = old;
        old = below;
        below = freed;
    }
    uint32_t* lastShown = output != nullptr ? OutputRow(output, outputPitch, kFilteredRows + 24) : nullptr;
    for (int32_t s = 0; s < kChunk; s += 8) TransposeOut(up, pixels + kFilteredRows * kCanvasRowPixels, lastShown, s);
}
