// The show on an SDL2 desktop.
#define SDL_MAIN_HANDLED
#include "platform/sdl/sdl_platform.h"
#include "shell/run_show.h"

int main() {
    SdlPlatform platform;
    return RunShow(platform);
}
