#include "platform/picture_fit.h"

#include <algorithm>

#include "platform/platform.h"

PictureRect FitPicture(int32_t width, int32_t height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    PictureRect r;
    // Compare width / height with 4 / 3 in integers.
    if (int64_t(width) * kScreenHeight > int64_t(height) * kScreenWidth) {
        r.height = height;
        r.width = std::max(1, int32_t(int64_t(height) * kScreenWidth / kScreenHeight));
    } else {
        r.width = width;
        r.height = std::max(1, int32_t(int64_t(width) * kScreenHeight / kScreenWidth));
    }
    r.x = (width - r.width) / 2;
    r.y = (height - r.height) / 2;
    return r;
}

void WindowToPicture(const PictureRect& fit, int32_t wx, int32_t wy, int32_t& px, int32_t& py) {
    const int64_t x = (int64_t(wx) - fit.x) * kScreenWidth / std::max(fit.width, 1);
    const int64_t y = (int64_t(wy) - fit.y) * kScreenHeight / std::max(fit.height, 1);
    px = int32_t(std::clamp<int64_t>(x, 0, kScreenWidth - 1));
    py = int32_t(std::clamp<int64_t>(y, 0, kScreenHeight - 1));
}

int32_t ChooseDisplay(const DisplayRect* displays, int32_t count, int32_t requested, int32_t px, int32_t py) {
    if (count <= 0) return -1;
    if (requested >= 0 && requested < count) return requested;
    for (int32_t i = 0; i < count; ++i) {
        const DisplayRect& d = displays[i];
        if (px >= d.x && py >= d.y && int64_t(px) < int64_t(d.x) + d.width && int64_t(py) < int64_t(d.y) + d.height)
            return i;
    }
    return 0;
}
