// Particle-borne effects: sparks spawned from live particles, and the wind.
#pragma once
#include "engine/world.h"

void SpawnMirrorGlitter(World& world);
void SpawnSprayTrail(World& world);
void SpawnMirrorFan(World& world);
void SpawnMirrorCross(World& world);
void SpawnEchoSpiral(World& world);
void SpawnAxisSparks(World& world);
void SpawnHexSparks(World& world);
void SpawnForkSplit(World& world);
void ApplyWind(World& world);
