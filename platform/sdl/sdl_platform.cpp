#include "platform/sdl/sdl_platform.h"

#include <unistd.h>

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

// Whether the machine has a GPU a GL driver could use: a DRM render node or
// NVIDIA's device. Without one, GL is a software rasteriser, and loading it
// to find that out would cost start-up time and memory.
bool GpuDevicePresent() {
    for (int32_t n = 128; n < 136; ++n)
        if (access(("/dev/dri/renderD" + std::to_string(n)).c_str(), F_OK) == 0) return true;
    return access("/dev/nvidia0", F_OK) == 0;
}

// The GL renderer's name on the current context, or "" when not GL.
std::string GlRendererName() {
    using GetString = const unsigned char* (*)(unsigned int);
    auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const unsigned char* name = getString ? getString(0x1F01) : nullptr;  // GL_RENDERER
    return name ? reinterpret_cast<const char*>(name) : "";
}

bool IsSoftwareRasteriser(const std::string& name) {
    for (const char* soft : {"llvmpipe", "softpipe", "swrast", "Software"})
        if (name.find(soft) != std::string::npos) return true;
    return false;
}

}  // namespace

std::vector<bool> PictureDisplays(int32_t count, int32_t chosen, MonitorChoice monitors) {
    std::vector<bool> picture(size_t(std::max(count, 0)), monitors == MonitorChoice::All);
    if (chosen >= 0 && chosen < count) picture[size_t(chosen)] = true;
    return picture;
}

SdlPlatform::~SdlPlatform() {
    ReleaseDisplay();
    for (Screen& s : screens_) {
        if (s.texture) SDL_DestroyTexture(s.texture);
        if (s.renderer) SDL_DestroyRenderer(s.renderer);
        if (s.window) SDL_DestroyWindow(s.window);
    }
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
        Screen s;
        s.window = SDL_CreateWindow("Starvane", at, at, options_.width, options_.height,
                                    SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
        if (s.window) screens_.push_back(s);
    } else {
        // One window per monitor, each of the monitor's size from the start
        // so it is covered even where no window manager takes the
        // full-screen request; the picture on the chosen one, or on all.
        const std::vector<bool> picture = PictureDisplays(int32_t(displays.size()), chosen, options_.monitors);
        for (size_t i = 0; i < displays.size(); ++i) {
            const DisplayRect& d = displays[i];
            Screen s;
            s.window = SDL_CreateWindow("Starvane", d.x, d.y, d.width, d.height,
                                        SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALLOW_HIGHDPI);
            if (!s.window) continue;
            // Only a window manager can honour full screen; without one SDL
            // waits a tenth of a second for it in vain, and the borderless
            // window of the monitor's size covers it anyway.
            bool manager = true;
#ifdef STARVANE_HAVE_X11
            manager = WindowManagerRuns(s.window);
#endif
            if (manager) SDL_SetWindowFullscreen(s.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
            SDL_ShowWindow(s.window);
            if (!picture[i]) PaintBlack(s.window);
            s.view = picture[i] ? 0 : -1;
            screens_.push_back(std::move(s));
        }
        SDL_ShowCursor(SDL_DISABLE);
    }
    // The picture's windows are the views, the chosen one first: it takes
    // the clicks' coordinates as any other, and the picture lives in its
    // pixels at 1:1.
    viewScreens_.clear();
    if (options_.target == ShowTarget::Window) {
        if (!screens_.empty()) screens_[0].view = 0;
    }
    for (size_t i = 0; i < screens_.size(); ++i)
        if (screens_[i].view >= 0 && (options_.target == ShowTarget::Window || int32_t(i) == chosen))
            viewScreens_.push_back(i);
    for (size_t i = 0; i < screens_.size(); ++i)
        if (screens_[i].view >= 0 && std::find(viewScreens_.begin(), viewScreens_.end(), i) == viewScreens_.end())
            viewScreens_.push_back(i);
    if (viewScreens_.empty()) return false;
    for (size_t v = 0; v < viewScreens_.size(); ++v) screens_[viewScreens_[v]].view = int32_t(v);
    SetViewCount(int32_t(viewScreens_.size()));
    if (SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(kIconPixels), kIconSide,
                                                               kIconSide, 32, kIconSide * 4, SDL_PIXELFORMAT_ARGB8888)) {
        for (Screen& s : screens_) SDL_SetWindowIcon(s.window, icon);
        SDL_FreeSurface(icon);
    }
    // On an output scaled by the compositor (Wayland at scale 2) a window's
    // surface has only its logical size, and would be enlarged blurrily: its
    // real pixels are reached through a renderer, whatever draws it.
    for (size_t v : viewScreens_) {
        int ww = 0, wh = 0, pw = 0, ph = 0;
        SDL_GetWindowSize(screens_[v].window, &ww, &wh);
        SDL_GetWindowSizeInPixels(screens_[v].window, &pw, &ph);
        highDpi_ = highDpi_ || pw > ww || ph > wh;
    }
    const bool tryGpu = options_.present == PresentPath::Gpu || highDpi_ ||
                        (options_.present == PresentPath::Auto && GpuDevicePresent());
    gpu_ = tryGpu && StartGpu();
#ifdef STARVANE_HAVE_X11
    // Covered windows are told apart through X's visibility events.
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    for (Screen& s : screens_)
        if (s.view >= 0) WatchX11Visibility(s.window);
#endif
    SDL_StopTextInput();  // keys only: no text events, no input-method window
    return true;
}

