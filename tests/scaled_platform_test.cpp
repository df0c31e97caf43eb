// The scaled present on views in memory: what each view shows against the
// plain in-memory surfaces running the same show, what is sent and when.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/headless/headless_platform.h"
#include "platform/picture_scaler.h"
#include "platform/scaled_platform.h"
#include "shell/run_show.h"

namespace {

// Views as plain images, on a clock the test moves as the headless one does.
class MemoryViews : public ScaledPlatform {
public:
    struct Target {
        int32_t width, height;
        std::vector<uint32_t> pixels;
        std::vector<PixelRect> pushed;  // everything sent, in order
    };
    std::vector<Target> targets;
    uint32_t clock = 0;

    explicit MemoryViews(std::vector<std::pair<int32_t, int32_t>> sizes) {
        logCalls = false;
        for (auto [w, h] : sizes) targets.push_back({w, h, {}, {}});
    }
    uint32_t TickCount() override { return clock; }
    uint32_t TimeSeconds() override { return 0; }
    void Resize(int32_t view, int32_t width, int32_t height) {
        InvalidateTarget(view);
        targets[size_t(view)] = {width, height, {}, {}};
        RedrawAll(view);
    }
    using ScaledPlatform::SetViewHidden;

protected:
    bool OpenWindow() override {
        SetViewCount(int32_t(targets.size()));
        return true;
    }
    bool AcquireTarget(int32_t view, TargetPixels& t) override {
        Target& m = targets[size_t(view)];
        // Garbage, so that anything not drawn shows.
        m.pixels.assign(size_t(m.width) * size_t(m.height), 0xDEADBEEFu);
        t = {m.pixels.data(), m.width, m.width, m.height, false};
        return true;
    }
    void PushRects(int32_t view, const std::vector<PixelRect>& rects) override {
        auto& p = targets[size_t(view)].pushed;
        p.insert(p.end(), rects.begin(), rects.end());
    }
    void WaitForEvent(uint32_t timeoutMs) override { clock += timeoutMs; }
};

intptr_t IgnoreMessages(void*, uint32_t, uintptr_t, intptr_t) { return 1; }

// The view's pixels: the picture in its fit (scaled afresh, or exactly at
// 1:1) and black around it.
void ExpectViewShows(const MemoryViews& p, int32_t view, const std::vector<uint32_t>& picture) {
    const MemoryViews::Target& t = p.targets[size_t(view)];
    const PictureRect fit = FitPicture(t.width, t.height);
    std::vector<uint32_t> scaled(picture);
    if (fit.width != kScreenWidth || fit.height != kScreenHeight) {
        PictureScaler s;
        SetScaledSize(s, fit.width, fit.height);
        std::vector<ColumnSpan> all(kScreenHeight, ColumnSpan{0, kScreenWidth});
        std::vector<PixelRect> rects;
        scaled.assign(size_t(fit.width) * size_t(fit.height), 0u);
        ScaleRows(s, picture.data(), kScreenWidth, all.data(), scaled.data(), fit.width, rects);
    }
    int64_t wrong = 0;
    for (int32_t y = 0; y < t.height; ++y)
        for (int32_t x = 0; x < t.width; ++x) {
            const bool inside = x >= fit.x && y >= fit.y && x < fit.x + fit.width && y < fit.y + fit.height;
            const uint32_t want = inside ? scaled[size_t(y - fit.y) * size_t(fit.width) + size_t(x - fit.x)] : 0u;
            wrong += t.pixels[size_t(y) * size_t(t.width) + size_t(x)] != want;
        }
    EXPECT_EQ(wrong, 0) << "view " << view << " (" << t.width << "x" << t.height << ")";
}

std::vector<uint32_t> Picture(const ScaledPlatform& p) {
    std::vector<uint32_t> out(size_t(kScreenWidth) * kScreenHeight);
    for (int32_t y = 0; y < kScreenHeight; ++y)
        std::copy_n(p.PictureRow(y), kScreenWidth, out.begin() + ptrdiff_t(y) * kScreenWidth);
    return out;
}

}  // namespace

// The same seeded show on the plain surfaces and on three views: in place
// at 1:1, at 1:1 below a band of black, and scaled to a wide monitor. After
// every frame the picture is the plain visible surface, and the views,
// drawn only where something was lit, show exactly it.
TEST(ScaledPresent, ViewsShowExactlyWhatThePlainSurfacesShow) {
    HeadlessPlatform plain;
    plain.logCalls = false;
    plain.keepTexts = false;
    MemoryViews views({{1024, 768}, {1024, 800}, {1920, 1080}});
    auto a = std::make_unique<Show>();
    auto b = std::make_unique<Show>();
    const char* reason = nullptr;
    ASSERT_TRUE(StartShow(*a, plain, 3, &reason));
    ASSERT_TRUE(StartShow(*b, views, 3, &reason));
    EXPECT_TRUE(views.DrawsInPlace());
    MessageLoop la = BeginMessageLoop(plain), lb = BeginMessageLoop(views);
    int64_t frames = 0;
    while (frames < 300) {
        const uint32_t wa = PumpMessageLoop(*a, la, RunFrame), wb = PumpMessageLoop(*b, lb, RunFrame);
        ASSERT_EQ(wa, wb);
        if (wa > 0) {
            plain.WaitForMessage(wa);
            views.WaitForMessage(wb);
        }
        ASSERT_EQ(plain.clock, views.clock);
        if (views.counts.frames == frames) continue;
        frames = views.counts.frames;
        const std::vector<uint32_t> picture = Picture(views);
        ASSERT_EQ(picture, plain.surfaces.visible) << "frame " << frames;
        if (frames % 50 == 7 || frames == 300)
            for (int32_t v = 0; v < 3; ++v) ExpectViewShows(views, v, picture);
    }
    StopShow(*a);
    StopShow(*b);
}

