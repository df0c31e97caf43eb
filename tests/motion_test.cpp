// The four motion models, the live-area test and ageing.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/motion.h"
#include "engine/particle_pool.h"
#include "engine/show_params.h"

namespace {

struct MotionPool {
    Rng random;
    ParticlePool pool;
    explicit MotionPool(int32_t count) {
        pool.particleCount = count;
        CreatePool(pool, random);
    }
    ~MotionPool() { DestroyPool(pool); }
    Particle& Put(int32_t slot, float x, float y, float vx, float vy, int32_t life = 100) {
        Particle& p = ClaimSlot(pool, slot, life);
        p.x = x;
        p.y = y;
        p.vx = vx;
        p.vy = vy;
        return p;
    }
    Particle& operator[](int32_t slot) { return pool.particles[slot]; }
};

ShowParams Params(int32_t mode, float gravity, float damping) {
    ShowParams params;
    params.motionMode = mode;
    params.gravity = gravity;
    params.damping = damping;
    return params;
}

}  // namespace

TEST(Motion, FallReferenceValues) {
    MotionPool m(10);
    m.Put(0, 500, 300, 0, 1);
    MoveParticles(m.pool, Params(Fall, 0.027f, 0.97f));
    EXPECT_EQ(m[0].vy, 0.99618995f);
    EXPECT_EQ(m[0].vx, 0.0f);
    EXPECT_EQ(m[0].y, 301.0f);

    // Without gravity only the speed drops, by 3 %; the direction stays.
    m.Put(1, 500, 300, 3, -4);
    MoveParticles(m.pool, Params(Fall, 0.0f, 0.97f));
    MoveParticles(m.pool, Params(Fall, 0.0f, 0.97f));
    const float vx1 = float(double(0.97f) * 3.0);
    EXPECT_EQ(m[1].x, float(503.0 + double(vx1)));
    EXPECT_EQ(m[1].vx, float(double(0.97f) * double(vx1)));
    EXPECT_NEAR(m[1].vx / m[1].vy, -0.75, 1e-6);
    EXPECT_NEAR(std::hypot(m[1].vx, m[1].vy), 5.0 * 0.97 * 0.97, 1e-5);
    EXPECT_EQ(m[1].life, 98);
}

TEST(Motion, SwirlTurnsWithTheNewVx) {
    MotionPool m(4);
    m.Put(0, 500, 300, 1, 0);
    m.Put(1, 500, 300, 2, -1);
    ShowParams params = Params(Swirl, 0.0f, 0.97f);  // initial turn values
    MoveParticles(m.pool, params);
    EXPECT_EQ(m[0].vx, 0.96992344f);
    EXPECT_EQ(m[0].vy, 0.011822444f);  // an exact rotation would give 0.012189049

    params.turnSin = 0.0f;
    params.turnCos = 1.0f;
    MoveParticles(m.pool, params);
    EXPECT_EQ(m[0].vx, float(double(0.97f) * double(0.96992344f)));
    EXPECT_EQ(m[0].vy, float(double(0.97f) * double(0.011822444f)));
}

TEST(Motion, RadialPushesAwayFromCentre) {
    MotionPool m(4);
    m.Put(0, 612, 384, 0, 0);
    m.Put(1, 512, 484, 0, 0);
    MoveParticles(m.pool, Params(Radial, 0.03f, 0.97f));
    const float pushed = float(100.0 * double(0.03f) * double(0.0083f));
    EXPECT_EQ(m[0].vx, float(double(0.97f) * double(pushed)));
    EXPECT_EQ(m[0].vy, 0.0f);
    EXPECT_EQ(m[1].vx, 0.0f);
    EXPECT_EQ(m[1].vy, float(double(0.97f) * double(pushed)));

    // Gravity 0 is pure damping.
    m.Put(2, 700, 600, 2, -1);
    MoveParticles(m.pool, Params(Radial, 0.0f, 0.97f));
    EXPECT_EQ(m[2].vx, float(double(0.97f) * 2.0));
    EXPECT_EQ(m[2].vy, -0.97f);
}

