// Scatter, sparkle and flower bursts. Each makes its per-burst draws first,
// then claims the lowest free slots; per-particle draws happen only for
// slots actually claimed.
#include "emitters/scatter_bursts.h"

#include "emitters/pack_color.h"

namespace {

// Shared body of the scatter and sparkle bursts: random speed below D steps
// of 0.1 and a random direction; `drawLife` asks for a third draw per
// particle (life 30 to 157), otherwise every particle gets `fixedLife`.
void ScatterFromPoint(World& world, int32_t x, int32_t y, int32_t n, uint32_t color,
                      int32_t divisor, bool drawLife, int32_t fixedLife) {
    ParticlePool& pool = world.pool;
    const float fx = float(x), fy = float(y);
    int32_t placed = 0;
    int32_t slot = 0;
    while (placed < n) {
        slot = NextFreeSlot(pool, slot);
        if (slot >= pool.particleCount) break;
        const float speed = float(double(Rand(world.random) % divisor) * double(0.1f));
        const int32_t direction = Rand(world.random) % 360;
        const int32_t life = drawLife ? (Rand(world.random) & 127) + 30 : fixedLife;
        Particle& p = ClaimSlot(pool, slot, life);
        p.x = fx;
        p.y = fy;
        p.vx = float(double(speed) * double(world.angles.SinTable[direction]));
        p.vy = float(double(speed) * double(world.angles.CosTable[direction]));
        p.color = color;
        ++placed;
        ++slot;
    }
}

}  // namespace

void SpawnScatterBurst(World& world, int32_t x, int32_t y, int32_t n) {
    const int32_t red = Rand(world.random) & 127;
    const int32_t green = Rand(world.random) & 127;
    const int32_t blue = Rand(world.random) & 63;
    const int32_t divisor = Rand(world.random) % 45 + 10;
    ScatterFromPoint(world, x, y, n, PackColor(red, green, blue), divisor, true, 0);
}

void SpawnSparkleBurst(World& world, int32_t x, int32_t y, int32_t n) {
    const int32_t red = Rand(world.random) & 63;
    const int32_t green = Rand(world.random) & 127;
    const int32_t blue = Rand(world.random) & 63;
    const int32_t divisor = (Rand(world.random) & 31) + 17;
    ScatterFromPoint(world, x, y, n, PackColor(red, green, blue), divisor, false, 1500);
}

void SpawnFlowerBurst(World& world, int32_t x, int32_t y) {
    const int32_t red = Rand(world.random) & 127;
    const int32_t green = Rand(world.random) & 255;
    const int32_t blue = Rand(world.random) & 63;
    const float speed = float(double(Rand(world.random) & 63) * double(0.06f) + double(1.5f));
    const float depth = float(double(Rand(world.random) & 15) * double(0.0666f));
    const int32_t petalStart = Rand(world.random) & 127;
    const int32_t petals = (Rand(world.random) & 7) + 1;
    const int32_t life = (Rand(world.random) & 255) + 147;

    const float base = float(double(1.0f) - double(depth));
    const uint32_t color = PackColor(red, green, blue);
    const float fx = float(x), fy = float(y);
    const AngleTables& angles = world.angles;
    ParticlePool& pool = world.pool;

    // phi sweeps `petals` whole periods while theta makes one turn.
    int32_t phi = petals * petalStart;
    int32_t theta = 0;
    int32_t slot = 0;
    for (int32_t placed = 0; placed < 72; ++placed) {
        slot = NextFreeSlot(pool, slot);
        if (slot >= pool.particleCount) break;
        const double s = double(speed) *
                         (double(base) + double(depth) * double(angles.SinTable[phi % 360]));
        Particle& p = ClaimSlot(pool, slot, life);
        p.x = fx;
        p.y = fy;
        p.vx = float(s * double(angles.CosTable[theta]));
        p.vy = float(s * double(angles.SinTable[theta]));
        p.color = color;
        phi += 5 * petals;
        theta += 5;
        ++slot;
    }
}
