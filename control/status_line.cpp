// The text strip: the help banner, the status line and the blank.
#include "control/status_line.h"

#include <cstdio>

#include "control/show_timers.h"
#include "control/style_codes.h"

namespace {

constexpr char kBannerText[] = "___Press 'H' For Help ";
constexpr char kStatusFormat[] =
    "_EXIT:Esc _ChangeStyle:N _LockStyle:L _f:%d _n:%d _g:%1.3f _b:%1.3f _m:%d"
    " [Starvane v1.0 by the Starvane developers]    ";
// 52 spaces.
constexpr char kBlankText[] = "                                                    ";
static_assert(sizeof(kBannerText) - 1 == 22);
static_assert(sizeof(kBlankText) - 1 == 52);

void DrawText(Show& show, uint32_t color, const char* text, int32_t length) {
    if (!show.platform) return;
    const TextRun run = {1, 5, text, length};
    show.platform->DrawTexts(color, &run, 1);
}

}  // namespace

void DrawBanner(Show& show) {
    DrawText(show, kTextColor, kBannerText, int32_t(sizeof(kBannerText) - 1));
}

void DrawStatusLine(Show& show) {
    // Room for the widest floats %1.3f can print (about 40 digits each).
    char line[384];
    const ShowParams& params = show.world.params;
    int written = std::snprintf(line, sizeof line, kStatusFormat, show.frameRate, show.world.pool.particleCount,
                                double(params.gravity), double(params.damping), params.motionMode - 1);
    if (written < 0) return;
    if (written >= int(sizeof line)) written = int(sizeof line) - 1;
    DrawText(show, kTextColor, line, written);
}

void BlankStrip(Show& show) {
    if (!show.platform) return;
    const int32_t length = int32_t(sizeof(kBlankText) - 1);
    const TextRun runs[4] = {
        {1, 5, kBlankText, length},
        {200, 5, kBlankText, length},
        {400, 5, kBlankText, length},
        {600, 5, kBlankText, length},
    };
    show.platform->DrawTexts(kBlankColor, runs, 4);
}

void BannerTick(Show& show) {
    show.bannerTicks += 1;
    if (show.bannerTicks == 1) {
        ChooseRandomStyle(show);
    } else if (show.bannerTicks == 25) {
        BlankStrip(show);
        KillTimer(show, BannerTimer);
    } else {
        DrawBanner(show);
    }
}

void ToggleStatusLine(Show& show) {
    const bool hiding = show.timerStopped[StatusTimer] == 0;
    ToggleTimer(show, StatusTimer);
    if (hiding) BlankStrip(show);
}
