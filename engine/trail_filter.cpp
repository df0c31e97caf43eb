// The trail filter: the reference rule, the portable and SSE2 passes, the
// chunk-start repair the vector passes share, and the choice of path.
#include "engine/trail_filter.h"

#include <utility>

#include "engine/trail_filter_chunks.h"

#if defined(__x86_64__) || defined(_M_X64)
#define STARVANE_TRAIL_X86 1
#include <emmintrin.h>
#else
#define STARVANE_TRAIL_X86 0
#endif

bool CanvasFitsTrailFilter(const Canvas& canvas) {
    return canvas.pixels != nullptr && canvas.width == kCanvasWidth &&
           canvas.height == kCanvasHeight && canvas.pitch == kCanvasWidth * 4 &&
           canvas.bitsPerPixel == 32;
}

void TrailFilterReference(Canvas& canvas, uint32_t* output, int32_t outputPitch) {
    if (!CanvasFitsTrailFilter(canvas)) return;
    uint8_t* bytes = reinterpret_cast<uint8_t*>(canvas.pixels);
    const int32_t first = kCanvasRowPixels;
    const int32_t last = (kFilteredRows + 1) * kCanvasRowPixels - 1;
    for (int32_t q = first; q <= last; ++q) {
        const int32_t row = q / kCanvasRowPixels;
        const int32_t column = q % kCanvasRowPixels;
        uint8_t* shown = nullptr;
        if (output != nullptr)
            shown = reinterpret_cast<uint8_t*>(OutputRow(output, outputPitch, row + 24) + column);
        for (int32_t b = 0; b < 4; ++b) {
            const int32_t left = q == first ? 0 : bytes[4 * (q - 1) + b];
            const int32_t up = bytes[4 * (q - kCanvasRowPixels) + b];
            const int32_t right = bytes[4 * (q + 1) + b];
            const int32_t down = bytes[4 * (q + kCanvasRowPixels) + b];
            const int32_t value = (left + up + right + down) >> 2;
            bytes[4 * q + b] = static_cast<uint8_t>(value);
            if (shown != nullptr) shown[b] = static_cast<uint8_t>(value * 3 > 255 ? 255 : value * 3);
        }
    }
}

// ---- Portable pass: one pixel at a time, its four bytes in the 16-bit
// fields of a 64-bit word.

namespace {

constexpr uint64_t kFieldBytes = 0x00FF00FF00FF00FFull;

uint64_t SpreadPixel(uint32_t pixel) {
    uint64_t x = pixel;
    x = (x | x << 16) & 0x0000FFFF0000FFFFull;
    return (x | x << 8) & kFieldBytes;
}

uint32_t PackPixel(uint64_t fields) {
    fields = (fields | fields >> 8) & 0x0000FFFF0000FFFFull;
    return static_cast<uint32_t>(fields | fields >> 16);
}

// min(255, 3 v) in every field.
uint64_t TripleSaturated(uint64_t fields) {
    const uint64_t tripled = fields * 3;  // at most 765 a field: no carries
    const uint64_t over = ((tripled >> 8 & 0x0003000300030003ull) + 0x7FFF7FFF7FFF7FFFull) &
                          0x8000800080008000ull;
    return (tripled | (over >> 15) * 0xFF) & kFieldBytes;
}

}  // namespace

void TrailFilterPortablePass(uint32_t* pixels, uint32_t* output, int32_t outputPitch) {
    uint64_t left = 0;
    for (int32_t row = 1; row <= kFilteredRows; ++row) {
        uint32_t* line = pixels + row * kCanvasRowPixels;
        const uint32_t* above = line - kCanvasRowPixels;
        const uint32_t* under = line + kCanvasRowPixels;
        uint32_t* shown = output != nullptr ? OutputRow(output, outputPitch, row + 24) : nullptr;
        for (int32_t column = 0; column < kCanvasRowPixels; ++column) {
            // line[1024] is the first pixel of the row below, not yet replaced.
            const uint64_t sum = left + SpreadPixel(above[column]) + SpreadPixel(line[column + 1]) +
                                 SpreadPixel(under[column]);
            left = sum >> 2 & kFieldBytes;
            line[column] = PackPixel(left);
            if (shown != nullptr) shown[column] = PackPixel(TripleSaturated(left));
        }
    }
}

// ---- Chunk-start repair for the vector passes.

namespace {

uint32_t FilterPixel(uint32_t left, uint32_t up, uint32_t right, uint32_t down) {
    const uint32_t m = 0x00FF00FF;
    const uint32_t even = ((left & m) + (up & m) + (right & m) + (down & m)) >> 2 & m;
    const uint32_t odd =
        ((left >> 8 & m) + (up >> 8 & m) + (right >> 8 & m) + (down >> 8 & m)) >> 2 & m;
    return even | odd << 8;
}

}  // namespace