TEST(Motion, LiveAreaBounds) {
    struct Case {
        float x, y;
        bool stays;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {1021.0f, 300.0f, true},  {3.0f, 300.0f, true},     {1021.001f, 300.0f, false},
        {2.999f, 300.0f, false},  {500.0f, 3.0f, true},     {500.0f, 715.0f, false},
        {500.0f, 714.99f, true},  {500.0f, 2.999f, false},  {nan, 300.0f, false},
        {500.0f, nan, false},     {inf, 300.0f, false},     {500.0f, -inf, false},
    };
    const int32_t n = int32_t(std::size(cases));
    MotionPool m(n);
    // The bounds apply to the moved position: start at 0 and move there.
    for (int32_t i = 0; i < n; ++i) m.Put(i, 0.0f, 0.0f, cases[i].x, cases[i].y, 50);
    MoveParticles(m.pool, Params(Fall, 0.0f, 0.97f));
    for (int32_t i = 0; i < n; ++i) {
        EXPECT_EQ(m[i].life != 0, cases[i].stays) << "case " << i;
        if (!cases[i].stays && !std::isnan(cases[i].x)) {
            // Freed with nothing else changed.
            EXPECT_EQ(m[i].vx, cases[i].x) << "case " << i;
        }
    }
    // The freed slots are free for the next claimer.
    EXPECT_EQ(NextFreeSlot(m.pool, 0), 2);
}

TEST(Motion, LastLifeEndsFreeAfterMoving) {
    MotionPool m(3);
    m.Put(1, 500, 300, 1, 1, 1);
    MoveParticles(m.pool, Params(Fall, 0.0f, 0.5f));
    EXPECT_EQ(m[1].life, 0);
    EXPECT_EQ(m[1].x, 501.0f);
    EXPECT_EQ(m[1].vx, 0.5f);  // still got its new velocity
    EXPECT_EQ(NextFreeSlot(m.pool, 0), 0);
    EXPECT_EQ(NextFreeSlot(m.pool, 1), 1);

    // A free slot is not moved.
    MoveParticles(m.pool, Params(Fall, 0.0f, 0.5f));
    EXPECT_EQ(m[1].x, 501.0f);
}

TEST(Motion, PairedPartners) {
    const float g = 0.05f;
    const double k = double(g) * double(0.005f);
    // n = 6: partners 5-0, 4-1, 3-2.
    MotionPool m(6);
    m.Put(0, 100, 100, 10, 0);       // moves to (110, 100) before 5 reads it
    m.Put(5, 200, 150, 0, 0);
    m.Put(1, 1020, 100, 5, 0);       // leaves the area: freed, moved position kept
    m.Put(4, 300, 100, 0, 0);
    m[2].x = 40.0f;                  // free partner: its last position counts
    m[2].y = 60.0f;
    m.Put(3, 100, 100, 0, 0);
    MoveParticles(m.pool, Params(Paired, g, 1.0f));
    EXPECT_EQ(m[0].vx, 10.0f);  // first half: damping only
    EXPECT_EQ(m[5].vx, float(0.0 - (200.0 - 110.0) * k));
    EXPECT_EQ(m[5].vy, float(0.0 - (150.0 - 100.0) * k));
    EXPECT_EQ(m[1].life, 0);
    EXPECT_EQ(m[4].vx, float(0.0 - (300.0 - 1025.0) * k));
    EXPECT_EQ(m[3].vx, float(0.0 - (100.0 - 40.0) * k));
    EXPECT_EQ(m[3].vy, float(0.0 - (100.0 - 60.0) * k));
    EXPECT_GT(m[3].vx * (40.0f - m[3].x), 0.0f);  // positive gravity attracts

    // Odd count: the middle slot is its own partner, only damped; with one
    // slot that is all there is.
    MotionPool odd(5);
    odd.Put(2, 400, 400, 1, 2);
    MoveParticles(odd.pool, Params(Paired, 1.0f, 0.5f));
    EXPECT_EQ(odd[2].vx, 0.5f);
    EXPECT_EQ(odd[2].vy, 1.0f);
    MotionPool one(1);
    one.Put(0, 400, 400, 4, 2);
    MoveParticles(one.pool, Params(Paired, 1.0f, 0.5f));
    EXPECT_EQ(one[0].vx, 2.0f);
    EXPECT_EQ(one[0].vy, 1.0f);
    EXPECT_EQ(one[0].x, 404.0f);
}
