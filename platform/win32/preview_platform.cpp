#include "platform/win32/preview_platform.h"

#include <algorithm>
#include <cstring>

namespace {

// How often presenting checks that the parent still stands, in ms.
constexpr uint32_t kParentCheckPeriod = 250;

RECT ParentClientRect(HWND parent) {
    RECT client = {0, 0, 0, 0};
    GetClientRect(parent, &client);
    return client;
}

}  // namespace

bool Win32PreviewPlatform::CreateShowWindow(WindowProcedure showProc, void* showContext) {
    proc = showProc;
    context = showContext;
    if (!IsWindow(parent)) return false;
    RegisterShowClass();
    const RECT client = ParentClientRect(parent);
    HWND created = CreateWindowExA(0, "i", "df", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, client.right, client.bottom, parent,
                                   nullptr, instance, this);
    window = created;
    parentChecked = GetTickCount();
    return created != nullptr;
}

// Shown, but the focus stays with the program that owns the parent.
void Win32PreviewPlatform::FocusShowWindow() {
    ShowWindow(window, SW_SHOWNA);
}

const char* Win32PreviewPlatform::OpenDisplay() {
    HDC screen = GetDC(nullptr);
    frameDC = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    if (frameDC == nullptr) return "cannot create a device context for the preview";
    const BITMAPINFO info = PictureBitmapInfo();
    void* bits = nullptr;
    frameBitmap = CreateDIBSection(frameDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (frameBitmap == nullptr || bits == nullptr) return "cannot create the preview frame";
    frame = static_cast<uint32_t*>(bits);
    frameDCBitmap = SelectObject(frameDC, frameBitmap);
    back.assign(size_t(kScreenWidth) * kScreenHeight, 0);
    return nullptr;
}

void Win32PreviewPlatform::ClearSurfaces() {
    if (frame == nullptr) return;
    GdiFlush();
    std::fill(back.begin(), back.end(), 0u);
    std::memset(frame, 0, size_t(kScreenWidth) * kScreenHeight * 4);
}

void Win32PreviewPlatform::DrawTexts(uint32_t textColor, const TextRun* runs, int32_t count) {
    if (frameDC == nullptr) return;
    SetTextColor(frameDC, textColor);
    SetBkColor(frameDC, 0);
    for (int32_t i = 0; i < count; ++i) TextOutA(frameDC, runs[i].x, runs[i].y, runs[i].text, runs[i].length);
}

uint32_t* Win32PreviewPlatform::LockBackBuffer(int32_t& pitch) {
    if (back.empty() || backLocked) return nullptr;
    backLocked = true;
    pitch = kScreenWidth * 4;
    return back.data();
}

void Win32PreviewPlatform::UnlockBackBuffer() {
    backLocked = false;
}

void Win32PreviewPlatform::Present() {
    if (frame == nullptr) return;
    GdiFlush();  // text drawn into the frame has landed
    const size_t rowWords = size_t(kScreenWidth);
    for (int32_t y = presentRect.top; y < presentRect.bottom; ++y) {
        std::memcpy(frame + y * rowWords, back.data() + y * rowWords, rowWords * 4);
    }
    if (HDC target = GetDC(window)) {
        PaintFrame(target);
        ReleaseDC(window, target);
    }
    if (GetTickCount() - parentChecked >= kParentCheckPeriod) CheckParent();
}

void Win32PreviewPlatform::CheckParent() {
    parentChecked = GetTickCount();
    if (!IsWindow(parent)) {
        // When the parent's program is killed, its windows go, this child
        // and its timers with them, and this thread may never hear of it:
        // the quit message is posted here as well as by WM_DESTROY.
        DestroyWindow(window);
        PostQuitMessage(0);
        return;
    }
    const RECT client = ParentClientRect(parent);
    RECT own = {0, 0, 0, 0};
    GetClientRect(window, &own);
    if (own.right != client.right || own.bottom != client.bottom) {
        MoveWindow(window, 0, 0, client.right, client.bottom, TRUE);
    }
}

void Win32PreviewPlatform::PaintFrame(HDC target) {
    if (frame == nullptr) return;
    RECT client = {0, 0, 0, 0};
    GetClientRect(window, &client);
    // Halftone averages the pixels each target pixel covers, so thin trails
    // stay visible when the frame shrinks to a few per cent of its area.
    SetStretchBltMode(target, HALFTONE);
    SetBrushOrgEx(target, 0, 0, nullptr);
    const BITMAPINFO info = PictureBitmapInfo();
    StretchDIBits(target, 0, 0, client.right, client.bottom, 0, 0, kScreenWidth, kScreenHeight, frame, &info,
                  DIB_RGB_COLORS, SRCCOPY);
}

// Nothing to give back: there is no display mode.
void Win32PreviewPlatform::RestoreDisplay() {}

void Win32PreviewPlatform::ReleaseDisplay() {
    backLocked = false;
    back.clear();
    back.shrink_to_fit();
    if (frameDC != nullptr && frameDCBitmap != nullptr) SelectObject(frameDC, frameDCBitmap);
    if (frameBitmap != nullptr) DeleteObject(frameBitmap);
    if (frameDC != nullptr) DeleteDC(frameDC);
    frameDC = nullptr;
    frameBitmap = nullptr;
    frameDCBitmap = nullptr;
    frame = nullptr;
}

bool Win32PreviewPlatform::HandleOwnMessage(UINT message, WPARAM, LPARAM, LRESULT& result) {
    result = 0;
    switch (message) {
    case WM_ERASEBKGND:
        result = 1;  // the frame covers it all
        return true;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC target = BeginPaint(window, &paint);
        if (target != nullptr) PaintFrame(target);
        EndPaint(window, &paint);
        return true;
    }
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        return true;  // a preview is only looked at
    default:
        return false;
    }
}
