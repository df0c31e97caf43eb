// The simulation state every emitter and effect works on.
#pragma once
#include <cstdint>
#include "engine/angle_tables.h"
#include "engine/particle_pool.h"
#include "engine/random.h"
#include "engine/show_params.h"

// State of the particle-borne effects; lives for the whole run, never reset.
struct EffectState {
    int32_t effectAngle = 0;     // 0 to 359, shared by spray and echo sparks
    bool mirrorToggle = false;
    int32_t windTicks = 0;
    int32_t windStep = -2;
};

struct World {
    Rng random;
    ParticlePool pool;
    AngleTables angles;
    ShowParams params;
    EffectState effects;
};
