// The key table, the mouse bursts and the client rectangle they map through.
#pragma once
#include <cstdint>
#include "control/show.h"

constexpr StyleCode ResetStyleCode = 5577;

struct CanvasPoint {
    int32_t x, y;
};

// Canvas coordinates of a click whose lParam packs client x (low 16 bits)
// and y (high 16 bits). False when the client area has no width or height.
bool MapClientToCanvas(const ScreenRect& clientRect, intptr_t lParam, CanvasPoint& point);

void RefreshClientRect(Show& show);
// Every key but Esc, which the window procedure handles.
void HandleKey(Show& show, uint32_t virtualKey);
// MsgLButtonDown or MsgRButtonDown.
void HandleMouse(Show& show, uint32_t message, intptr_t lParam);
