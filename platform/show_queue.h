// The message queue and window timers of a backend whose window system has
// neither: posted messages, the quit message and timer messages, retrieved
// in that order of priority. Timer messages are made when retrieved, so an
// overdue timer has at most one waiting and a killed timer none.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include "platform/platform.h"

struct QueueTimer {
    uint32_t period;
    uint32_t nextDue;  // tick count; later dues follow on the period's grid
};

struct ShowQueue {
    std::deque<ShowMessage> posted;  // oldest first
    std::map<uint32_t, QueueTimer> timers;
    bool quitPosted = false;
    int32_t quitCode = 0;
};

void PostShowMessage(ShowQueue& queue, const ShowMessage& message);
void PostQuitMessage(ShowQueue& queue, int32_t code);
// Arms a timer, or re-arms it with a fresh period from now.
void ArmQueueTimer(ShowQueue& queue, uint32_t id, uint32_t period, uint32_t now);
void DisarmQueueTimer(ShowQueue& queue, uint32_t id);

// True when TakeShowMessage would return something at tick `now`.
bool ShowMessageWaiting(const ShowQueue& queue, uint32_t now);
// Removes the next message: posted ones first, then the quit message, then
// the most overdue timer (ties: the lowest id). False when nothing waits.
bool TakeShowMessage(ShowQueue& queue, uint32_t now, ShowMessage& message);
// Milliseconds from `now` until the next timer is due: 0 when one is due,
// UINT32_MAX when no timer is armed.
uint32_t TimeToNextTimer(const ShowQueue& queue, uint32_t now);
