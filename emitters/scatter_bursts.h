// Bursts that throw one colour from a point in all directions.
#pragma once
#include <cstdint>
#include "engine/world.h"

void SpawnScatterBurst(World& world, int32_t x, int32_t y, int32_t n);
void SpawnSparkleBurst(World& world, int32_t x, int32_t y, int32_t n);
void SpawnFlowerBurst(World& world, int32_t x, int32_t y);
