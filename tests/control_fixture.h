// A show on the headless platform as start-up leaves it (timers 2, 37 and 38
// armed, angle tables built, a pool of 1900), for the control tests.
#pragma once
#include <set>

#include "control/show.h"
#include "platform/headless/headless_platform.h"

struct ControlFixture {
    HeadlessPlatform platform;
    Show show;
    explicit ControlFixture(uint32_t seed = 12345) {
        show.platform = &platform;
        show.clientRect = platform.ShowClientRect();
        platform.SetShowTimer(2, 28000);
        platform.SetShowTimer(37, 400);
        platform.SetShowTimer(38, 18000);
        BuildAngleTables(show.world.angles);
        SeedRandom(show.world.random, seed);
        CreatePool(show.world.pool, show.world.random);
        platform.calls.clear();
    }
    ~ControlFixture() { DestroyPool(show.world.pool); }
    ControlFixture(const ControlFixture&) = delete;
    int32_t LiveCount() const {
        int32_t live = 0;
        for (int32_t i = 0; i < show.world.pool.particleCount; ++i) live += show.world.pool.particles[i].life != 0;
        return live;
    }
    // Ten live slots, so that a later re-creation of the pool shows.
    void MakeSomeLive() {
        for (int32_t i = 0; i < 10; ++i) show.world.pool.particles[i].life = 50;
        RebuildFreeIndex(show.world.pool);
    }
    std::set<uint32_t> Armed() const {
        std::set<uint32_t> ids;
        for (const auto& [id, timer] : platform.queue.timers) ids.insert(id);
        return ids;
    }
};
