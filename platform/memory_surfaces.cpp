#include "platform/memory_surfaces.h"

#include <algorithm>
#include <cstring>

#include "platform/bitmap_font.h"

namespace {

constexpr int32_t kPitchBytes = kScreenWidth * 4;
constexpr size_t kImageWords = size_t(kScreenWidth) * kScreenHeight;

}  // namespace

void OpenMemorySurfaces(MemorySurfaces& surfaces) {
    surfaces.visible.assign(kImageWords, 0u);
    surfaces.back.assign(kImageWords, 0u);
}

void ReleaseMemorySurfaces(MemorySurfaces& surfaces) {
    surfaces.back = {};
    surfaces.visible = {};
}

RowSpan ClearMemorySurfaces(MemorySurfaces& surfaces) {
    std::fill(surfaces.back.begin(), surfaces.back.end(), 0u);
    std::fill(surfaces.visible.begin(), surfaces.visible.end(), 0u);
    return surfaces.visible.empty() ? RowSpan{0, 0} : RowSpan{0, kScreenHeight};
}

RowSpan DrawMemoryTexts(MemorySurfaces& surfaces, uint32_t textColor, const TextRun* runs, int32_t count) {
    RowSpan rows = {kScreenHeight, 0};
    if (surfaces.visible.empty()) return rows;
    for (int32_t i = 0; i < count; ++i) {
        const TextRun& run = runs[i];
        DrawTextRun(surfaces.visible.data(), kPitchBytes, kScreenWidth, kScreenHeight, run.x, run.y, run.text,
                    run.length, textColor);
        const int64_t top = std::clamp<int64_t>(run.y, 0, kScreenHeight);
        const int64_t bottom = std::clamp<int64_t>(int64_t(run.y) + kGlyphHeight, 0, kScreenHeight);
        rows.top = std::min(rows.top, int32_t(top));
        rows.bottom = std::max(rows.bottom, int32_t(bottom));
    }
    return rows;
}

uint32_t* LockMemoryBackBuffer(MemorySurfaces& surfaces, int32_t& pitch) {
    if (surfaces.back.empty()) return nullptr;
    pitch = kPitchBytes;
    return surfaces.back.data();
}

RowSpan PresentMemorySurfaces(MemorySurfaces& surfaces) {
    if (surfaces.visible.empty()) return {0, 0};
    const ScreenRect r = presentRect;
    for (int32_t row = r.top; row < r.bottom; ++row) {
        const size_t at = size_t(row) * kScreenWidth + size_t(r.left);
        std::memcpy(&surfaces.visible[at], &surfaces.back[at], size_t(r.right - r.left) * 4);
    }
    return {r.top, r.bottom};
}
