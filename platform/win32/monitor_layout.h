// Where the scaled show goes on a desktop of several monitors: one
// borderless window over each monitor that takes part, and inside each the
// 1024 x 768 picture as large as fits with its aspect kept, centred on
// black. Plain C++ on lists of rectangles, so it is tested on any host.
#pragma once
#include <cstdint>
#include <vector>
#include "platform/platform.h"

// One monitor as Windows reports it: its rectangle in virtual-screen
// pixels (the primary's top-left is 0, 0; others may be negative) and
// whether it is the primary.
struct MonitorRect {
    ScreenRect rect;
    bool primary;
};

enum class MonitorSpread {
    Every,        // the picture on every monitor
    HomeAndBlack, // the picture on the home monitor, black on the others
    HomeAlone,    // the picture on the home monitor, the others left as they are
};

// What one window of the plan does.
struct MonitorWindow {
    ScreenRect window;   // the monitor's rectangle, virtual-screen pixels
    ScreenRect picture;  // where the picture goes, window client pixels
    bool showsPicture;   // false: the window stays black
    bool home;           // the show's own window: focus, keys, clicks
};

// The windows, home first. The home monitor is the one holding (homeX,
// homeY), else the primary, else the first. Empty rectangles and repeats of
// a rectangle already listed (mirrored monitors) get no window. When no
// monitor is usable, `fallback` stands in as the only one.
std::vector<MonitorWindow> PlanMonitors(const MonitorRect* monitors, int32_t count, MonitorSpread spread,
                                        int32_t homeX, int32_t homeY, const ScreenRect& fallback);

// The largest 4:3 rectangle centred in a client area of width x height, in
// client pixels; at least 1 x 1.
ScreenRect FitPictureRect(int32_t width, int32_t height);

// A client point of a window showing `picture` as a point of the 1024 x 768
// picture; points on the black bars land on its nearest edge.
void ClientToPicture(const ScreenRect& picture, int32_t cx, int32_t cy, int32_t& px, int32_t& py);
