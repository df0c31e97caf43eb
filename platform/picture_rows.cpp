#include "platform/picture_rows.h"

#include <algorithm>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Whether any of the `count` pixels (a multiple of 8) is lit.
inline bool AnyLit8(const uint32_t* p) {
#ifdef __SSE2__
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4));
    return _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_or_si128(a, b), _mm_setzero_si128())) != 0xFFFF;
#else
    return (p[0] | p[1] | p[2] | p[3] | p[4] | p[5] | p[6] | p[7]) != 0;
#endif
}

}  // namespace

ColumnSpan LitColumns(const uint32_t* row, int32_t width) {
    int32_t left = 0;
    // Eight pixels a step from the left until one is lit.
    while (left + 8 <= width && !AnyLit8(row + left)) left += 8;
    while (left < width && row[left] == 0) ++left;
    if (left == width) return {};
    int32_t right = width;
    while (right - 8 >= left && !AnyLit8(row + right - 8)) right -= 8;
    while (row[right - 1] == 0) --right;
    return {left, right};
}

void AddColumns(ColumnSpan& span, int32_t left, int32_t right) {
    if (left >= right) return;
    if (span.left >= span.right) {
        span = {left, right};
        return;
    }
    span = {std::min(span.left, left), std::max(span.right, right)};
}

void GatherRects(const ColumnSpan* spans, int32_t top, int32_t count, std::vector<PixelRect>& rects) {
    rects.clear();
    int64_t used = 0;  // changed pixels inside the last rectangle
    for (int32_t i = 0; i < count; ++i) {
        const ColumnSpan c = spans[i];
        if (c.left >= c.right) continue;
        const int32_t y = top + i;
        if (!rects.empty() && rects.back().bottom == y) {
            PixelRect& r = rects.back();
            const PixelRect grown = {std::min(r.left, c.left), r.top, std::max(r.right, c.right), y + 1};
            const int64_t area = int64_t(grown.right - grown.left) * (grown.bottom - grown.top);
            // A request costs about as much as a few hundred pixels; a
            // quarter more pixels than changed is worth one less.
            if ((area - used - (c.right - c.left)) * 4 <= area + 1024) {
                r = grown;
                used += c.right - c.left;
                continue;
            }
        }
        rects.push_back({c.left, y, c.right, y + 1});
        used = c.right - c.left;
    }
}
