#include "platform/picture_rows.h"

#include <algorithm>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Whether any of 16 pixels is lit.
inline bool AnyLit16(const uint32_t* p) {
#ifdef __SSE2__
    auto load = [p](int32_t i) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)); };
    const __m128i any = _mm_or_si128(_mm_or_si128(load(0), load(4)), _mm_or_si128(load(8), load(12)));
    return _mm_movemask_epi8(_mm_cmpeq_epi32(any, _mm_setzero_si128())) != 0xFFFF;
#else
    uint32_t any = 0;
    for (int32_t i = 0; i < 16; ++i) any |= p[i];
    return any != 0;
#endif
}

}  // namespace

ColumnSpan LitColumns(const uint32_t* row, int32_t width) {
    int32_t left = 0;
    // Sixteen pixels a step from the left until one is lit.
    while (left + 16 <= width && !AnyLit16(row + left)) left += 16;
    while (left < width && row[left] == 0) ++left;
    if (left == width) return {};
    int32_t right = width;
    while (right - 16 >= left && !AnyLit16(row + right - 16)) right -= 16;
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
