// Where the scaled screen saver puts its windows and pictures, and how it
// reads its setting.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <vector>

#include "platform/win32/monitor_layout.h"
#include "platform/win32/saver_settings.h"

// Found by argument lookup, so beside ScreenRect in the global namespace.
static bool operator==(const ScreenRect& a, const ScreenRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

static std::ostream& operator<<(std::ostream& os, const ScreenRect& r) {
    return os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {
constexpr ScreenRect kNone = {0, 0, 0, 0};
}  // namespace

TEST(MonitorLayout, PictureFitsWithItsAspectCentred) {
    const struct {
        int32_t width, height;
        ScreenRect picture;
    } cases[] = {
        {1024, 768, {0, 0, 1024, 768}},        // the show's own size
        {1920, 1080, {240, 0, 1680, 1080}},    // wide: bars left and right
        {2560, 1440, {320, 0, 2240, 1440}},
        {1080, 1920, {0, 555, 1080, 1365}},    // portrait: bars above and below
        {1280, 1024, {0, 32, 1280, 992}},      // 5:4
        {3840, 1080, {1200, 0, 2640, 1080}},   // one window over a doubled-up panel
        {1366, 768, {171, 0, 1195, 768}},      // odd bars: the extra pixel goes right
        {800, 600, {0, 0, 800, 600}},          // smaller than the show
        {1, 1, {0, 0, 1, 1}},
        {0, -5, {0, 0, 1, 1}},                 // nothing to fill: still one pixel
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FitPictureRect(c.width, c.height), c.picture) << c.width << "x" << c.height;
    }
}

TEST(MonitorLayout, ClientPointsMapIntoThePicture) {
    const ScreenRect picture = {240, 0, 1680, 1080};  // 1920 x 1080
    const struct {
        int32_t cx, cy, px, py;
    } cases[] = {
        {240, 0, 0, 0},        {960, 540, 512, 384},  {1679, 1079, 1023, 767},
        {0, 0, 0, 0},          // left bar: the picture's edge
        {1919, 540, 1023, 384}, {-50, 4000, 0, 767},  // outside the window altogether
    };
    for (const auto& c : cases) {
        int32_t px = -1, py = -1;
        ClientToPicture(picture, c.cx, c.cy, px, py);
        EXPECT_EQ(px, c.px) << c.cx << "," << c.cy;
        EXPECT_EQ(py, c.py) << c.cx << "," << c.cy;
    }
}

TEST(MonitorLayout, HomeMonitorAndTheOthers) {
    // The primary right of a portrait monitor with negative origin, and a
    // smaller one above: the home window comes first, the rest in list order.
    const MonitorRect three[] = {
        {{-1080, -400, 0, 1520}, false},
        {{0, 0, 2560, 1440}, true},
        {{640, -1024, 1920, 0}, false},
    };
    const ScreenRect fallback = {0, 0, 1024, 768};

    auto every = PlanMonitors(three, 3, MonitorSpread::Every, 0, 0, fallback);
    ASSERT_EQ(every.size(), 3u);
    EXPECT_EQ(every[0].window, (ScreenRect{0, 0, 2560, 1440}));
    EXPECT_EQ(every[0].picture, (ScreenRect{320, 0, 2240, 1440}));
    EXPECT_TRUE(every[0].home);
    EXPECT_EQ(every[1].window, (ScreenRect{-1080, -400, 0, 1520}));
    EXPECT_EQ(every[1].picture, (ScreenRect{0, 555, 1080, 1365}));
    EXPECT_EQ(every[2].window, (ScreenRect{640, -1024, 1920, 0}));
    EXPECT_EQ(every[2].picture, (ScreenRect{0, 32, 1280, 992}));
    for (const auto& w : every) EXPECT_TRUE(w.showsPicture);
    EXPECT_FALSE(every[1].home || every[2].home);

    auto black = PlanMonitors(three, 3, MonitorSpread::HomeAndBlack, 0, 0, fallback);
    ASSERT_EQ(black.size(), 3u);
    EXPECT_TRUE(black[0].showsPicture && black[0].home);
    EXPECT_FALSE(black[1].showsPicture || black[2].showsPicture);

    auto alone = PlanMonitors(three, 3, MonitorSpread::HomeAlone, 0, 0, fallback);
    ASSERT_EQ(alone.size(), 1u);
    EXPECT_EQ(alone[0].window, (ScreenRect{0, 0, 2560, 1440}));

    // A home point on another monitor makes that one home.
    auto left = PlanMonitors(three, 3, MonitorSpread::HomeAlone, -1, 1519, fallback);
    EXPECT_EQ(left[0].window, (ScreenRect{-1080, -400, 0, 1520}));
}

TEST(MonitorLayout, OddListsOfMonitors) {
    const ScreenRect fallback = {0, 0, 1920, 1080};

    // No monitor holds the home point: the primary, even when listed last
    // and not at 0, 0 (a list read while the layout changes).
    const MonitorRect shifted[] = {{{-1920, 0, 0, 1080}, false}, {{1920, 0, 3200, 1024}, true}};
    auto plan = PlanMonitors(shifted, 2, MonitorSpread::Every, 0, 0, fallback);
    ASSERT_EQ(plan.size(), 2u);
    EXPECT_EQ(plan[0].window, (ScreenRect{1920, 0, 3200, 1024}));
    EXPECT_EQ(plan[1].window, (ScreenRect{-1920, 0, 0, 1080}));

    // No primary either: the first.
    const MonitorRect noPrimary[] = {{{5000, 0, 6024, 768}, false}, {{7000, 0, 8920, 1080}, false}};
    plan = PlanMonitors(noPrimary, 2, MonitorSpread::HomeAndBlack, 0, 0, fallback);
    ASSERT_EQ(plan.size(), 2u);
    EXPECT_EQ(plan[0].window, (ScreenRect{5000, 0, 6024, 768}));
    EXPECT_FALSE(plan[1].showsPicture);

    // Mirrored monitors report one rectangle twice: one window. The primary
    // flag of the repeat still counts. Empty rectangles get none.
    const MonitorRect mirrored[] = {
        {{100, 0, 1380, 1024}, false},
        {{0, 0, 0, 0}, true},
        {{100, 0, 1380, 1024}, true},
        {{1380, 0, 1380, 900}, false},
    };
    plan = PlanMonitors(mirrored, 4, MonitorSpread::Every, -10, -10, fallback);
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_EQ(plan[0].window, (ScreenRect{100, 0, 1380, 1024}));
    EXPECT_TRUE(plan[0].home);

    // Nothing usable, or no list: the fallback rectangle alone.
    const MonitorRect empty[] = {{kNone, true}};
    for (auto got : {PlanMonitors(empty, 1, MonitorSpread::Every, 0, 0, fallback),
                     PlanMonitors(nullptr, 0, MonitorSpread::Every, 0, 0, fallback)}) {
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].window, fallback);
        EXPECT_EQ(got[0].picture, (ScreenRect{240, 0, 1680, 1080}));
        EXPECT_TRUE(got[0].home && got[0].showsPicture);
    }
}

