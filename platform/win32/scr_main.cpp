// The screen saver's entry point: the command line picks the full-screen
// show (as the saved setting says), the preview or the settings dialog.
#include <cstdio>
#include <memory>

#include "platform/win32/preview_platform.h"
#include "platform/win32/saver_command.h"
#include "platform/win32/saver_platform.h"
#include "platform/win32/settings_dialog.h"
#include "shell/run_show.h"

namespace {

// One full-screen show at a time: a second /s while one runs leaves at once.
int RunSaver(HINSTANCE instance) {
    HANDLE running = CreateMutexA(nullptr, FALSE, kSaverMutexName);
    if (running != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(running);
        return 0;
    }
    auto platform = std::make_unique<Win32SaverPlatform>(instance, ReadDisplaySetting());
    const int status = RunShow(*platform);
    if (running != nullptr) CloseHandle(running);
    return status;
}

int RunPreview(HINSTANCE instance, HWND parent) {
    auto platform = std::make_unique<Win32PreviewPlatform>(instance, parent);
    return RunShow(*platform);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    const SaverCommand command = ParseSaverCommand(commandLine);
    switch (command.mode) {
    case SaverMode::Show:
        return RunSaver(instance);
    case SaverMode::Preview:
        return RunPreview(instance, reinterpret_cast<HWND>(static_cast<uintptr_t>(command.window)));
    case SaverMode::Configure:
        return ShowSettingsDialog(reinterpret_cast<HWND>(static_cast<uintptr_t>(command.window)));
    case SaverMode::Invalid:
        break;
    }
    std::fprintf(stderr, "starvane: unknown command line \"%s\"; use /s, /p HWND or /c\n", commandLine ? commandLine : "");
    return 2;
}
