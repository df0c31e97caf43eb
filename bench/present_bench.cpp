// The present's work on real frames of the show: finding the lit columns,
// and scaling what changed, with the show's own scaler and with pixman.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "platform/headless/headless_platform.h"
#include "platform/picture_fit.h"
#include "platform/picture_rows.h"
#include "platform/picture_scaler.h"
#include "shell/run_show.h"

namespace {

constexpr size_t kWords = size_t(kScreenWidth) * kScreenHeight;

// Pictures of a seeded show, a few seconds in, with the columns that
// changed in each from the one before (lit now or lit before).
struct Frames {
    std::vector<std::vector<uint32_t>> pictures;
    std::vector<std::vector<ColumnSpan>> changed;
};

const Frames& ShowFrames() {
    static const Frames frames = [] {
        Frames f;
        HeadlessPlatform platform;
        platform.logCalls = false;
        platform.keepTexts = false;
        auto show = std::make_unique<Show>();
        const char* reason = nullptr;
        StartShow(*show, platform, 7, &reason);
        int32_t count = 0;
        std::vector<ColumnSpan> before(kScreenHeight);
        platform.onPresent = [&](const HeadlessPlatform& p) {
            ++count;
            std::vector<ColumnSpan> lit(kScreenHeight);
            for (int32_t y = 0; y < kScreenHeight; ++y)
                lit[size_t(y)] = LitColumns(&p.surfaces.visible[size_t(y) * kScreenWidth], kScreenWidth);
            if (count > 150 && count % 25 == 0) {
                std::vector<ColumnSpan> c = lit;
                for (int32_t y = 0; y < kScreenHeight; ++y)
                    AddColumns(c[size_t(y)], before[size_t(y)].left, before[size_t(y)].right);
                f.pictures.push_back(p.surfaces.visible);
                f.changed.push_back(c);
            }
            before = lit;
        };
        MessageLoop loop = BeginMessageLoop(platform);
        while (count < 150 + 25 * 16) {
            const uint32_t wait = PumpMessageLoop(*show, loop, RunFrame);
            if (wait > 0) platform.WaitForMessage(wait);
        }
        StopShow(*show);
        return f;
    }();
    return frames;
}

void BM_LitColumns(benchmark::State& state) {
    const Frames& f = ShowFrames();
    size_t i = 0;
    std::vector<ColumnSpan> lit(kScreenHeight);
    for (auto _ : state) {
        const uint32_t* p = f.pictures[i++ % f.pictures.size()].data();
        for (int32_t y = 25; y < 743; ++y) lit[size_t(y)] = LitColumns(p + size_t(y) * kScreenWidth, kScreenWidth);
        benchmark::DoNotOptimize(lit.data());
    }
}
BENCHMARK(BM_LitColumns);

// Share of the picture's pixels in the changed spans, for the record.
void ReportChanged(benchmark::State& state, const Frames& f) {
    double pixels = 0;
    for (const auto& c : f.changed)
        for (const ColumnSpan& s : c) pixels += std::max(0, s.right - s.left);
    state.counters["changed%"] = 100.0 * pixels / (double(f.changed.size()) * double(kWords));
}

void BM_ScaleOwn(benchmark::State& state) {
    const Frames& f = ShowFrames();
    const PictureRect fit = FitPicture(int32_t(state.range(0)), int32_t(state.range(1)));
    PictureScaler scaler;
    SetScaledSize(scaler, fit.width, fit.height);
    std::vector<uint32_t> target(size_t(fit.width) * size_t(fit.height));
    std::vector<PixelRect> rects;
    size_t i = 0;
    for (auto _ : state) {
        const size_t n = i++ % f.pictures.size();
        ScaleRows(scaler, f.pictures[n].data(), kScreenWidth, f.changed[n].data(), target.data(), fit.width, rects);
        benchmark::DoNotOptimize(target.data());
    }
    ReportChanged(state, f);
}
BENCHMARK(BM_ScaleOwn)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMicrosecond);

// The destination pixels [lo, hi) of an axis scaled from `from` to `to`
// whose two source samples touch source pixels [a, b), one more each side.
void DestinationRange(int32_t from, int32_t to, int32_t a, int32_t b, int32_t& lo, int32_t& hi) {
    const double k = double(from) / to;
    lo = std::max(0, int32_t(std::floor((a - 0.5) / k - 0.5)) - 1);
    hi = std::min(to, int32_t(std::ceil((b + 0.5) / k - 0.5)) + 1);
}

void BM_ScalePixman(benchmark::State& state) {
    const Frames& f = ShowFrames();
    const PictureRect fit = FitPicture(int32_t(state.range(0)), int32_t(state.range(1)));
    std::vector<uint32_t> target(size_t(fit.width) * size_t(fit.height));
    pixman_image_t* dst =
        pixman_image_create_bits(PIXMAN_x8r8g8b8, fit.width, fit.height, target.data(), fit.width * 4);
    std::vector<pixman_image_t*> sources;
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(double(kScreenWidth) / fit.width),
                                pixman_double_to_fixed(double(kScreenHeight) / fit.height));
    for (const auto& p : f.pictures) {
        pixman_image_t* src = pixman_image_create_bits(PIXMAN_x8r8g8b8, kScreenWidth, kScreenHeight,
                                                       const_cast<uint32_t*>(p.data()), kScreenWidth * 4);
        pixman_image_set_transform(src, &t);
        pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
        pixman_image_set_repeat(src, PIXMAN_REPEAT_PAD);
        sources.push_back(src);
    }
    std::vector<PixelRect> rects;
    size_t i = 0;
    for (auto _ : state) {
        const size_t n = i++ % f.pictures.size();
        GatherRects(f.changed[n].data(), 0, kScreenHeight, rects);
        for (const PixelRect& r : rects) {
            int32_t x0, x1, y0, y1;
            DestinationRange(kScreenWidth, fit.width, r.left, r.right, x0, x1);
            DestinationRange(kScreenHeight, fit.height, r.top, r.bottom, y0, y1);
            pixman_image_composite32(PIXMAN_OP_SRC, sources[n], nullptr, dst, x0, y0, 0, 0, x0, y0, x1 - x0, y1 - y0);
        }
        benchmark::DoNotOptimize(target.data());
    }
    for (pixman_image_t* s : sources) pixman_image_unref(s);
    pixman_image_unref(dst);
    ReportChanged(state, f);
}
BENCHMARK(BM_ScalePixman)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMicrosecond);

}  // namespace