TEST(SaverSettings, MissingOrBadValuesGiveTheDefault) {
    const DisplaySetting every = DisplaySetting::ScaledEveryMonitor;
    const uint8_t zero[] = {0, 0, 0, 0}, one[] = {1, 0, 0, 0}, two[] = {2, 0, 0, 0}, three[] = {3, 0, 0, 0};
    const uint8_t high[] = {1, 0, 0, 1}, longer[] = {2, 0, 0, 0, 0, 0, 0, 0}, text[] = {'2', 0};
    const struct {
        bool found;
        uint32_t type;
        const uint8_t* data;
        uint32_t size;
        DisplaySetting setting;
    } cases[] = {
        {true, kRegDword, zero, 4, every},
        {true, kRegDword, one, 4, DisplaySetting::ScaledPrimary},
        {true, kRegDword, two, 4, DisplaySetting::ClassicExclusive},
        {false, kRegDword, two, 4, every},     // missing
        {true, kRegDword, three, 4, every},    // out of range
        {true, kRegDword, high, 4, every},     // a high byte set
        {true, 11, longer, 8, every},          // REG_QWORD
        {true, kRegDword, longer, 8, every},   // DWORD type, wrong size
        {true, kRegDword, two, 2, every},
        {true, kRegDword, nullptr, 4, every},
        {true, 1, text, 2, every},             // REG_SZ "2"
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeDisplaySetting(c.found, c.type, c.data, c.size), c.setting)
            << c.found << " type " << c.type << " size " << c.size;
    }
}
