// The trail filter: the reference rule, the portable and SSE2 passes, the
// chunk-start repair the vector passes share, and the choice of path.
#include "engine/trail_filter.h"

#include <cstring>
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

void TrailFilterPortableRun(const FilterRun& run) {
    // Rows are filtered into `line` and copied out, so the row above is at
    // hand whether or not the run keeps its rows.
    uint32_t lines[2][kCanvasRowPixels + 1];
    const uint32_t* above = run.above;
    uint64_t left = SpreadPixel(run.left);
    for (int32_t i = 0; i < run.rows; ++i) {
        uint32_t* line = lines[i & 1];
        const uint32_t* old = run.old[i];
        const uint32_t* under = run.old[i + 1];
        for (int32_t column = 0; column < kCanvasRowPixels; ++column) {
            // The last pixel's right neighbour is the first of the row below.
            const uint32_t right = column + 1 < kCanvasRowPixels ? old[column + 1] : under[0];
            const uint64_t sum =
                left + SpreadPixel(above[column]) + SpreadPixel(right) + SpreadPixel(under[column]);
            left = sum >> 2 & kFieldBytes;
            line[column] = PackPixel(left);
        }
        if (run.to[i] != nullptr) std::memcpy(run.to[i], line, kCanvasRowPixels * 4);
        if (run.shown != nullptr && run.shown[i] != nullptr)
            for (int32_t column = 0; column < kCanvasRowPixels; ++column)
                run.shown[i][column] = PackPixel(TripleSaturated(SpreadPixel(line[column])));
        above = line;
    }
}

// ---- Chunk-start repair for the vector passes.

namespace {

// Pixel p of step t of a transposed row, bytes apart.
template <bool kWide>
inline void GetChunkPixel(const void* words, int32_t lanes, int32_t t, int32_t p, int32_t bytes[4]) {
    if (kWide) {
        const uint16_t* w = static_cast<const uint16_t*>(words) + WideOffset(lanes, t, p);
        for (int32_t b = 0; b < 4; ++b) bytes[b] = w[b];
    } else {
        const uint32_t v = static_cast<const uint32_t*>(words)[t * lanes + p];
        for (int32_t b = 0; b < 4; ++b) bytes[b] = int32_t(v >> 8 * b & 0xFF);
    }
}

template <bool kWide>
inline void SetChunkPixel(void* words, int32_t lanes, int32_t t, int32_t p, const int32_t bytes[4]) {
    if (kWide) {
        uint16_t* w = static_cast<uint16_t*>(words) + WideOffset(lanes, t, p);
        for (int32_t b = 0; b < 4; ++b) w[b] = uint16_t(bytes[b]);
    } else {
        static_cast<uint32_t*>(words)[t * lanes + p] =
            uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
    }
}

template <bool kFilteredWide, bool kInputWide>
void SettleChunks(const ChunkRows& rows) {
    const int32_t lanes = rows.lanes;
    const int32_t length = kCanvasRowPixels / lanes;
    for (int32_t p = 1; p < lanes; ++p) {
        // The true left input: the last pixel of chunk p - 1, exact by now.
        int32_t l[4];
        GetChunkPixel<kFilteredWide>(rows.row, lanes, length - 1, p - 1, l);
        const uint32_t left = uint32_t(l[0]) | uint32_t(l[1]) << 8 | uint32_t(l[2]) << 16 | uint32_t(l[3]) << 24;
        if (rows.guesses[p] == left) continue;
        for (int32_t t = 0; t < length; ++t) {
            // At t = length - 1 the right neighbour is in the spare step.
            int32_t u[4], r[4], d[4], had[4];
            GetChunkPixel<kFilteredWide>(rows.up, lanes, t, p, u);
            GetChunkPixel<kInputWide>(rows.old, lanes, t + 1, p, r);
            GetChunkPixel<kInputWide>(rows.below, lanes, t, p, d);
            GetChunkPixel<kFilteredWide>(rows.row, lanes, t, p, had);
            bool same = true;
            for (int32_t b = 0; b < 4; ++b) {
                l[b] = (l[b] + u[b] + r[b] + d[b]) >> 2;
                same = same && had[b] == l[b];
            }
            if (same) break;  // the guessed run has caught up
            SetChunkPixel<kFilteredWide>(rows.row, lanes, t, p, l);
        }
    }
}

}  // namespace

