// Reads the screen back while the show runs in this process on an X server,
// and checks it against the show's own picture (tests/present_e2e.sh runs
// it under Xvfb).
//   present-check full|root cpu|gpu    the picture on the whole screen: the
//       show's picture exactly at 1:1; scaled, what a fresh bilinear
//       scaling of it gives (exactly on the processor, within one step of
//       the weights on the GPU); black around it
//   present-check covered cpu|gpu      a window that another window covers
//       presents nothing while covered, and all of it once uncovered
// Prints what it found; exit status 0 when it is right, 1 when not.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/picture_scaler.h"
#include "platform/sdl/foreign_window_platform.h"
#include "platform/sdl/sdl_platform.h"
#include "shell/run_show.h"

namespace {

int failures = 0;
void Check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
    if (!ok) ++failures;
}

// Runs the show until `frames` more frames were presented.
void RunFrames(Show& show, MessageLoop& loop, ScaledPlatform& platform, int64_t frames) {
    const int64_t until = platform.counts.frames + frames;
    while (platform.counts.frames < until && !loop.quit) {
        const uint32_t wait = PumpMessageLoop(show, loop, RunFrame);
        if (wait > 0) platform.WaitForMessage(wait);
    }
}

struct Screen {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

Screen ReadScreen(Display* d, Window w) {
    XWindowAttributes a;
    XGetWindowAttributes(d, w, &a);
    Screen s;
    s.width = a.width;
    s.height = a.height;
    XImage* image = XGetImage(d, w, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
    if (!image) return s;
    s.pixels.resize(size_t(a.width) * size_t(a.height));
    for (int32_t y = 0; y < a.height; ++y)
        for (int32_t x = 0; x < a.width; ++x)
            s.pixels[size_t(y) * size_t(a.width) + size_t(x)] = uint32_t(XGetPixel(image, x, y)) & 0xFFFFFF;
    XDestroyImage(image);
    return s;
}

std::vector<uint32_t> Picture(const ScaledPlatform& p) {
    std::vector<uint32_t> out(size_t(kScreenWidth) * kScreenHeight);
    for (int32_t y = 0; y < kScreenHeight; ++y)
        std::copy_n(p.PictureRow(y), kScreenWidth, out.begin() + ptrdiff_t(y) * kScreenWidth);
    return out;
}

// The first source pixel of the pair a destination pixel samples, and the
// second's weight (0 to 1).
void Sample(int32_t from, int32_t to, int32_t i, int32_t& first, double& weight) {
    const double at = std::clamp((i + 0.5) * from / to - 0.5, 0.0, double(from - 1));
    first = std::min(int32_t(at), from - 2);
    weight = at - first;
}

// The screen against the picture: returns the pixels off by more than the
// tolerance. On the processor the tolerance is nil against the show's own
// scaler; on the GPU a channel may be off the exact bilinear value by 1
// plus 1/32 of the spread of the four source pixels it mixes (the GPU's
// filter weights are coarse).
int64_t CompareScreen(const Screen& s, const std::vector<uint32_t>& picture, bool gpu, int32_t& worst) {
    const PictureRect fit = FitPicture(s.width, s.height);
    std::vector<uint32_t> want = picture;
    const bool scaled = fit.width != kScreenWidth || fit.height != kScreenHeight;
    if (scaled) {
        PictureScaler scaler;
        SetScaledSize(scaler, fit.width, fit.height);
        std::vector<ColumnSpan> all(kScreenHeight, ColumnSpan{0, kScreenWidth});
        std::vector<PixelRect> rects;
        want.assign(size_t(fit.width) * size_t(fit.height), 0u);
        ScaleRows(scaler, picture.data(), kScreenWidth, all.data(), want.data(), fit.width, rects);
    }
    int64_t wrong = 0;
    worst = 0;
    for (int32_t y = 0; y < s.height; ++y) {
        int32_t sy = 0;
        double wy = 0;
        if (scaled) Sample(kScreenHeight, fit.height, std::clamp(y - fit.y, 0, fit.height - 1), sy, wy);
        for (int32_t x = 0; x < s.width; ++x) {
            const uint32_t got = s.pixels[size_t(y) * size_t(s.width) + size_t(x)];
            const bool inside = x >= fit.x && y >= fit.y && x < fit.x + fit.width && y < fit.y + fit.height;
            if (!inside) {
                wrong += got != 0;
                continue;
            }
            if (!gpu) {
                wrong += got != want[size_t(y - fit.y) * size_t(fit.width) + size_t(x - fit.x)];
                continue;
            }
            int32_t sx = x - fit.x;
            double wx = 0;
            if (scaled) Sample(kScreenWidth, fit.width, x - fit.x, sx, wx);
            const int32_t sy0 = scaled ? sy : y - fit.y;
            for (int32_t shift = 0; shift < 24; shift += 8) {
                auto at = [&](int32_t dx, int32_t dy) {
                    return double(picture[size_t(sy0 + dy) * kScreenWidth + size_t(sx + dx)] >> shift & 255);
                };
                double exact = at(0, 0), lo = exact, hi = exact;
                if (scaled) {
                    const double a = at(0, 0), b = at(1, 0), c = at(0, 1), e = at(1, 1);
                    exact = (a * (1 - wx) + b * wx) * (1 - wy) + (c * (1 - wx) + e * wx) * wy;
                    lo = std::min({a, b, c, e});
                    hi = std::max({a, b, c, e});
                }
                const double off = std::abs(double(got >> shift & 255) - exact);
                worst = std::max(worst, int32_t(off + 0.5));
                if (off > 1 + (hi - lo) / 32) {
                    ++wrong;
                    break;
                }
            }
        }
    }
    return wrong;
}

int CheckWholeScreen(bool root, bool gpu) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return 1;
    LaunchOptions options;
    options.present = gpu ? PresentPath::Gpu : PresentPath::Cpu;
    std::unique_ptr<ScaledPlatform> platform;
    if (root) {
        auto p = std::make_unique<ForeignWindowPlatform>();
        std::string error;
        if (p->Open(true, 0, error) != 0) {
            std::printf("FAIL: %s\n", error.c_str());
            return 1;
        }
        platform = std::move(p);
    } else {
        platform = std::make_unique<SdlPlatform>(options);
    }
    auto show = std::make_unique<Show>();
    const char* reason = nullptr;
    if (!StartShow(*show, *platform, 1, &reason)) {
        std::printf("FAIL: %s\n", reason);
        return 1;
    }
    std::printf("present: %s\n", platform->PresentDescription().c_str());
    MessageLoop loop = BeginMessageLoop(*platform);
    // Three looks: the grand burst, its trails, and later.
    for (int64_t frames : {8, 30, 60}) {
        RunFrames(*show, loop, *platform, frames);
        XSync(d, False);
        const Screen s = ReadScreen(d, DefaultRootWindow(d));
        int32_t worst = 0;
        const int64_t wrong = CompareScreen(s, Picture(*platform), gpu, worst);
        Check(wrong == 0, "after " + std::to_string(platform->counts.frames) + " frames, " + std::to_string(wrong) +
                              " of " + std::to_string(s.pixels.size()) + " pixels off (worst channel by " +
                              std::to_string(worst) + ")");
    }
    StopShow(*show);
    platform.reset();
    XCloseDisplay(d);
    return failures ? 1 : 0;
}

// A window of the show, covered by another window and uncovered.
int CheckCovered(bool gpu) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return 1;
    LaunchOptions options;
    options.target = ShowTarget::Window;
    options.width = 640;
    options.height = 480;
    options.present = gpu ? PresentPath::Gpu : PresentPath::Cpu;
    SdlPlatform platform(options);
    auto show = std::make_unique<Show>();
    const char* reason = nullptr;
    if (!StartShow(*show, platform, 1, &reason)) {
        std::printf("FAIL: %s\n", reason);
        return 1;
    }
    MessageLoop loop = BeginMessageLoop(platform);
    RunFrames(*show, loop, platform, 10);
    const int32_t w = DisplayWidth(d, DefaultScreen(d)), h = DisplayHeight(d, DefaultScreen(d));
    XSetWindowAttributes a;
    a.override_redirect = True;
    a.background_pixel = 0x336699;
    const Window cover = XCreateWindow(d, DefaultRootWindow(d), 0, 0, unsigned(w), unsigned(h), 0, CopyFromParent,
                                       InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &a);
    XMapRaised(d, cover);
    XSync(d, False);
    RunFrames(*show, loop, platform, 5);  // the show hears of it
    const PresentCounts before = platform.counts;
    RunFrames(*show, loop, platform, 40);
    const PresentCounts covered = platform.counts;
    Check(covered.sent == before.sent && covered.pixels == before.pixels,
          std::to_string(covered.frames - before.frames) + " frames while covered, " +
              std::to_string(covered.sent - before.sent) + " of them sent");
    Check(covered.hidden - before.hidden == covered.frames - before.frames, "every covered frame counted hidden");
    XUnmapWindow(d, cover);
    XSync(d, False);
    RunFrames(*show, loop, platform, 5);
    XSync(d, False);
    Check(platform.counts.sent > covered.sent && platform.counts.pixels - covered.pixels >= 640 * 480,
          "drawn whole again once uncovered");
    XDestroyWindow(d, cover);
    StopShow(*show);
    XCloseDisplay(d);
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: present-check full|root|covered cpu|gpu\n");
        return 2;
    }
    const std::string mode = argv[1];
    const bool gpu = !std::strcmp(argv[2], "gpu");
    if (mode == "covered") return CheckCovered(gpu);
    return CheckWholeScreen(mode == "root", gpu);
}
