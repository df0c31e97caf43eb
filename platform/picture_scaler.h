// Bilinear scaling of the 1024 x 768 picture to any size, only where it
// changed: each source row carries the columns that changed, and only the
// destination pixels that depend on them are written again. At 1024 x 768
// it is an exact copy; a flat area stays exactly its colour at any size.
#pragma once
#include <cstdint>
#include <vector>
#include "platform/picture_rows.h"

struct PictureScaler {
    int32_t width = 0, height = 0;  // the size scaled to
    // Per destination column and row: the first of the two source pixels it
    // mixes (never the last of its row or column) and the weight of the
    // second, 0 to 256 in 256ths. Columns keep both weights, 256 - w in the
    // low and w in the high 16 bits.
    std::vector<int32_t> column0, row0;
    std::vector<uint32_t> columnWeights, rowWeight;
    // Two source rows scaled across, tagged with their source row and the
    // destination columns they hold.
    std::vector<uint32_t> lines[2];
    int32_t lineRow[2] = {-1, -1};
    ColumnSpan lineColumns[2];
};

void SetScaledSize(PictureScaler& scaler, int32_t width, int32_t height);

// Scales again every destination pixel that depends on a changed source
// pixel, as `changed` tells per source row (768 of them). `source` is
// 1024 x 768, rows sourcePitch pixels apart; `target` is the top-left pixel of the scaled picture,
// `pitch` its row distance in pixels. The rectangles written are stored in
// `rects`, top to bottom, rows next to each other merged.
void ScaleRows(PictureScaler& scaler, const uint32_t* source, int32_t sourcePitch, const ColumnSpan* changed,
               uint32_t* target, int32_t pitch, std::vector<PixelRect>& rects);
