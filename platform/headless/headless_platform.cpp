#include "platform/headless/headless_platform.h"

#include <algorithm>
#include <cstring>

#include "platform/bitmap_font.h"

namespace {

constexpr size_t kImageWords = size_t(kScreenWidth) * kScreenHeight;

// True when tick `t` has been reached; differences wrap like the counter.
bool Reached(uint32_t now, uint32_t t) { return int32_t(now - t) >= 0; }

}  // namespace

HeadlessPlatform::HeadlessPlatform() : primary(kImageWords, 0), back(kImageWords, 0) {}

void HeadlessPlatform::Log(std::string entry) {
    if (logCalls) calls.push_back(std::move(entry));
}

void HeadlessPlatform::Post(const ShowMessage& message) { queue.push_back(message); }

void HeadlessPlatform::PostAt(uint32_t time, const ShowMessage& message) { scheduled.emplace(time, message); }

bool HeadlessPlatform::CreateShowWindow(WindowProcedure proc, void* context) {
    Log("CreateShowWindow");
    if (failWindow) return false;
    proc_ = proc;
    context_ = context;
    SendCreationMessages(proc_, context_);
    return true;
}

void HeadlessPlatform::FocusShowWindow() { Log("FocusShowWindow"); }

ScreenRect HeadlessPlatform::ShowClientRect() { return {0, 0, kScreenWidth, kScreenHeight}; }

intptr_t HeadlessPlatform::DefaultWindowProc(uint32_t, uintptr_t, intptr_t) { return 0; }

const char* HeadlessPlatform::OpenDisplay() {
    Log("OpenDisplay");
    return failDisplay;
}

void HeadlessPlatform::ClearSurfaces() {
    Log("ClearSurfaces");
    std::fill(back.begin(), back.end(), 0u);
    std::fill(primary.begin(), primary.end(), 0u);
}

void HeadlessPlatform::DrawTexts(uint32_t textColor, const TextRun* runs, int32_t count) {
    Log("DrawTexts");
    for (int32_t i = 0; i < count; ++i) {
        texts.push_back({runs[i].x, runs[i].y, textColor, std::string(runs[i].text, size_t(runs[i].length))});
        DrawTextRun(primary.data(), kScreenWidth * 4, kScreenWidth, kScreenHeight, runs[i].x, runs[i].y,
                    runs[i].text, runs[i].length, textColor);
    }
}

uint32_t* HeadlessPlatform::LockBackBuffer(int32_t& pitch) {
    Log("LockBackBuffer");
    if (backBufferLost) return nullptr;
    locked_ = true;
    pitch = kScreenWidth * 4;
    return back.data();
}

void HeadlessPlatform::UnlockBackBuffer() {
    Log("UnlockBackBuffer");
    locked_ = false;
}

void HeadlessPlatform::Present() {
    Log("Present");
    const ScreenRect r = presentRect;
    for (int32_t row = r.top; row < r.bottom; ++row) {
        const size_t at = size_t(row) * kScreenWidth + size_t(r.left);
        std::memcpy(&primary[at], &back[at], size_t(r.right - r.left) * 4);
    }
    if (onPresent) onPresent(*this);
}

void HeadlessPlatform::RestoreDisplay() { Log("RestoreDisplay"); }

void HeadlessPlatform::ReleaseDisplay() {
    Log("ReleaseBackBuffer");
    Log("ReleasePrimarySurface");
    Log("ReleaseDisplayObject");
}

void HeadlessPlatform::SetShowTimer(uint32_t id, uint32_t period) {
    Log("SetShowTimer " + std::to_string(id) + " " + std::to_string(period));
    timers[id] = {period, clock + period};
}

void HeadlessPlatform::KillShowTimer(uint32_t id) {
    Log("KillShowTimer " + std::to_string(id));
    timers.erase(id);
}

uint32_t HeadlessPlatform::TickCount() { return clock; }

uint32_t HeadlessPlatform::TimeSeconds() { return seconds; }

void HeadlessPlatform::ReleaseScheduled() {
    while (!scheduled.empty() && Reached(clock, scheduled.begin()->first)) {
        queue.push_back(scheduled.begin()->second);
        scheduled.erase(scheduled.begin());
    }
}

uint32_t HeadlessPlatform::DueTimer() const {
    uint32_t best = 0;
    int32_t bestLate = -1;
    for (const auto& [id, timer] : timers) {
        const int32_t late = int32_t(clock - timer.nextDue);
        if (late > bestLate) {  // strictly later due keeps the lowest id on ties
            best = id;
            bestLate = late;
        }
    }
    return best;
}

bool HeadlessPlatform::PeekShowMessage() {
    ReleaseScheduled();
    return !queue.empty() || quitPosted || DueTimer() != 0;
}

int32_t HeadlessPlatform::GetShowMessage(ShowMessage& message) {
    ReleaseScheduled();
    // Posted messages first, then the quit message, then due timers.
    if (!queue.empty()) {
        message = queue.front();
        queue.erase(queue.begin());
        return 1;
    }
    if (quitPosted) {
        quitPosted = false;
        message = {MsgQuit, uintptr_t(quitCode), 0};
        return 0;
    }
    if (uint32_t id = DueTimer()) {
        ArmedTimer& timer = timers[id];
        // The next point of the timer's grid after now; the missed ones are
        // folded into this one message.
        const uint32_t period = std::max(timer.period, 1u);
        const uint32_t late = clock - timer.nextDue;
        timer.nextDue += (late / period + 1) * period;
        message = {MsgTimer, id, 0};
        return 1;
    }
    // Nothing waiting: a real GetMessage would block until something comes.
    // With nothing that could ever come, the headless window simply ends.
    if (timers.empty() && scheduled.empty()) {
        message = {MsgQuit, 0, 0};
        return 0;
    }
    WaitForMessage(UINT32_MAX - 1);
    return GetShowMessage(message);
}

void HeadlessPlatform::DispatchShowMessage(const ShowMessage& message) {
    if (proc_) proc_(context_, message.message, message.wParam, message.lParam);
}

void HeadlessPlatform::PostQuit(int32_t code) {
    Log("PostQuit " + std::to_string(code));
    quitPosted = true;
    quitCode = code;
}

void HeadlessPlatform::WaitForMessage(uint32_t timeoutMs) {
    if (PeekShowMessage()) return;
    if (onWait) {
        onWait(*this, timeoutMs);
        return;
    }
    if (!virtualClock) {
        clock += timeoutMs;
        return;
    }
    // Jump to whichever comes first: the end of the wait, a timer, an input.
    uint32_t step = timeoutMs;
    for (const auto& [id, timer] : timers) step = std::min(step, timer.nextDue - clock);
    if (!scheduled.empty()) step = std::min(step, scheduled.begin()->first - clock);
    clock += step;
}
