#include "platform/picture_scaler.h"

#include <algorithm>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/platform.h"

namespace {

// Destination i samples the source at (i + 1/2) * from / to - 1/2, in 256ths,
// as a pair of neighbours [first, first + 1] and the weight of the second.
void BuildAxis(int32_t from, int32_t to, std::vector<int32_t>& first, std::vector<uint32_t>& weight) {
    first.resize(size_t(to));
    weight.resize(size_t(to));
    for (int32_t i = 0; i < to; ++i) {
        int64_t at = (int64_t(2 * i + 1) * from * 256) / (int64_t(2) * to) - 128;
        at = std::clamp<int64_t>(at, 0, int64_t(from - 1) * 256);
        const int32_t pair = std::min(int32_t(at >> 8), from - 2);
        first[size_t(i)] = pair;
        weight[size_t(i)] = uint32_t(at - int64_t(pair) * 256);
    }
}

// Columns [x0, x1) of one source row scaled across into `out`.
void ScaleLine(const PictureScaler& s, const uint32_t* __restrict from, int32_t x0, int32_t x1,
               uint32_t* __restrict out) {
    const int32_t* first = s.column0.data();
    const uint32_t* weights = s.columnWeights.data();
    int32_t x = x0;
#ifdef __SSE2__
    // Four pixels at a time: each pair's channels side by side, multiplied
    // by the pair's weights and summed in one step.
    const __m128i zero = _mm_setzero_si128();
    auto one = [&](int32_t i) {
        const __m128i pair = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(from + first[i])), zero);
        const __m128i mixed = _mm_unpacklo_epi16(pair, _mm_srli_si128(pair, 8));
        const __m128i w = _mm_set1_epi32(int32_t(weights[i]));
        return _mm_srli_epi32(_mm_madd_epi16(mixed, w), 8);
    };
    for (; x + 4 <= x1; x += 4) {
        const __m128i lo = _mm_packs_epi32(one(x), one(x + 1));
        const __m128i hi = _mm_packs_epi32(one(x + 2), one(x + 3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(lo, hi));
    }
#endif
    for (; x < x1; ++x) {
        const uint32_t a = from[first[x]], b = from[first[x] + 1];
        const uint32_t wa = weights[x] & 0xFFFF, wb = weights[x] >> 16;
        const uint32_t rb = ((a & 0xFF00FFu) * wa + (b & 0xFF00FFu) * wb) >> 8 & 0xFF00FFu;
        const uint32_t g = ((a & 0x00FF00u) * wa + (b & 0x00FF00u) * wb) >> 8 & 0x00FF00u;
        out[x] = rb | g;
    }
}

// The scaled line of a source row holding at least columns `need`, kept for
// the destination rows that reuse it.
const uint32_t* ScaledLine(PictureScaler& s, const uint32_t* source, int32_t sourcePitch, int32_t row,
                           ColumnSpan need) {
    for (int slot = 0; slot < 2; ++slot) {
        const ColumnSpan& held = s.lineColumns[slot];
        if (s.lineRow[slot] == row && held.left <= need.left && held.right >= need.right)
            return s.lines[slot].data();
    }
    // The slot of the same row, else the one holding the upper row: rows
    // are visited downwards.
    int slot = s.lineRow[0] < s.lineRow[1] ? 0 : 1;
    if (s.lineRow[0] == row || s.lineRow[1] == row) slot = s.lineRow[0] == row ? 0 : 1;
    ScaleLine(s, source + size_t(row) * size_t(sourcePitch), need.left, need.right, s.lines[slot].data());
    s.lineRow[slot] = row;
    s.lineColumns[slot] = need;
    return s.lines[slot].data();
}

