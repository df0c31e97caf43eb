#include "platform/win32/win32_platform.h"

#include <cstring>
#include <ctime>

namespace {

// Forwards every message to the show's procedure. The platform record comes
// in as the creation parameter and is kept in the window's user data; the
// few messages sent before WM_NCCREATE get the default handling.
LRESULT CALLBACK ShowWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* platform = reinterpret_cast<Win32Platform*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (platform == nullptr) {
        if (message != WM_NCCREATE) return DefWindowProcA(window, message, wParam, lParam);
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        platform = static_cast<Win32Platform*>(create->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(platform));
        platform->window = window;
    }
    LRESULT own = 0;
    if (platform->HandleOwnMessage(message, wParam, lParam, own)) return own;
    return platform->proc(platform->context, message, wParam, lParam);
}

// Colour-fills a whole surface with black, waiting until the blitter takes it.
HRESULT FillBlack(IDirectDrawSurface7* surface) {
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    return surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}

// After the viewer switches away from the exclusive display and back, the
// surfaces report DDERR_SURFACELOST until they are restored; restoring the
// visible surface restores its attached back buffer too, and fails while the
// show is still in the background. Restoring brings back the memory but not
// the pixels, so both are blackened as at start-up: the picture rows refill
// with the next frame, the text strip with the next banner or status line.
// True when the surfaces are usable again.
bool RestoreLostSurfaces(Win32Platform& platform, HRESULT result) {
    if (result != DDERR_SURFACELOST || platform.primarySurface == nullptr) return false;
    if (platform.primarySurface->Restore() != DD_OK) return false;
    FillBlack(platform.backSurface);
    FillBlack(platform.primarySurface);
    return true;
}

// Runs a surface call; when it found the surfaces lost, restores them and
// tries once more. A second failure is returned for the caller to skip.
template <typename Call>
HRESULT CallRestoringLost(Win32Platform& platform, Call call) {
    HRESULT result = call();
    if (RestoreLostSurfaces(platform, result)) result = call();
    return result;
}

// The show writes 1024 x 768 pixels of 32 bits through the locked pointer.
bool HoldsShowFrame(const DDSURFACEDESC2& desc) {
    if (desc.lpSurface == nullptr) return false;
    if (desc.dwWidth < static_cast<DWORD>(kScreenWidth) || desc.dwHeight < static_cast<DWORD>(kScreenHeight)) return false;
    if (desc.lPitch < kScreenWidth * 4) return false;
    if ((desc.dwFlags & DDSD_PIXELFORMAT) != 0 && desc.ddpfPixelFormat.dwRGBBitCount != 32) return false;
    return true;
}

}  // namespace

void Win32Platform::RegisterShowClass() {
    WNDCLASSA windowClass;
    std::memset(&windowClass, 0, sizeof windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = ShowWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(101));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = "i";
    RegisterClassA(&windowClass);
}

bool Win32Platform::CreateShowWindow(WindowProcedure showProc, void* showContext) {
    proc = showProc;
    context = showContext;
    RegisterShowClass();
    HWND created = CreateWindowExA(WS_EX_TOPMOST, "i", "df", WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                   GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance, this);
    window = created;
    return created != nullptr;
}

// The window is shown as well: a DirectDraw that presents the visible surface
// through the window (as Wine's does) shows nothing of a hidden one, and a
// visible, active window is where the keys reliably arrive.
void Win32Platform::FocusShowWindow() {
    ShowWindow(window, SW_SHOW);
    SetFocus(window);
}