void SettleChunkStarts(const ChunkRows& rows) {
    if (rows.filteredWide)
        rows.inputWide ? SettleChunks<true, true>(rows) : SettleChunks<true, false>(rows);
    else
        rows.inputWide ? SettleChunks<false, true>(rows) : SettleChunks<false, false>(rows);
}

// ---- SSE2 pass: four chunks of 256 pixels side by side on wide rows.

#if STARVANE_TRAIL_X86
namespace {

constexpr int32_t kSseLanes = 4;
constexpr int32_t kSseChunk = kCanvasRowPixels / kSseLanes;
constexpr int32_t kSseStep = kSseLanes * 4;
constexpr int32_t kSseRowWords = WideRowWords(kSseLanes);
// Pixels of the chunk before that a guessed start is run over.
constexpr int32_t kSseWarmUp = 8;
constexpr int32_t kSseFirstEarlyBlock = (kSseChunk - kSseWarmUp) / 4 * 4;

inline __m128i Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline void Store(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }

// Pixels q to q + 3 of a natural row (chunks 0 to 3) into wide steps q to
// q + 3.
inline void TransposeIn4(const uint32_t* line, uint16_t* wide, int32_t q) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i a = Load(line + q), b = Load(line + kSseChunk + q);
    const __m128i c = Load(line + 2 * kSseChunk + q), d = Load(line + 3 * kSseChunk + q);
    const __m128i ab0 = _mm_unpacklo_epi32(a, b), ab1 = _mm_unpackhi_epi32(a, b);
    const __m128i cd0 = _mm_unpacklo_epi32(c, d), cd1 = _mm_unpackhi_epi32(c, d);
    uint16_t* w = wide + q * kSseStep;
    Store(w, _mm_unpacklo_epi8(ab0, zero));
    Store(w + 8, _mm_unpacklo_epi8(cd0, zero));
    Store(w + kSseStep, _mm_unpackhi_epi8(ab0, zero));
    Store(w + kSseStep + 8, _mm_unpackhi_epi8(cd0, zero));
    Store(w + 2 * kSseStep, _mm_unpacklo_epi8(ab1, zero));
    Store(w + 2 * kSseStep + 8, _mm_unpacklo_epi8(cd1, zero));
    Store(w + 3 * kSseStep, _mm_unpackhi_epi8(ab1, zero));
    Store(w + 3 * kSseStep + 8, _mm_unpackhi_epi8(cd1, zero));
}

inline __m128i TripleSaturated(__m128i v) { return _mm_adds_epu8(_mm_adds_epu8(v, v), v); }

inline __m128i Pick(__m128i x, __m128i y, bool even) {
    const __m128 fx = _mm_castsi128_ps(x), fy = _mm_castsi128_ps(y);
    return _mm_castps_si128(even ? _mm_shuffle_ps(fx, fy, _MM_SHUFFLE(2, 0, 2, 0))
                                 : _mm_shuffle_ps(fx, fy, _MM_SHUFFLE(3, 1, 3, 1)));
}

// Wide steps q to q + 3 back into the natural row and, three times brighter,
// into the output row; either may be null.
inline void TransposeOut4(const uint16_t* wide, uint32_t* line, uint32_t* shown, int32_t q) {
    const uint16_t* w = wide + q * kSseStep;
    const __m128i ab0 = _mm_packus_epi16(Load(w), Load(w + kSseStep));  // a0 b0 a1 b1
    const __m128i ab1 = _mm_packus_epi16(Load(w + 2 * kSseStep), Load(w + 3 * kSseStep));
    const __m128i cd0 = _mm_packus_epi16(Load(w + 8), Load(w + kSseStep + 8));
    const __m128i cd1 = _mm_packus_epi16(Load(w + 2 * kSseStep + 8), Load(w + 3 * kSseStep + 8));
    const __m128i out[4] = {Pick(ab0, ab1, true), Pick(ab0, ab1, false), Pick(cd0, cd1, true),
                            Pick(cd0, cd1, false)};
    for (int32_t p = 0; p < kSseLanes; ++p) {
        if (line != nullptr) Store(line + p * kSseChunk + q, out[p]);
        if (shown != nullptr) Store(shown + p * kSseChunk + q, TripleSaturated(out[p]));
    }
}

