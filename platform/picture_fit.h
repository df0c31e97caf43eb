// Where the 1024 x 768 picture goes in a window of any size: as large as
// fits with its 4:3 aspect kept, centred, black around it.
#pragma once
#include <cstdint>

struct PictureRect {
    int32_t x, y, width, height;
};

// The largest 4:3 rectangle centred in width x height (at least 1 x 1).
PictureRect FitPicture(int32_t width, int32_t height);

// A window point as a point of the 1024 x 768 picture; points on the bars
// around it land on its nearest edge.
void WindowToPicture(const PictureRect& fit, int32_t wx, int32_t wy, int32_t& px, int32_t& py);

// The display rectangles a full-screen show covers, and which of them shows
// the picture: `requested` when it is a valid index, else the one holding the
// point (px, py), else the first. -1 for an empty list.
struct DisplayRect {
    int32_t x, y, width, height;
};
int32_t ChooseDisplay(const DisplayRect* displays, int32_t count, int32_t requested, int32_t px, int32_t py);
