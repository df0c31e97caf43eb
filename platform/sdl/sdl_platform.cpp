#include "platform/sdl/sdl_platform.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <ctime>

#include "platform/bitmap_font.h"
#include "platform/sdl/sdl_keys.h"

namespace {

constexpr int32_t kPitchBytes = kScreenWidth * 4;
constexpr size_t kImageWords = size_t(kScreenWidth) * kScreenHeight;

intptr_t PackPoint(int32_t x, int32_t y) { return intptr_t((uint32_t(y) & 0xFFFF) << 16 | (uint32_t(x) & 0xFFFF)); }

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

}  // namespace

SdlPlatform::~SdlPlatform() {
    ReleaseDisplay();
    if (window_) SDL_DestroyWindow(window_);
    SDL_Quit();
}

bool SdlPlatform::CheckOptions(std::string&) { return true; }

bool SdlPlatform::CreateShowWindow(WindowProcedure proc, void* context) {
    SDL_SetMainReady();
    if (!StartVideo()) return false;
    videoStarted_ = true;
    // The size of the desktop from the start, so the picture covers it even
    // where no window manager takes the full-screen request.
    SDL_Rect desktop = {0, 0, kScreenWidth, kScreenHeight};
    SDL_GetDisplayBounds(0, &desktop);
    window_ = SDL_CreateWindow("df", desktop.x, desktop.y, desktop.w, desktop.h,
                               SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS);
    if (!window_) return false;
    SDL_StopTextInput();  // keys only: no text events, no input-method window
    proc_ = proc;
    context_ = context;
    // Creation sends these synchronously, as a window system does.
    proc_(context_, MsgCreate, 0, 0);
    proc_(context_, MsgSize, 0, PackPoint(kScreenWidth, kScreenHeight));
    proc_(context_, MsgMove, 0, 0);
    return true;
}

void SdlPlatform::FocusShowWindow() {
    if (!window_) return;
    SDL_RaiseWindow(window_);
    SDL_SetWindowInputFocus(window_);
}

// Mouse positions arrive already mapped to the 1024 x 768 logical picture.
ScreenRect SdlPlatform::ShowClientRect() { return {0, 0, kScreenWidth, kScreenHeight}; }

intptr_t SdlPlatform::DefaultWindowProc(uint32_t, uintptr_t, intptr_t) { return 0; }

const char* SdlPlatform::OpenDisplay() {
    if (!window_) return "no window for the display";
    // A present must never wait for the vertical blank: pacing is the loop's.
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_) {
        failure_ = std::string("cannot create a renderer: ") + SDL_GetError();
        return failure_.c_str();
    }
    SDL_RenderSetLogicalSize(renderer_, kScreenWidth, kScreenHeight);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, kScreenWidth,
                                 kScreenHeight);
    if (!texture_) {
        failure_ = std::string("cannot create the screen texture: ") + SDL_GetError();
        return failure_.c_str();
    }
    // The top byte of a pixel is not alpha: copy, never blend.
    SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
    visible_.assign(kImageWords, 0u);
    back_.assign(kImageWords, 0u);
    return nullptr;
}

void SdlPlatform::ClearSurfaces() {
    std::fill(back_.begin(), back_.end(), 0u);
    std::fill(visible_.begin(), visible_.end(), 0u);
    ShowRows(0, kScreenHeight);
}

void SdlPlatform::DrawTexts(uint32_t textColor, const TextRun* runs, int32_t count) {
    if (visible_.empty() || count <= 0) return;
    int32_t top = kScreenHeight, bottom = 0;
    for (int32_t i = 0; i < count; ++i) {
        const TextRun& run = runs[i];
        DrawTextRun(visible_.data(), kPitchBytes, kScreenWidth, kScreenHeight, run.x, run.y, run.text, run.length,
                    textColor);
        // The rows the run touched, for the upload.
        const int64_t runTop = std::clamp<int64_t>(run.y, 0, kScreenHeight);
        const int64_t runBottom = std::clamp<int64_t>(int64_t(run.y) + kGlyphHeight, 0, kScreenHeight);
        top = std::min(top, int32_t(runTop));
        bottom = std::max(bottom, int32_t(runBottom));
    }
    if (top < bottom) ShowRows(top, bottom);
}

