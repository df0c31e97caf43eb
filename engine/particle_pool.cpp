// The particle pool and its free-slot index.
//
// One block holds the records and, after them, a bitmap of free slots (one
// bit per slot, 64 slots a word). A scan starts at max(from, lowestFree) and
// skips whole words of live slots with count-trailing-zeros, so a crowded
// pool costs a claimer a few word tests instead of a walk over every record.
#include "engine/particle_pool.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int32_t kSlotsPerWord = 64;

int64_t WordCount(int64_t count) { return (count + kSlotsPerWord - 1) / kSlotsPerWord; }

size_t BitsOffset(int64_t count) { return (size_t(count) * sizeof(Particle) + 7) & ~size_t(7); }

size_t BlockBytes(int64_t count) { return BitsOffset(count) + size_t(WordCount(count)) * sizeof(uint64_t); }

// Counts a pool can have: 1 to INT32_MAX, and the block size must not wrap.
bool CountFits(int64_t count) {
    return count >= 1 && count <= INT32_MAX && uint64_t(count) <= SIZE_MAX / 64;
}

// Points the pool at block and sets up count empty slots: records zeroed,
// every slot free, one phase draw per slot in slot order.
void InitialiseBlock(ParticlePool& pool, Rng& random, void* block, int32_t count) {
    std::memset(block, 0, BlockBytes(count));
    pool.particleCount = count;
    pool.particles = static_cast<Particle*>(block);
    pool.freeBits = reinterpret_cast<uint64_t*>(static_cast<char*>(block) + BitsOffset(count));
    pool.lowestFree = 0;

    Particle* particles = pool.particles;
    for (int32_t i = 0; i < count; ++i) particles[i].life = 0;
    for (int32_t i = 0; i < count; ++i) particles[i].phase = Rand(random) & 0xFF;

    const int64_t words = WordCount(count);
    for (int64_t w = 0; w < words; ++w) pool.freeBits[w] = ~uint64_t(0);
    const int32_t tail = count % kSlotsPerWord;
    if (tail != 0) pool.freeBits[words - 1] = (uint64_t(1) << tail) - 1;
}

void MarkFree(ParticlePool& pool, int32_t slot) {
    pool.freeBits[slot / kSlotsPerWord] |= uint64_t(1) << (slot % kSlotsPerWord);
    if (slot < pool.lowestFree) pool.lowestFree = slot;
}

void MarkLive(ParticlePool& pool, int32_t slot) {
    pool.freeBits[slot / kSlotsPerWord] &= ~(uint64_t(1) << (slot % kSlotsPerWord));
    if (slot == pool.lowestFree) pool.lowestFree = slot + 1;
}

}  // namespace

bool CreatePool(ParticlePool& pool, Rng& random) {
    std::free(pool.particles);
    pool.particles = nullptr;
    pool.freeBits = nullptr;
    pool.lowestFree = 0;
    const int32_t count = pool.particleCount;
    void* block = CountFits(count) ? std::malloc(BlockBytes(count)) : nullptr;
    if (block == nullptr) {
        pool.particleCount = 0;
        return false;
    }
    InitialiseBlock(pool, random, block, count);
    return true;
}

void DestroyPool(ParticlePool& pool) {
    std::free(pool.particles);
    pool.particles = nullptr;
    pool.freeBits = nullptr;
    pool.lowestFree = 0;
}

bool ResizePool(ParticlePool& pool, Rng& random, int64_t count) {
    // realloc keeps the old block when the new size cannot be had, so a
    // failed resize still has the previous slots to empty.
    void* block = CountFits(count) ? std::realloc(pool.particles, BlockBytes(count)) : nullptr;
    if (block != nullptr) {
        InitialiseBlock(pool, random, block, int32_t(count));
        return true;
    }
    if (pool.particles != nullptr) {
        InitialiseBlock(pool, random, pool.particles, pool.particleCount);
    } else {
        pool.particleCount = 0;
        pool.freeBits = nullptr;
        pool.lowestFree = 0;
    }
    return false;
}

int32_t NextFreeSlot(ParticlePool& pool, int32_t from) {
    const int32_t count = pool.particleCount;
    const bool fromLowest = from <= pool.lowestFree;
    const int32_t start = fromLowest ? pool.lowestFree : from;
    if (start >= count) {
        if (fromLowest) pool.lowestFree = count;
        return count;
    }
    const int32_t words = int32_t(WordCount(count));
    int32_t w = start / kSlotsPerWord;
    uint64_t bits = pool.freeBits[w] & (~uint64_t(0) << (start % kSlotsPerWord));
    while (bits == 0) {
        if (++w == words) {
            if (fromLowest) pool.lowestFree = count;
            return count;
        }
        bits = pool.freeBits[w];
    }
    const int32_t slot = w * kSlotsPerWord + std::countr_zero(bits);
    if (fromLowest) pool.lowestFree = slot;
    return slot;
}

Particle& ClaimSlot(ParticlePool& pool, int32_t slot, int32_t life) {
    Particle& p = pool.particles[slot];
    p.life = life;
    if (life != 0) {
        MarkLive(pool, slot);
    } else {
        MarkFree(pool, slot);
    }
    return p;
}

void FreeSlot(ParticlePool& pool, int32_t slot) {
    pool.particles[slot].life = 0;
    MarkFree(pool, slot);
}

void RebuildFreeIndex(ParticlePool& pool) {
    const int32_t count = pool.particleCount;
    if (pool.particles == nullptr || pool.freeBits == nullptr) return;
    const int64_t words = WordCount(count);
    for (int64_t w = 0; w < words; ++w) pool.freeBits[w] = 0;
    pool.lowestFree = count;
    for (int32_t i = count - 1; i >= 0; --i) {
        if (pool.particles[i].life == 0) {
            pool.freeBits[i / kSlotsPerWord] |= uint64_t(1) << (i % kSlotsPerWord);
            pool.lowestFree = i;
        }
    }
}
