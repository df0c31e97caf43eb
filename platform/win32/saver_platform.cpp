#include "platform/win32/saver_platform.h"

#include <cstring>

namespace {

constexpr const char* kCoverClass = "starvane-cover";

// Cover windows answer input as the show window does; everything else gets
// the default handling, which paints them with the black class brush.
LRESULT CALLBACK CoverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* saver = reinterpret_cast<Win32SaverPlatform*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (saver == nullptr && message == WM_NCCREATE) {
        saver = static_cast<Win32SaverPlatform*>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(saver));
    }
    LRESULT result = 0;
    if (saver != nullptr && saver->HandleSaverInput(window, message, lParam, result)) return result;
    return DefWindowProcA(window, message, wParam, lParam);
}

// One black topmost window over every monitor but the one the show takes.
BOOL CALLBACK CoverMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    auto* saver = reinterpret_cast<Win32SaverPlatform*>(data);
    MONITORINFO info;
    std::memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(monitor, &info) || (info.dwFlags & MONITORINFOF_PRIMARY) != 0) return TRUE;
    const RECT& r = info.rcMonitor;
    HWND cover = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kCoverClass, "", WS_POPUP,
                                 r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                 saver->instance, saver);
    if (cover != nullptr) {
        ShowWindow(cover, SW_SHOWNOACTIVATE);
        saver->covers.push_back(cover);
    }
    return TRUE;
}

}  // namespace

const char* Win32SaverPlatform::OpenDisplay() {
    if (const char* why = Win32Platform::OpenDisplay()) return why;
    // After the mode change, which may have moved the other monitors.
    WNDCLASSA coverClass;
    std::memset(&coverClass, 0, sizeof coverClass);
    coverClass.lpfnWndProc = CoverWindowProc;
    coverClass.hInstance = instance;
    coverClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    coverClass.lpszClassName = kCoverClass;
    RegisterClassA(&coverClass);
    EnumDisplayMonitors(nullptr, nullptr, CoverMonitor, reinterpret_cast<LPARAM>(this));
    ShowCursor(FALSE);
    cursorHidden = true;
    return nullptr;
}

void Win32SaverPlatform::ReleaseDisplay() {
    Win32Platform::ReleaseDisplay();
    for (HWND cover : covers) DestroyWindow(cover);
    covers.clear();
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
    return HandleSaverInput(window, message, lParam, result);
}
