// The show on an SDL2 desktop, in a window of its own, drawn into an X
// window another program gives it, or in Wayland layer surfaces.
#define SDL_MAIN_HANDLED
#include <cstdio>
#include <string>
#include <vector>

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

}  // namespace

int main(int argc, char** argv) {
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
        return RunShow(platform);
#else
        return Fail(2, "--window-id and --root draw into X windows, and this build has no X11");
#endif
    }
    if (options.target == ShowTarget::Layer) {
#ifdef STARVANE_HAVE_WAYLAND
        WaylandPlatform platform(options);
        if (const int status = platform.Open(error)) return Fail(status, error);
        return RunShow(platform);
#else
        return Fail(2, "--layer draws on Wayland desktops, and this build has no Wayland");
#endif
    }
    SdlPlatform platform(options);
    if (const int status = platform.Prepare(error)) return Fail(status, error);
    return RunShow(platform);
}
