// The four motion models, the live-area test and ageing.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/motion.h"

namespace {

struct MotionPool {
    Rng random;
    ParticlePool pool;
    explicit MotionPool(int32_t count) { pool.particleCount = count; CreatePool(pool, random); }
    ~MotionPool() { DestroyPool(pool); }
    void Put(int32_t slot, float x, float y, float vx, float vy, int32_t life = 100) {
        Particle& p = life ? ClaimSlot(pool, slot, life) : pool.particles[slot];  // 0: stays free
        p.x = x, p.y = y, p.vx = vx, p.vy = vy;
    }
    Particle& operator[](int32_t slot) { return pool.particles[slot]; }
};

ShowParams Params(int32_t mode, float gravity, float damping, float turnSin = ShowParams{}.turnSin,
                  float turnCos = ShowParams{}.turnCos) {
    return {.gravity = gravity, .damping = damping, .motionMode = mode, .turnSin = turnSin, .turnCos = turnCos};
}

}  // namespace

TEST(Motion, ModelsMoveThenChangeTheVelocity) {
    const double d = 0.97f;
    // Radial reads the moved position: 600 + 12 = 612, 100 right of centre.
    const float radial = float(12.0 + 100.0 * double(0.03f) * double(0.0083f));
    const struct { ShowParams params; float x, y, vx, vy, wantVx, wantVy; } cases[] = {
        {Params(Fall, 0.027f, 0.97f), 500, 300, 0, 1, 0.0f, 0.99618995f},
        {Params(Fall, 0.0f, 0.97f), 500, 300, 3, -4, float(d * 3), float(d * -4)},  // 3 % slower, same direction
        // The initial turn; the new vx feeds vy (an exact rotation gives 0.012189049).
        {Params(Swirl, 0.0f, 0.97f), 500, 300, 1, 0, 0.96992344f, 0.011822444f},
        {Params(Swirl, 0.0f, 0.97f, 0.0f, 1.0f), 500, 300, 2, -1, float(d * 2), float(d * -1)},
        {Params(Radial, 0.03f, 0.97f), 600, 384, 12, 0, float(d * double(radial)), 0.0f},
        {Params(Radial, 0.0f, 0.97f), 700, 600, 2, -1, float(d * 2), float(d * -1)},
    };
    for (const auto& c : cases) {
        MotionPool m(1);
        m.Put(0, c.x, c.y, c.vx, c.vy);
        MoveParticles(m.pool, c.params);
        EXPECT_EQ(m[0].vx, c.wantVx) << "mode " << c.params.motionMode << ", vx " << c.vx;
        EXPECT_EQ(m[0].vy, c.wantVy) << "mode " << c.params.motionMode << ", vx " << c.vx;
    }
}

TEST(Motion, LiveAreaFreesAtOnceAndTheLastLifeAfterMoving) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const struct { float x, y; bool stays; } cases[] = {
        {1021.0f, 300.0f, true}, {3.0f, 300.0f, true},   {1021.001f, 300.0f, false}, {2.999f, 300.0f, false},
        {500.0f, 3.0f, true},    {500.0f, 715.0f, false}, {500.0f, 714.99f, true},    {500.0f, 2.999f, false},
        {nan, 300.0f, false},    {500.0f, nan, false},    {inf, 300.0f, false},       {500.0f, -inf, false},
    };
    const int32_t n = int32_t(std::size(cases));
    MotionPool m(n + 2);
    for (int32_t i = 0; i < n; ++i) m.Put(i, 0.0f, 0.0f, cases[i].x, cases[i].y, 50);  // moves onto x, y
    m.Put(n, 500, 300, 1, 1, 1);  // last life: moved, new velocity, then free
    MoveParticles(m.pool, Params(Fall, 0.0f, 0.5f));
    for (int32_t i = 0; i < n; ++i) {
        EXPECT_EQ(m[i].life != 0, cases[i].stays) << "case " << i;
        EXPECT_TRUE(cases[i].stays || std::isnan(cases[i].x) || m[i].vx == cases[i].x) << "case " << i;  // kept
    }
    EXPECT_EQ(m[n].life, 0);
    EXPECT_EQ(m[n].x, 501.0f);
    EXPECT_EQ(m[n].vx, 0.5f);
    EXPECT_EQ(NextFreeSlot(m.pool, 0), 2);  // freed slots are free to claimers
    EXPECT_EQ(NextFreeSlot(m.pool, n), n);
    MoveParticles(m.pool, Params(Fall, 0.0f, 0.5f));
    EXPECT_EQ(m[n].x, 501.0f);  // a free slot is not moved
}

TEST(Motion, PairedPullsTheSecondHalfTowardItsMovedPartner) {
    const float g = 0.05f;
    const double k = double(g) * double(0.005f);
    MotionPool m(6);  // partners 5-0, 4-1, 3-2
    m.Put(0, 100, 100, 10, 0);  // moves to (110, 100) before 5 reads it
    m.Put(5, 200, 150, 0, 0);
    m.Put(1, 1020, 100, 5, 0);  // leaves the area: freed at its moved position
    m.Put(4, 300, 100, 0, 0);
    m.Put(2, 40, 60, 0, 0, 0);  // a free partner pulls from its last position
    m.Put(3, 100, 100, 0, 0);
    MoveParticles(m.pool, Params(Paired, g, 0.5f));
    EXPECT_EQ(m[0].vx, 5.0f);  // first half: damping only
    EXPECT_EQ(m[5].vx, float(-(200.0 - 110.0) * k) * 0.5f);
    EXPECT_EQ(m[5].vy, float(-(150.0 - 100.0) * k) * 0.5f);
    EXPECT_EQ(m[4].vx, float(-(300.0 - 1025.0) * k) * 0.5f);
    EXPECT_EQ(m[3].vy, float(-(100.0 - 60.0) * k) * 0.5f);
    for (int32_t count : {5, 1}) {  // odd counts: the middle slot is its own partner, only damped
        MotionPool odd(count);
        odd.Put(count / 2, 400, 400, 4, 2);
        MoveParticles(odd.pool, Params(Paired, 1.0f, 0.5f));
        EXPECT_EQ(odd[count / 2].vx, 2.0f) << count;
        EXPECT_EQ(odd[count / 2].vy, 1.0f) << count;
    }
}