ScreenRect Win32Platform::ShowClientRect() {
    RECT client = {0, 0, 0, 0};
    GetClientRect(window, &client);
    POINT topLeft = {client.left, client.top};
    POINT bottomRight = {client.right, client.bottom};
    ClientToScreen(window, &topLeft);
    ClientToScreen(window, &bottomRight);
    return {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

intptr_t Win32Platform::DefaultWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

const char* Win32Platform::OpenDisplay() {
    void* created = nullptr;
    if (DirectDrawCreateEx(nullptr, &created, IID_IDirectDraw7, nullptr) != DD_OK || created == nullptr) {
        return "cannot create the DirectDraw object";
    }
    directDraw = static_cast<IDirectDraw7*>(created);
    if (directDraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) != DD_OK) {
        return "cannot take the display for exclusive use";
    }
    if (directDraw->SetDisplayMode(kScreenWidth, kScreenHeight, 32, 0, 0) != DD_OK) {
        return "cannot set the 1024 x 768 x 32 display mode";
    }

    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 1;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
    if (directDraw->CreateSurface(&desc, &primarySurface, nullptr) != DD_OK || primarySurface == nullptr) {
        primarySurface = nullptr;
        return "cannot create the display surfaces";
    }

    DDSCAPS2 caps;
    std::memset(&caps, 0, sizeof caps);
    caps.dwCaps = DDSCAPS_BACKBUFFER | DDSCAPS_VIDEOMEMORY;
    if (primarySurface->GetAttachedSurface(&caps, &backSurface) != DD_OK || backSurface == nullptr) {
        backSurface = nullptr;
        return "cannot reach the back buffer";
    }
    // Showing the window and changing the mode left it waiting to be painted;
    // its background brush would black out the banner drawn next.
    ValidateRect(window, nullptr);
    return nullptr;
}

void Win32Platform::ClearSurfaces() {
    if (backSurface == nullptr || primarySurface == nullptr) return;
    CallRestoringLost(*this, [&] { return FillBlack(backSurface); });
    CallRestoringLost(*this, [&] { return FillBlack(primarySurface); });
}

void Win32Platform::DrawTexts(uint32_t textColor, const TextRun* runs, int32_t count) {
    if (primarySurface == nullptr) return;
    HDC dc = nullptr;
    if (CallRestoringLost(*this, [&] { return primarySurface->GetDC(&dc); }) != DD_OK || dc == nullptr) return;
    SetTextColor(dc, textColor);
    SetBkColor(dc, 0);
    for (int32_t i = 0; i < count; ++i) TextOutA(dc, runs[i].x, runs[i].y, runs[i].text, runs[i].length);
    primarySurface->ReleaseDC(dc);
}

uint32_t* Win32Platform::LockBackBuffer(int32_t& pitch) {
    if (backSurface == nullptr || backLocked) return nullptr;
    DDSURFACEDESC2 desc;
    HRESULT result = CallRestoringLost(*this, [&] {
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        return backSurface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    });
    if (result != DD_OK) return nullptr;
    if (!HoldsShowFrame(desc)) {
        backSurface->Unlock(nullptr);
        return nullptr;
    }
    backLocked = true;
    pitch = desc.lPitch;
    return static_cast<uint32_t*>(desc.lpSurface);
}

void Win32Platform::UnlockBackBuffer() {
    if (!backLocked) return;
    backSurface->Unlock(nullptr);
    backLocked = false;
}

void Win32Platform::Present() {
    if (primarySurface == nullptr || backSurface == nullptr) return;
    RECT source = {presentRect.left, presentRect.top, presentRect.right, presentRect.bottom};
    // No wait flag: a copy the blitter cannot take at once is dropped, and
    // the next frame copies again.
    CallRestoringLost(*this, [&] {
        return primarySurface->BltFast(presentRect.left, presentRect.top, backSurface, &source, DDBLTFAST_NOCOLORKEY);
    });
}

void Win32Platform::RestoreDisplay() {
    if (directDraw != nullptr) directDraw->RestoreDisplayMode();
}

void Win32Platform::ReleaseDisplay() {
    UnlockBackBuffer();
    if (backSurface != nullptr) backSurface->Release();
    backSurface = nullptr;
    if (primarySurface != nullptr) primarySurface->Release();
    primarySurface = nullptr;
    if (directDraw != nullptr) directDraw->Release();
    directDraw = nullptr;
}

void Win32Platform::SetShowTimer(uint32_t id, uint32_t period) {
    SetTimer(window, id, period, nullptr);
}

void Win32Platform::KillShowTimer(uint32_t id) {
    KillTimer(window, id);
}

uint32_t Win32Platform::TickCount() {
    return GetTickCount();
}

uint32_t Win32Platform::TimeSeconds() {
    return static_cast<uint32_t>(std::time(nullptr));
}

bool Win32Platform::PeekShowMessage() {
    MSG waiting;
    return PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE) != 0;
}

int32_t Win32Platform::GetShowMessage(ShowMessage& message) {
    BOOL result = GetMessageA(&lastMessage, nullptr, 0, 0);
    // On an error result the record is undefined: make it WM_NULL so that
    // dispatching it does nothing rather than repeat an earlier message.
    if (result == -1) std::memset(&lastMessage, 0, sizeof lastMessage);
    message = {lastMessage.message, lastMessage.wParam, lastMessage.lParam};
    return result;
}

void Win32Platform::DispatchShowMessage(const ShowMessage& message) {
    MSG dispatched = lastMessage;
    if (dispatched.message != message.message || dispatched.wParam != message.wParam ||
        dispatched.lParam != message.lParam) {
        // Not the message taken last: send it to the show window.
        std::memset(&dispatched, 0, sizeof dispatched);
        dispatched.hwnd = window;
        dispatched.message = message.message;
        dispatched.wParam = message.wParam;
        dispatched.lParam = message.lParam;
        dispatched.time = GetMessageTime();
    }
    TranslateMessage(&dispatched);
    DispatchMessageA(&dispatched);
}

bool Win32Platform::HandleOwnMessage(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

void Win32Platform::PostQuit(int32_t code) {
    PostQuitMessage(code);
}

void Win32Platform::WaitForMessage(uint32_t timeoutMs) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs, QS_ALLINPUT);
}
