// The show on an SDL2 desktop, in a window of its own or in one it is given.
#define SDL_MAIN_HANDLED
#include <cstdio>
#include <string>
#include <vector>

#include "platform/sdl/command_line.h"
#include "platform/sdl/sdl_platform.h"
#include "shell/run_show.h"
#include "starvane_version.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : argc), argv + argc);
    LaunchOptions options;
    std::string error;
    if (!ParseLaunchOptions(args, options, error)) {
        std::fprintf(stderr, "starvane: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(kLaunchHelp, stdout);
        return 0;
    }
    if (options.version) {
        std::puts("starvane " STARVANE_VERSION);
        return 0;
    }
    SdlPlatform platform(options);
    if (!platform.CheckOptions(error)) {
        std::fprintf(stderr, "starvane: %s\n", error.c_str());
        return 2;
    }
    return RunShow(platform);
}
