// The trail filter: the reference rule, the portable pass, the mending of
// the vector passes' chunk starts, and the choice of path.
#include "engine/trail_filter.h"

#include "engine/trail_filter_chunks.h"

// WebAssembly has no run-time feature test: a SIMD build takes the SSE2 pass,
// fixed when it is compiled.
#if defined(__wasm_simd128__) && !STARVANE_TRAIL_SSE2
#error "a WebAssembly SIMD build needs -msse2 for the trail filter's SSE2 pass"
#endif

namespace {

bool CanvasFits(const Canvas& canvas) {
    return canvas.pixels != nullptr && canvas.width == kCanvasWidth && canvas.height == kCanvasHeight &&
           canvas.pitch == kCanvasWidth * 4 && canvas.bitsPerPixel == 32;
}

// A pixel's four bytes in the 16-bit fields of a 64-bit word, and back.
constexpr uint64_t kFieldBytes = 0x00FF00FF00FF00FFull;

uint64_t Spread(uint32_t pixel) {
    uint64_t x = pixel;
    x = (x | x << 16) & 0x0000FFFF0000FFFFull;
    return (x | x << 8) & kFieldBytes;
}

uint32_t Pack(uint64_t fields) {
    fields = (fields | fields >> 8) & 0x0000FFFF0000FFFFull;
    return uint32_t(fields | fields >> 16);
}

// The new pixel from its left input and the pixel's place in the canvas.
inline uint64_t Filtered(uint64_t left, const uint32_t* at) {
    // at[1] past a row's end is the first pixel of the row below.
    return (left + Spread(at[-kCanvasWidth]) + Spread(at[1]) + Spread(at[kCanvasWidth])) >> 2 & kFieldBytes;
}

// min(255, 3 v) in every field.
uint64_t Triple(uint64_t fields) {
    const uint64_t tripled = fields * 3;  // at most 765 a field: no carries
    const uint64_t over = ((tripled >> 8 & 0x0003000300030003ull) + 0x7FFF7FFF7FFF7FFFull) & 0x8000800080008000ull;
    return (tripled | (over >> 15) * 0xFF) & kFieldBytes;
}

// A row's output: apart from the canvas, so that the compiler vectorizes it.
void ShowRow(const uint32_t* __restrict line, uint32_t* __restrict shown) {
    for (int32_t x = 0; x < kCanvasWidth; ++x) shown[x] = Pack(Triple(Spread(line[x])));
}

// One pixel at a time, in place, in memory order.
void PortablePass(uint32_t* pixels, uint32_t* output, int32_t outputPitch) {
    uint64_t left = 0;
    for (int32_t r = 1; r <= kFilteredRows; ++r) {
        uint32_t* line = pixels + r * kCanvasWidth;
        for (int32_t x = 0; x < kCanvasWidth; ++x) {
            left = Filtered(left, line + x);
            line[x] = Pack(left);
        }
        if (output != nullptr) ShowRow(line, OutputRow(output, outputPitch, r + 24));
    }
}

}  // namespace

void TrailFilterReference(Canvas& canvas, uint32_t* output, int32_t outputPitch) {
    if (!CanvasFits(canvas)) return;
    uint8_t* bytes = reinterpret_cast<uint8_t*>(canvas.pixels);
    const int32_t first = kCanvasWidth;
    const int32_t last = (kFilteredRows + 1) * kCanvasWidth - 1;
    for (int32_t q = first; q <= last; ++q) {
        uint8_t* shown = nullptr;
        if (output != nullptr) {
            uint32_t* row = OutputRow(output, outputPitch, q / kCanvasWidth + 24);
            shown = reinterpret_cast<uint8_t*>(row + q % kCanvasWidth);
        }
        for (int32_t b = 0; b < 4; ++b) {
            const int32_t left = q == first ? 0 : bytes[4 * (q - 1) + b];
            const int32_t up = bytes[4 * (q - kCanvasWidth) + b];
            const int32_t right = bytes[4 * (q + 1) + b];
            const int32_t down = bytes[4 * (q + kCanvasWidth) + b];
            const int32_t value = (left + up + right + down) >> 2;
            bytes[4 * q + b] = uint8_t(value);
            if (shown != nullptr) shown[b] = uint8_t(value * 3 > 255 ? 255 : value * 3);
        }
    }
}

// Chunk p started from guesses[p]; where that is not the last pixel of chunk
// p - 1, the chunk is filtered again from the true value until it meets the
// pixels it has: from there on the two runs are the same.
void SettleChunkStarts(const uint32_t* line, uint32_t* steps, int32_t lanes, const uint32_t* guesses) {
    const int32_t length = kCanvasWidth / lanes;
    for (int32_t p = 1; p < lanes; ++p) {
        const uint32_t start = steps[(length - 1) * lanes + p - 1];
        if (start == guesses[p]) continue;
        uint64_t left = Spread(start);
        for (int32_t t = 0; t < length; ++t) {
            left = Filtered(left, line + p * length + t);
            uint32_t& had = steps[t * lanes + p];
            if (had == Pack(left)) break;
            had = Pack(left);
        }
    }
}

bool TrailFilterPathAvailable(TrailFilterPath path) {
    switch (path) {
        case TrailFilterPortable:
            return true;
        case TrailFilterSse2:
            return STARVANE_TRAIL_SSE2;
        case TrailFilterAvx2:
#if STARVANE_TRAIL_AVX2
            __builtin_cpu_init();  // may be asked before the run-time start-up code ran
            return __builtin_cpu_supports("avx2");
#else
            return false;
#endif
    }
    return false;
}

TrailFilterPath TrailFilterBestPath() {
    static const TrailFilterPath best = TrailFilterPathAvailable(TrailFilterAvx2)   ? TrailFilterAvx2
                                        : TrailFilterPathAvailable(TrailFilterSse2) ? TrailFilterSse2
                                                                                    : TrailFilterPortable;
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
    }
    return "unknown";
}

void TrailFilterWith(TrailFilterPath path, Canvas& canvas, uint32_t* output, int32_t outputPitch) {
    if (!CanvasFits(canvas)) return;
    if (!TrailFilterPathAvailable(path)) path = TrailFilterPortable;
    switch (path) {
#if STARVANE_TRAIL_AVX2
        case TrailFilterAvx2:
            return TrailFilterAvx2Pass(canvas.pixels, output, outputPitch);
#endif
#if STARVANE_TRAIL_SSE2
        case TrailFilterSse2:
            return TrailFilterSse2Pass(canvas.pixels, output, outputPitch);
#endif
        default:
            return PortablePass(canvas.pixels, output, outputPitch);
    }
}

void TrailFilter(Canvas& canvas, uint32_t* output, int32_t outputPitch) {
    TrailFilterWith(TrailFilterBestPath(), canvas, output, outputPitch);
}