// Byte by byte, so the compiler can use vector instructions.
void MixLines(const uint32_t* a, const uint32_t* b, uint32_t w, uint32_t* out, int32_t count) {
    const uint8_t* __restrict pa = reinterpret_cast<const uint8_t*>(a);
    const uint8_t* __restrict pb = reinterpret_cast<const uint8_t*>(b);
    uint8_t* __restrict po = reinterpret_cast<uint8_t*>(out);
    const uint16_t wb = uint16_t(w), wa = uint16_t(256 - w);
    const int32_t n = count * 4;
    for (int32_t i = 0; i < n; ++i) po[i] = uint8_t((pa[i] * wa + pb[i] * wb) >> 8);
}

// The destination columns whose source pair touches source columns span.
ColumnSpan DestinationColumns(const PictureScaler& s, ColumnSpan span) {
    if (span.left >= span.right) return {};
    // column0 never falls from left to right.
    const int32_t* c = s.column0.data();
    const int32_t left = int32_t(std::lower_bound(c, c + s.width, span.left - 1) - c);
    const int32_t right = int32_t(std::lower_bound(c, c + s.width, span.right) - c);
    return {left, right};
}

}  // namespace

void SetScaledSize(PictureScaler& s, int32_t width, int32_t height) {
    s.width = std::max(width, 1);
    s.height = std::max(height, 1);
    BuildAxis(kScreenWidth, s.width, s.column0, s.columnWeights);
    for (uint32_t& w : s.columnWeights) w = (256 - w) | w << 16;
    BuildAxis(kScreenHeight, s.height, s.row0, s.rowWeight);
    for (auto& line : s.lines) line.assign(size_t(s.width), 0u);
}

void ScaleRows(PictureScaler& s, const uint32_t* source, int32_t sourcePitch, const ColumnSpan* changed,
               uint32_t* target, int32_t pitch, std::vector<PixelRect>& rects) {
    rects.clear();
    if (s.width <= 0) return;
    // Rows next to each other go in one rectangle, wide enough for both.
    auto add = [&rects](int32_t y, ColumnSpan columns) {
        PixelRect* last = rects.empty() ? nullptr : &rects.back();
        if (last && last->bottom == y) {
            last->bottom = y + 1;
            last->left = std::min(last->left, columns.left);
            last->right = std::max(last->right, columns.right);
        } else {
            rects.push_back({columns.left, y, columns.right, y + 1});
        }
    };
    if (s.width == kScreenWidth && s.height == kScreenHeight) {
        for (int32_t y = 0; y < kScreenHeight; ++y) {
            const ColumnSpan c = changed[y];
            if (c.left >= c.right) continue;
            std::memcpy(target + size_t(y) * size_t(pitch) + c.left, source + size_t(y) * size_t(sourcePitch) + c.left,
                        size_t(c.right - c.left) * 4);
            add(y, c);
        }
        return;
    }
    // The source changed, so no scaled line may be reused.
    s.lineRow[0] = s.lineRow[1] = -1;
    for (int32_t y = 0; y < s.height; ++y) {
        uint32_t* out = target + size_t(y) * size_t(pitch);
        const uint32_t w = s.rowWeight[size_t(y)];
        const int32_t row = s.row0[size_t(y)];
        if (w == 0 || w == 256) {
            const int32_t only = w == 0 ? row : row + 1;
            const ColumnSpan columns = DestinationColumns(s, changed[only]);
            if (columns.left >= columns.right) continue;
            const uint32_t* line = ScaledLine(s, source, sourcePitch, only, columns);
            std::memcpy(out + columns.left, line + columns.left, size_t(columns.right - columns.left) * 4);
            add(y, columns);
        } else {
            ColumnSpan either = changed[row];
            AddColumns(either, changed[row + 1].left, changed[row + 1].right);
            const ColumnSpan columns = DestinationColumns(s, either);
            if (columns.left >= columns.right) continue;
            const uint32_t* a = ScaledLine(s, source, sourcePitch, row, columns);
            const uint32_t* b = ScaledLine(s, source, sourcePitch, row + 1, columns);
            MixLines(a + columns.left, b + columns.left, w, out + columns.left, columns.right - columns.left);
            add(y, columns);
        }
    }
}
