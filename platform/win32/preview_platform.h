// The screen saver's preview (/p HWND): the show in a child window that
// covers the client area of another program's window. There is no exclusive
// display: the visible frame and the back buffer are plain memory, the text
// goes onto the frame through GDI, and every present stretches the frame
// onto the child window. The preview ends when the child window is destroyed
// or the parent window goes away; it takes no keys or clicks.
#pragma once
#include <vector>
#include "platform/win32/win32_platform.h"

class Win32PreviewPlatform final : public Win32Platform {
public:
    Win32PreviewPlatform(HINSTANCE instance, HWND parent) : Win32Platform(instance), parent(parent) {}

    bool CreateShowWindow(WindowProcedure proc, void* context) override;
    void FocusShowWindow() override;

    const char* OpenDisplay() override;
    void ClearSurfaces() override;
    void DrawTexts(uint32_t textColor, const TextRun* runs, int32_t count) override;
    uint32_t* LockBackBuffer(int32_t& pitch) override;
    void UnlockBackBuffer() override;
    void Present() override;
    void RestoreDisplay() override;
    void ReleaseDisplay() override;

    bool HandleOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // Stretches the visible frame over the child window's client area.
    void PaintFrame(HDC target);
    // Ends the preview when the parent is gone; else follows its size.
    // Every present calls it, about four times a second.
    void CheckParent();

    HWND parent;
    uint32_t parentChecked = 0;  // tick count of the last CheckParent
    // The visible frame: a 1024 x 768 top-down 32-bit DIB section, selected
    // into its own memory device context for the text.
    HDC frameDC = nullptr;
    HBITMAP frameBitmap = nullptr;
    HGDIOBJ frameDCBitmap = nullptr;  // what frameDC held before
    uint32_t* frame = nullptr;
    std::vector<uint32_t> back;  // the back buffer, pitch kScreenWidth * 4
};
