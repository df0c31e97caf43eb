#include "platform/sdl/sdl_platform.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <ctime>

#include "platform/sdl/sdl_keys.h"
#include "platform/sdl/stop_signals.h"
#ifdef STARVANE_HAVE_X11
#include "platform/sdl/foreign_window.h"
#include "platform/sdl/x11_desktop.h"
#endif

namespace {

// How often the size of a window the show does not own is asked for.
constexpr uint32_t kSizePollMs = 250;

constexpr int32_t kIconSide = 48;
constexpr uint32_t kIconPixels[] = {
#include "platform/sdl/show_icon.inc"
};

// Starts SDL's video on a driver that puts a picture in front of someone.
// Left to itself SDL falls back to drivers that show nothing (offscreen,
// dummy, and evdev, a dummy with input), and a Wayland probe without a
// compositor prints to stderr; so unless the user named a driver, the real
// ones are tried in SDL's order, Wayland only where a compositor announces
// itself.
bool StartVideo() {
    if (SDL_getenv("SDL_VIDEODRIVER")) return SDL_Init(SDL_INIT_VIDEO) == 0;
    const int32_t count = SDL_GetNumVideoDrivers();
    for (int32_t i = 0; i < count; ++i) {
        const char* name = SDL_GetVideoDriver(i);
        if (!name || !std::strcmp(name, "offscreen") || !std::strcmp(name, "dummy") || !std::strcmp(name, "evdev"))
            continue;
        if (!std::strcmp(name, "wayland") && !SDL_getenv("WAYLAND_DISPLAY")) continue;
        SDL_SetHint(SDL_HINT_VIDEODRIVER, name);
        if (SDL_Init(SDL_INIT_VIDEO) == 0) return true;
    }
    return false;
}

// A window surface in the picture's own layout, 0x00RRGGBB words.
bool IsPictureLayout(const SDL_Surface* s) {
    const SDL_PixelFormat* f = s->format;
    return f->BytesPerPixel == 4 && f->Rmask == 0xFF0000 && f->Gmask == 0xFF00 && f->Bmask == 0xFF &&
           s->pitch % 4 == 0;
}

void PaintBlack(SDL_Window* window) {
    if (SDL_Surface* s = SDL_GetWindowSurface(window)) {
        SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 0, 0, 0));
        SDL_UpdateWindowSurface(window);
    }
}

}  // namespace

SdlPlatform::~SdlPlatform() {
    ReleaseDisplay();
    for (SDL_Window* w : blackWindows_) SDL_DestroyWindow(w);
    if (window_) SDL_DestroyWindow(window_);
#ifdef STARVANE_HAVE_X11
    CloseForeignWindow(foreign_);
#endif
    SDL_Quit();
}

int SdlPlatform::Prepare(std::string& error) {
    if (options_.target == ShowTarget::ForeignWindow || options_.target == ShowTarget::RootWindow) {
#ifdef STARVANE_HAVE_X11
        int status = 0;
        foreign_ = OpenForeignWindow(options_.target == ShowTarget::RootWindow, options_.windowId, error, status);
        return foreign_ ? 0 : status;
#else
        error = "--window-id and --root draw into X windows, and this build has no X11";
        return 2;
#endif
    }
    if (options_.display < 0) return 0;
    SDL_SetMainReady();
    // Without video CreateShowWindow fails and says so.
    if (!videoStarted_ && !(videoStarted_ = StartVideo())) return 0;
    const int32_t count = SDL_GetNumVideoDisplays();
    if (options_.display >= count) {
        error = "--display " + std::to_string(options_.display) + ": there " +
                (count == 1 ? "is 1 monitor (0)" : "are " + std::to_string(count) + " monitors (0 to " +
                                                       std::to_string(count - 1) + ")");
        return 2;
    }
    return 0;
}

