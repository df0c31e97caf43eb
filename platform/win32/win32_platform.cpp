#include "platform/win32/win32_platform.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr const char* kMonitorClass = "starvane-monitor";

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

// Windows over the other monitors hand their messages to the platform.
LRESULT CALLBACK MonitorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* platform = reinterpret_cast<Win32Platform*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (platform == nullptr && message == WM_NCCREATE) {
        platform = static_cast<Win32Platform*>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(platform));
    }
    LRESULT result = 0;
    if (platform != nullptr && platform->HandleMonitorMessage(window, message, wParam, lParam, result)) {
        return result;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    MONITORINFO info;
    std::memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(monitor, &info)) {
        const RECT& r = info.rcMonitor;
        reinterpret_cast<std::vector<MonitorRect>*>(data)->push_back(
            {{r.left, r.top, r.right, r.bottom}, (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
    }
    return TRUE;
}

// STARVANE_PRESENT, a test setting: which path the scaled presentation
// takes. Set at all, it has the path taken named on stderr.
PresentPath ReadPresentPath(bool& report) {
    char value[16] = "";
    const DWORD length = GetEnvironmentVariableA("STARVANE_PRESENT", value, sizeof value);
    report = length > 0;
    if (length >= sizeof value) return PresentPath::Automatic;
    if (std::strcmp(value, "d3d11") == 0) return PresentPath::Direct3D11;
    if (std::strcmp(value, "gdi") == 0) return PresentPath::Gdi;
    return PresentPath::Automatic;
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

Win32Platform::Win32Platform(HINSTANCE instance) : instance(instance) {
    presentPath = ReadPresentPath(reportPath);
}

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
    // Scaled, clicks reach the show as points of the picture (see
    // HandleOwnMessage), which stands in for the client area.
    if (scaled) return {0, 0, kScreenWidth, kScreenHeight};
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

// When the exclusive display cannot be had (a desktop that does not offer
// 1024 x 768 x 32, a remote session, a virtual machine), what was taken is
// given back and the show runs scaled on the monitor it started on.
const char* Win32Platform::OpenDisplay() {
    const char* why = OpenExclusiveDisplay();
    if (why == nullptr) {
        if (reportPath) std::fprintf(stderr, "starvane: present path: exclusive DirectDraw\n");
        return nullptr;
    }
    Win32Platform::RestoreDisplay();
    Win32Platform::ReleaseDisplay();
    const char* scaledWhy = OpenScaledDisplay(fallbackSpread);
    if (scaledWhy == nullptr) {
        std::fprintf(stderr, "starvane: %s; the show runs scaled instead\n", why);
        return nullptr;
    }
    failure = std::string(why) + ", and " + scaledWhy;
    return failure.c_str();
}

const char* Win32Platform::OpenExclusiveDisplay() {
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
    displayOpened = GetTickCount();
    return nullptr;
}

HWND Win32Platform::CreateMonitorWindow(const ScreenRect& r) {
    WNDCLASSA monitorClass;
    if (!GetClassInfoA(instance, kMonitorClass, &monitorClass)) {
        std::memset(&monitorClass, 0, sizeof monitorClass);
        monitorClass.lpfnWndProc = MonitorWindowProc;
        monitorClass.hInstance = instance;
        monitorClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        monitorClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        monitorClass.lpszClassName = kMonitorClass;
        RegisterClassA(&monitorClass);
    }
    HWND created = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kMonitorClass, "", WS_POPUP,
                                   r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance,
                                   this);
    if (created != nullptr) {
        ShowWindow(created, SW_SHOWNOACTIVATE);
        monitorWindows.push_back(created);
    }
    return created;
}

const char* Win32Platform::OpenScaledDisplay(MonitorSpread spread) {
    scaled = true;
    if (!OpenScaledFrame(scaledDisplay)) return "cannot create the scaled frame";

    std::vector<MonitorRect> monitors;
    EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
    RECT own = {0, 0, 0, 0};
    GetWindowRect(window, &own);
    const ScreenRect whole = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const auto plan = PlanMonitors(monitors.data(), int32_t(monitors.size()), spread, own.left, own.top, whole);

    for (const MonitorWindow& m : plan) {
        const ScreenRect& r = m.window;
        HWND target = window;
        if (m.home) {
            SetWindowPos(window, HWND_TOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_SHOWWINDOW);
        } else {
            target = CreateMonitorWindow(r);
            if (target == nullptr) return "cannot create a window over a monitor";
        }
        scaledDisplay.windows.push_back({target, r.right - r.left, r.bottom - r.top, m.picture, m.showsPicture});
    }

    // The window may not have moved or changed size at all: tell the show
    // anyway, so that it maps clicks through the picture from now on.
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(kScreenWidth, kScreenHeight));

    const char* notDirect3D = nullptr;
    ChoosePresentPath(scaledDisplay, presentPath, &notDirect3D);
    if (reportPath) {
        if (scaledDisplay.direct3d != nullptr) {
            std::fprintf(stderr, "starvane: present path: scaled Direct3D 11\n");
        } else {
            std::fprintf(stderr, "starvane: present path: scaled GDI (%s)\n", notDirect3D);
        }
    }
    displayOpened = GetTickCount();
    return nullptr;
}

bool Win32Platform::HandleMonitorMessage(HWND from, UINT message, WPARAM, LPARAM, LRESULT& result) {
    if (!scaled) return false;
    switch (message) {
    case WM_ERASEBKGND:
        result = 1;  // painting covers it all
        return true;
    case WM_PAINT:
        PaintScaledWindow(scaledDisplay, from);
        result = 0;
        return true;
    default:
        return false;
    }
}

void Win32Platform::ClearSurfaces() {
    if (scaled) {
        ClearScaledFrame(scaledDisplay);
        return;
    }
    if (backSurface == nullptr || primarySurface == nullptr) return;
    CallRestoringLost(*this, [&] { return FillBlack(backSurface); });
    CallRestoringLost(*this, [&] { return FillBlack(primarySurface); });
}

void Win32Platform::DrawTexts(uint32_t textColor, const TextRun* runs, int32_t count) {
    if (scaled) {
        DrawScaledTexts(scaledDisplay, textColor, runs, count);
        return;
    }
    if (primarySurface == nullptr) return;
    HDC dc = nullptr;
    if (CallRestoringLost(*this, [&] { return primarySurface->GetDC(&dc); }) != DD_OK || dc == nullptr) return;
    SetTextColor(dc, textColor);
    SetBkColor(dc, 0);
    for (int32_t i = 0; i < count; ++i) TextOutA(dc, runs[i].x, runs[i].y, runs[i].text, runs[i].length);
    primarySurface->ReleaseDC(dc);
}

uint32_t* Win32Platform::LockBackBuffer(int32_t& pitch) {
    if (scaled) {
        if (scaledDisplay.back.empty() || backLocked) return nullptr;
        backLocked = true;
        pitch = kScreenWidth * 4;
        return scaledDisplay.back.data();
    }
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
    if (scaled) {
        backLocked = false;
        return;
    }
    backSurface->Unlock(nullptr);
    backLocked = false;
}

void Win32Platform::Present() {
    ++framesPresented;
    if (scaled) {
        PresentScaled(scaledDisplay);
        return;
    }
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

// Releases whichever display is open; the scaled one has no mode to give
// back.
void Win32Platform::ReleaseDisplay() {
    if (reportPath && framesPresented > 0) {
        std::fprintf(stderr, "starvane: %u frames in %.1f s\n", framesPresented,
                     double(GetTickCount() - displayOpened) / 1000.0);
        framesPresented = 0;
    }
    UnlockBackBuffer();
    if (scaled) CloseScaledDisplay(scaledDisplay);
    scaled = false;
    for (HWND w : monitorWindows) DestroyWindow(w);
    monitorWindows.clear();
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

bool Win32Platform::HandleOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (!scaled) return false;
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: {
        // The show maps clicks through its client rectangle, which is the
        // picture's own while scaled: hand it the point of the picture.
        const ScaledWindow* own = FindScaledWindow(scaledDisplay, window);
        if (own == nullptr) return false;
        int32_t px = 0, py = 0;
        ClientToPicture(own->picture, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)), px, py);
        result = proc(context, message, wParam, PackPoint(px, py));
        return true;
    }
    default:
        return HandleMonitorMessage(window, message, wParam, lParam, result);
    }
}

void Win32Platform::PostQuit(int32_t code) {
    PostQuitMessage(code);
}

void Win32Platform::WaitForMessage(uint32_t timeoutMs) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs, QS_ALLINPUT);
}