// Hides a value's origin from the compiler, which would otherwise fold the
// sum U + R + D into the running chain and lengthen it by an addition.
inline __m128i Settled(__m128i v) {
    __asm__("" : "+x"(v));
    return v;
}

inline void Step4(const uint16_t* up, const uint16_t* right, const uint16_t* down, __m128i& x0, __m128i& x1) {
    const __m128i a0 = _mm_add_epi16(_mm_add_epi16(Load(up), Load(right)), Load(down));
    const __m128i a1 = _mm_add_epi16(_mm_add_epi16(Load(up + 8), Load(right + 8)), Load(down + 8));
    x0 = _mm_srli_epi16(_mm_add_epi16(Settled(a0), x0), 2);
    x1 = _mm_srli_epi16(_mm_add_epi16(Settled(a1), x1), 2);
}

struct RowPass4 {
    const uint16_t* up;
    uint16_t* old;
    uint16_t* below;
    uint16_t* row;
    const uint32_t* oldLine;
    const uint32_t* belowLine;
    uint32_t* upLine;
    uint32_t* upShown;
    uint32_t left;
    uint32_t* guesses;
};

// As the AVX2 pass, with four lanes and blocks of four steps.
void FilterRow4(const RowPass4& pass) {
    const uint16_t* up = pass.up;
    uint16_t* old = pass.old;
    uint16_t* below = pass.below;
    uint16_t* row = pass.row;
    const __m128i zero = _mm_setzero_si128();
    for (int32_t q = kSseFirstEarlyBlock; q < kSseChunk; q += 4) TransposeIn4(pass.belowLine, below, q);
    {
        const uint32_t* o = pass.oldLine;
        const __m128i ends = _mm_setr_epi32(int32_t(o[kSseChunk]), int32_t(o[2 * kSseChunk]),
                                            int32_t(o[3 * kSseChunk]), int32_t(pass.belowLine[0]));
        Store(old + kSseChunk * kSseStep, _mm_unpacklo_epi8(ends, zero));
        Store(old + kSseChunk * kSseStep + 8, _mm_unpackhi_epi8(ends, zero));
    }
    __m128i x0, x1;
    {
        const int32_t t0 = kSseChunk - kSseWarmUp;
        const uint16_t *u = up + t0 * kSseStep, *r = old + (t0 + 1) * kSseStep, *d = below + t0 * kSseStep;
        const __m128i third = _mm_set1_epi16(21846);
        x0 = _mm_mulhi_epu16(_mm_add_epi16(_mm_add_epi16(Load(u), Load(r)), Load(d)), third);
        x1 = _mm_mulhi_epu16(_mm_add_epi16(_mm_add_epi16(Load(u + 8), Load(r + 8)), Load(d + 8)), third);
        for (int32_t t = t0; t < kSseChunk; ++t)
            Step4(up + t * kSseStep, old + (t + 1) * kSseStep, below + t * kSseStep, x0, x1);
        const __m128i g = _mm_or_si128(_mm_slli_si128(_mm_packus_epi16(x0, x1), 4),
                                       _mm_cvtsi32_si128(int32_t(pass.left)));
        Store(pass.guesses, g);
        x0 = _mm_unpacklo_epi8(g, zero);
        x1 = _mm_unpackhi_epi8(g, zero);
    }
    for (int32_t q = 0; q < kSseChunk; q += 4) {
        if (q < kSseFirstEarlyBlock) TransposeIn4(pass.belowLine, below, q);
        if (pass.upLine != nullptr || pass.upShown != nullptr) TransposeOut4(up, pass.upLine, pass.upShown, q);
        for (int32_t t = q; t < q + 4; ++t) {
            Step4(up + t * kSseStep, old + (t + 1) * kSseStep, below + t * kSseStep, x0, x1);
            Store(row + t * kSseStep, x0);
            Store(row + t * kSseStep + 8, x1);
        }
    }
}

}  // namespace