uint32_t* SdlPlatform::LockBackBuffer(int32_t& pitch) {
    if (back_.empty()) return nullptr;
    pitch = kPitchBytes;
    return back_.data();
}

void SdlPlatform::UnlockBackBuffer() {}

void SdlPlatform::Present() {
    if (visible_.empty()) return;
    const ScreenRect r = presentRect;
    for (int32_t row = r.top; row < r.bottom; ++row) {
        const size_t at = size_t(row) * kScreenWidth + size_t(r.left);
        std::memcpy(&visible_[at], &back_[at], size_t(r.right - r.left) * 4);
    }
    ShowRows(r.top, r.bottom);
}

void SdlPlatform::RestoreDisplay() {
    // The desktop comes back as soon as the full-screen window is gone.
    if (window_) SDL_HideWindow(window_);
}

void SdlPlatform::ReleaseDisplay() {
    back_.clear();
    back_.shrink_to_fit();
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = nullptr;
    visible_.clear();
    visible_.shrink_to_fit();
    if (renderer_) SDL_DestroyRenderer(renderer_);
    renderer_ = nullptr;
}

void SdlPlatform::ShowRows(int32_t top, int32_t bottom) {
    if (!texture_) return;
    const SDL_Rect rows = {0, top, kScreenWidth, bottom - top};
    SDL_UpdateTexture(texture_, &rows, &visible_[size_t(top) * kScreenWidth], kPitchBytes);
    RenderTexture();
}

void SdlPlatform::RenderTexture() {
    if (!renderer_ || !texture_) return;
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
}

void SdlPlatform::SetShowTimer(uint32_t id, uint32_t period) { ArmQueueTimer(queue_, id, period, TickCount()); }

void SdlPlatform::KillShowTimer(uint32_t id) { DisarmQueueTimer(queue_, id); }

uint32_t SdlPlatform::TickCount() { return uint32_t(SDL_GetTicks()); }

uint32_t SdlPlatform::TimeSeconds() { return uint32_t(std::time(nullptr)); }

void SdlPlatform::PumpEvents() {
    if (!videoStarted_) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) TranslateEvent(event);
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
    case SDL_MOUSEBUTTONDOWN: {
        const uint32_t message = event.button.button == SDL_BUTTON_LEFT    ? uint32_t(MsgLButtonDown)
                                 : event.button.button == SDL_BUTTON_RIGHT ? uint32_t(MsgRButtonDown)
                                                                           : 0;
        if (message == 0) break;
        // Clicks on the bars around a scaled picture land on its edge.
        const int32_t x = std::clamp(event.button.x, 0, kScreenWidth - 1);
        const int32_t y = std::clamp(event.button.y, 0, kScreenHeight - 1);
        PostShowMessage(queue_, {message, 0, PackPoint(x, y)});
        break;
    }
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_MOVED:
            PostShowMessage(queue_, {MsgMove, 0, PackPoint(event.window.data1, event.window.data2)});
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            PostShowMessage(queue_, {MsgSize, 0, PackPoint(event.window.data1, event.window.data2)});
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            RenderTexture();  // the window system lost what was shown
            break;
        default:
            break;
        }
        break;
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
        if (!videoStarted_ && queue_.timers.empty()) {
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
    if (!videoStarted_) {
        SDL_Delay(timeoutMs);
        return;
    }
    // Waits without taking the event; the next pump translates it.
    SDL_WaitEventTimeout(nullptr, int(std::min<uint32_t>(timeoutMs, INT_MAX)));
}
