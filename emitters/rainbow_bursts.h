// The grand burst, the rainbow ring, the spiral burst and their hue ramp.
#pragma once
#include <cstdint>
#include "engine/world.h"

struct RainbowChannels {
    int32_t first, second, third;  // red, green, blue, each 0 to 127
};

// p: 0 to 599 (0 counts as 600).
RainbowChannels RainbowColor(int32_t p);
uint32_t RainbowFull(RainbowChannels c);  // channels as they are
uint32_t RainbowHalf(RainbowChannels c);  // each channel halved

void SpawnGrandBurst(World& world, int32_t x, int32_t y);
void SpawnRainbowRing(World& world, int32_t x, int32_t y);
void SpawnSpiralBurst(World& world, int32_t x, int32_t y);