TEST(ScaledPresent, SendsOnlyWhatWasLitAndNothingWhileHidden) {
    MemoryViews p({{1024, 768}});
    ASSERT_TRUE(p.CreateShowWindow(IgnoreMessages, nullptr));
    ASSERT_EQ(p.OpenDisplay(), nullptr);
    p.ClearSurfaces();
    auto& pushed = p.targets[0].pushed;
    pushed.clear();
    int32_t pitch = 0;
    uint32_t* back = p.LockBackBuffer(pitch);
    ASSERT_NE(back, nullptr);
    auto pixel = [&](int32_t x, int32_t y) -> uint32_t& { return back[size_t(y) * size_t(pitch / 4) + size_t(x)]; };

    p.Present();  // black stays black
    EXPECT_TRUE(pushed.empty());
    EXPECT_EQ(p.counts.unchanged, 1);
    EXPECT_FALSE(p.counts.lit);

    pixel(100, 300) = 0x010000;
    pixel(700, 301) = 0x000001;
    p.clock = 40;
    p.Present();
    EXPECT_TRUE(p.counts.lit);
    EXPECT_EQ(p.counts.firstLitTick, 40u);
    // Two far-apart pixels: two one-pixel rectangles.
    ASSERT_EQ(pushed.size(), 2u);
    EXPECT_EQ(pushed[0].top, 300);
    EXPECT_EQ(pushed[0].bottom, 301);
    EXPECT_EQ(pushed[0].left, 100);
    EXPECT_EQ(pushed[0].right, 101);
    EXPECT_EQ(pushed[1].left, 700);
    EXPECT_EQ(pushed[1].bottom, 302);
    EXPECT_EQ(p.targets[0].pixels[300 * 1024 + 100], 0x010000u);  // drawn in place

    // Gone dark: sent once more, then nothing.
    pixel(100, 300) = 0;
    pixel(700, 301) = 0;
    pushed.clear();
    p.Present();
    EXPECT_EQ(pushed.size(), 2u);
    pushed.clear();
    p.Present();
    EXPECT_TRUE(pushed.empty());

    // Rows below the filtered ones hold no text past a present.
    const TextRun low = {0, 736, "x", 1};
    p.DrawTexts(0x00FFFFFF, &low, 1);
    pushed.clear();
    p.Present();
    EXPECT_EQ(pixel(3, 742), 0u);
    EXPECT_FALSE(pushed.empty());

    // Hidden: nothing sent however the picture changes; drawn whole when
    // seen again.
    p.SetViewHidden(0, true);
    pushed.clear();
    pixel(5, 400) = 0x123456;
    p.Present();
    EXPECT_TRUE(pushed.empty());
    EXPECT_EQ(p.counts.hidden, 1);
    p.SetViewHidden(0, false);
    p.Present();
    ASSERT_EQ(pushed.size(), 1u);
    EXPECT_EQ(pushed[0].right - pushed[0].left, 1024);
    EXPECT_EQ(pushed[0].bottom - pushed[0].top, 768);
    ExpectViewShows(p, 0, Picture(p));
}

TEST(ScaledPresent, ThePictureSurvivesResizesInAndOutOfPlace) {
    MemoryViews p({{1024, 768}});
    ASSERT_TRUE(p.CreateShowWindow(IgnoreMessages, nullptr));
    ASSERT_EQ(p.OpenDisplay(), nullptr);
    p.ClearSurfaces();
    int32_t pitch = 0;
    uint32_t* back = p.LockBackBuffer(pitch);
    for (int32_t y = 25; y < 741; ++y)
        for (int32_t x = 0; x < 1024; ++x) back[size_t(y) * size_t(pitch / 4) + size_t(x)] = uint32_t(x * y) & 0xFFFFFF;
    const TextRun run = {1, 5, "strip", 5};
    p.DrawTexts(0x0000FF, &run, 1);
    p.Present();
    const std::vector<uint32_t> before = Picture(p);
    for (auto [w, h] : {std::pair{800, 600}, {1100, 768}, {1024, 768}, {3840, 2160}}) {
        p.Resize(0, w, h);
        EXPECT_EQ(p.DrawsInPlace(), FitPicture(w, h).width == 1024) << w << "x" << h;
        EXPECT_EQ(Picture(p), before) << w << "x" << h;
        ExpectViewShows(p, 0, before);
    }
}

// The first lit pixels count when they are sent: text as well as the
// picture, but nothing drawn while no view can be seen.
TEST(ScaledPresent, FirstLitFrameIsTheFirstLitPixelsSent) {
    MemoryViews p({{1920, 1080}});
    ASSERT_TRUE(p.CreateShowWindow(IgnoreMessages, nullptr));
    ASSERT_EQ(p.OpenDisplay(), nullptr);
    p.ClearSurfaces();
    const TextRun banner = {400, 300, "Starvane", 8};
    p.SetViewHidden(0, true);
    p.clock = 10;
    p.DrawTexts(0x00FFFFFF, &banner, 1);
    p.Present();
    EXPECT_FALSE(p.counts.lit);
    p.SetViewHidden(0, false);
    p.clock = 50;
    p.Present();
    EXPECT_TRUE(p.counts.lit);
    EXPECT_EQ(p.counts.firstLitTick, 50u);
    p.clock = 70;
    p.DrawTexts(0x00FFFFFF, &banner, 1);
    EXPECT_EQ(p.counts.firstLitTick, 50u);
}
