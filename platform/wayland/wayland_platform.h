// The show as Wayland layer surfaces: a wallpaper, a lock-screen background
// or a screensaver on wlr-layer-shell desktops (sway, Hyprland, river, KDE
// Plasma, COSMIC). One surface per output, anchored to all four edges,
// drawn at the output's real pixels into two shared-memory buffers in turn,
// one frame per frame callback. Outputs may come and go; each configure is
// followed. Input: clicks fire bursts; on the overlay layer the keyboard is
// taken, so the keys and Esc work as in the full-screen program. SIGTERM,
// SIGINT and the compositor closing the surfaces end the show.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "platform/scaled_platform.h"
#include "platform/sdl/command_line.h"

struct WaylandConnection;

class WaylandPlatform : public ScaledPlatform {
public:
    explicit WaylandPlatform(const LaunchOptions& options);
    WaylandPlatform(const WaylandPlatform&) = delete;
    WaylandPlatform& operator=(const WaylandPlatform&) = delete;
    ~WaylandPlatform() override;

    // Connects (WAYLAND_SOCKET, else WAYLAND_DISPLAY) and puts up the
    // surfaces. 0 when the show may start, else the exit status (2 when
    // --output names no output, 1 otherwise) with `error` set to one line.
    int Open(std::string& error);

    void RestoreDisplay() override;

    // The connection's objects and event handlers (wayland_platform.cpp).
    struct Output;
    struct Handlers;

protected:
    bool OpenWindow() override;
    bool AcquireTarget(int32_t view, TargetPixels& target) override;
    void PushRects(int32_t view, const std::vector<PixelRect>& rects) override;
    void PumpEvents() override;
    void WaitForEvent(uint32_t timeoutMs) override;
    bool MayReceive() const override { return !ended_; }

private:
    friend struct Handlers;

    bool Wanted(const Output& o) const;
    void UpdateSurfaces();
    void CreateSurface(Output& o);
    void DestroySurface(Output& o);
    // The protocol objects alone, the show's views untouched.
    void DestroySurfaceObjects(Output& o);
    void DestroyObjects(Output& o);
    void RemoveOutput(uint32_t globalName);
    void Resize(Output& o);
    void Commit(Output& o);
    void CheckHidden();
    void Dispatch(bool wait, uint32_t timeoutMs);
    void KeyRepeat();
    void End();

    LaunchOptions options_;
    std::string outputName_;  // --output, else SWAYLOCK_PLUGIN_OUTPUT_NAME
    std::unique_ptr<WaylandConnection> c_;
    std::vector<std::unique_ptr<Output>> outputs_;  // by view; empty slots are reused
    int stopFd_ = -1;
    bool started_ = false;  // Open succeeded: outputs that come get surfaces
    bool ended_ = false;    // a destroy message was posted
};
