// Start-up and shutdown, in their fixed orders.
#include "shell/run_show.h"

#include <cstdio>
#include <memory>

#include "control/show_timers.h"
#include "control/status_line.h"
#include "control/style_codes.h"
#include "emitters/rainbow_bursts.h"
#include "engine/angle_tables.h"
#include "engine/canvas.h"
#include "engine/particle_pool.h"

bool StartShow(Show& show, Platform& platform, std::optional<uint32_t> seed, const char** reason) {
    show.platform = &platform;
    if (!platform.CreateShowWindow(WindowProc, &show)) {
        *reason = "cannot create the show window";
        return false;
    }
    platform.FocusShowWindow();
    if (const char* why = platform.OpenDisplay()) {
        platform.RestoreDisplay();
        platform.ReleaseDisplay();
        *reason = why;
        return false;
    }
    platform.ClearSurfaces();
    DrawBanner(show);
    // Before the seeding, so these rows are the same in every run.
    FillRandomStyles(show);
    for (const TimerRow& t : kShowTimers)
        if (t.startUp) platform.SetShowTimer(t.id, t.period);
    BuildAngleTables(show.world.angles);
    SeedRandom(show.world.random, seed ? *seed : platform.TimeSeconds());
    show.canvas.width = kCanvasWidth;
    show.canvas.height = kCanvasHeight;
    show.canvas.bitsPerPixel = 32;
    if (!AllocateCanvas(show.canvas) || !CreatePool(show.world.pool, show.world.random)) {
        StopShow(show);
        *reason = "out of memory";
        return false;
    }
    SpawnGrandBurst(show.world, 512, 384);
    return true;
}

void StopShow(Show& show) {
    Platform& platform = *show.platform;
    platform.RestoreDisplay();
    platform.ReleaseDisplay();
    if (show.canvas.block) FreeCanvas(show.canvas);
    DestroyPool(show.world.pool);
}

int RunShow(Platform& platform, std::optional<uint32_t> seed) {
    auto show = std::make_unique<Show>();
    const char* reason = nullptr;
    if (!StartShow(*show, platform, seed, &reason)) {
        std::fprintf(stderr, "starvane: %s\n", reason);
        return 1;
    }
    RunMessageLoop(*show, RunFrame);
    StopShow(*show);
    return 0;
}
