// The AVX-512 pass of the trail filter: sixteen chunks of 64 pixels side by
// side, one per 32-bit lane of a 512-bit register (see trail_filter_chunks.h).
// The rows are transposed with 256-bit shuffles, which move as many bytes a
// cycle as the 512-bit ones; the running chain uses the full width.
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
// Pixels of the chunk before that a guessed start is run over.
constexpr int32_t kWarmUp = 8;
// The first block of the row below that the guesses need.
constexpr int32_t kFirstEarlyBlock = (kChunk - kWarmUp) / 8 * 8;

STARVANE_INLINE __m256i Load8(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
STARVANE_INLINE void Store8(uint32_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
STARVANE_INLINE __m512i Load16(const uint32_t* p) { return _mm512_loadu_si512(p); }
STARVANE_INLINE void Store16(uint32_t* p, __m512i v) { _mm512_storeu_si512(p, v); }
// Lane p takes lane index[p]. (The zero-masking form with a full mask: the
// plain one trips a false uninitialised-value warning in some headers.)
STARVANE_INLINE __m512i Permute(__m512i v, __m512i index) { return _mm512_maskz_permutexvar_epi32(0xFFFF, index, v); }

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

STARVANE_INLINE __m256i LoadPair(const uint32_t* low, const uint32_t* high) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
}

// Pixels s to s + 7 of chunks 8h to 8h + 7 of a natural row, into lanes 8h
// to 8h + 7 of steps s to s + 7.
STARVANE_INLINE void TransposeHalfIn(const uint32_t* line, uint32_t* rows, int32_t s, int32_t h) {
    const uint32_t* n = line + 8 * h * kChunk + s;
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
    uint32_t* to = rows + s * kLanes + 8 * h;
    Store8(to, a0);
    Store8(to + kLanes, a1);
    Store8(to + 2 * kLanes, a2);
    Store8(to + 3 * kLanes, a3);
    Store8(to + 4 * kLanes, b0);
    Store8(to + 5 * kLanes, b1);
    Store8(to + 6 * kLanes, b2);
    Store8(to + 7 * kLanes, b3);
}

STARVANE_INLINE void TransposeIn(const uint32_t* line, uint32_t* rows, int32_t s) {
    TransposeHalfIn(line, rows, s, 0);
    TransposeHalfIn(line, rows, s, 1);
}

STARVANE_INLINE __m256i TripleSaturated(__m256i v) { return _mm256_adds_epu8(_mm256_adds_epu8(v, v), v); }

// Lanes 8h to 8h + 7 of steps s to s + 7 back into the natural row, and
// three times brighter into the output row when there is one.
STARVANE_INLINE void TransposeHalfOut(const uint32_t* rows, uint32_t* line, uint32_t* shown, int32_t s, int32_t h) {
    const uint32_t* from = rows + s * kLanes + 8 * h;
    __m256i a0 = Load8(from), a1 = Load8(from + kLanes), a2 = Load8(from + 2 * kLanes), a3 = Load8(from + 3 * kLanes);
    __m256i b0 = Load8(from + 4 * kLanes), b1 = Load8(from + 5 * kLanes), b2 = Load8(from + 6 * kLanes),
            b3 = Load8(from + 7 * kLanes);
    Transpose4(a0, a1, a2, a3);  // a_p: pixels s..s+3 of chunks 8h + p | 8h + p + 4
    Transpose4(b0, b1, b2, b3);  // b_p: pixels s+4..s+7 of the same chunks
    const __m256i out[8] = {
        _mm256_permute2x128_si256(a0, b0, 0x20), _mm256_permute2x128_si256(a1, b1, 0x20),
        _mm256_permute2x128_si256(a2, b2, 0x20), _mm256_permute2x128_si256(a3, b3, 0x20),
        _mm256_permute2x128_si256(a0, b0, 0x31), _mm256_permute2x128_si256(a1, b1, 0x31),
        _mm256_permute2x128_si256(a2, b2, 0x31), _mm256_permute2x128_si256(a3, b3, 0x31)};
    const int32_t first = 8 * h * kChunk + s;
    for (int32_t p = 0; p < 8; ++p) Store8(line + first + p * kChunk, out[p]);
    if (shown != nullptr)
        for (int32_t p = 0; p < 8; ++p) Store8(shown + first + p * kChunk, TripleSaturated(out[p]));
}

STARVANE_INLINE void TransposeOut(const uint32_t* rows, uint32_t* line, uint32_t* shown, int32_t s) {
    TransposeHalfOut(rows, line, shown, s, 0);
    TransposeHalfOut(rows, line, shown, s, 1);
}

// Per byte, U + R + D of sixteen pixels: bytes 1 and 3 in o, bytes 0 and 2
// in e, each in a 16-bit field; e comes back from the plain 16-bit sum.
STARVANE_INLINE void Sums(__m512i u, __m512i r, __m512i d, __m512i& e, __m512i& o) {
    o = _mm512_add_epi16(_mm512_add_epi16(_mm512_srli_epi16(u, 8), _mm512_srli_epi16(r, 8)),
                         _mm512_srli_epi16(d, 8));
    e = _mm512_sub_epi16(_mm512_add_epi16(_mm512_add_epi16(u, r), d), _mm512_slli_epi16(o, 8));
}

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

    for (int32_t s = kFirstEarlyBlock; s < kChunk; s += 8) TransposeIn(pass.belowLine, below, s);
    // The right neighbour of each chunk's last pixel, where step 64 would be.
    const __m512i next = _mm512_setr_epi32(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0);
    Store16(old + kChunk * kLanes,
            _mm512_mask_mov_epi32(Permute(Load16(old), next), 0x8000,
                                  _mm512_set1_epi32(static_cast<int32_t>(pass.belowLine[0]))));

    // Guesses: lane p runs the last pixels of chunk p - 1 from a / 3.
    const __m512i lift = _mm512_setr_epi32(0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14);
    __m512i xe, xo;
    {
        const int32_t t0 = kChunk - kWarmUp;
        __m512i e, o;
        Sums(Load16(up + t0 * kLanes), Load16(old + (t0 + 1) * kLanes), Load16(below + t0 * kLanes), e, o);
        const __m512i third = _mm512_set1_epi16(21846);
        xe = _mm512_mulhi_epu16(Permute(e, lift), third);
        xo = _mm512_mulhi_epu16(Permute(o, lift), third);
        for (int32_t t = t0; t < kChunk; ++t) {
            Sums(Load16(up + t * kLanes), Load16(old + (t + 1) * kLanes), Load16(below + t * kLanes), e, o);
            xe = _mm512_srli_epi16(_mm512_add_epi16(Permute(e, lift), xe), 2);
            xo = _mm512_srli_epi16(_mm512_add_epi16(Permute(o, lift), xo), 2);
        }
    }
    // Lane 0 starts from the true left input.
    const __m512i low = _mm512_set1_epi32(0x00FF00FF);
    const __m512i leftInput = _mm512_set1_epi32(static_cast<int32_t>(pass.left));
    xe = _mm512_mask_mov_epi32(xe, 1, _mm512_and_si512(leftInput, low));
    xo = _mm512_mask_mov_epi32(xo, 1, _mm512_and_si512(_mm512_srli_epi16(leftInput, 8), low));
    Store16(pass.guesses, _mm512_or_si512(xe, _mm512_slli_epi16(xo, 8)));

    for (int32_t s = 0; s < kChunk; s += 8) {
        if (s < kFirstEarlyBlock) TransposeIn(pass.belowLine, below, s);
        if (pass.upLine != nullptr) TransposeOut(up, pass.upLine, pass.upShown, s);
        for (int32_t t = s; t < s + 8; ++t) {
            __m512i e, o;
            Sums(Load16(up + t * kLanes), Load16(old + (t + 1) * kLanes), Load16(below + t * kLanes), e, o);
            xe = _mm512_srli_epi16(_mm512_add_epi16(e, xe), 2);
            xo = _mm512_srli_epi16(_mm512_add_epi16(o, xo), 2);
            Store16(row + t * kLanes, _mm512_or_si512(xe, _mm512_slli_epi16(xo, 8)));
        }
    }
}

}  // namespace

void TrailFilterAvx512Pass(uint32_t* pixels, uint32_t* output, int32_t outputPitch) {
    // Spaced so that no two buffers share their low 12 address bits.
    alignas(64) uint32_t buffers[4][kScratchRowWords];
    alignas(64) uint32_t guesses[kLanes];
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
        uint32_t* upLine = r > 1 ? pixels + (r - 1) * kCanvasRowPixels : nullptr;
        uint32_t* upShown = r > 1 && output != nullptr ? OutputRow(output, outputPitch, r + 23) : nullptr;
        FilterRow({up, old, below, row, pixels + (r + 1) * kCanvasRowPixels, upLine, upShown, left, guesses});
        SettleChunkStarts({kLanes, up, old, below, row, guesses});
        left = row[kCanvasRowPixels - 1];
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

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#endif
