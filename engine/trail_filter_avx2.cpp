// The AVX2 pass of the trail filter: eight chunks of 128 pixels side by side
// (see trail_filter_chunks.h), chunks 0 to 3 in the low half of a register
// and 4 to 7 in the high half. This file alone is built for AVX2, and runs
// only where the processor has it.
#include "engine/trail_filter_chunks.h"

#if STARVANE_TRAIL_AVX2
#include <immintrin.h>

namespace {

struct Avx2 {
    using R = __m256i;
    static constexpr int32_t kLanes = 8;
    static constexpr int32_t kChunk = kCanvasWidth / kLanes;
    static R Zero() { return _mm256_setzero_si256(); }
    static R Load(const void* p) { return _mm256_loadu_si256(static_cast<const R*>(p)); }
    static void Store(void* p, R v) { _mm256_storeu_si256(static_cast<R*>(p), v); }
    // Pixels 0 to 3 of a chunk and of the chunk four later. The two quads of
    // a block, pixels 0 to 3 and 4 to 7 of both chunks, are joined into the
    // eight pixels of the one and of the other.
    static constexpr int32_t kSecondQuad = 4 * kChunk;
    static R LoadQuad(const uint32_t* p) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        return _mm256_inserti128_si256(_mm256_castsi128_si256(low),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * kChunk)), 1);
    }
    static void JoinQuads(R a, R b, R& first, R& second) {
        first = _mm256_permute2x128_si256(a, b, 0x20);
        second = _mm256_permute2x128_si256(a, b, 0x31);
    }
    static R Add(R a, R b) { return _mm256_add_epi16(a, b); }
    static R Quarter(R v) { return _mm256_srli_epi16(v, 2); }
    static R Triple(R v) { return _mm256_adds_epu8(_mm256_adds_epu8(v, v), v); }  // min(255, 3 v) a byte
    static R PackUs(R a, R b) { return _mm256_packus_epi16(a, b); }
    static R UnpackLo8(R a, R b) { return _mm256_unpacklo_epi8(a, b); }
    static R UnpackHi8(R a, R b) { return _mm256_unpackhi_epi8(a, b); }
    static R UnpackLo32(R a, R b) { return _mm256_unpacklo_epi32(a, b); }
    static R UnpackHi32(R a, R b) { return _mm256_unpackhi_epi32(a, b); }
    static R UnpackLo64(R a, R b) { return _mm256_unpacklo_epi64(a, b); }
    static R UnpackHi64(R a, R b) { return _mm256_unpackhi_epi64(a, b); }
    // Pixel p to lane p + 1, `left` into lane 0.
    static R ShiftLanesUp(R v, uint32_t left) {
        const R moved = _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 0, 1, 2, 3, 4, 5, 6));
        return _mm256_blend_epi32(moved, _mm256_set1_epi32(int32_t(left)), 0x01);
    }
    // As in the SSE2 pass: keeps U + R + D out of the running chain.
    static R Settled(R v) {
        __asm__("" : "+x"(v));
        return v;
    }
    static void Prefetch(const void* p) { _mm_prefetch(static_cast<const char*>(p), _MM_HINT_T0); }
};

}  // namespace

void TrailFilterAvx2Pass(uint32_t* pixels, uint32_t* output, int32_t outputPitch) {
    FilterCanvas<Avx2>(pixels, output, outputPitch);
}
#endif