void TrailFilterSse2Run(const FilterRun& run) {
    alignas(16) uint16_t buffers[4][kSseRowWords];
    alignas(16) uint32_t guesses[kSseLanes];
    uint16_t* up = buffers[0];
    uint16_t* old = buffers[1];
    uint16_t* below = buffers[2];
    uint16_t* row = buffers[3];
    for (int32_t q = 0; q < kSseChunk; q += 4) {
        TransposeIn4(run.above, up, q);
        TransposeIn4(run.old[0], old, q);
    }
    uint32_t left = run.left;
    for (int32_t i = 0; i < run.rows; ++i) {
        uint32_t* upLine = i > 0 ? run.to[i - 1] : nullptr;
        uint32_t* upShown = i > 0 && run.shown != nullptr ? run.shown[i - 1] : nullptr;
        FilterRow4({up, old, below, row, run.old[i], run.old[i + 1], upLine, upShown, left, guesses});
        // Each chunk's guess against the last pixel of the chunk before.
        const uint16_t* last = row + (kSseChunk - 1) * kSseStep;
        const __m128i ends = _mm_slli_si128(_mm_packus_epi16(Load(last), Load(last + 8)), 4);
        if ((_mm_movemask_epi8(_mm_cmpeq_epi32(ends, Load(guesses))) | 0xF) != 0xFFFF)
            SettleChunkStarts({kSseLanes, up, old, below, row, true, true, guesses});
        left = WidePixel(row, kSseLanes, kSseChunk - 1, kSseLanes - 1);
        std::swap(up, row);
        std::swap(old, below);
    }
    uint32_t* lastLine = run.to[run.rows - 1];
    uint32_t* lastShown = run.shown != nullptr ? run.shown[run.rows - 1] : nullptr;
    if (lastLine != nullptr || lastShown != nullptr)
        for (int32_t q = 0; q < kSseChunk; q += 4) TransposeOut4(up, lastLine, lastShown, q);
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
#endif
        default:
            return false;
    }
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

void FillCanvasRows(CanvasRows& rows, uint32_t* pixels, uint32_t* output, int32_t outputPitch) {
    for (int32_t r = 0; r <= kFilteredRows + 1; ++r) {
        rows.old[r] = pixels + r * kCanvasRowPixels;
        rows.to[r] = pixels + r * kCanvasRowPixels;
        rows.shown[r] = output != nullptr ? OutputRow(output, outputPitch, r + 24) : nullptr;
    }
    rows.hasOutput = output != nullptr;
}

FilterRun CanvasRun(const CanvasRows& rows, int32_t first, int32_t count, const uint32_t* above, uint32_t left) {
    return {above, left, count, rows.old + first, rows.to + first, rows.hasOutput ? rows.shown + first : nullptr};
}

void RunTrailFilterPath(int32_t path, const FilterRun& run) {
    switch (path) {
#if STARVANE_TRAIL_X86
        case TrailFilterAvx2:
            TrailFilterAvx2Run(run);
            return;
        case TrailFilterSse2:
            TrailFilterSse2Run(run);
            return;
#endif
        default:
            TrailFilterPortableRun(run);
            return;
    }
}

void TrailFilterWith(TrailFilterPath path, Canvas& canvas, uint32_t* output, int32_t outputPitch) {
    if (!CanvasFitsTrailFilter(canvas)) return;
    if (!TrailFilterPathAvailable(path)) path = TrailFilterPortable;
    CanvasRows rows;
    FillCanvasRows(rows, canvas.pixels, output, outputPitch);
    RunTrailFilterPath(path, CanvasRun(rows, 1, kFilteredRows, rows.old[0], 0));
}

void TrailFilter(Canvas& canvas, uint32_t* output, int32_t outputPitch) {
    TrailFilterWith(TrailFilterBestPath(), canvas, output, outputPitch);
}
