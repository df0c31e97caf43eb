#include <gtest/gtest.h>

#include <vector>

#include "platform/picture_rows.h"

TEST(PictureRows, LitColumnsFromTheFirstToTheLastLitPixel) {
    const struct {
        std::vector<int32_t> lit;  // columns set, each in one byte only
        int32_t width, left, right;
    } cases[] = {
        {{}, 1024, 0, 0},          {{0}, 1024, 0, 1},         {{1023}, 1024, 1023, 1024},
        {{7, 8}, 1024, 7, 9},      {{5, 900}, 1024, 5, 901},  {{3}, 5, 3, 4},
        {{}, 0, 0, 0},             {{511, 512}, 1024, 511, 513},
    };
    for (const auto& c : cases) {
        std::vector<uint32_t> row(size_t(c.width) + 8, 0u);
        int32_t byte = 0;
        for (int32_t x : c.lit) row[size_t(x)] = 1u << (8 * (byte++ % 4));
        row[size_t(c.width)] = 0xFFFFFF;  // past the row: never looked at
        const ColumnSpan s = LitColumns(row.data(), c.width);
        if (c.left >= c.right) {
            EXPECT_GE(s.left, s.right) << c.width;
        } else {
            EXPECT_EQ(s.left, c.left);
            EXPECT_EQ(s.right, c.right);
        }
    }
}

TEST(PictureRows, AddColumnsWidensOrStarts) {
    ColumnSpan span;
    AddColumns(span, 5, 5);  // empty: nothing
    EXPECT_GE(span.left, span.right);
    AddColumns(span, 10, 20);
    AddColumns(span, 3, 4);
    AddColumns(span, 30, 31);
    EXPECT_EQ(span.left, 3);
    EXPECT_EQ(span.right, 31);
}

TEST(PictureRows, GatherRectsCoversEveryChangedPixelWithLittleMore) {
    std::vector<ColumnSpan> spans(40);
    for (int32_t i = 0; i < 10; ++i) spans[size_t(i)] = {100 - i, 200 + i};  // one growing blob
    spans[10] = {900, 910};  // far off to the side: a rectangle of its own
    spans[20] = {0, 1024};   // after a gap
    std::vector<PixelRect> rects;
    GatherRects(spans.data(), 50, 40, rects);
    ASSERT_EQ(rects.size(), 3u);
    EXPECT_EQ(rects[0].top, 50);
    EXPECT_EQ(rects[0].bottom, 60);
    EXPECT_EQ(rects[0].left, 91);
    EXPECT_EQ(rects[0].right, 209);
    EXPECT_EQ(rects[1].top, 60);
    EXPECT_EQ(rects[1].left, 900);
    EXPECT_EQ(rects[2].top, 70);
    EXPECT_EQ(rects[2].bottom, 71);
    // Every changed pixel is inside a rectangle.
    for (int32_t i = 0; i < 40; ++i)
        for (int32_t x = spans[size_t(i)].left; x < spans[size_t(i)].right; ++x) {
            bool in = false;
            for (const PixelRect& r : rects) in = in || (x >= r.left && x < r.right && 50 + i >= r.top && 50 + i < r.bottom);
            EXPECT_TRUE(in) << x << "," << i;
        }
}