void SettleChunkStarts(const TransposedRows& rows) {
    const int32_t lanes = rows.lanes;
    const int32_t length = kCanvasRowPixels / lanes;
    for (int32_t p = 1; p < lanes; ++p) {
        // The true left input: the last pixel of chunk p - 1, exact by now.
        uint32_t left = rows.row[(length - 1) * lanes + p - 1];
        if (rows.guesses[p] == left) continue;
        for (int32_t t = 0; t < length; ++t) {
            const uint32_t right = t + 1 < length ? rows.old[(t + 1) * lanes + p]
                                   : p + 1 < lanes ? rows.old[p + 1]
                                                   : rows.below[0];
            const uint32_t value =
                FilterPixel(left, rows.up[t * lanes + p], right, rows.below[t * lanes + p]);
            uint32_t& slot = rows.row[t * lanes + p];
            if (slot == value) break;  // the guessed run has caught up
            slot = value;
            left = value;
        }
    }
}

// ---- SSE2 pass: four chunks of 256 pixels side by side.

#if STARVANE_TRAIL_X86
namespace {

constexpr int32_t kSseLanes = 4;
constexpr int32_t kSseChunk = kCanvasRowPixels / kSseLanes;
// Pixels of the chunk before that a guessed start is run over.
constexpr int32_t kSseWarmUp = 16;

inline __m128i Load(const uint32_t* p) { return _mm_load_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store(uint32_t* p, __m128i v) { _mm_store_si128(reinterpret_cast<__m128i*>(p), v); }

inline void Transpose4(__m128i& a, __m128i& b, __m128i& c, __m128i& d) {
    const __m128i ab0 = _mm_unpacklo_epi32(a, b);
    const __m128i ab1 = _mm_unpackhi_epi32(a, b);
    const __m128i cd0 = _mm_unpacklo_epi32(c, d);
    const __m128i cd1 = _mm_unpackhi_epi32(c, d);
    a = _mm_unpacklo_epi64(ab0, cd0);
    b = _mm_unpackhi_epi64(ab0, cd0);
    c = _mm_unpacklo_epi64(ab1, cd1);
    d = _mm_unpackhi_epi64(ab1, cd1);
}

void TransposeRow4(const uint32_t* line, uint32_t* rows) {
    for (int32_t s = 0; s < kSseChunk; s += 4) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + s));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + kSseChunk + s));
        __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + 2 * kSseChunk + s));
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + 3 * kSseChunk + s));
        Transpose4(a, b, c, d);
        Store(rows + (s + 0) * kSseLanes, a);
        Store(rows + (s + 1) * kSseLanes, b);
        Store(rows + (s + 2) * kSseLanes, c);
        Store(rows + (s + 3) * kSseLanes, d);
    }
}

inline __m128i TripleSaturated(__m128i v) { return _mm_adds_epu8(_mm_adds_epu8(v, v), v); }

void StoreRow4(const uint32_t* rows, uint32_t* line, uint32_t* shown) {
    for (int32_t s = 0; s < kSseChunk; s += 4) {
        __m128i a = Load(rows + (s + 0) * kSseLanes);
        __m128i b = Load(rows + (s + 1) * kSseLanes);
        __m128i c = Load(rows + (s + 2) * kSseLanes);
        __m128i d = Load(rows + (s + 3) * kSseLanes);
        Transpose4(a, b, c, d);
        const __m128i out[4] = {a, b, c, d};
        for (int32_t p = 0; p < kSseLanes; ++p) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(line + p * kSseChunk + s), out[p]);
            if (shown != nullptr)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(shown + p * kSseChunk + s),
                                 TripleSaturated(out[p]));
        }
    }
}

// Filters one transposed row from the left input `left` of chunk 0; the other
// chunks start from guesses, written to `guesses`.
void FilterRow4(const uint32_t* up, const uint32_t* old, const uint32_t* below, uint32_t* row,
                uint32_t left, uint32_t* guesses) {
    // Bytes 0 and 2 of each pixel in the 16-bit halves of its lane (E), and
    // bytes 1 and 3 (O): room for sums up to 1020.
    const __m128i low = _mm_set1_epi32(0x00FF00FF);
    // The right neighbour of each chunk's last pixel: the next chunk's first
    // pixel, and for the last chunk the first pixel of the row below.
    const __m128i endRight = _mm_or_si128(_mm_srli_si128(Load(old), 4), _mm_slli_si128(Load(below), 12));
    auto sums = [&](int32_t t, __m128i right, __m128i& e, __m128i& o) {
        const __m128i u = Load(up + t * kSseLanes);
        const __m128i d = Load(below + t * kSseLanes);
        e = _mm_add_epi16(_mm_add_epi16(_mm_and_si128(u, low), _mm_and_si128(right, low)),
                          _mm_and_si128(d, low));
        o = _mm_add_epi16(_mm_add_epi16(_mm_srli_epi16(u, 8), _mm_srli_epi16(right, 8)),
                          _mm_srli_epi16(d, 8));
    };
    auto rightAt = [&](int32_t t) { return t + 1 < kSseChunk ? Load(old + (t + 1) * kSseLanes) : endRight; };

    // Guesses: lane p runs the last pixels of chunk p - 1, starting from the
    // fixed point a / 3 of the step v = (a + v) / 4.
    __m128i xe, xo;
    {
        const int32_t t0 = kSseChunk - kSseWarmUp;
        __m128i e, o;
        sums(t0, rightAt(t0), e, o);
        xe = _mm_mulhi_epu16(_mm_slli_si128(e, 4), _mm_set1_epi16(21846));
        xo = _mm_mulhi_epu16(_mm_slli_si128(o, 4), _mm_set1_epi16(21846));
        for (int32_t t = t0; t < kSseChunk; ++t) {
            sums(t, rightAt(t), e, o);
            xe = _mm_srli_epi16(_mm_add_epi16(_mm_slli_si128(e, 4), xe), 2);
            xo = _mm_srli_epi16(_mm_add_epi16(_mm_slli_si128(o, 4), xo), 2);
        }
    }
    // Lane 0 starts from the true left input.
    const __m128i leftInput = _mm_cvtsi32_si128(static_cast<int32_t>(left));
    const __m128i lane0 = _mm_cvtsi32_si128(-1);
    xe = _mm_or_si128(_mm_andnot_si128(lane0, xe), _mm_and_si128(leftInput, low));
    xo = _mm_or_si128(_mm_andnot_si128(lane0, xo), _mm_and_si128(_mm_srli_epi16(leftInput, 8), low));
    Store(guesses, _mm_or_si128(xe, _mm_slli_epi16(xo, 8)));

    for (int32_t t = 0; t < kSseChunk; ++t) {
        __m128i e, o;
        sums(t, rightAt(t), e, o);
        xe = _mm_srli_epi16(_mm_add_epi16(e, xe), 2);
        xo = _mm_srli_epi16(_mm_add_epi16(o, xo), 2);
        Store(row + t * kSseLanes, _mm_or_si128(xe, _mm_slli_epi16(xo, 8)));
    }
}

}  // namespace

