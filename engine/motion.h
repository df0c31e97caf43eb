// One frame of motion: move, free what leaves the live area, apply the
// motion model's velocity rule, age by one frame.
#pragma once
#include "engine/particle_pool.h"
#include "engine/show_params.h"

void MoveParticles(ParticlePool& pool, const ShowParams& params);
