// Fan bursts: a walk in velocity space. Each spoke adds a fixed step
// (speed along the running angle) per particle; the angle turns between
// spokes, and the sequence of spokes is repeated fanRepeats times, each
// repeat turned T degrees further.
#include "emitters/fan_bursts.h"

#include "emitters/pack_color.h"

#include <algorithm>

namespace {

constexpr int32_t kMaxSpokes = 10;  // size of the per-spoke tables

struct FanPlan {
    int32_t repeats;  // 2 to 9
    int32_t spokes;   // 1 to 9
    int32_t turnMultiple;
    int32_t counts[kMaxSpokes];
    int32_t steps[kMaxSpokes];
    int32_t startAngle;
    uint32_t color;
};

// The geometry is read from the show parameters at the time of the call.
// Out-of-range values are clamped on local copies (repeats 2..9, spokes
// 1..9), so the tables are never overrun and the turn multiple never
// divides by zero.
FanPlan BeginPlan(const ShowParams& params) {
    FanPlan plan{};
    plan.repeats = std::clamp<int32_t>(params.fanRepeats, 2, 9);
    plan.spokes = std::clamp<int32_t>(params.fanSpokes, 1, 9);
    return plan;
}

void RunFan(World& world, const FanPlan& plan, int32_t x, int32_t y, int32_t life, float speed) {
    const int32_t turn = plan.turnMultiple * 360 / plan.repeats;
    int32_t steps[kMaxSpokes];
    int32_t drawnSum = 0;
    for (int32_t s = 0; s < plan.spokes; ++s) {
        steps[s] = plan.steps[s];
        drawnSum += steps[s];
    }
    // One repeat's steps add up to exactly turn + 3600.
    steps[plan.spokes - 1] += turn + 3600 - drawnSum;

    const AngleTables& angles = world.angles;
    ParticlePool& pool = world.pool;
    const double bx = double(x), by = double(y);
    int32_t angle = plan.startAngle;
    double p = 0.0, q = 0.0;  // running velocity, across the whole call
    for (int32_t r = 0; r < plan.repeats; ++r) {
        for (int32_t s = 0; s < plan.spokes; ++s) {
            const int32_t dir = angle % 360;
            const float dA = float(double(speed) * double(angles.SinTable[dir]));
            const float dB = float(double(speed) * double(angles.CosTable[dir]));
            // A fresh scan from slot 0 for every spoke.
            int32_t slot = 0;
            for (int32_t placed = 0; placed < plan.counts[s]; ++placed) {
                slot = NextFreeSlot(pool, slot);
                if (slot >= pool.particleCount) break;
                p += double(dA);
                q += double(dB);
                Particle& part = ClaimSlot(pool, slot, life);
                part.color = plan.color;
                part.vx = float(p);
                part.vy = float(q);
                // Start beside the burst point: 15 times the velocity turned
                // a quarter turn.
                part.x = float(bx + 15.0 * q);
                part.y = float(by - 15.0 * p);
                ++slot;
            }
            angle += steps[s];
        }
    }
}

}  // namespace

void SpawnFanBurst(World& world, int32_t x, int32_t y, int32_t life, float speed, int32_t countMask) {
    Rng& random = world.random;
    FanPlan plan = BeginPlan(world.params);
    const int32_t red = Rand(random) & 127;
    const int32_t green = Rand(random) & 63;
    const int32_t blue = Rand(random) & 255;
    plan.turnMultiple = Rand(random) % (plan.repeats / 2) + 1;
    for (int32_t s = 0; s < plan.spokes; ++s) {
        plan.counts[s] = Rand(random) & countMask;
        plan.steps[s] = Rand(random) & 255;
    }
    plan.startAngle = Rand(random) & 255;
    plan.color = PackColor(red, green, blue);
    RunFan(world, plan, x, y, life, speed);
}

void SpawnFanBurstFixed(World& world, int32_t x, int32_t y, int32_t life, float speed, int32_t perSpoke) {
    Rng& random = world.random;
    FanPlan plan = BeginPlan(world.params);
    const int32_t red = Rand(random) & 127;
    const int32_t green = Rand(random) & 127;
    const int32_t blue = Rand(random) & 63;
    plan.turnMultiple = Rand(random) % (plan.repeats / 2) + 1;
    for (int32_t s = 0; s < plan.spokes; ++s) {
        plan.counts[s] = perSpoke;
        plan.steps[s] = Rand(random) & 255;
    }
    plan.startAngle = Rand(random) & 255;
    plan.color = PackColor(red, green, blue);
    RunFan(world, plan, x, y, life, speed);
}
