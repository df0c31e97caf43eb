#include "platform/win32/monitor_layout.h"

#include <algorithm>

namespace {

bool IsEmpty(const ScreenRect& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

bool Same(const ScreenRect& a, const ScreenRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool Holds(const ScreenRect& r, int32_t x, int32_t y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

MonitorWindow WindowFor(const ScreenRect& monitor, bool showsPicture, bool home) {
    const int64_t width = int64_t(monitor.right) - monitor.left;
    const int64_t height = int64_t(monitor.bottom) - monitor.top;
    return {monitor, FitPictureRect(int32_t(std::min<int64_t>(width, INT32_MAX)),
                                    int32_t(std::min<int64_t>(height, INT32_MAX))),
            showsPicture, home};
}

}  // namespace

ScreenRect FitPictureRect(int32_t width, int32_t height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    int32_t w = width, h = height;
    // Compare width / height with 4 / 3 in integers.
    if (int64_t(width) * kScreenHeight > int64_t(height) * kScreenWidth) {
        w = std::max(1, int32_t(int64_t(height) * kScreenWidth / kScreenHeight));
    } else {
        h = std::max(1, int32_t(int64_t(width) * kScreenHeight / kScreenWidth));
    }
    const int32_t x = (width - w) / 2;
    const int32_t y = (height - h) / 2;
    return {x, y, x + w, y + h};
}

void ClientToPicture(const ScreenRect& picture, int32_t cx, int32_t cy, int32_t& px, int32_t& py) {
    const int64_t width = std::max<int64_t>(int64_t(picture.right) - picture.left, 1);
    const int64_t height = std::max<int64_t>(int64_t(picture.bottom) - picture.top, 1);
    const int64_t x = (int64_t(cx) - picture.left) * kScreenWidth / width;
    const int64_t y = (int64_t(cy) - picture.top) * kScreenHeight / height;
    px = int32_t(std::clamp<int64_t>(x, 0, kScreenWidth - 1));
    py = int32_t(std::clamp<int64_t>(y, 0, kScreenHeight - 1));
}

std::vector<MonitorWindow> PlanMonitors(const MonitorRect* monitors, int32_t count, MonitorSpread spread,
                                        int32_t homeX, int32_t homeY, const ScreenRect& fallback) {
    std::vector<ScreenRect> usable;
    int32_t primary = -1, holding = -1;
    for (int32_t i = 0; i < count; ++i) {
        const ScreenRect& r = monitors[i].rect;
        if (IsEmpty(r)) continue;
        auto same = std::find_if(usable.begin(), usable.end(), [&](const ScreenRect& u) { return Same(u, r); });
        const int32_t index = int32_t(same - usable.begin());
        if (same == usable.end()) usable.push_back(r);
        if (monitors[i].primary && primary < 0) primary = index;
        if (holding < 0 && Holds(r, homeX, homeY)) holding = index;
    }
    if (usable.empty()) return {WindowFor(fallback, true, true)};

    const int32_t home = holding >= 0 ? holding : primary >= 0 ? primary : 0;
    std::vector<MonitorWindow> plan = {WindowFor(usable[size_t(home)], true, true)};
    if (spread == MonitorSpread::HomeAlone) return plan;
    for (int32_t i = 0; i < int32_t(usable.size()); ++i) {
        if (i != home) plan.push_back(WindowFor(usable[size_t(i)], spread == MonitorSpread::Every, false));
    }
    return plan;
}