// A renderer and a streaming texture on every view; false, with none left,
// when one cannot be had or (unless forced) the GPU is a software one.
bool SdlPlatform::StartGpu() {
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    bool ok = true;
    for (size_t v : viewScreens_) {
        Screen& s = screens_[v];
        s.renderer = SDL_CreateRenderer(s.window, -1, SDL_RENDERER_ACCELERATED);
        if (!s.renderer) {
            ok = false;
            break;
        }
        if (gpuName_.empty()) {
            SDL_RendererInfo info;
            SDL_GetRendererInfo(s.renderer, &info);
            gpuName_ = std::string(info.name ? info.name : "?");
            const std::string gl = GlRendererName();
            if (!gl.empty()) gpuName_ += " on " + gl;
            if (options_.present != PresentPath::Gpu && !highDpi_ && (gl.empty() || IsSoftwareRasteriser(gl))) {
                ok = false;
                break;
            }
        }
        s.texture = SDL_CreateTexture(s.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, kScreenWidth,
                                      kScreenHeight);
        if (!s.texture) {
            ok = false;
            break;
        }
    }
    if (ok) return true;
    for (Screen& s : screens_) {
        if (s.texture) SDL_DestroyTexture(s.texture);
        if (s.renderer) SDL_DestroyRenderer(s.renderer);
        s.texture = nullptr;
        s.renderer = nullptr;
    }
    return false;
}

std::string SdlPlatform::PresentDescription() const {
    if (gpu_) return "gpu, " + gpuName_;
    std::string d = ScaledPlatform::PresentDescription();
    if (!gpuName_.empty()) d += " (the GPU is " + gpuName_ + ")";
    return d;
}

void SdlPlatform::FocusShowWindow() {
    ScaledPlatform::FocusShowWindow();
    if (viewScreens_.empty()) return;
    SDL_Window* w = screens_[viewScreens_[0]].window;
    SDL_RaiseWindow(w);
    SDL_SetWindowInputFocus(w);
}

const char* SdlPlatform::AttachDisplay() {
    if (ScaledPlatform::AttachDisplay() == nullptr) return nullptr;
    failure_ = std::string("cannot draw into the window: ") + SDL_GetError();
    return failure_.c_str();
}

bool SdlPlatform::AcquireTarget(int32_t view, TargetPixels& t) {
    Screen& screen = screens_[viewScreens_[size_t(view)]];
    t = TargetPixels();
    if (screen.renderer) {
        t.takesPicture = true;
        return SDL_GetRendererOutputSize(screen.renderer, &t.width, &t.height) == 0;
    }
    screen.convert = nullptr;
    SDL_Surface* s = SDL_GetWindowSurface(screen.window);
    if (!s) return false;
    t.width = s->w;
    t.height = s->h;
    if (IsPictureLayout(s)) {
        t.pixels = static_cast<uint32_t*>(s->pixels);
        t.pitch = s->pitch / 4;
    } else {
        // Scaled in the picture's layout, converted when pushed.
        screen.convert = s;
        screen.staging.assign(size_t(t.width) * size_t(t.height), 0u);
        t.pixels = screen.staging.data();
        t.pitch = t.width;
    }
    return true;
}

void SdlPlatform::RestoreDisplay() {
    ScaledPlatform::RestoreDisplay();
    // The desktop comes back as soon as the full-screen windows are gone.
    for (Screen& s : screens_) SDL_HideWindow(s.window);
}

void SdlPlatform::PushRects(int32_t view, const std::vector<PixelRect>& rects) {
    Screen& screen = screens_[viewScreens_[size_t(view)]];
    sdlRects_.clear();
    for (const PixelRect& r : rects) {
        if (SDL_Surface* s = screen.convert) {
            const int32_t width = s->w;
            const size_t at = size_t(r.top) * size_t(width) + size_t(r.left);
            SDL_ConvertPixels(r.right - r.left, r.bottom - r.top, SDL_PIXELFORMAT_RGB888, screen.staging.data() + at,
                              width * 4, s->format->format,
                              static_cast<uint8_t*>(s->pixels) + size_t(r.top) * size_t(s->pitch) +
                                  size_t(r.left) * s->format->BytesPerPixel,
                              s->pitch);
        }
        sdlRects_.push_back({r.left, r.top, r.right - r.left, r.bottom - r.top});
    }
    SDL_UpdateWindowSurfaceRects(screen.window, sdlRects_.data(), int(sdlRects_.size()));
}

