#include <gtest/gtest.h>

#include <vector>

#include "platform/platform.h"
#include "platform/picture_fit.h"
#include "platform/picture_scaler.h"

namespace {

constexpr size_t kWords = size_t(kScreenWidth) * kScreenHeight;

// A picture with every pixel different: the row and column in the colours.
std::vector<uint32_t> Gradient() {
    std::vector<uint32_t> p(kWords);
    for (int32_t y = 0; y < kScreenHeight; ++y)
        for (int32_t x = 0; x < kScreenWidth; ++x) p[size_t(y) * kScreenWidth + x] = uint32_t(x & 255) << 16 | uint32_t(y & 255) << 8 | uint32_t((x ^ y) & 255);
    return p;
}

struct Scaled {
    std::vector<uint32_t> pixels;
    std::vector<PixelRect> spans;
};

// Scales with source rows [top, bottom) changed in columns [left, right).
Scaled ScaleAll(PictureScaler& s, const std::vector<uint32_t>& source, int32_t top = 0, int32_t bottom = kScreenHeight,
                std::vector<uint32_t>* into = nullptr, int32_t left = 0, int32_t right = kScreenWidth) {
    Scaled out;
    std::vector<uint32_t>& pixels = into ? *into : out.pixels;
    if (!into) pixels.assign(size_t(s.width) * size_t(s.height), 0xDEADBEEFu);
    std::vector<ColumnSpan> changed(kScreenHeight);
    for (int32_t y = top; y < bottom; ++y) changed[size_t(y)] = {left, right};
    ScaleRows(s, source.data(), kScreenWidth, changed.data(), pixels.data(), s.width, out.spans);
    if (into) out.pixels = *into;
    return out;
}

}  // namespace

TEST(PictureFit, KeepsFourByThreeCentred) {
    const struct {
        int32_t w, h;
        PictureRect fit;
    } cases[] = {
        {1024, 768, {0, 0, 1024, 768}},   {1920, 1080, {240, 0, 1440, 1080}}, {800, 600, {0, 0, 800, 600}},
        {800, 300, {200, 0, 400, 300}},   {640, 1000, {0, 260, 640, 480}},    {1, 1, {0, 0, 1, 1}},
        {0, -5, {0, 0, 1, 1}},            {3, 1000, {0, 499, 3, 2}},
    };
    for (const auto& c : cases) {
        const PictureRect r = FitPicture(c.w, c.h);
        EXPECT_EQ(r.x, c.fit.x) << c.w << "x" << c.h;
        EXPECT_EQ(r.y, c.fit.y) << c.w << "x" << c.h;
        EXPECT_EQ(r.width, c.fit.width) << c.w << "x" << c.h;
        EXPECT_EQ(r.height, c.fit.height) << c.w << "x" << c.h;
    }
}

TEST(PictureFit, WindowPointsLandOnThePicture) {
    const PictureRect wide = FitPicture(1920, 1080);
    const struct {
        PictureRect fit;
        int32_t wx, wy, px, py;
    } cases[] = {
        {wide, 960, 575, 512, 408},  // the canvas centre, as the wide-desktop test clicks it
        {wide, 240, 0, 0, 0},         {wide, 1679, 1079, 1023, 767},
        {wide, 0, 500, 0, 355},       {wide, 1919, 500, 1023, 355},  // the bars: the nearest edge
        {FitPicture(1024, 768), 512, 409, 512, 409},
        {FitPicture(800, 300), 100, 150, 0, 384},
    };
    for (const auto& c : cases) {
        int32_t x = -1, y = -1;
        WindowToPicture(c.fit, c.wx, c.wy, x, y);
        EXPECT_EQ(x, c.px) << c.wx << "," << c.wy;
        EXPECT_EQ(y, c.py) << c.wx << "," << c.wy;
    }
}

