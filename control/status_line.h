// The text strip: the help banner, the status line and the blank.
#pragma once
#include "control/show.h"

constexpr uint32_t kTextColor = 16316514;   // 0xF8F862, a pale cyan
constexpr uint32_t kBlankColor = 0xFFFF00;

void DrawBanner(Show& show);
void DrawStatusLine(Show& show);
void BlankStrip(Show& show);
// One tick of the banner timer.
void BannerTick(Show& show);
// Key H: the status line on or off.
void ToggleStatusLine(Show& show);
