// The show in SDL2 windows of its own: full screen on every monitor (the
// picture on one, black on the others) or an ordinary window. The picture
// is scaled smoothly into the window's own pixels (ScaledPlatform).
#pragma once
#include <SDL.h>
#include <cstdint>
#include <string>
#include <vector>
#include "platform/scaled_platform.h"
#include "platform/sdl/command_line.h"

class SdlPlatform : public ScaledPlatform {
public:
    explicit SdlPlatform(const LaunchOptions& options) : options_(options) {}
    SdlPlatform(const SdlPlatform&) = delete;
    SdlPlatform& operator=(const SdlPlatform&) = delete;
    ~SdlPlatform() override;

    // Checks what only the display can tell (a --display number) before the
    // show starts. 0 when the show may start, else the exit status, with
    // `error` set to one line.
    int Prepare(std::string& error);

    void FocusShowWindow() override;
    void RestoreDisplay() override;

protected:
    bool OpenWindow() override;
    const char* AttachDisplay() override;
    bool AcquireTarget(int32_t view, TargetPixels& target) override;
    void PushRects(int32_t view, const std::vector<PixelRect>& rects) override;
    void PumpEvents() override;
    void WaitForEvent(uint32_t timeoutMs) override;
    bool MayReceive() const override { return videoStarted_; }

private:
    void TranslateEvent(const SDL_Event& event);
    bool AcquireTexture(TargetPixels& target, int32_t width, int32_t height);

    LaunchOptions options_;
    bool videoStarted_ = false;
    SDL_Window* window_ = nullptr;           // the one showing the picture
    std::vector<SDL_Window*> blackWindows_;  // the other monitors
    SDL_Surface* convert_ = nullptr;         // the window's surface, when not 0x00RRGGBB
    std::vector<uint32_t> staging_;          // the scaled picture for such a surface or the texture
    SDL_Renderer* renderer_ = nullptr;       // on high-DPI outputs: the window's pixels
    SDL_Texture* texture_ = nullptr;         //   as a texture of their size
    std::vector<SDL_Rect> sdlRects_;
    std::string failure_;
};
