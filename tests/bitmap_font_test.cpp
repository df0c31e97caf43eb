#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/bitmap_font.h"

namespace {

struct Image {
    int32_t width, height, pitchWords;
    std::vector<uint32_t> pixels;
    Image(int32_t w, int32_t h, int32_t pitch, uint32_t fill)
        : width(w), height(h), pitchWords(pitch), pixels(static_cast<size_t>(pitch) * h, fill) {}
    uint32_t At(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * pitchWords + x]; }
    void Draw(int32_t x, int32_t y, const char* text, uint32_t colorRef) {
        DrawTextRun(pixels.data(), pitchWords * 4, width, height, x, y, text,
                    static_cast<int32_t>(std::strlen(text)), colorRef);
    }
};

bool GlyphBit(char c, int32_t col, int32_t row) { return GlyphRows(c)[row] & (0x80u >> col); }

}  // namespace

TEST(BitmapFont, ColourReferenceBecomesPixel) {
    EXPECT_EQ(PixelFromColorRef(0xF8F862u), 0x62F8F8u);  // the banner's pale cyan
    EXPECT_EQ(PixelFromColorRef(0xFFFF00u), 0x00FFFFu);
    EXPECT_EQ(PixelFromColorRef(0x0000FFu), 0xFF0000u);
    EXPECT_EQ(PixelFromColorRef(0xAB123456u), 0x563412u);  // top byte dropped
}

TEST(BitmapFont, GlyphsCoverPrintableAscii) {
    // Every printable character but the space has ink, and no two glyphs of
    // letters and digits are the same (a reader of the strip relies on it).
    int inked = 0;
    for (int c = 0x21; c <= 0x7E; c++) {
        const uint8_t* rows = GlyphRows(static_cast<char>(c));
        bool any = false;
        for (int r = 0; r < kGlyphHeight; r++) any |= rows[r] != 0;
        inked += any;
        for (int d = c + 1; d <= 0x7E; d++)
            EXPECT_NE(std::memcmp(rows, GlyphRows(static_cast<char>(d)), kGlyphHeight), 0) << c << " " << d;
    }
    EXPECT_EQ(inked, 0x7E - 0x21 + 1);
    const uint8_t* space = GlyphRows(' ');
    const uint8_t* control = GlyphRows('\n');
    const uint8_t* high = GlyphRows(static_cast<char>(0xE9));
    for (int r = 0; r < kGlyphHeight; r++) {
        EXPECT_EQ(space[r], 0);
        EXPECT_EQ(control[r], 0);
        EXPECT_EQ(high[r], 0);
    }
}

TEST(BitmapFont, RunFillsCellsOpaquelyWithInk) {
    // A padded pitch, a white background: the cells turn black behind the ink,
    // pixels outside the cells and in the row padding stay untouched.
    Image image(40, 30, 48, 0xFFFFFFu);
    image.Draw(3, 5, "H i", 0xF8F862u);
    const char* text = "H i";
    for (int32_t i = 0; i < 3; i++)
        for (int32_t row = 0; row < kGlyphHeight; row++)
            for (int32_t col = 0; col < kGlyphWidth; col++) {
                const uint32_t expected = GlyphBit(text[i], col, row) ? 0x62F8F8u : 0u;
                ASSERT_EQ(image.At(3 + 8 * i + col, 5 + row), expected) << i << " " << col << " " << row;
            }
    EXPECT_EQ(image.At(2, 5), 0xFFFFFFu);
    EXPECT_EQ(image.At(27, 5), 0xFFFFFFu);
    EXPECT_EQ(image.At(3, 4), 0xFFFFFFu);
    EXPECT_EQ(image.At(3, 21), 0xFFFFFFu);
    for (int32_t y = 0; y < 30; y++)
        for (int32_t x = 40; x < 48; x++) ASSERT_EQ(image.pixels[static_cast<size_t>(y) * 48 + x], 0xFFFFFFu);
}

TEST(BitmapFont, RunIsClippedOnEverySide) {
    // Off the left and top, the right and bottom, wholly outside, and a text
    // far longer than the image: only in-image pixels change, and each is
    // the glyph pixel it would be without clipping.
    Image image(20, 12, 20, 0x123456u);
    image.Draw(-5, -7, "AB", 0x0000FFu);
    for (int32_t y = 0; y < 9; y++)
        for (int32_t x = 0; x < 11; x++) {
            const int32_t gx = x + 5, gy = y + 7;
            const char c = gx < 8 ? 'A' : 'B';
            ASSERT_EQ(image.At(x, y), GlyphBit(c, gx % 8, gy) ? 0xFF0000u : 0u) << x << " " << y;
        }
    EXPECT_EQ(image.At(11, 0), 0x123456u);
    EXPECT_EQ(image.At(0, 9), 0x123456u);

    Image corner(20, 12, 20, 0x123456u);
    corner.Draw(15, 4, "W", 0xFFFFFFu);
    for (int32_t y = 4; y < 12; y++)
        for (int32_t x = 15; x < 20; x++)
            ASSERT_EQ(corner.At(x, y), GlyphBit('W', x - 15, y - 4) ? 0xFFFFFFu : 0u);
    EXPECT_EQ(corner.At(14, 4), 0x123456u);

    Image untouched(20, 12, 20, 0x123456u);
    untouched.Draw(20, 0, "X", 0xFFFFFFu);
    untouched.Draw(-8, 0, "X", 0xFFFFFFu);
    untouched.Draw(0, 12, "X", 0xFFFFFFu);
    untouched.Draw(0, -16, "X", 0xFFFFFFu);
    untouched.Draw(0x7FFFFFF0, 0, "XY", 0xFFFFFFu);
    DrawTextRun(untouched.pixels.data(), 80, 20, 12, 0, 0, "X", 0, 0xFFFFFFu);
    DrawTextRun(untouched.pixels.data(), 80, 20, 12, 0, 0, "X", -3, 0xFFFFFFu);
    for (uint32_t p : untouched.pixels) ASSERT_EQ(p, 0x123456u);

    std::vector<char> longText(100000, '_');
    Image strip(1024, 25, 1024, 0x777777u);
    DrawTextRun(strip.pixels.data(), 4096, 1024, 25, 1, 5, longText.data(), 100000, 0xF8F862u);
    EXPECT_EQ(strip.At(0, 5), 0x777777u);
    EXPECT_EQ(strip.At(1023, 5), 0u);
    EXPECT_EQ(strip.At(1023, 21), 0x777777u);
}