bool SdlPlatform::CreateShowWindow(WindowProcedure proc, void* context) {
    if (foreign_) {
        // The daemon that lent the window ends the show with SIGTERM.
        stopFd_ = WatchStopSignals();
    } else if (!CreateOwnWindows()) {
        return false;
    }
    proc_ = proc;
    context_ = context;
    SendCreationMessages(proc_, context_);
    return true;
}

bool SdlPlatform::CreateOwnWindows() {
    SDL_SetMainReady();
    if (!videoStarted_ && !(videoStarted_ = StartVideo())) return false;
    // On X the window's own pixels (shared memory with the server), not a
    // texture drawn by a renderer: the scaling here is far cheaper than a
    // software GL rasteriser's. Drivers without window pixels of their own
    // keep SDL's texture fallback.
    if (const char* driver = SDL_GetCurrentVideoDriver(); driver && !std::strcmp(driver, "x11"))
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    std::vector<DisplayRect> displays;
    for (int32_t i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
        SDL_Rect r = {0, 0, kScreenWidth, kScreenHeight};
        SDL_GetDisplayBounds(i, &r);
        displays.push_back({r.x, r.y, r.w, r.h});
    }
    if (displays.empty()) displays.push_back({0, 0, kScreenWidth, kScreenHeight});
    int32_t px = 0, py = 0;
    SDL_GetGlobalMouseState(&px, &py);
    const int32_t chosen = ChooseDisplay(displays.data(), int32_t(displays.size()), options_.display, px, py);
    if (options_.target == ShowTarget::Window) {
        const int32_t at = int32_t(SDL_WINDOWPOS_CENTERED_DISPLAY(chosen));
        window_ = SDL_CreateWindow("Starvane", at, at, options_.width, options_.height, SDL_WINDOW_RESIZABLE);
    } else {
        // One window per monitor, each of the monitor's size from the start
        // so it is covered even where no window manager takes the
        // full-screen request; the picture on the chosen one.
        for (size_t i = 0; i < displays.size(); ++i) {
            const DisplayRect& d = displays[i];
            SDL_Window* w = SDL_CreateWindow("Starvane", d.x, d.y, d.width, d.height,
                                             SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
            if (!w) continue;
            // Only a window manager can honour full screen; without one SDL
            // waits a tenth of a second for it in vain, and the borderless
            // window of the monitor's size covers it anyway.
            bool manager = true;
#ifdef STARVANE_HAVE_X11
            manager = WindowManagerRuns(w);
#endif
            if (manager) SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN_DESKTOP);
            SDL_ShowWindow(w);
            if (int32_t(i) == chosen) {
                window_ = w;
            } else {
                blackWindows_.push_back(w);
                PaintBlack(w);
            }
        }
        SDL_ShowCursor(SDL_DISABLE);
    }
    if (!window_) return false;
    if (SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(kIconPixels), kIconSide,
                                                               kIconSide, 32, kIconSide * 4, SDL_PIXELFORMAT_ARGB8888)) {
        SDL_SetWindowIcon(window_, icon);
        for (SDL_Window* w : blackWindows_) SDL_SetWindowIcon(w, icon);
        SDL_FreeSurface(icon);
    }
    SDL_StopTextInput();  // keys only: no text events, no input-method window
    return true;
}

void SdlPlatform::FocusShowWindow() {
    if (!window_) return;
    SDL_RaiseWindow(window_);
    SDL_SetWindowInputFocus(window_);
}

// Mouse positions arrive already mapped to the 1024 x 768 picture.
ScreenRect SdlPlatform::ShowClientRect() { return {0, 0, kScreenWidth, kScreenHeight}; }

intptr_t SdlPlatform::DefaultWindowProc(uint32_t, uintptr_t, intptr_t) { return 0; }

const char* SdlPlatform::OpenDisplay() {
    if (!window_ && !foreign_) return "no window for the display";
    OpenMemorySurfaces(surfaces_);
    changed_.assign(kScreenHeight, ColumnSpan());
    targetValid_ = false;
    if (!AcquireTarget()) {
        failure_ = std::string("cannot draw into the window: ") + (foreign_ ? "no image" : SDL_GetError());
        return failure_.c_str();
    }
    return nullptr;
}

