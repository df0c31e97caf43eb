// The thin layer between the show and whatever provides its window, display,
// text output, timers and message queue. The core includes no window-system
// header: message ids and virtual-key codes below carry the Win32 values, and
// every backend translates its own events into them.
#pragma once
#include <cstdint>

enum ShowMessageId : uint32_t {
    MsgCreate = 0x0001,
    MsgDestroy = 0x0002,
    MsgMove = 0x0003,
    MsgSize = 0x0005,
    MsgQuit = 0x0012,
    MsgKeyDown = 0x0100,
    MsgTimer = 0x0113,
    MsgLButtonDown = 0x0201,
    MsgRButtonDown = 0x0204,
};

enum VirtualKey : uint32_t {
    VkClear = 12,
    VkEscape = 27,
    VkPrior = 33,  // Page Up
    VkNext = 34,   // Page Down
    VkLeft = 37,
    VkUp = 38,
    VkRight = 39,
    VkDown = 40,
    VkMultiply = 106,
    VkAdd = 107,
    VkSubtract = 109,
    VkDivide = 111,
    VkF1 = 112,  // F1 to F12 are 112 to 123
    VkF12 = 123,
};

// The display the show takes: 1024 x 768, 32 bits per pixel, 0x00RRGGBB.
constexpr int32_t kScreenWidth = 1024;
constexpr int32_t kScreenHeight = 768;

// Left, top, right, bottom; right and bottom exclusive.
struct ScreenRect {
    int32_t left, top, right, bottom;
};

// The rectangle of the back buffer copied to the visible surface each frame,
// landing at the same place: rows 25 to 742.
constexpr ScreenRect presentRect = {0, 25, 1024, 743};

struct ShowMessage {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

// One text of a device-context pair: drawn with its full length at (x, y).
struct TextRun {
    int32_t x, y;
    const char* text;
    int32_t length;
};

// The window procedure: context is what CreateShowWindow was given.
using WindowProcedure = intptr_t (*)(void* context, uint32_t message, uintptr_t wParam, intptr_t lParam);

// A point as a mouse or size message carries it: x in the low 16 bits, y in
// the next 16.
inline intptr_t PackPoint(int32_t x, int32_t y) {
    return intptr_t((uint32_t(y) & 0xFFFF) << 16 | (uint32_t(x) & 0xFFFF));
}

// What a window system sends synchronously while it creates the show's
// window, for backends that have to send it themselves.
inline void SendCreationMessages(WindowProcedure proc, void* context) {
    proc(context, MsgCreate, 0, 0);
    proc(context, MsgSize, 0, PackPoint(kScreenWidth, kScreenHeight));
    proc(context, MsgMove, 0, 0);
}

class Platform {
public:
    virtual ~Platform() = default;

    // Window. Registers the class ("i", icon 101, arrow cursor, black brush)
    // and creates the topmost pop-up window ("df") of the desktop's size.
    // Messages sent during creation already reach proc. False: no window.
    virtual bool CreateShowWindow(WindowProcedure proc, void* context) = 0;
    virtual void FocusShowWindow() = 0;
    // The client area in screen coordinates (GetClientRect, then ClientToScreen
    // of both corners).
    virtual ScreenRect ShowClientRect() = 0;
    virtual intptr_t DefaultWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;

    // Display. OpenDisplay takes the exclusive 1024 x 768 x 32 mode and makes
    // the visible surface with one back buffer; on failure it returns a short
    // reason and the caller restores and releases as usual.
    virtual const char* OpenDisplay() = 0;
    virtual void ClearSurfaces() = 0;  // back buffer, then visible surface, to black
    // One device-context pair on the visible surface: text colour (GDI
    // 0x00BBGGRR), black opaque background, the runs in order. Skipped when
    // no context can be had.
    virtual void DrawTexts(uint32_t textColor, const TextRun* runs, int32_t count) = 0;
    // Direct access to the back buffer's pixels; null when it cannot be
    // locked. pitch is the byte distance between rows.
    virtual uint32_t* LockBackBuffer(int32_t& pitch) = 0;
    virtual void UnlockBackBuffer() = 0;
    // Copies presentRect of the back buffer onto the visible surface.
    virtual void Present() = 0;
    virtual void RestoreDisplay() = 0;
    // Releases the back buffer, the visible surface and the display object,
    // in that order.
    virtual void ReleaseDisplay() = 0;

    // Window timers by id; arming an armed id restarts its period.
    virtual void SetShowTimer(uint32_t id, uint32_t period) = 0;
    virtual void KillShowTimer(uint32_t id) = 0;

    // Clocks: a 32-bit millisecond tick counter that wraps, and the time in
    // whole seconds that seeds the generator.
    virtual uint32_t TickCount() = 0;
    virtual uint32_t TimeSeconds() = 0;

    // The message queue. Peek does not remove; Get removes and returns 0 for
    // the quit message; Dispatch hands a message to the window procedure.
    virtual bool PeekShowMessage() = 0;
    virtual int32_t GetShowMessage(ShowMessage& message) = 0;
    virtual void DispatchShowMessage(const ShowMessage& message) = 0;
    virtual void PostQuit(int32_t code) = 0;
    // Blocks until a message may be waiting or timeoutMs have passed.
    virtual void WaitForMessage(uint32_t timeoutMs) = 0;
};
