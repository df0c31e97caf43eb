#include "platform/win32/saver_platform.h"

#include <cstring>

namespace {

// One black window over every monitor but the one the exclusive display
// takes.
BOOL CALLBACK CoverMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    auto* saver = reinterpret_cast<Win32SaverPlatform*>(data);
    MONITORINFO info;
    std::memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(monitor, &info) || (info.dwFlags & MONITORINFOF_PRIMARY) != 0) return TRUE;
    const RECT& r = info.rcMonitor;
    saver->CreateMonitorWindow({r.left, r.top, r.right, r.bottom});
    return TRUE;
}

}  // namespace

const char* Win32SaverPlatform::OpenDisplay() {
    const char* why = nullptr;
    if (setting == DisplaySetting::ClassicExclusive) {
        // Like the program, the show runs scaled when the mode cannot be
        // had, with the other monitors black as they would have been.
        fallbackSpread = MonitorSpread::HomeAndBlack;
        why = Win32Platform::OpenDisplay();
        // After the mode change, which may have moved the other monitors.
        if (why == nullptr && !scaled) {
            EnumDisplayMonitors(nullptr, nullptr, CoverMonitor, reinterpret_cast<LPARAM>(this));
        }
    } else {
        why = OpenScaledDisplay(setting == DisplaySetting::ScaledPrimary ? MonitorSpread::HomeAndBlack
                                                                         : MonitorSpread::Every);
    }
    if (why != nullptr) return why;
    ShowCursor(FALSE);
    cursorHidden = true;
    return nullptr;
}

void Win32SaverPlatform::ReleaseDisplay() {
    Win32Platform::ReleaseDisplay();
    if (cursorHidden) ShowCursor(TRUE);
    cursorHidden = false;
}

bool Win32SaverPlatform::HandleSaverInput(HWND from, UINT message, LPARAM lParam, LRESULT& result) {
    bool ends = false;
    switch (message) {
    case WM_SETCURSOR:
        SetCursor(nullptr);
        result = TRUE;
        return true;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
        ends = true;
        break;
    case WM_MOUSEMOVE: {
        // Signed client coordinates, made screen ones so that moves over the
        // show window and over the covers compare.
        POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ClientToScreen(from, &at);
        ends = PointerMovedAway(pointer, at.x, at.y);
        break;
    }
    default:
        return false;
    }
    if (ends) EndShow();
    result = 0;
    return true;
}

void Win32SaverPlatform::EndShow() {
    if (ending) return;
    ending = true;
    PostQuitMessage(0);
}

bool Win32SaverPlatform::HandleOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    // Windows asks the foreground window before it starts the screen saver:
    // no second one over this one.
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_SCREENSAVE) {
        result = 0;
        return true;
    }
    if (message == WM_ACTIVATEAPP) {
        if (wParam) {
            wasActive = true;
        } else if (wasActive) {
            EndShow();
        }
        return false;
    }
    if (HandleSaverInput(window, message, lParam, result)) return true;
    return Win32Platform::HandleOwnMessage(message, wParam, lParam, result);
}

bool Win32SaverPlatform::HandleMonitorMessage(HWND from, UINT message, WPARAM wParam, LPARAM lParam,
                                              LRESULT& result) {
    if (HandleSaverInput(from, message, lParam, result)) return true;
    return Win32Platform::HandleMonitorMessage(from, message, wParam, lParam, result);
}
