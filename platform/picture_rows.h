// What changed in the picture from one present to the next, found from what
// the frame left lit: a row of the night sky that is black now and was
// black before cannot have changed, and in a lit row only the columns from
// its first to its last lit pixel, now or before, can have.
#pragma once
#include <cstdint>
#include <vector>

// Columns [left, right) of a row; empty when left >= right.
struct ColumnSpan {
    int32_t left = 0, right = 0;
};

// A rectangle of pixels: columns [left, right), rows [top, bottom).
struct PixelRect {
    int32_t left, top, right, bottom;
};

// The columns from the first to the last pixel of a row that is not black
// (any of its four bytes set); empty for a black row. Reads a lit row only
// up to its first and last lit pixels.
ColumnSpan LitColumns(const uint32_t* row, int32_t width);

// Widens `span` to take in columns [left, right).
void AddColumns(ColumnSpan& span, int32_t left, int32_t right);

// Rows with their changed columns, gathered into few rectangles: rows next
// to each other share one while the pixels it adds stay a small part of it.
// `spans` holds one span per row from row `top` on; rects is replaced.
void GatherRects(const ColumnSpan* spans, int32_t top, int32_t count, std::vector<PixelRect>& rects);
