#include <gtest/gtest.h>

#include <vector>

#include "platform/scaled_platform.h"

namespace {

// Two monitors of different shapes showing the picture at once.
class TwoViews : public ScaledPlatform {
public:
    struct Screen {
        int32_t width, height;
        std::vector<uint32_t> pixels;
        std::vector<PixelRect> pushed;
        bool available = true;
        uint32_t At(int32_t x, int32_t y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    };
    Screen screens[3] = {{1280, 720, {}, {}}, {800, 800, {}, {}}, {640, 480, {}, {}}};

    TwoViews() { SetViewCount(2); }
    using ScaledPlatform::PostClick;
    using ScaledPlatform::SetViewCount;
    using ScaledPlatform::SetViewHidden;

    void Paint(int32_t x, int32_t y, uint32_t color) {
        int32_t pitch = 0;
        uint32_t* back = LockBackBuffer(pitch);
        back[size_t(y) * size_t(pitch / 4) + size_t(x)] = color;
        UnlockBackBuffer();
    }
    void ClearPushes() {
        for (Screen& s : screens) s.pushed.clear();
    }

protected:
    bool AcquireTarget(int32_t view, TargetPixels& t) override {
        Screen& s = screens[view];
        if (!s.available) return false;
        s.pixels.assign(size_t(s.width) * size_t(s.height), 0xABCDEF);  // stale until drawn
        t = {s.pixels.data(), s.width, s.width, s.height};
        return true;
    }
    void PushRects(int32_t view, const std::vector<PixelRect>& rects) override {
        screens[view].pushed.insert(screens[view].pushed.end(), rects.begin(), rects.end());
    }
    void WaitForEvent(uint32_t) override {}
};

bool Inside(const PixelRect& r, const PictureRect& fit) {
    return r.left >= fit.x && r.top >= fit.y && r.right <= fit.x + fit.width && r.bottom <= fit.y + fit.height;
}

}  // namespace

TEST(ScaledViews, EachViewShowsThePictureFittedToItsOwnSize) {
    TwoViews p;
    ASSERT_EQ(p.OpenDisplay(), nullptr);
    const PictureRect wide = FitPicture(1280, 720), square = FitPicture(800, 800);
    ASSERT_EQ(wide.x, 160);
    ASSERT_EQ(square.y, 100);
    // Drawn whole at once, black around the picture.
    for (const auto* s : {&p.screens[0], &p.screens[1]}) {
        ASSERT_FALSE(s->pushed.empty());
        EXPECT_EQ(s->pushed.back().right, s->width);
        EXPECT_EQ(s->pushed.back().bottom, s->height);
    }
    EXPECT_EQ(p.screens[0].At(10, 360), 0u);
    EXPECT_EQ(p.screens[1].At(400, 50), 0u);
    EXPECT_EQ(p.screens[1].At(400, 750), 0u);

    // A lit point lands on both, each at its own scale, and only rectangles
    // inside each picture are sent.
    p.ClearPushes();
    p.Paint(512, 409, 0xFFFFFF);
    p.Present();
    for (int32_t v = 0; v < 2; ++v) {
        const auto& s = p.screens[v];
        const PictureRect fit = v == 0 ? wide : square;
        ASSERT_FALSE(s.pushed.empty()) << v;
        for (const PixelRect& r : s.pushed) EXPECT_TRUE(Inside(r, fit)) << v;
        const int32_t x = fit.x + 512 * fit.width / kScreenWidth, y = fit.y + 409 * fit.height / kScreenHeight;
        EXPECT_NE(s.At(x, y), 0u) << v;
    }
    // A click on either view maps through that view's fit.
    p.PostClick(0, true, wide.x + wide.width / 2, wide.height / 2);
    p.PostClick(1, false, 0, square.y + square.height / 2);
    ShowMessage m;
    ASSERT_TRUE(TakeShowMessage(p.queue, 0, m));
    EXPECT_EQ(m.message, uint32_t(MsgLButtonDown));
    EXPECT_EQ(m.lParam, PackPoint(512, 384));
    ASSERT_TRUE(TakeShowMessage(p.queue, 0, m));
    EXPECT_EQ(m.message, uint32_t(MsgRButtonDown));
    EXPECT_EQ(m.lParam, PackPoint(0, 384));
}

TEST(ScaledViews, HiddenAndMissingViewsAreSkippedAndDrawnWholeWhenBack) {
    TwoViews p;
    ASSERT_EQ(p.OpenDisplay(), nullptr);
    p.SetViewHidden(1, true);
    p.ClearPushes();
    p.Paint(100, 300, 0xFF0000);
    p.Present();
    EXPECT_FALSE(p.screens[0].pushed.empty());
    EXPECT_TRUE(p.screens[1].pushed.empty());

    // Seen again: drawn whole at the next present, with what changed
    // meanwhile.
    p.SetViewHidden(1, false);
    p.Present();
    ASSERT_FALSE(p.screens[1].pushed.empty());
    EXPECT_EQ(p.screens[1].pushed[0].right, 800);
    const PictureRect square = FitPicture(800, 800);
    EXPECT_NE(p.screens[1].At(square.x + 100 * square.width / kScreenWidth,
                              square.y + 300 * square.height / kScreenHeight),
              0u);
    EXPECT_EQ(p.screens[1].At(5, 5), 0u);

    // A third view that has no pixels yet is left alone, and drawn whole
    // once it has them.
    p.screens[2].available = false;
    p.SetViewCount(3);
    p.ClearPushes();
    p.Paint(600, 600, 0x00FF00);
    p.Present();
    EXPECT_TRUE(p.screens[2].pushed.empty());
    EXPECT_FALSE(p.screens[0].pushed.empty());
    p.screens[2].available = true;
    p.Paint(601, 600, 0x00FF00);
    p.Present();
    ASSERT_FALSE(p.screens[2].pushed.empty());
    EXPECT_EQ(p.screens[2].pushed[0].right, 640);
    EXPECT_NE(p.screens[2].At(375, 375), 0u);  // (600, 600) at 640 / 1024
    EXPECT_EQ(p.screens[2].At(0, 470), 0u);
}

TEST(ScaledViews, NoViewsMeansNothingToDrawNotAFailure) {
    TwoViews p;
    p.SetViewCount(0);
    EXPECT_EQ(p.OpenDisplay(), nullptr);
    p.Paint(1, 30, 0xFFFFFF);
    p.Present();
    for (const auto& s : p.screens) EXPECT_TRUE(s.pushed.empty());
}
