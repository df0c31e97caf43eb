// Fan bursts: a walk in velocity space along spokes, repeated fanRepeats
// times, each repeat turned a little further.
#pragma once
#include <cstdint>
#include "engine/world.h"

void SpawnFanBurst(World& world, int32_t x, int32_t y, int32_t life, float speed, int32_t countMask);
void SpawnFanBurstFixed(World& world, int32_t x, int32_t y, int32_t life, float speed, int32_t perSpoke);
