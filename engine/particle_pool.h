// The particle pool: one flat array of particleCount records. A slot is free
// exactly when its life is 0; claimers always take the lowest free slots.
#pragma once
#include <cstdint>
#include "engine/random.h"

struct Particle {
    int32_t life;    // frames left to live; 0 = free slot
    float x, y;      // canvas position in pixels
    float vx, vy;    // pixels per frame
    uint32_t color;  // 0x00RRGGBB
    int32_t phase;   // 0 to 255 from pool creation; fork-split heading
};
static_assert(sizeof(Particle) == 28, "seven 32-bit fields");

struct ParticlePool {
    int32_t particleCount = 1900;
    Particle* particles = nullptr;
    // Free-slot index: every slot below lowestFree is live, and bit
    // (slot % 64) of freeBits[slot / 64] is set exactly when the slot is free
    // (bits past the last slot stay clear). Shares the particles' block.
    int32_t lowestFree = 0;
    uint64_t* freeBits = nullptr;
};

// Allocates particleCount zeroed records, clears every life, then draws one
// phase per slot in slot order. Returns false when the storage cannot be had
// or particleCount is below 1; the pool then has no slots (particleCount 0).
bool CreatePool(ParticlePool& pool, Rng& random);
void DestroyPool(ParticlePool& pool);
// Empties the pool and re-creates it with count slots. When that many cannot
// be allocated the pool keeps its previous size (still emptied, with fresh
// phases) and false is returned; so does a count below 1 or beyond int32.
bool ResizePool(ParticlePool& pool, Rng& random, int64_t count);

// The free-slot scan, the one way claimers find slots: the lowest free slot
// at or after `from`, or particleCount when there is none. A scan never
// wraps: call again with the returned slot + 1 to continue it.
int32_t NextFreeSlot(ParticlePool& pool, int32_t from);
// Every write of life goes through these two, so the free-slot index stays
// true. ClaimSlot writes a positive life into any slot, free or not.
Particle& ClaimSlot(ParticlePool& pool, int32_t slot, int32_t life);
void FreeSlot(ParticlePool& pool, int32_t slot);
// Recomputes the free-slot index after lives were written directly (tests).
void RebuildFreeIndex(ParticlePool& pool);
