// The rainbow ramp, the grand burst, the rainbow ring and the spiral burst.
// All draws of a burst are made before its first slot is written.
#include "emitters/rainbow_bursts.h"

#include "emitters/pack_color.h"

#include <algorithm>

namespace {

// Truncation toward zero that never yields a negative channel: a product
// that lands a hair below 0 at a segment end gives 0.
int32_t Channel(double v) {
    const int32_t c = int32_t(v);
    return c < 0 ? 0 : c;
}

}  // namespace

RainbowChannels RainbowColor(int32_t p) {
    // Out-of-range phases are folded into 0..599 so no channel leaves 0..127.
    p %= 600;
    if (p < 0) p += 600;
    if (p == 0) p = 600;
    if (p <= 100) return {127, Channel(double(p * 127) * 0.01), 0};
    if (p <= 200) return {Channel((1.0 - double(p - 100) * 0.01) * 127.0), 127, 0};
    if (p <= 300) return {0, 127, Channel(double(p - 200) * 1.27)};
    if (p <= 400) return {0, Channel((1.0 - double(p - 300) * 0.01) * 127.0), 127};
    if (p <= 500) return {Channel(double(p - 400) * 1.27), 0, 127};
    return {127, 0, Channel((1.0 - double(p - 500) * 0.01) * 127.0)};
}

uint32_t RainbowFull(RainbowChannels c) { return PackColor(c.first, c.second, c.third); }

uint32_t RainbowHalf(RainbowChannels c) {
    return PackColor(c.first / 2, c.second / 2, c.third / 2);
}

void SpawnGrandBurst(World& world, int32_t x, int32_t y) {
    Rng& random = world.random;
    const int32_t startPhase = Rand(random) & 1023;
    const int32_t phaseStep = (Rand(random) & 1) + 1;
    const int32_t red = Rand(random) & 127;
    const int32_t green = Rand(random) & 31;
    const int32_t blue = Rand(random) & 127;
    const float speed = float(double(Rand(random) & 31) * double(0.06f) + double(2.6f));
    const double mix = double((Rand(random) & 15) + 5) * double(0.1f);
    const int32_t m = (Rand(random) & 7) + 1;
    const bool rainbow = (Rand(random) & 1) != 0;

    const float a = float(mix * double(speed));
    const float b = float((1.0 - mix) * double(speed));
    const int32_t rays = 180 * m;
    const float step = float(double(6.0f) / double(m));
    // The last 160 slots are left alone when the pool has room for a layer;
    // a pool too small for one still gets a single (possibly partial) layer.
    ParticlePool& pool = world.pool;
    const int32_t count = pool.particleCount;
    const int32_t layers = int32_t(std::max<int64_t>(1, (int64_t(count) - 160) / rays));
    const int32_t life = rainbow ? 1800 : 1660;
    const uint32_t plainColor = PackColor(red, green, blue);
    const float fx = float(x), fy = float(y);
    const AngleTables& angles = world.angles;
    const double sixth = double(0.16666667f);

    int32_t phase = startPhase;
    double accumulator = 0.0;
    for (int32_t i = 0; i < rays && i < count; ++i) {
        const int32_t i1 = int32_t(accumulator) % 360;
        const int32_t i2 = rainbow ? (6 * rays + 720 - 2 * i) % 360 : (2 * i) % 360;
        const uint32_t color = rainbow ? RainbowHalf(RainbowColor(phase % 600)) : plainColor;
        const double dirX = double(a) * double(angles.CosTable[i1]) +
                            double(b) * double(angles.CosTable[i2]);
        const double dirY = double(a) * double(angles.SinTable[i1]) +
                            double(b) * double(angles.SinTable[i2]);
        // Slots are ray-major: layer j of ray i sits at i + j * rays.
        for (int32_t j = 0; j < layers; ++j) {
            const int64_t slot = int64_t(i) + int64_t(j) * rays;
            if (slot >= count) break;
            Particle& p = ClaimSlot(pool, int32_t(slot), life);
            p.x = fx;
            p.y = fy;
            p.vx = float(double(6 - j) * dirX * sixth);
            p.vy = float(double(6 - j) * dirY * sixth);
            p.color = color;
        }
        if (rainbow) phase += phaseStep;
        accumulator += double(step);
    }
}

void SpawnRainbowRing(World& world, int32_t x, int32_t y) {
    Rng& random = world.random;
    int32_t phase = Rand(random) & 1023;
    const int32_t phaseStep = (Rand(random) & 3) + 1;
    const float base = float(double((Rand(random) & 31) + 10) * double(0.1f));
    const int32_t quota = (Rand(random) & 63) + 70;
    int32_t angle = Rand(random) & 255;

    double h = double(base) * double(0.3f);
    const float speedStep = float(double(base) * double(0.006f));
    const float fx = float(x), fy = float(y);
    const AngleTables& angles = world.angles;
    ParticlePool& pool = world.pool;

    int32_t slot = 0;
    for (int32_t placed = 0; placed < quota; ++placed) {
        slot = NextFreeSlot(pool, slot);
        if (slot >= pool.particleCount) break;
        const int32_t dir = angle % 360;
        Particle& p = ClaimSlot(pool, slot, 370);
        p.color = RainbowFull(RainbowColor(phase % 600));
        p.vx = float(h * double(angles.SinTable[dir]));
        p.vy = float(h * double(angles.CosTable[dir]));
        p.x = fx;
        p.y = fy;
        h += double(speedStep);
        phase += phaseStep;
        angle += 6;
        ++slot;
    }
}

void SpawnSpiralBurst(World& world, int32_t x, int32_t y) {
    Rng& random = world.random;
    const int32_t red = Rand(random) & 255;
    const int32_t green = Rand(random) & 63;
    const int32_t blue = Rand(random) & 127;
    const float speed = float(double(Rand(random) & 31) * double(0.06f) + double(2.6f));
    const double mix = double(Rand(random) & 15) * double(0.0666f);
    const int32_t m = (Rand(random) & 7) + 1;
    const bool reverse = (Rand(random) & 1) != 0;

    const uint32_t color = PackColor(red, green, blue);
    const float a = float(mix * double(speed));
    const float b = float((1.0 - mix) * double(speed));
    const int32_t quota = 60 * m;
    const float step = float(double(6.0f) / double(m));
    const int32_t life = reverse ? 960 : 900;
    const float fx = float(x), fy = float(y);
    const AngleTables& angles = world.angles;
    ParticlePool& pool = world.pool;

    // The second angle stays positive: it starts high enough in reverse.
    int32_t second = reverse ? 360 * m + 720 : 0;
    const int32_t secondStep = reverse ? -6 : 6;
    double accumulator = 0.0;
    int32_t slot = 0;
    for (int32_t placed = 0; placed < quota; ++placed) {
        slot = NextFreeSlot(pool, slot);
        if (slot >= pool.particleCount) break;
        const int32_t i1 = int32_t(accumulator) % 360;
        const int32_t i2 = second % 360;
        Particle& p = ClaimSlot(pool, slot, life);
        p.color = color;
        p.vx = float(double(a) * double(angles.CosTable[i1]) +
                     double(b) * double(angles.CosTable[i2]));
        p.vy = float(double(a) * double(angles.SinTable[i1]) +
                     double(b) * double(angles.SinTable[i2]));
        p.x = fx;
        p.y = fy;
        second += secondStep;
        accumulator += double(step);
        ++slot;
    }
}
