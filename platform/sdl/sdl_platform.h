// The show on an SDL2 window: a full-screen desktop window, a renderer that
// scales the 1024 x 768 picture to it, and a streaming texture fed from two
// in-memory images, the visible surface and the back buffer.
#pragma once
#include <SDL.h>
#include <cstdint>
#include <string>
#include <vector>
#include "platform/platform.h"
#include "platform/sdl/command_line.h"
#include "platform/sdl/show_queue.h"

class SdlPlatform : public Platform {
public:
    SdlPlatform() = default;
    explicit SdlPlatform(const LaunchOptions& options) : options_(options) {}
    SdlPlatform(const SdlPlatform&) = delete;
    SdlPlatform& operator=(const SdlPlatform&) = delete;
    ~SdlPlatform() override;

    // Checks what only the display can tell (a --display number). False
    // with `error` set to one line.
    bool CheckOptions(std::string& error);

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
    // Turns every waiting SDL event into show messages.
    void PumpEvents();
    void TranslateEvent(const SDL_Event& event);
    // Uploads rows [top, bottom) of the visible image and shows the texture.
    void ShowRows(int32_t top, int32_t bottom);
    void RenderTexture();
    // Sleeps in SDL until an event comes or timeoutMs pass.
    void WaitForEvent(uint32_t timeoutMs);

    LaunchOptions options_;
    bool videoStarted_ = false;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    std::vector<uint32_t> visible_;  // 1024 x 768, row 0 first
    std::vector<uint32_t> back_;
    std::string failure_;  // what OpenDisplay returns on failure
    WindowProcedure proc_ = nullptr;
    void* context_ = nullptr;
    ShowQueue queue_;
};