// Monitors as this machine's virtual X server cannot give SDL: side by side,
// stacked, of different sizes, with gaps and negative origins.
TEST(PictureFit, ChoosesTheMonitorUnderThePointerOrTheOneAskedFor) {
    const DisplayRect pair[] = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    const DisplayRect stacked[] = {{0, 0, 1024, 768}, {-200, 768, 1440, 900}, {3000, 0, 800, 600}};
    const struct {
        const DisplayRect* displays;
        int32_t count, requested, px, py, chosen;
    } cases[] = {
        {pair, 2, -1, 10, 10, 0},     {pair, 2, -1, 1920, 0, 1},    {pair, 2, -1, 1919, 1079, 0},
        {pair, 2, -1, 3199, 1023, 1}, {pair, 2, 1, 10, 10, 1},      {pair, 2, 0, 2000, 10, 0},
        {pair, 2, 5, 2000, 10, 1},    {pair, 2, -1, 2500, 1050, 0},  // below the smaller one: the first
        {stacked, 3, -1, -100, 800, 1}, {stacked, 3, -1, 3100, 10, 2}, {stacked, 3, -1, 2000, 10, 0},
        {stacked, 1, -1, -100, 800, 0}, {pair, 0, -1, 0, 0, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseDisplay(c.displays, c.count, c.requested, c.px, c.py), c.chosen) << c.px << "," << c.py;
}

TEST(PictureScaler, ExactAtItsOwnSizeAndFlatAreasStayFlat) {
    const std::vector<uint32_t> gradient = Gradient();
    PictureScaler s;
    SetScaledSize(s, kScreenWidth, kScreenHeight);
    EXPECT_EQ(ScaleAll(s, gradient).pixels, gradient);
    // Any size: a flat colour stays exactly that colour, bars included.
    const std::vector<uint32_t> flat(kWords, 0x00F86262u);
    for (auto [w, h] : {std::pair{1440, 1080}, {800, 600}, {1600, 1200}, {320, 240}, {17, 13}, {4096, 3072}}) {
        SetScaledSize(s, w, h);
        const Scaled out = ScaleAll(s, flat);
        for (uint32_t p : out.pixels) ASSERT_EQ(p, 0x00F86262u) << w << "x" << h;
        ASSERT_EQ(out.spans.size(), 1u);
        EXPECT_EQ(out.spans[0].top, 0);
        EXPECT_EQ(out.spans[0].bottom, h);
        EXPECT_EQ(out.spans[0].left, 0);
        EXPECT_EQ(out.spans[0].right, w);
    }
}

TEST(PictureScaler, DoublingKeepsEverySourcePixelAndBlendsBetween) {
    const std::vector<uint32_t> gradient = Gradient();
    PictureScaler s;
    SetScaledSize(s, 2 * kScreenWidth, 2 * kScreenHeight);
    const Scaled out = ScaleAll(s, gradient);
    const auto at = [&](int32_t x, int32_t y) { return out.pixels[size_t(y) * 2 * kScreenWidth + size_t(x)]; };
    const auto src = [&](int32_t x, int32_t y) { return gradient[size_t(y) * kScreenWidth + size_t(x)]; };
    // Destination 2x + 1 samples source x + 1/4: three parts x, one part x + 1.
    const auto mix = [](uint32_t a, uint32_t b) {
        uint32_t out = 0;
        for (int shift = 0; shift < 24; shift += 8)
            out |= (((a >> shift & 255) * 192 + (b >> shift & 255) * 64) >> 8) << shift;
        return out;
    };
    EXPECT_EQ(at(0, 0), src(0, 0));                        // the corners are the source's
    EXPECT_EQ(at(2047, 1535), src(1023, 767));
    EXPECT_EQ(at(21, 0), mix(src(10, 0), src(11, 0)));    // across
    EXPECT_EQ(at(0, 21), mix(src(0, 10), src(0, 11)));    // down
    // No channel spills into the next or into the top byte.
    for (uint32_t p : out.pixels) ASSERT_EQ(p >> 24, 0u);
}

// Only destination pixels that depend on a changed source pixel are written.
TEST(PictureScaler, RewritesOnlyWhatChanged) {
    const std::vector<uint32_t> picture = Gradient();
    for (auto [w, h] : {std::pair{1024, 768}, {1440, 1080}, {800, 600}, {2048, 1536}}) {
        PictureScaler s;
        SetScaledSize(s, w, h);
        std::vector<uint32_t> target(size_t(w) * size_t(h), 0);
        EXPECT_TRUE(ScaleAll(s, picture, 0, 0, &target).spans.empty()) << w;
        for (uint32_t p : target) ASSERT_EQ(p, 0u) << w;
        // Source row 400, columns 300 to 309 changed: a small box around
        // their place.
        const Scaled one = ScaleAll(s, picture, 400, 401, &target, 300, 310);
        ASSERT_EQ(one.spans.size(), 1u) << w;
        const PixelRect box = one.spans[0];
        const int32_t cy = int32_t(int64_t(400) * h / kScreenHeight), cx = int32_t(int64_t(300) * w / kScreenWidth);
        EXPECT_LE(box.top, cy) << w;
        EXPECT_GE(box.bottom, cy + 1) << w;
        EXPECT_LE(box.bottom - box.top, 2 * h / kScreenHeight + 1) << w;
        EXPECT_LE(box.left, cx) << w;
        EXPECT_LE(box.right - box.left, 12 * w / kScreenWidth + 2) << w;
        // Pixels outside the box were left alone, those inside hold what a
        // full scale gives.
        const Scaled all = ScaleAll(s, picture);
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x) {
                const bool inside = y >= box.top && y < box.bottom && x >= box.left && x < box.right;
                const size_t at = size_t(y) * size_t(w) + size_t(x);
                ASSERT_EQ(target[at], inside ? all.pixels[at] : 0u) << w << ": " << x << "," << y;
            }
        }
        // Two changed rows far apart: two rectangles.
        EXPECT_EQ(ScaleAll(s, picture, 0, 1, &target).spans.size() + ScaleAll(s, picture, 700, 701, &target).spans.size(),
                  2u);
    }
}
