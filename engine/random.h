// The show's one random generator: a 32-bit linear congruential state that
// starts at 1; every draw returns 15 bits (0 to 32767).
#pragma once
#include <cstdint>

struct Rng {
    uint32_t state = 1;
};

inline void SeedRandom(Rng& random, uint32_t seed) { random.state = seed; }

inline int32_t Rand(Rng& random) {
    random.state = random.state * 214013u + 2531011u;
    return int32_t((random.state >> 16) & 0x7FFF);
}
