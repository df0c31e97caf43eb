// The show on SDL2: full screen on every monitor (the picture on one, black
// on the others), in an ordinary window, or, through Xlib, in an X window
// another program gives it. The 1024 x 768 picture is kept in memory as the
// visible surface and the back buffer, and scaled smoothly with its aspect
// kept into the window's own pixels, only the rows that changed.
#pragma once
#include <SDL.h>
#include <cstdint>
#include <string>
#include <vector>
#include "platform/memory_surfaces.h"
#include "platform/platform.h"
#include "platform/sdl/command_line.h"
#include "platform/sdl/picture_fit.h"
#include "platform/sdl/picture_scaler.h"
#include "platform/show_queue.h"

struct ForeignWindow;

class SdlPlatform : public Platform {
public:
    SdlPlatform() = default;
    explicit SdlPlatform(const LaunchOptions& options) : options_(options) {}
    SdlPlatform(const SdlPlatform&) = delete;
    SdlPlatform& operator=(const SdlPlatform&) = delete;
    ~SdlPlatform() override;

    // Checks what only the display can tell (a --display number, a window
    // id) before the show starts. 0 when the show may start, else the exit
    // status, with `error` set to one line.
    int Prepare(std::string& error);

    bool CreateShowWindow(WindowProcedure proc, void* context) override;
    void FocusShowWindow() override;
    ScreenRect ShowClientRect() override;
    intptr_t DefaultWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    const char* OpenDisplay() override;
    void ClearSurfaces() override;
    void DrawTexts(uint32_t textColor, const TextRun* runs, int32_t count) override;
    uint32_t* LockBackBuffer(int32_t& pitch) override;
    void UnlockBackBuffer() override;
    void Present() override;
    void RestoreDisplay() override;
    void ReleaseDisplay() override;

    void SetShowTimer(uint32_t id, uint32_t period) override;
    void KillShowTimer(uint32_t id) override;

    uint32_t TickCount() override;
    uint32_t TimeSeconds() override;

    bool PeekShowMessage() override;
    int32_t GetShowMessage(ShowMessage& message) override;
    void DispatchShowMessage(const ShowMessage& message) override;
    void PostQuit(int32_t code) override;
    void WaitForMessage(uint32_t timeoutMs) override;

private:
    // Where the scaled picture goes: the window's pixels, its size, the
    // picture's place in it.
    struct Target {
        uint32_t* pixels = nullptr;
        int32_t pitch = 0;  // in pixels
        int32_t width = 0, height = 0;
        SDL_Surface* surface = nullptr;  // an SDL window's, when not 32-bit
        std::vector<uint32_t> staging;   // the picture for such a surface
    };

    bool CreateOwnWindows();
    // Turns every waiting SDL or X event into show messages.
    void PumpEvents();
    void TranslateEvent(const SDL_Event& event);
    void PumpForeignEvents();
    void PostClick(bool left, int32_t wx, int32_t wy);
    // Takes the window's pixels again, after a resize or at the start;
    // false when there are none to draw into.
    bool AcquireTarget();
    // Scales `rows` of the visible image into the window, with any others
    // marked changed.
    void ShowRows(RowSpan rows);
    void ShowChangedRows();
    // Scales what changed_ marks into the target (rects_ says where) and
    // clears the marks.
    void ScaleChangedRows();
    // Takes the target again, black around the picture, then all of it.
    void RedrawAll();
    // The whole target to the screen again.
    void RepushAll();
    void PushRects();
    // Sleeps until an event comes or timeoutMs pass.
    void WaitForEvent(uint32_t timeoutMs);

    LaunchOptions options_;
    bool videoStarted_ = false;
    SDL_Window* window_ = nullptr;           // the one showing the picture
    std::vector<SDL_Window*> blackWindows_;  // the other monitors
    ForeignWindow* foreign_ = nullptr;
    uint32_t nextSizeCheck_ = 0;  // tick count of the next foreign size poll
    int stopFd_ = -1;             // readable once SIGTERM or SIGINT came
    bool destroyPosted_ = false;
    bool targetValid_ = false;
    Target target_;
    PictureRect fit_ = {0, 0, kScreenWidth, kScreenHeight};
    PictureScaler scaler_;
    std::vector<PixelRect> rects_;  // window pixels written, to be sent
    std::vector<SDL_Rect> sdlRects_;
    MemorySurfaces surfaces_;
    std::vector<ColumnSpan> changed_;  // per visible row, what is not yet scaled
    std::string failure_;  // what OpenDisplay returns on failure
    WindowProcedure proc_ = nullptr;
    void* context_ = nullptr;
    ShowQueue queue_;
};
