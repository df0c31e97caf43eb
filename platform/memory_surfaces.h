// The visible surface and the back buffer of a backend that keeps both in
// memory and shows the visible one its own way: two 1024 x 768 images, row 0
// first, 0x00RRGGBB. Each change reports the rows of the visible image it
// touched, for the backend to show.
#pragma once
#include <cstdint>
#include <vector>
#include "platform/platform.h"

struct MemorySurfaces {
    std::vector<uint32_t> visible;  // empty while the display is closed
    std::vector<uint32_t> back;
};

// Rows [top, bottom) of the visible image; empty when top >= bottom.
struct RowSpan {
    int32_t top, bottom;
};

// Both images, black.
void OpenMemorySurfaces(MemorySurfaces& surfaces);
void ReleaseMemorySurfaces(MemorySurfaces& surfaces);
// Back buffer, then visible image, to black.
RowSpan ClearMemorySurfaces(MemorySurfaces& surfaces);
// The runs in the strip's bitmap font, opaque, on the visible image.
RowSpan DrawMemoryTexts(MemorySurfaces& surfaces, uint32_t textColor, const TextRun* runs, int32_t count);
// The back buffer's pixels, or null while the display is closed.
uint32_t* LockMemoryBackBuffer(MemorySurfaces& surfaces, int32_t& pitch);
// Copies presentRect of the back buffer onto the visible image.
RowSpan PresentMemorySurfaces(MemorySurfaces& surfaces);
