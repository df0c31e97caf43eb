// The screen saver's full-screen mode (/s). As the setting says (see
// saver_settings.h): the show scaled on every monitor, or on the primary
// with the others black, changing no display mode; or the program's
// exclusive display with every other monitor covered by a black topmost
// window. The pointer is hidden, and any key, mouse button or movement of
// the pointer ends the show, as does another program taking the foreground.
// Keys and clicks reach the show only as the end of it.
#pragma once
#include "platform/win32/pointer_watch.h"
#include "platform/win32/saver_settings.h"
#include "platform/win32/win32_platform.h"

class Win32SaverPlatform final : public Win32Platform {
public:
    Win32SaverPlatform(HINSTANCE instance, DisplaySetting setting) : Win32Platform(instance), setting(setting) {}

    const char* OpenDisplay() override;
    void ReleaseDisplay() override;
    bool HandleOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool HandleMonitorMessage(HWND from, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // Input of the show window or of a cover window: true when it was
    // input, with the answer in `result`; the show ends on key, button and
    // pointer movement.
    bool HandleSaverInput(HWND from, UINT message, LPARAM lParam, LRESULT& result);

    // Posts the quit message once.
    void EndShow();

    DisplaySetting setting;
    PointerWatch pointer;
    bool cursorHidden = false;
    bool wasActive = false;  // the show has been the foreground program
    bool ending = false;
};

// The name of the mutex that one running /s holds, so that a second /s
// leaves at once.
constexpr const char* kSaverMutexName = "StarvaneScreenSaverRunning";
