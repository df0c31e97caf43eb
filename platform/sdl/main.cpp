// The show on an SDL2 desktop, in a window of its own, drawn into an X
// window another program gives it, or in Wayland layer surfaces.
#define SDL_MAIN_HANDLED
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>
#ifdef __linux__
#include <unistd.h>
#endif

#include "platform/sdl/command_line.h"
#include "platform/sdl/sdl_platform.h"
#include "shell/run_show.h"
#include "starvane_version.h"
#ifdef STARVANE_HAVE_X11
#include "platform/sdl/foreign_window_platform.h"
#endif
#ifdef STARVANE_HAVE_WAYLAND
#include "platform/wayland/wayland_platform.h"
#endif

namespace {

int Fail(int status, const std::string& error) {
    std::fprintf(stderr, "starvane: %s\n", error.c_str());
    return status;
}

// SteadyTicks when the process started: on Linux the time the loader took
// is counted too, from the kernel's start time of the process (to its clock
// tick).
uint32_t StartTick() {
    uint32_t tick = SteadyTicks();
#ifdef __linux__
    // Field 22 of /proc/self/stat, the 20th after the command's closing ')'.
    char text[1024] = {};
    std::FILE* f = std::fopen("/proc/self/stat", "r");
    const size_t n = f != nullptr ? std::fread(text, 1, sizeof text - 1, f) : 0;
    if (f != nullptr) std::fclose(f);
    text[n] = 0;
    const char* p = std::strrchr(text, ')');
    for (int field = 2; p != nullptr && field < 22; ++field) p = std::strchr(p + 1, ' ');
    timespec boot{};
    const long hz = sysconf(_SC_CLK_TCK);
    if (p != nullptr && hz > 0 && clock_gettime(CLOCK_BOOTTIME, &boot) == 0) {
        const double started = double(std::strtoull(p + 1, nullptr, 10)) / double(hz);
        const double ran = double(boot.tv_sec) + double(boot.tv_nsec) / 1e9 - started;
        if (ran >= 0 && ran < 60) tick -= uint32_t(ran * 1000);
    }
#endif
    return tick;
}

// The frames the show presented and their mean rate, from the present's
// own counts, and how long after the start lit pixels were first sent.
void ReportFrames(const PresentCounts& c, uint32_t startTick) {
    const double seconds = double(uint32_t(c.lastTick - c.firstTick)) / 1000.0;
    const double rate = seconds > 0 ? double(c.frames - 1) / seconds : 0.0;
    std::fprintf(stderr,
                 "starvane: %lld frames in %.2f s, %.1f a second; %lld sent, %lld unchanged, %lld hidden; "
                 "%.0f pixels sent a frame\n",
                 static_cast<long long>(c.frames), seconds, rate, static_cast<long long>(c.sent),
                 static_cast<long long>(c.unchanged), static_cast<long long>(c.hidden),
                 c.frames > 0 ? double(c.pixels) / double(c.frames) : 0.0);
    if (c.lit) std::fprintf(stderr, "starvane: first lit frame sent %.3f s after the start\n",
                            double(uint32_t(c.firstLitTick - startTick)) / 1000.0);
}

// Runs the show, with what --seed and --verbose ask for.
int Run(ScaledPlatform& platform, const LaunchOptions& options, uint32_t startTick) {
    platform.verbose = options.verbose;
    const int status = RunShow(platform, options.seeded ? std::optional<uint32_t>(options.seed) : std::nullopt);
    if (options.verbose) ReportFrames(platform.counts, startTick);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const uint32_t startTick = StartTick();
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : argc), argv + argc);
    LaunchOptions options;
    std::string error;
    if (!ParseLaunchOptions(args, options, error)) return Fail(2, error);
    if (options.help) {
        std::fputs(kLaunchHelp, stdout);
        return 0;
    }
    if (options.version) {
        std::puts("starvane " STARVANE_VERSION);
        return 0;
    }
    if (options.target == ShowTarget::ForeignWindow || options.target == ShowTarget::RootWindow) {
#ifdef STARVANE_HAVE_X11
        ForeignWindowPlatform platform;
        if (const int status = platform.Open(options.target == ShowTarget::RootWindow, options.windowId, error))
            return Fail(status, error);
        return Run(platform, options, startTick);
#else
        return Fail(2, "--window-id and --root draw into X windows, and this build has no X11");
#endif
    }
    if (options.target == ShowTarget::Layer) {
#ifdef STARVANE_HAVE_WAYLAND
        WaylandPlatform platform(options);
        if (const int status = platform.Open(error)) return Fail(status, error);
        return Run(platform, options, startTick);
#else
        return Fail(2, "--layer draws on Wayland desktops, and this build has no Wayland");
#endif
    }
    SdlPlatform platform(options);
    if (const int status = platform.Prepare(error)) return Fail(status, error);
    return Run(platform, options, startTick);
}
