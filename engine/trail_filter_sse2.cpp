// The SSE2 pass of the trail filter: four chunks of 256 pixels side by side
// (see trail_filter_chunks.h). Plain SSE2 only, so that it also builds for
// WebAssembly SIMD.
#include "engine/trail_filter_chunks.h"

#if STARVANE_TRAIL_SSE2
#include <emmintrin.h>

namespace {

struct Sse2 {
    using R = __m128i;
    static constexpr int32_t kLanes = 4;
    static R Zero() { return _mm_setzero_si128(); }
    static R Load(const void* p) { return _mm_loadu_si128(static_cast<const R*>(p)); }
    static void Store(void* p, R v) { _mm_storeu_si128(static_cast<R*>(p), v); }
    // Pixels 0 to 3 of a chunk. The two quads of a block, pixels 0 to 3 and
    // 4 to 7 of a chunk, are stored as they are.
    static constexpr int32_t kSecondQuad = 4;
    static R LoadQuad(const uint32_t* p) { return Load(p); }
    static void JoinQuads(R a, R b, R& first, R& second) {
        first = a;
        second = b;
    }
    static R Add(R a, R b) { return _mm_add_epi16(a, b); }
    static R Quarter(R v) { return _mm_srli_epi16(v, 2); }
    static R Triple(R v) { return _mm_adds_epu8(_mm_adds_epu8(v, v), v); }  // min(255, 3 v) a byte
    static R PackUs(R a, R b) { return _mm_packus_epi16(a, b); }
    static R UnpackLo8(R a, R b) { return _mm_unpacklo_epi8(a, b); }
    static R UnpackHi8(R a, R b) { return _mm_unpackhi_epi8(a, b); }
    static R UnpackLo32(R a, R b) { return _mm_unpacklo_epi32(a, b); }
    static R UnpackHi32(R a, R b) { return _mm_unpackhi_epi32(a, b); }
    static R UnpackLo64(R a, R b) { return _mm_unpacklo_epi64(a, b); }
    static R UnpackHi64(R a, R b) { return _mm_unpackhi_epi64(a, b); }
    // Pixel p to lane p + 1, `left` into lane 0.
    static R ShiftLanesUp(R v, uint32_t left) {
        return _mm_or_si128(_mm_slli_si128(v, 4), _mm_cvtsi32_si128(int32_t(left)));
    }
    // Hides a value's origin from the compiler, which would otherwise fold
    // the sum U + R + D into the running chain and lengthen it by an addition.
    static R Settled(R v) {
#if defined(__x86_64__)
        __asm__("" : "+x"(v));
#endif
        return v;
    }
    static void Prefetch(const void* p) { _mm_prefetch(static_cast<const char*>(p), _MM_HINT_T0); }
};

}  // namespace

void TrailFilterSse2Pass(uint32_t* pixels, uint32_t* output, int32_t outputPitch) {
    FilterCanvas<Sse2>(pixels, output, outputPitch);
}
#endif
