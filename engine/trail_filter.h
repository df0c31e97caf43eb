// The trail filter: every pixel of canvas rows 1 to 716 becomes, per byte,
// the floor of the mean of its four neighbours in memory order (left and up
// already replaced, right and down not yet), and is written three times
// brighter, saturating, into rows 25 to 740 of a 1024 x 768 output image.
#pragma once
#include <cstdint>
#include "engine/canvas.h"

constexpr int32_t kOutputWidth = 1024;
constexpr int32_t kOutputHeight = 768;

// output: row 0 of the 1024 x 768 image, rows outputPitch bytes apart; null
// filters the canvas alone. The canvas must be 1024 x 719 with pitch 4096.
void TrailFilter(Canvas& canvas, uint32_t* output, int32_t outputPitch);

// The plain per-byte rule, one byte at a time: the definition the fast paths
// are checked against.
void TrailFilterReference(Canvas& canvas, uint32_t* output, int32_t outputPitch);
