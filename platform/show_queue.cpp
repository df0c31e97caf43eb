#include "platform/show_queue.h"

#include <algorithm>

namespace {

// The id of the most overdue timer (ties: the lowest), or 0 when none is due.
// Tick differences wrap like the counter.
uint32_t DueTimer(const ShowQueue& queue, uint32_t now) {
    uint32_t best = 0;
    int32_t bestLate = -1;
    for (const auto& [id, timer] : queue.timers) {
        const int32_t late = int32_t(now - timer.nextDue);
        if (late > bestLate) {
            best = id;
            bestLate = late;
        }
    }
    return best;
}

}  // namespace

void PostShowMessage(ShowQueue& queue, const ShowMessage& message) { queue.posted.push_back(message); }

void PostQuitMessage(ShowQueue& queue, int32_t code) {
    queue.quitPosted = true;
    queue.quitCode = code;
}

void ArmQueueTimer(ShowQueue& queue, uint32_t id, uint32_t period, uint32_t now) {
    queue.timers[id] = {period, now + period};
}

void DisarmQueueTimer(ShowQueue& queue, uint32_t id) { queue.timers.erase(id); }

bool ShowMessageWaiting(const ShowQueue& queue, uint32_t now) {
    return !queue.posted.empty() || queue.quitPosted || DueTimer(queue, now) != 0;
}

bool TakeShowMessage(ShowQueue& queue, uint32_t now, ShowMessage& message) {
    if (!queue.posted.empty()) {
        message = queue.posted.front();
        queue.posted.pop_front();
        return true;
    }
    if (queue.quitPosted) {
        queue.quitPosted = false;
        message = {MsgQuit, uintptr_t(queue.quitCode), 0};
        return true;
    }
    if (const uint32_t id = DueTimer(queue, now)) {
        QueueTimer& timer = queue.timers[id];
        // On to the first point of the grid after now: the periods missed
        // while the loop was busy fold into this one message.
        const uint32_t period = std::max(timer.period, 1u);
        const uint32_t late = now - timer.nextDue;
        timer.nextDue += (late / period + 1) * period;
        message = {MsgTimer, id, 0};
        return true;
    }
    return false;
}

uint32_t TimeToNextTimer(const ShowQueue& queue, uint32_t now) {
    uint32_t soonest = UINT32_MAX;
    for (const auto& [id, timer] : queue.timers) {
        const int32_t ahead = int32_t(timer.nextDue - now);
        soonest = std::min(soonest, ahead <= 0 ? 0u : uint32_t(ahead));
    }
    return soonest;
}
