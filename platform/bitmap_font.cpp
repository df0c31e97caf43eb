// Glyphs: Terminus Font, Copyright (c) 2010 Dimitar Toshkov Zhekov, under the
// SIL Open Font License 1.1 (see platform/FONT-LICENSE.txt).
#include "platform/bitmap_font.h"

namespace {

constexpr uint8_t kGlyphs[95][kGlyphHeight] = {
#include "platform/font8x16_glyphs.inc"
};

constexpr uint8_t kEmptyGlyph[kGlyphHeight] = {};

}  // namespace

const uint8_t* GlyphRows(char c) {
    const auto code = static_cast<unsigned char>(c);
    if (code < 0x20 || code > 0x7E) return kEmptyGlyph;
    return kGlyphs[code - 0x20];
}

uint32_t PixelFromColorRef(uint32_t colorRef) {
    const uint32_t red = colorRef & 0xFF;
    const uint32_t green = (colorRef >> 8) & 0xFF;
    const uint32_t blue = (colorRef >> 16) & 0xFF;
    return (red << 16) | (green << 8) | blue;
}

void DrawTextRun(uint32_t* image, int32_t pitchBytes, int32_t width, int32_t height, int32_t x,
                 int32_t y, const char* text, int32_t length, uint32_t textColorRef) {
    if (image == nullptr || text == nullptr || length <= 0 || width <= 0 || height <= 0) return;
    const uint32_t ink = PixelFromColorRef(textColorRef);
    // Rows of the cells that land inside the image.
    const int32_t rowFirst = y < 0 ? -y : 0;
    const int32_t rowEnd = height - y < kGlyphHeight ? height - y : kGlyphHeight;
    if (rowFirst >= rowEnd) return;
    auto* base = reinterpret_cast<uint8_t*>(image);
    for (int32_t i = 0; i < length; i++) {
        // 64-bit so that long texts or far-off origins cannot overflow.
        const int64_t cellX = static_cast<int64_t>(x) + static_cast<int64_t>(kGlyphWidth) * i;
        if (cellX >= width) break;
        if (cellX + kGlyphWidth <= 0) continue;
        const uint8_t* glyph = GlyphRows(text[i]);
        for (int32_t row = rowFirst; row < rowEnd; row++) {
            auto* line = reinterpret_cast<uint32_t*>(base + static_cast<int64_t>(y + row) * pitchBytes);
            for (int32_t col = 0; col < kGlyphWidth; col++) {
                const int64_t px = cellX + col;
                if (px < 0 || px >= width) continue;
                line[px] = (glyph[row] & (0x80u >> col)) ? ink : 0u;
            }
        }
    }
}
