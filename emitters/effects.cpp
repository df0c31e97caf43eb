// Particle-borne effects. Every spawning effect walks its parent range in
// ascending slot order, reading each parent's life when it gets there, so a
// spark that lands further up the range is visited as a parent in the same
// tick. Each parent starts its own free-slot scan at slot 0.
//
// Arithmetic: expressions are evaluated in double from float fields, float
// table entries and float constants, and rounded to float when stored.
#include "emitters/effects.h"

#include <climits>
#include <cstdint>

namespace {

constexpr int32_t AxisStepX[4] = {0, 0, 1, -1};
constexpr int32_t AxisStepY[4] = {1, -1, 0, 0};
constexpr float HexDirX[8] = {1.0f, -1.0f, 0.5f, -0.5f, -0.5f, 0.5f, 0.0f, 0.0f};
constexpr float HexDirY[8] = {0.0f, 0.0f, 0.866f, 0.866f, -0.866f, -0.866f, 0.0f, 0.0f};
constexpr int32_t WindSteps[8] = {-2, -3, -5, -7, 2, 4, 6, 8};

// Non-negative remainder: the table index of any whole-degree angle.
inline int32_t Degrees(int64_t angle) {
    return int32_t(((angle % 360) + 360) % 360);
}

// Number of slots that may be touched; an unallocated pool has none.
inline int32_t SlotCount(const ParticlePool& pool) {
    return pool.particles ? pool.particleCount : 0;
}

// First slot of the last eighth.
inline int32_t LastEighthStart(int32_t n) { return n - n / 8; }

// What a spawning effect needs of its parent, read before its sparks are
// written (sparks only ever go to free slots, never to the live parent).
struct Parent {
    float x, y, vx, vy;
    uint32_t color;
    int32_t phase;
};

inline Parent ReadParent(const Particle& p) {
    return Parent{p.x, p.y, p.vx, p.vy, p.color, p.phase};
}

inline bool IsLive(const Particle& p) { return p.life != 0; }

constexpr int32_t kAnyLife = INT32_MAX;  // parent test: live at all

// The procedure every spawning effect shares. Parents are the slots from
// `first` up whose life is 1 to `highestLife`, read when the walk reaches
// them. `begin(parent)` says how many sparks the parent wants (and makes
// the draws a parent makes before its scan); each parent then scans from
// slot 0, and `spark(slot, parent, j)` writes the j-th spark into the free
// slot it is given. The scan never looks at a slot twice: after each spark,
// taken or not, it goes on from the next slot.
template <typename Begin, typename Spark>
void SpawnFromParents(World& world, int32_t first, int32_t highestLife, Begin begin, Spark spark) {
    ParticlePool& pool = world.pool;
    const int32_t n = SlotCount(pool);
    for (int32_t i = first < 0 ? 0 : first; i < n; ++i) {
        const int32_t life = pool.particles[i].life;
        if (life < 1 || life > highestLife) continue;
        const Parent parent = ReadParent(pool.particles[i]);
        const int32_t wanted = begin(parent);
        int32_t slot = NextFreeSlot(pool, 0);
        for (int32_t j = 0; j < wanted && slot < n; ++j) {
            spark(slot, parent, j);
            slot = NextFreeSlot(pool, slot + 1);
        }
    }
}

template <typename Spark>
void SpawnFromParents(World& world, int32_t first, int32_t highestLife, int32_t sparks, Spark spark) {
    SpawnFromParents(world, first, highestLife, [sparks](const Parent&) { return sparks; }, spark);
}

// A claimed spark: its life and its parent's colour.
inline Particle& Claim(World& world, int32_t slot, int32_t life, const Parent& parent) {
    Particle& p = ClaimSlot(world.pool, slot, life);
    p.color = parent.color;
    return p;
}

}  // namespace

void SpawnMirrorGlitter(World& world) {
    SpawnFromParents(world, LastEighthStart(SlotCount(world.pool)), kAnyLife, 3,
                     [&](int32_t slot, const Parent& parent, int32_t) {
                         Particle& p = Claim(world, slot, 23, parent);
                         const int32_t r1 = Rand(world.random);
                         p.vx = float((r1 % 4) - 1);
                         const int32_t r2 = Rand(world.random);
                         p.vy = float((r2 % 4) - 2);
                         p.x = parent.y;
                         p.y = parent.x;
                     });
}

void SpawnSprayTrail(World& world) {
    const AngleTables& t = world.angles;
    int32_t& angle = world.effects.effectAngle;
    angle = Degrees(angle);
    SpawnFromParents(world, LastEighthStart(SlotCount(world.pool)), kAnyLife, 6,
                     [&](int32_t slot, const Parent& parent, int32_t) {
                         Particle& p = Claim(world, slot, 65, parent);
                         p.vx = float(double(parent.vx) + double(2.0f) * double(t.SinTable[angle]));
                         p.vy = float(double(parent.vy) + double(2.0f) * double(t.CosTable[angle]));
                         p.x = parent.x;
                         p.y = parent.y;
                         angle = (angle + 3) % 360;
                     });
}

