// The key table, the mouse bursts and the client rectangle.
#include "control/keyboard_mouse.h"

#include "control/show_timers.h"
#include "control/status_line.h"
#include "control/style_codes.h"
#include "emitters/fan_bursts.h"
#include "emitters/rainbow_bursts.h"
#include "emitters/scatter_bursts.h"

namespace {

struct Preset {
    float gravity, damping;
    int32_t motionMode;
    int32_t fanRepeats, fanSpokes;  // 0: left as they are
};

void ApplyPreset(ShowParams& params, const Preset& preset) {
    params.gravity = preset.gravity;
    params.damping = preset.damping;
    params.motionMode = preset.motionMode;
    if (preset.fanRepeats) params.fanRepeats = preset.fanRepeats;
    if (preset.fanSpokes) params.fanSpokes = preset.fanSpokes;
    DeriveTurn(params);
}

constexpr Preset PresetA = {0.027f, 0.996f, Swirl, 0, 0};
constexpr Preset PresetB = {0.017f, 0.97f, Radial, 0, 0};
constexpr Preset PresetC = {-0.031f, 0.9997f, Radial, 6, 4};

// Key 3: timer 33 on, with preset B, or off.
void SwitchSpiralFan(Show& show) {
    const bool arming = show.timerStopped[SpiralFanTimer] == 1;
    ToggleTimer(show, SpiralFanTimer);
    if (arming) ApplyPreset(show.world.params, PresetB);
}

// Key 4: timers 44 and 111 together, on the state of 44.
void SwitchSparklePair(Show& show) {
    if (show.timerStopped[SparkleTimer] == 1) {
        SetTimer(show, SparkleTimer, FindTimer(SparkleTimer)->keyPeriod);
        SetTimer(show, ForkSplitTimer, FindTimer(ForkSplitTimer)->period);
        show.timerStopped[ForkSplitTimer] = 0;
        ApplyPreset(show.world.params, PresetC);
        show.timerStopped[SparkleTimer] = 0;
    } else {
        KillTimer(show, SparkleTimer);
        KillTimer(show, ForkSplitTimer);
        show.timerStopped[ForkSplitTimer] = 1;
        show.timerStopped[SparkleTimer] = 1;
    }
}

// Key 8: a grand burst and the timer re-armed, or the timer stopped.
void SwitchGrandTimer(Show& show) {
    if (show.timerStopped[GrandTimer] == 1) {
        SpawnGrandBurst(show.world, 512, 384);
        SetTimer(show, GrandTimer, FindTimer(GrandTimer)->keyPeriod);
    } else {
        KillTimer(show, GrandTimer);
    }
    show.timerStopped[GrandTimer] = show.timerStopped[GrandTimer] == 1 ? 0 : 1;
}

// Keypad + and -: 200 slots more or fewer, never fewer than 100. 64-bit, so
// growing without limit cannot wrap the count.
void GrowPool(Show& show) {
    ResizePool(show.world.pool, show.world.random, int64_t(show.world.pool.particleCount) + 200);
}

void ShrinkPool(Show& show) {
    int64_t count = int64_t(show.world.pool.particleCount) - 200;
    if (count <= 100) count = 100;
    ResizePool(show.world.pool, show.world.random, count);
}

}  // namespace

bool MapClientToCanvas(const ScreenRect& clientRect, intptr_t lParam, CanvasPoint& point) {
    const int64_t width = int64_t(clientRect.right) - clientRect.left;
    const int64_t height = int64_t(clientRect.bottom) - clientRect.top;
    if (width == 0 || height == 0) return false;
    const int32_t mx = int32_t(uint32_t(lParam) & 0xFFFFu);
    const int32_t my = int32_t((uint32_t(lParam) >> 16) & 0xFFFFu);
    point.y = int32_t(int64_t((my - 25) * 768) / height);
    point.x = int32_t(int64_t(mx * 1024) / width);
    return true;
}

void RefreshClientRect(Show& show) {
    if (show.platform) show.clientRect = show.platform->ShowClientRect();
}

void HandleKey(Show& show, uint32_t virtualKey) {
    ShowParams& params = show.world.params;
    switch (virtualKey) {
    case VkClear: params.damping = params.damping - 0.002f; break;
    case VkUp: params.damping = params.damping + 0.002f; break;
    case VkPrior:
        params.gravity = params.gravity - 0.003f;
        DeriveTurn(params);
        break;
    case VkRight:
        params.gravity = params.gravity + 0.003f;
        DeriveTurn(params);
        break;
    case VkNext:
        if (--params.fanRepeats < 2) params.fanRepeats = 2;
        break;
    case VkMultiply:
        if (++params.fanRepeats > 9) params.fanRepeats = 9;
        break;
    case VkDown:
        if (--params.fanSpokes < 1) params.fanSpokes = 1;
        break;
    case VkDivide:
        if (++params.fanSpokes > 9) params.fanSpokes = 9;
        break;
    case VkAdd: GrowPool(show); break;
    case VkSubtract: ShrinkPool(show); break;
    case '1': ToggleTimer(show, SpiralTimer); break;
    case '2':
        show.timerStopped[SpiralTimer] = 1;
        ToggleTimer(show, SpiralTimer);
        ApplyPreset(params, PresetA);
        break;
    case '3': SwitchSpiralFan(show); break;
    case '4': SwitchSparklePair(show); break;
    case '5': ToggleTimer(show, FixedFanTimer); break;
    case '6': ToggleTimer(show, RingTimer); break;
    case '7': ToggleTimer(show, WindTimer); break;
    case '8': SwitchGrandTimer(show); break;
    case 'H': ToggleStatusLine(show); break;
    case 'L': ToggleTimer(show, StyleTimer); break;
    case 'M': params.motionMode = (params.motionMode + 1) % 4; break;
    case 'N': ChooseRandomStyle(show); break;
    case 'R': ApplyStyle(show, ResetStyleCode); break;
    case VkF1: ToggleTimer(show, ForkSplitTimer); break;
    case VkF1 + 1: ToggleTimer(show, ScatterTimer); break;
    case VkF1 + 2: ToggleTimer(show, FlowerTimer); break;
    case VkF1 + 3: ToggleTimer(show, MirrorGlitterTimer); break;
    case VkF1 + 4: ToggleTimer(show, SprayTrailTimer); break;
    case VkF1 + 5: ToggleTimer(show, MirrorFanTimer); break;
    case VkF1 + 6: ToggleTimer(show, MirrorCrossTimer); break;
    case VkF1 + 7: ToggleTimer(show, EchoSpiralTimer); break;
    case VkF1 + 8: ToggleTimer(show, FanTimer); break;
    case VkF1 + 10: ToggleTimer(show, AxisSparksTimer); break;
    case VkF12: ToggleTimer(show, HexSparksTimer); break;
    default: break;
    }
}

void HandleMouse(Show& show, uint32_t message, intptr_t lParam) {
    if (message != MsgLButtonDown && message != MsgRButtonDown) return;
    CanvasPoint point;
    // A client area without width or height has no canvas point: the click is ignored.
    if (!MapClientToCanvas(show.clientRect, lParam, point)) return;
    if (message == MsgLButtonDown)
        SpawnFanBurstFixed(show.world, point.x, point.y, 500, 0.18f, 10);
    else
        SpawnScatterBurst(show.world, point.x, point.y, 300);
}