bool SdlPlatform::AcquireTarget() {
    Target& t = target_;
    t.surface = nullptr;
#ifdef STARVANE_HAVE_X11
    if (foreign_) {
        ForeignSize(foreign_, t.width, t.height);
        t.pixels = ForeignPixels(foreign_, t.pitch);
        if (!t.pixels) return false;
    }
#endif
    if (!foreign_) {
        SDL_Surface* s = SDL_GetWindowSurface(window_);
        if (!s) return false;
        t.width = s->w;
        t.height = s->h;
        if (IsPictureLayout(s)) {
            t.pixels = static_cast<uint32_t*>(s->pixels);
            t.pitch = s->pitch / 4;
        } else {
            // Scaled in the picture's layout, converted when pushed.
            t.surface = s;
            t.staging.assign(size_t(t.width) * size_t(t.height), 0u);
            t.pixels = t.staging.data();
            t.pitch = t.width;
        }
    }
    for (int32_t y = 0; y < t.height; ++y) std::fill_n(t.pixels + size_t(y) * size_t(t.pitch), t.width, 0u);
    fit_ = FitPicture(t.width, t.height);
    if (scaler_.width != fit_.width || scaler_.height != fit_.height) SetScaledSize(scaler_, fit_.width, fit_.height);
    targetValid_ = true;
    return true;
}

void SdlPlatform::ClearSurfaces() { ShowRows(ClearMemorySurfaces(surfaces_)); }

void SdlPlatform::DrawTexts(uint32_t textColor, const TextRun* runs, int32_t count) {
    ShowRows(DrawMemoryTexts(surfaces_, textColor, runs, count));
}

uint32_t* SdlPlatform::LockBackBuffer(int32_t& pitch) { return LockMemoryBackBuffer(surfaces_, pitch); }

void SdlPlatform::UnlockBackBuffer() {}

void SdlPlatform::Present() {
    std::vector<uint32_t>& visible = surfaces_.visible;
    const std::vector<uint32_t>& back = surfaces_.back;
    if (visible.empty()) return;
    // Only the columns that differ are copied, scaled and sent: most of a
    // row of the night sky stays black from one frame to the next.
    const ScreenRect r = presentRect;
    for (int32_t row = r.top; row < r.bottom; ++row) {
        const size_t at = size_t(row) * kScreenWidth;
        const ColumnSpan d = DifferingColumns(&visible[at], &back[at], r.left, r.right);
        if (d.left >= d.right) continue;
        std::memcpy(&visible[at + size_t(d.left)], &back[at + size_t(d.left)], size_t(d.right - d.left) * 4);
        AddColumns(changed_[size_t(row)], d.left, d.right);
    }
    ShowChangedRows();
}

void SdlPlatform::RestoreDisplay() {
    // The desktop comes back as soon as the full-screen windows are gone.
    for (SDL_Window* w : blackWindows_) SDL_HideWindow(w);
    if (window_) SDL_HideWindow(window_);
}

void SdlPlatform::ReleaseDisplay() {
    ReleaseMemorySurfaces(surfaces_);
    target_ = Target();
    targetValid_ = false;
}

void SdlPlatform::ShowRows(RowSpan rows) {
    if (surfaces_.visible.empty() || rows.top >= rows.bottom) return;
    for (int32_t row = rows.top; row < rows.bottom; ++row) AddColumns(changed_[size_t(row)], 0, kScreenWidth);
    ShowChangedRows();
}

void SdlPlatform::ShowChangedRows() {
    if (!targetValid_) {
        RedrawAll();
        return;
    }
    ScaleChangedRows();
    for (PixelRect& r : rects_) r = {fit_.x + r.left, fit_.y + r.top, fit_.x + r.right, fit_.y + r.bottom};
    PushRects();
}

void SdlPlatform::RedrawAll() {
    if (surfaces_.visible.empty() || !AcquireTarget()) return;
    std::fill(changed_.begin(), changed_.end(), ColumnSpan{0, kScreenWidth});
    ScaleChangedRows();
    RepushAll();
}

