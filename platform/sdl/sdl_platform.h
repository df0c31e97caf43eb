// The show in SDL2 windows of its own: full screen on every monitor (the
// picture on one and black on the others, or the picture on all of them)
// or an ordinary window. The picture is scaled smoothly into each window's
// own pixels (ScaledPlatform), or drawn by the GPU from a streaming texture
// where the GPU is real hardware.
#pragma once
#include <SDL.h>
#include <cstdint>
#include <string>
#include <vector>
#include "platform/scaled_platform.h"
#include "platform/sdl/command_line.h"

// Which full-screen windows show the picture: one per display rectangle,
// true where the picture goes. `chosen` is the display ChooseDisplay picked.
std::vector<bool> PictureDisplays(int32_t count, int32_t chosen, MonitorChoice monitors);

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

    std::string PresentDescription() const override;

protected:
    bool OpenWindow() override;
    const char* AttachDisplay() override;
    bool AcquireTarget(int32_t view, TargetPixels& target) override;
    void PushRects(int32_t view, const std::vector<PixelRect>& rects) override;
    void PushPictureRects(int32_t view, const uint32_t* picture, int32_t pitch,
                          const std::vector<PixelRect>& rects) override;
    void PumpEvents() override;
    void WaitForEvent(uint32_t timeoutMs) override;
    bool MayReceive() const override { return videoStarted_; }

private:
    // One window: a view of the picture, or black (view -1).
    struct Screen {
        SDL_Window* window = nullptr;
        int32_t view = -1;
        SDL_Renderer* renderer = nullptr;  // the GPU path
        SDL_Texture* texture = nullptr;
        SDL_Surface* convert = nullptr;    // the window's surface, when not 0x00RRGGBB
        std::vector<uint32_t> staging;     // the scaled picture for such a surface
        bool unmapped = false, obscured = false, minimised = false;
    };

    void TranslateEvent(const SDL_Event& event);
    Screen* ScreenOf(uint32_t windowId);
    void UpdateHidden(Screen& s);
    bool StartGpu();

    LaunchOptions options_;
    bool videoStarted_ = false;
    bool gpu_ = false;
    bool highDpi_ = false;  // a view's window has more pixels than window units
    std::string gpuName_;                // the GL renderer, when known
    std::vector<Screen> screens_;
    std::vector<size_t> viewScreens_;    // screen of each view
    std::vector<SDL_Rect> sdlRects_;
    std::string failure_;
};
