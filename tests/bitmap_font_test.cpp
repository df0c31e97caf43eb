// The compiled-in font and the opaque, clipped text runs drawn with it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/bitmap_font.h"

TEST(BitmapFont, ColoursAndGlyphs) {
    EXPECT_EQ(PixelFromColorRef(0xF8F862u), 0x62F8F8u);    // the banner's pale cyan
    EXPECT_EQ(PixelFromColorRef(0xAB123456u), 0x563412u);  // top byte dropped
    // Printable characters but the space have ink, letters and digits apart
    // included (readers of the strip rely on it); all others are empty.
    const uint8_t empty[kGlyphHeight] = {};
    for (int c = 0; c < 256; c++) {
        const bool inked = c > 0x20 && c < 0x7F;
        EXPECT_EQ(std::memcmp(GlyphRows(char(c)), empty, kGlyphHeight) != 0, inked) << c;
        for (int d = c + 1; inked && d < 0x7F; d++)
            EXPECT_NE(std::memcmp(GlyphRows(char(c)), GlyphRows(char(d)), kGlyphHeight), 0) << c << " " << d;
    }
}

// Every pixel of a w x h image (pitch words a row) after one run: in a cell
// the glyph's ink or black, elsewhere and in the padding untouched.
TEST(BitmapFont, RunsFillCellsOpaquelyAndClipOnEverySide) {
    const struct { int32_t w, h, pitch, x, y, length; std::string text; } cases[] = {
        {40, 30, 48, 3, 5, 3, "H i"}, {20, 12, 20, -5, -7, 2, "AB"}, {20, 12, 20, 15, 4, 1, "W"},
        {20, 12, 20, 20, 0, 1, "X"},  {20, 12, 20, -8, 0, 1, "X"},   {20, 12, 20, 0, 12, 1, "X"},
        {20, 12, 20, 0, -16, 1, "X"}, {20, 12, 20, 0x7FFFFFF0, 0, 2, "XY"}, {20, 12, 20, 0, 0, -3, "X"},
        {1024, 25, 1024, 1, 5, 100000, std::string(100000, '_')}};
    for (const auto& c : cases) {
        std::vector<uint32_t> image(size_t(c.pitch) * c.h, 0x123456u);
        DrawTextRun(image.data(), c.pitch * 4, c.w, c.h, c.x, c.y, c.text.data(), c.length, 0x0000FFu);
        for (int32_t y = 0; y < c.h; y++)
            for (int32_t x = 0; x < c.pitch; x++) {
                const int64_t cx = int64_t(x) - c.x, cy = int64_t(y) - c.y;
                uint32_t want = 0x123456u;
                if (x < c.w && cx >= 0 && cx < 8 * int64_t(c.length) && cy >= 0 && cy < kGlyphHeight)
                    want = GlyphRows(c.text[size_t(cx / 8)])[cy] & (0x80u >> (cx % 8)) ? 0xFF0000u : 0u;
                ASSERT_EQ(image[size_t(y) * c.pitch + x], want) << c.text.substr(0, 3) << " at " << x << ", " << y;
            }
    }
}
