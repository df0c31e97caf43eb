#include "platform/memory_platform.h"

#include <algorithm>

void MemoryPlatform::Log(std::string entry) {
    if (logCalls) calls.push_back(std::move(entry));
}

bool MemoryPlatform::CreateShowWindow(WindowProcedure proc, void* context) {
    Log("CreateShowWindow");
    if (!OpenWindow()) return false;
    proc_ = proc;
    context_ = context;
    SendCreationMessages(proc_, context_);
    return true;
}

void MemoryPlatform::FocusShowWindow() { Log("FocusShowWindow"); }

ScreenRect MemoryPlatform::ShowClientRect() { return {0, 0, kScreenWidth, kScreenHeight}; }

intptr_t MemoryPlatform::DefaultWindowProc(uint32_t, uintptr_t, intptr_t) { return 0; }

const char* MemoryPlatform::OpenDisplay() {
    Log("OpenDisplay");
    OpenMemorySurfaces(surfaces);
    return AttachDisplay();
}

void MemoryPlatform::ClearSurfaces() {
    Log("ClearSurfaces");
    ShowRows(ClearMemorySurfaces(surfaces));
}

void MemoryPlatform::DrawTexts(uint32_t textColor, const TextRun* runs, int32_t count) {
    Log("DrawTexts");
    ShowRows(DrawMemoryTexts(surfaces, textColor, runs, count));
}

uint32_t* MemoryPlatform::LockBackBuffer(int32_t& pitch) {
    Log("LockBackBuffer");
    return LockMemoryBackBuffer(surfaces, pitch);
}

void MemoryPlatform::UnlockBackBuffer() { Log("UnlockBackBuffer"); }

void MemoryPlatform::Present() {
    Log("Present");
    ShowRows(PresentMemorySurfaces(surfaces));
}

void MemoryPlatform::RestoreDisplay() { Log("RestoreDisplay"); }

void MemoryPlatform::ReleaseDisplay() {
    Log("ReleaseBackBuffer");
    Log("ReleasePrimarySurface");
    Log("ReleaseDisplayObject");
    DetachDisplay();
    ReleaseMemorySurfaces(surfaces);
}

void MemoryPlatform::SetShowTimer(uint32_t id, uint32_t period) {
    Log("SetShowTimer " + std::to_string(id) + " " + std::to_string(period));
    ArmQueueTimer(queue, id, period, TickCount());
}

void MemoryPlatform::KillShowTimer(uint32_t id) {
    Log("KillShowTimer " + std::to_string(id));
    DisarmQueueTimer(queue, id);
}

bool MemoryPlatform::PeekShowMessage() {
    PumpEvents();
    return ShowMessageWaiting(queue, TickCount());
}

int32_t MemoryPlatform::GetShowMessage(ShowMessage& message) {
    for (;;) {
        PumpEvents();
        const uint32_t now = TickCount();
        if (TakeShowMessage(queue, now, message)) return message.message == MsgQuit ? 0 : 1;
        if (!MayReceive() && queue.timers.empty()) {
            message = {MsgQuit, 0, 0};
            return 0;
        }
        WaitForEvent(TimeToNextTimer(queue, now));
        // A wait that let no time pass and brought nothing cannot be waited
        // out here (the web page's loop returns to the browser instead): an
        // empty message, which the window procedure ignores.
        if (TickCount() == now && !PeekShowMessage()) {
            message = {0, 0, 0};
            return 1;
        }
    }
}

void MemoryPlatform::DispatchShowMessage(const ShowMessage& message) {
    if (proc_) proc_(context_, message.message, message.wParam, message.lParam);
}

void MemoryPlatform::PostQuit(int32_t code) {
    Log("PostQuit " + std::to_string(code));
    PostQuitMessage(queue, code);
}

void MemoryPlatform::WaitForMessage(uint32_t timeoutMs) {
    if (PeekShowMessage()) return;
    const uint32_t wait = std::min(timeoutMs, TimeToNextTimer(queue, TickCount()));
    if (wait > 0) WaitForEvent(wait);
}