void TrailFilterSse2Pass(uint32_t* pixels, uint32_t* output, int32_t outputPitch) {
    // Spaced so that no two buffers share their low 12 address bits: a load
    // that seems to alias an earlier store would wait for it.
    alignas(16) uint32_t buffers[4][kScratchRowWords];
    alignas(16) uint32_t guesses[kSseLanes];
    uint32_t* up = buffers[0];
    uint32_t* old = buffers[1];
    uint32_t* below = buffers[2];
    uint32_t* row = buffers[3];
    TransposeRow4(pixels, up);
    TransposeRow4(pixels + kCanvasRowPixels, old);
    uint32_t left = 0;
    for (int32_t r = 1; r <= kFilteredRows; ++r) {
        TransposeRow4(pixels + (r + 1) * kCanvasRowPixels, below);
        FilterRow4(up, old, below, row, left, guesses);
        SettleChunkStarts({kSseLanes, up, old, below, row, guesses});
        StoreRow4(row, pixels + r * kCanvasRowPixels,
                  output != nullptr ? OutputRow(output, outputPitch, r + 24) : nullptr);
        left = row[kCanvasRowPixels - 1];  // last lane of the last step
        std::swap(up, row);
        std::swap(old, below);
    }
}
#endif

// ---- Choice of path.

bool TrailFilterPathAvailable(TrailFilterPath path) {
    switch (path) {
        case TrailFilterPortable:
            return true;
#if STARVANE_TRAIL_X86
        case TrailFilterSse2:
            return true;
        case TrailFilterAvx2:
            __builtin_cpu_init();  // may be asked before the run-time start-up code ran
            return __builtin_cpu_supports("avx2");
        case TrailFilterAvx512:
            __builtin_cpu_init();
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
#endif
        default:
            return false;
    }
}

TrailFilterPath TrailFilterBestPath() {
    static const TrailFilterPath best = [] {
        for (int32_t p = kTrailFilterPathCount - 1; p > 0; --p)
            if (TrailFilterPathAvailable(TrailFilterPath(p))) return TrailFilterPath(p);
        return TrailFilterPortable;
    }();
    return best;
}

const char* TrailFilterPathName(TrailFilterPath path) {
    switch (path) {
        case TrailFilterPortable:
            return "portable";
        case TrailFilterSse2:
            return "sse2";
        case TrailFilterAvx2:
            return "avx2";
        case TrailFilterAvx512:
            return "avx512";
    }
    return "unknown";
}

void TrailFilterWith(TrailFilterPath path, Canvas& canvas, uint32_t* output, int32_t outputPitch) {
    if (!CanvasFitsTrailFilter(canvas)) return;
    if (!TrailFilterPathAvailable(path)) path = TrailFilterPortable;
    switch (path) {
#if STARVANE_TRAIL_X86
        case TrailFilterAvx512:
            TrailFilterAvx512Pass(canvas.pixels, output, outputPitch);
            return;
        case TrailFilterAvx2:
            TrailFilterAvx2Pass(canvas.pixels, output, outputPitch);
            return;
        case TrailFilterSse2:
            TrailFilterSse2Pass(canvas.pixels, output, outputPitch);
            return;
#endif
        default:
            TrailFilterPortablePass(canvas.pixels, output, outputPitch);
            return;
    }
}

void TrailFilter(Canvas& canvas, uint32_t* output, int32_t outputPitch) {
    TrailFilterWith(TrailFilterBestPath(), canvas, output, outputPitch);
}