void SdlPlatform::PushPictureRects(int32_t view, const uint32_t* picture, int32_t pitch,
                                   const std::vector<PixelRect>& rects) {
    Screen& s = screens_[viewScreens_[size_t(view)]];
    if (!s.renderer) return;
    for (const PixelRect& r : rects) {
        const SDL_Rect at = {r.left, r.top, r.right - r.left, r.bottom - r.top};
        SDL_UpdateTexture(s.texture, &at, picture + size_t(r.top) * size_t(pitch) + size_t(r.left), pitch * 4);
    }
    const PictureRect f = ViewFit(view);
    const SDL_Rect to = {f.x, f.y, f.width, f.height};
    SDL_SetRenderDrawColor(s.renderer, 0, 0, 0, 255);
    SDL_RenderClear(s.renderer);
    SDL_RenderCopy(s.renderer, s.texture, nullptr, &to);
    SDL_RenderPresent(s.renderer);
}

void SdlPlatform::PumpEvents() {
    if (!videoStarted_) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) TranslateEvent(event);
}

SdlPlatform::Screen* SdlPlatform::ScreenOf(uint32_t windowId) {
    for (Screen& s : screens_)
        if (SDL_GetWindowID(s.window) == windowId) return &s;
    return nullptr;
}

void SdlPlatform::UpdateHidden(Screen& s) {
    if (s.view >= 0) SetViewHidden(s.view, s.unmapped || s.obscured || s.minimised);
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
    case SDL_MOUSEBUTTONDOWN: {
        // Clicks on the black monitors do nothing; clicks on the bars around
        // the picture land on its edge.
        const Screen* s = ScreenOf(event.button.windowID);
        if (!s || s->view < 0) break;
        if (event.button.button != SDL_BUTTON_LEFT && event.button.button != SDL_BUTTON_RIGHT) break;
        // Window units to the target's pixels, which differ on scaled outputs.
        int ww = 1, wh = 1, pw = 1, ph = 1;
        SDL_GetWindowSize(s->window, &ww, &wh);
        SDL_GetWindowSizeInPixels(s->window, &pw, &ph);
        PostClick(s->view, event.button.button == SDL_BUTTON_LEFT, int32_t(int64_t(event.button.x) * pw / std::max(ww, 1)),
                  int32_t(int64_t(event.button.y) * ph / std::max(wh, 1)));
        break;
    }
#ifdef STARVANE_HAVE_X11
    case SDL_SYSWMEVENT: {
        for (Screen& s : screens_) {
            const int32_t seen = X11VisibilityChange(event.syswm.msg, s.window);
            if (seen < 0) continue;
            s.obscured = seen == 0;
            UpdateHidden(s);
        }
        break;
    }
#endif
    case SDL_WINDOWEVENT: {
        Screen* s = ScreenOf(event.window.windowID);
        if (!s) break;
        const bool picture = s->view >= 0;
        switch (event.window.event) {
        case SDL_WINDOWEVENT_MOVED:
            if (picture && s->view == 0)
                PostShowMessage(queue, {MsgMove, 0, PackPoint(event.window.data1, event.window.data2)});
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            if (!picture) break;
            InvalidateTarget(s->view);
            RedrawAll(s->view);
            if (s->view == 0)
                PostShowMessage(queue, {MsgSize, 0, PackPoint(event.window.data1, event.window.data2)});
            break;
        case SDL_WINDOWEVENT_HIDDEN:
        case SDL_WINDOWEVENT_SHOWN:
            s->unmapped = event.window.event == SDL_WINDOWEVENT_HIDDEN;
            UpdateHidden(*s);
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
        case SDL_WINDOWEVENT_RESTORED:
            s->minimised = event.window.event == SDL_WINDOWEVENT_MINIMIZED;
            UpdateHidden(*s);
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            // The window system lost what was shown; the pixels are kept.
            if (!picture)
                PaintBlack(s->window);
            else
                RepushAll(s->view);
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
    if (!screens_.empty() && WaitForX11Events(screens_[0].window, timeoutMs)) return;
#endif
    // Waits without taking the event; the next pump translates it.
    SDL_WaitEventTimeout(nullptr, int(std::min<uint32_t>(timeoutMs, INT_MAX)));
}
