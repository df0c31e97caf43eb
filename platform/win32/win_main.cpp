// The program's entry point: the show runs on the Windows backend.
#include "platform/win32/win32_platform.h"
#include "shell/run_show.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    Win32Platform platform(instance);
    return RunShow(platform);
}
