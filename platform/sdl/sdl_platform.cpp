#include "platform/sdl/sdl_platform.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/sdl/sdl_keys.h"
#ifdef STARVANE_HAVE_X11
#include "platform/sdl/x11_desktop.h"
#endif

namespace {

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
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    for (SDL_Window* w : blackWindows_) SDL_DestroyWindow(w);
    if (window_) SDL_DestroyWindow(window_);
    SDL_Quit();
}

int SdlPlatform::Prepare(std::string& error) {
    if (options_.display < 0) return 0;
    SDL_SetMainReady();
    // Without video OpenWindow fails and says so.
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

bool SdlPlatform::OpenWindow() {
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
        window_ = SDL_CreateWindow("Starvane", at, at, options_.width, options_.height,
                                   SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    } else {
        // One window per monitor, each of the monitor's size from the start
        // so it is covered even where no window manager takes the
        // full-screen request; the picture on the chosen one.
        for (size_t i = 0; i < displays.size(); ++i) {
            const DisplayRect& d = displays[i];
            // On a scaled Wayland output the window's surface has the
            // output's real pixels, not the compositor's enlargement.
            SDL_Window* w = SDL_CreateWindow("Starvane", d.x, d.y, d.width, d.height,
                                             SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALLOW_HIGHDPI);
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
    ScaledPlatform::FocusShowWindow();
    if (!window_) return;
    SDL_RaiseWindow(window_);
    SDL_SetWindowInputFocus(window_);
}

const char* SdlPlatform::AttachDisplay() {
    if (ScaledPlatform::AttachDisplay() == nullptr) return nullptr;
    failure_ = std::string("cannot draw into the window: ") + SDL_GetError();
    return failure_.c_str();
}

bool SdlPlatform::AcquireTarget(int32_t, TargetPixels& t) {
    convert_ = nullptr;
    if (!window_) return false;
    // A window with more pixels than window units (a scaled Wayland output):
    // SDL's window surface has only the units and would be enlarged
    // blurrily, so the pixels go through a texture of the real size.
    int32_t w = 0, h = 0, pw = 0, ph = 0;
    SDL_GetWindowSize(window_, &w, &h);
    SDL_GetWindowSizeInPixels(window_, &pw, &ph);
    if (renderer_ || (pw > w && ph > h)) return AcquireTexture(t, pw, ph);
    SDL_Surface* s = SDL_GetWindowSurface(window_);
    if (!s) return false;
    t.width = s->w;
    t.height = s->h;
    if (IsPictureLayout(s)) {
        t.pixels = static_cast<uint32_t*>(s->pixels);
        t.pitch = s->pitch / 4;
    } else {
        // Scaled in the picture's layout, converted when pushed.
        convert_ = s;
        staging_.assign(size_t(t.width) * size_t(t.height), 0u);
        t.pixels = staging_.data();
        t.pitch = t.width;
    }
    return true;
}

void SdlPlatform::RestoreDisplay() {
    ScaledPlatform::RestoreDisplay();
    // The desktop comes back as soon as the full-screen windows are gone.
    for (SDL_Window* w : blackWindows_) SDL_HideWindow(w);
    if (window_) SDL_HideWindow(window_);
}

bool SdlPlatform::AcquireTexture(TargetPixels& t, int32_t width, int32_t height) {
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED);
    if (!renderer_) return false;
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!texture_) return false;
    staging_.assign(size_t(width) * size_t(height), 0u);
    t = {staging_.data(), width, width, height};
    return true;
}

void SdlPlatform::PushRects(int32_t, const std::vector<PixelRect>& rects) {
    if (!window_) return;
    if (renderer_) {
        int32_t width = 0;
        SDL_QueryTexture(texture_, nullptr, nullptr, &width, nullptr);
        for (const PixelRect& r : rects) {
            const SDL_Rect area = {r.left, r.top, r.right - r.left, r.bottom - r.top};
            SDL_UpdateTexture(texture_, &area, staging_.data() + size_t(r.top) * size_t(width) + size_t(r.left),
                              width * 4);
        }
        // The texture is exactly the window's pixels: copied, not scaled.
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
        SDL_RenderPresent(renderer_);
        return;
    }
    sdlRects_.clear();
    for (const PixelRect& r : rects) {
        if (SDL_Surface* s = convert_) {
            const int32_t width = s->w;
            const size_t at = size_t(r.top) * size_t(width) + size_t(r.left);
            SDL_ConvertPixels(r.right - r.left, r.bottom - r.top, SDL_PIXELFORMAT_RGB888, staging_.data() + at,
                              width * 4, s->format->format,
                              static_cast<uint8_t*>(s->pixels) + size_t(r.top) * size_t(s->pitch) +
                                  size_t(r.left) * s->format->BytesPerPixel,
                              s->pitch);
        }
        sdlRects_.push_back({r.left, r.top, r.right - r.left, r.bottom - r.top});
    }
    SDL_UpdateWindowSurfaceRects(window_, sdlRects_.data(), int(sdlRects_.size()));
}

void SdlPlatform::PumpEvents() {
    if (!videoStarted_) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) TranslateEvent(event);
}

void SdlPlatform::TranslateEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT:  // the window closed, or the process was asked to end
        PostShowMessage(queue, {MsgDestroy, 0, 0});
        break;
    case SDL_KEYDOWN: {
        // A held key repeats as separate presses.
        const uint32_t vk = VirtualKeyFromSdl(event.key.keysym);
        const intptr_t flags = 1 | (event.key.repeat ? intptr_t(1) << 30 : 0);
        if (vk != 0) PostShowMessage(queue, {MsgKeyDown, vk, flags});
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
        // Clicks on the black monitors do nothing; clicks on the bars around
        // the picture land on its edge.
        if (event.button.windowID != SDL_GetWindowID(window_)) break;
        if (event.button.button == SDL_BUTTON_LEFT || event.button.button == SDL_BUTTON_RIGHT) {
            // Window units to the surface's pixels, which differ on a
            // scaled output.
            int32_t w = 0, h = 0, pw = 0, ph = 0;
            SDL_GetWindowSize(window_, &w, &h);
            SDL_GetWindowSizeInPixels(window_, &pw, &ph);
            const int32_t x = w > 0 ? int32_t(int64_t(event.button.x) * pw / w) : event.button.x;
            const int32_t y = h > 0 ? int32_t(int64_t(event.button.y) * ph / h) : event.button.y;
            PostClick(0, event.button.button == SDL_BUTTON_LEFT, x, y);
        }
        break;
    case SDL_WINDOWEVENT: {
        const bool own = event.window.windowID == SDL_GetWindowID(window_);
        switch (event.window.event) {
        case SDL_WINDOWEVENT_MOVED:
            if (own) PostShowMessage(queue, {MsgMove, 0, PackPoint(event.window.data1, event.window.data2)});
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            if (!own) break;
            InvalidateTarget(0);
            RedrawAll(0);
            PostShowMessage(queue, {MsgSize, 0, PackPoint(event.window.data1, event.window.data2)});
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            // The window system lost what was shown; the pixels are kept.
            if (!own) {
                if (SDL_Window* w = SDL_GetWindowFromID(event.window.windowID)) PaintBlack(w);
            } else if (TargetValid(0)) {
                RepushAll(0);
            } else {
                RedrawAll(0);
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

void SdlPlatform::WaitForEvent(uint32_t timeoutMs) {
    if (timeoutMs == 0) return;
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