// The two mirror effects differ only in which velocity component gets the
// fan offset k = -3, -2, ... 2; `cross` selects the alternating variant.
static void SpawnMirrorSparks(World& world, bool cross) {
    bool& toggle = world.effects.mirrorToggle;
    SpawnFromParents(world, LastEighthStart(SlotCount(world.pool)), kAnyLife, 6,
                     [&](int32_t slot, const Parent& parent, int32_t j) {
                         Particle& p = Claim(world, slot, 175, parent);
                         // A component without the offset is the parent's,
                         // copied as it stands (a -0 stays -0).
                         const double offset = double(float(j - 3));
                         const bool onVy = !cross || toggle;
                         const bool onVx = !cross || !toggle;
                         p.vy = onVy ? float(double(parent.vx) + offset) : parent.vx;
                         p.vx = onVx ? float(double(parent.vy) + offset) : parent.vy;
                         p.y = parent.x;
                         p.x = parent.y;
                         toggle = !toggle;
                     });
}

void SpawnMirrorFan(World& world) { SpawnMirrorSparks(world, false); }

void SpawnMirrorCross(World& world) { SpawnMirrorSparks(world, true); }

void SpawnEchoSpiral(World& world) {
    const AngleTables& t = world.angles;
    int32_t& angle = world.effects.effectAngle;
    angle = Degrees(angle);
    float step = 0.0f;
    double speed = 0.0;
    SpawnFromParents(
        world, LastEighthStart(SlotCount(world.pool)), kAnyLife,
        // Both draws are made for every live parent, slots or not.
        [&](const Parent&) {
            const int32_t r1 = Rand(world.random);
            const float s = float(double((r1 % 32) + 10) * double(0.1f));
            step = float(double(s) * double(0.006f));
            speed = double(s) * double(0.3f);
            const int32_t r2 = Rand(world.random);
            return (r2 % 64) + 70;
        },
        [&](int32_t slot, const Parent& parent, int32_t) {
            Particle& p = Claim(world, slot, 135, parent);
            p.vx = float(speed * double(t.SinTable[angle]) + double(parent.vx));
            p.vy = float(speed * double(t.CosTable[angle]) + double(parent.vy));
            p.x = float(double(640.0f) - double(parent.x));
            p.y = float(double(480.0f) - double(parent.y));
            angle = (angle + 6) % 360;
            speed += double(step);
        });
}

void SpawnAxisSparks(World& world) {
    SpawnFromParents(world, 50, 12, 2, [&](int32_t slot, const Parent& parent, int32_t) {
        const int32_t d = Rand(world.random) % 8;
        // Indices 4 to 7 name no axis: the spark counts but takes no slot;
        // the scan still moves past the slot it found.
        if (d >= 4) return;
        Particle& p = Claim(world, slot, 135, parent);
        p.vx = float(double(3.0f) * double(float(AxisStepX[d])));
        p.vy = float(double(3.0f) * double(float(AxisStepY[d])));
        p.x = parent.x;
        p.y = parent.y;
    });
}

void SpawnHexSparks(World& world) {
    SpawnFromParents(world, SlotCount(world.pool) / 8, 7, 2, [&](int32_t slot, const Parent& parent, int32_t) {
        const int32_t d = Rand(world.random) % 8;
        Particle& p = Claim(world, slot, 125, parent);
        p.vx = float(double(1.5f) * double(HexDirX[d]));
        p.vy = float(double(1.5f) * double(HexDirY[d]));
        p.x = parent.x;
        p.y = parent.y;
    });
}

void SpawnForkSplit(World& world) {
    const AngleTables& t = world.angles;
    const int32_t n = SlotCount(world.pool);
    // One draw per tick: one tick in eight splits only the second half, into
    // long-lived sparks.
    const bool longTick = Rand(world.random) % 8 == 0;
    const int32_t life = longTick ? 680 : 145;
    SpawnFromParents(world, longTick ? n / 2 : n / 4, 9, 2, [&](int32_t slot, const Parent& parent, int32_t j) {
        // The heading turned by -60 and +60 degrees; Degrees() keeps any
        // stored phase a valid index (headings 0 to 359 map to themselves).
        Particle& p = Claim(world, slot, life, parent);
        p.phase = (Degrees(parent.phase) + 300 + 120 * j) % 360;
        p.vx = float(double(3.0f) * double(t.SinTable[p.phase]));
        p.vy = float(double(3.0f) * double(t.CosTable[p.phase]));
        p.x = parent.x;
        p.y = parent.y;
    });
}

void ApplyWind(World& world) {
    EffectState& fx = world.effects;
    ParticlePool& pool = world.pool;
    const AngleTables& t = world.angles;
    fx.windTicks += 1;
    if (fx.windTicks > 45) {
        fx.windTicks = 0;
        fx.windStep = WindSteps[Rand(world.random) % 8];
    }
    // 64-bit, so no pool size can overflow it; negative angles are brought
    // into range by adding multiples of 360.
    int64_t windAngle = 36035;
    const double strength = double(world.params.windStrength);
    const int32_t n = SlotCount(pool);
    for (int32_t i = 0; i < n; ++i) {
        Particle& p = pool.particles[i];
        if (!IsLive(p)) continue;
        const int32_t a = Degrees(windAngle);
        p.vx = float(double(p.vx) + strength * double(t.SinTable[a]));
        p.vy = float(double(p.vy) + strength * double(t.CosTable[a]));
        windAngle += fx.windStep;
    }
}