void SdlPlatform::ScaleChangedRows() {
    uint32_t* corner = target_.pixels + size_t(fit_.y) * size_t(target_.pitch) + size_t(fit_.x);
    ScaleRows(scaler_, surfaces_.visible.data(), changed_.data(), corner, target_.pitch, rects_);
    std::fill(changed_.begin(), changed_.end(), ColumnSpan());
}

void SdlPlatform::RepushAll() {
    rects_.assign(1, {0, 0, target_.width, target_.height});
    PushRects();
}

// Sends the window rectangles in rects_ to the screen.
void SdlPlatform::PushRects() {
#ifdef STARVANE_HAVE_X11
    if (foreign_) {
        for (const PixelRect& r : rects_) PutForeignRows(foreign_, r.left, r.right - r.left, r.top, r.bottom);
        return;
    }
#endif
    if (!window_ || rects_.empty()) return;
    sdlRects_.clear();
    for (const PixelRect& r : rects_) {
        if (SDL_Surface* s = target_.surface) {
            const size_t at = size_t(r.top) * size_t(target_.width) + size_t(r.left);
            SDL_ConvertPixels(r.right - r.left, r.bottom - r.top, SDL_PIXELFORMAT_RGB888, target_.staging.data() + at,
                              target_.width * 4, s->format->format,
                              static_cast<uint8_t*>(s->pixels) + size_t(r.top) * size_t(s->pitch) +
                                  size_t(r.left) * s->format->BytesPerPixel,
                              s->pitch);
        }
        sdlRects_.push_back({r.left, r.top, r.right - r.left, r.bottom - r.top});
    }
    SDL_UpdateWindowSurfaceRects(window_, sdlRects_.data(), int(sdlRects_.size()));
}

void SdlPlatform::SetShowTimer(uint32_t id, uint32_t period) { ArmQueueTimer(queue_, id, period, TickCount()); }

void SdlPlatform::KillShowTimer(uint32_t id) { DisarmQueueTimer(queue_, id); }

uint32_t SdlPlatform::TickCount() { return uint32_t(SDL_GetTicks()); }

uint32_t SdlPlatform::TimeSeconds() { return uint32_t(std::time(nullptr)); }

void SdlPlatform::PostClick(bool left, int32_t wx, int32_t wy) {
    int32_t x = 0, y = 0;
    WindowToPicture(fit_, wx, wy, x, y);
    PostShowMessage(queue_, {left ? uint32_t(MsgLButtonDown) : uint32_t(MsgRButtonDown), 0, PackPoint(x, y)});
}

void SdlPlatform::PumpEvents() {
    if (foreign_) {
        PumpForeignEvents();
        return;
    }
    if (!videoStarted_) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) TranslateEvent(event);
}

void SdlPlatform::PumpForeignEvents() {
#ifdef STARVANE_HAVE_X11
    if (destroyPosted_) return;
    if (StopRequested()) {
        PostShowMessage(queue_, {MsgDestroy, 0, 0});
        destroyPosted_ = true;
        return;
    }
    // A window the show does not own tells it nothing of its size.
    const uint32_t now = TickCount();
    if (int32_t(now - nextSizeCheck_) >= 0) {
        nextSizeCheck_ = now + kSizePollMs;
        if (CheckForeignSize(foreign_)) {
            targetValid_ = false;
            RedrawAll();
        }
    }
    for (;;) {
        const ForeignEvent e = NextForeignEvent(foreign_);
        if (e.kind == ForeignEventKind::Nothing) break;
        if (e.kind == ForeignEventKind::Gone) {
            PostShowMessage(queue_, {MsgDestroy, 0, 0});
            destroyPosted_ = true;
            break;
        }
        if (e.kind == ForeignEventKind::Exposed) {
            RepushAll();
        } else {
            PostClick(e.kind == ForeignEventKind::LeftClick, e.x, e.y);
        }
    }
#endif
}

