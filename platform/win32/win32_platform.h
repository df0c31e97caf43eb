// The Windows backend: a topmost pop-up window, the exclusive DirectDraw 7
// display with a visible surface and one attached back buffer, GDI text on
// the visible surface, window timers and the thread's message queue. When
// the exclusive display cannot be had, the show runs scaled on borderless
// windows instead (scaled_display.h). The screen saver's modes derive from
// it (saver_platform.h, preview_platform.h).
#pragma once
#include <windows.h>
#include <ddraw.h>
#include <string>
#include <vector>
#include "platform/platform.h"
#include "platform/win32/monitor_layout.h"
#include "platform/win32/scaled_display.h"

class Win32Platform : public Platform {
public:
    explicit Win32Platform(HINSTANCE instance);

    bool CreateShowWindow(WindowProcedure proc, void* context) override;
    void FocusShowWindow() override;
    ScreenRect ShowClientRect() override;
    intptr_t DefaultWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    const char* OpenDisplay() override;
    void ClearSurfaces() override;
    void DrawTexts(uint32_t textColor, const TextRun* runs, int32_t count) override;
    uint32_t* LockBackBuffer(int32_t& pitch) override;
    void UnlockBackBuffer() override;
    void Present() override;
    void RestoreDisplay() override;
    void ReleaseDisplay() override;

    void SetShowTimer(uint32_t id, uint32_t period) override;
    void KillShowTimer(uint32_t id) override;

    uint32_t TickCount() override;
    uint32_t TimeSeconds() override;

    bool PeekShowMessage() override;
    int32_t GetShowMessage(ShowMessage& message) override;
    void DispatchShowMessage(const ShowMessage& message) override;
    void PostQuit(int32_t code) override;
    void WaitForMessage(uint32_t timeoutMs) override;

    // A message of the show window that the backend answers itself, before
    // the show sees it: true with the answer in `result`. The program answers
    // none; the screen saver's modes take their input here.
    virtual bool HandleOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Registers the show window's class "i", whose procedure hands every
    // message to HandleOwnMessage, then to `proc`.
    void RegisterShowClass();

    // The exclusive 1024 x 768 x 32 display; null or the reason it failed.
    const char* OpenExclusiveDisplay();
    // The scaled presentation over the monitors that `spread` names, the
    // show window on the one it stands on; null or the reason it failed.
    const char* OpenScaledDisplay(MonitorSpread spread);
    // A black borderless topmost window over `rect` that never takes the
    // focus; its messages go to HandleMonitorMessage.
    HWND CreateMonitorWindow(const ScreenRect& rect);
    // A message of a window from CreateMonitorWindow: true when answered,
    // with the answer in `result`. Paints the scaled picture.
    virtual bool HandleMonitorMessage(HWND from, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    HINSTANCE instance;
    // Set while the window is being created, from its first WM_NCCREATE on.
    HWND window = nullptr;
    WindowProcedure proc = nullptr;
    void* context = nullptr;

    // Where the scaled presentation goes when the exclusive display fails.
    MonitorSpread fallbackSpread = MonitorSpread::HomeAlone;
    // How the scaled presentation presents; STARVANE_PRESENT (d3d11, gdi or
    // auto), for tests, sets it and has the path taken named on stderr, and
    // at the end the number of frames presented and in how long.
    PresentPath presentPath = PresentPath::Automatic;
    bool reportPath = false;
    uint32_t framesPresented = 0;
    uint32_t displayOpened = 0;  // tick count

    bool scaled = false;  // the scaled presentation serves, not DirectDraw
    ScaledDisplay scaledDisplay;
    std::vector<HWND> monitorWindows;  // from CreateMonitorWindow
    std::string failure;               // the reason OpenDisplay returns

    IDirectDraw7* directDraw = nullptr;
    IDirectDrawSurface7* primarySurface = nullptr;
    IDirectDrawSurface7* backSurface = nullptr;
    bool backLocked = false;

    // The message GetShowMessage took last, with the fields ShowMessage
    // does not carry (window, time, cursor position) for DispatchMessageA.
    MSG lastMessage = {};
};