void SdlPlatform::TranslateEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT:  // the window closed, or the process was asked to end
        PostShowMessage(queue_, {MsgDestroy, 0, 0});
        break;
    case SDL_KEYDOWN: {
        // A held key repeats as separate presses.
        const uint32_t vk = VirtualKeyFromSdl(event.key.keysym);
        const intptr_t flags = 1 | (event.key.repeat ? intptr_t(1) << 30 : 0);
        if (vk != 0) PostShowMessage(queue_, {MsgKeyDown, vk, flags});
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
        // Clicks on the black monitors do nothing; clicks on the bars around
        // the picture land on its edge.
        if (event.button.windowID != SDL_GetWindowID(window_)) break;
        if (event.button.button == SDL_BUTTON_LEFT || event.button.button == SDL_BUTTON_RIGHT)
            PostClick(event.button.button == SDL_BUTTON_LEFT, event.button.x, event.button.y);
        break;
    case SDL_WINDOWEVENT: {
        const bool own = event.window.windowID == SDL_GetWindowID(window_);
        switch (event.window.event) {
        case SDL_WINDOWEVENT_MOVED:
            if (own) PostShowMessage(queue_, {MsgMove, 0, PackPoint(event.window.data1, event.window.data2)});
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            if (!own) break;
            targetValid_ = false;
            RedrawAll();
            PostShowMessage(queue_, {MsgSize, 0, PackPoint(event.window.data1, event.window.data2)});
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            // The window system lost what was shown; the pixels are kept.
            if (!own) {
                if (SDL_Window* w = SDL_GetWindowFromID(event.window.windowID)) PaintBlack(w);
            } else if (targetValid_) {
                RepushAll();
            } else {
                RedrawAll();
            }
            break;
        default:
            break;
        }
        break;
    }
    default:
        break;
    }
}

bool SdlPlatform::PeekShowMessage() {
    PumpEvents();
    return ShowMessageWaiting(queue_, TickCount());
}

int32_t SdlPlatform::GetShowMessage(ShowMessage& message) {
    for (;;) {
        PumpEvents();
        if (TakeShowMessage(queue_, TickCount(), message)) return message.message == MsgQuit ? 0 : 1;
        if (!videoStarted_ && !foreign_ && queue_.timers.empty()) {
            // Nothing could ever arrive: end as a closed window would.
            message = {MsgQuit, 0, 0};
            return 0;
        }
        WaitForEvent(TimeToNextTimer(queue_, TickCount()));
    }
}

void SdlPlatform::DispatchShowMessage(const ShowMessage& message) {
    if (proc_) proc_(context_, message.message, message.wParam, message.lParam);
}

void SdlPlatform::PostQuit(int32_t code) { PostQuitMessage(queue_, code); }

void SdlPlatform::WaitForMessage(uint32_t timeoutMs) {
    if (PeekShowMessage()) return;
    WaitForEvent(std::min(timeoutMs, TimeToNextTimer(queue_, TickCount())));
}

void SdlPlatform::WaitForEvent(uint32_t timeoutMs) {
    if (timeoutMs == 0) return;
#ifdef STARVANE_HAVE_X11
    if (foreign_) {
        // The X connection, the stop signals, and the next size poll.
        timeoutMs = std::min(timeoutMs, kSizePollMs);
        pollfd fds[2] = {{ForeignConnection(foreign_), POLLIN, 0}, {stopFd_, POLLIN, 0}};
        poll(fds, stopFd_ >= 0 ? 2 : 1, int(timeoutMs));
        return;
    }
#endif
    if (!videoStarted_) {
        SDL_Delay(timeoutMs);
        return;
    }
#ifdef STARVANE_HAVE_X11
    if (window_ && WaitForX11Events(window_, timeoutMs)) return;
#endif
    // Waits without taking the event; the next pump translates it.
    SDL_WaitEventTimeout(nullptr, int(std::min<uint32_t>(timeoutMs, INT_MAX)));
}
