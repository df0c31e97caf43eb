// The motion step: one pass over the pool per frame.
//
// Every right-hand side is evaluated in double from the stored floats and
// rounded to float when stored; the float constants are promoted as floats.
#include "engine/motion.h"

namespace {

// Adds the velocity to the position; false when the new position is outside
// 3 <= x <= 1021, 3 <= y < 715 (NaN fails every comparison).
inline bool Advance(Particle& p) {
    const float x = float(double(p.x) + double(p.vx));
    const float y = float(double(p.y) + double(p.vy));
    p.x = x;
    p.y = y;
    return x >= 3.0f && x <= 1021.0f && y >= 3.0f && y < 715.0f;
}

// Moves the live slots of [begin, end) in ascending order, applies rule to
// those that stay inside and ages them by one frame.
template <typename Rule>
void MoveRange(ParticlePool& pool, int32_t begin, int32_t end, Rule rule) {
    Particle* particles = pool.particles;
    for (int32_t i = begin; i < end; ++i) {
        Particle& p = particles[i];
        if (p.life == 0) continue;
        if (!Advance(p)) {
            FreeSlot(pool, i);
            continue;
        }
        rule(p, i);
        if (--p.life == 0) FreeSlot(pool, i);
    }
}

}  // namespace

void MoveParticles(ParticlePool& pool, const ShowParams& params) {
    const ShowParams now = params;
    const double g = now.gravity;
    const double d = now.damping;
    const int32_t n = pool.particleCount;
    if (pool.particles == nullptr || n <= 0) return;

    switch (now.motionMode) {
    case Swirl: {
        const double s = now.turnSin;
        const double c = now.turnCos;
        MoveRange(pool, 0, n, [=](Particle& p, int32_t) {
            const float vx = float(d * (c * double(p.vx) - s * double(p.vy)));
            p.vx = vx;
            p.vy = float(d * (s * double(vx) + c * double(p.vy)));
        });
        break;
    }
    case Fall:
        MoveRange(pool, 0, n, [=](Particle& p, int32_t) {
            p.vy = float(double(p.vy) + g);
            p.vx = float(d * double(p.vx));
            p.vy = float(d * double(p.vy));
        });
        break;
    case Radial: {
        const double k = double(0.0083f);
        MoveRange(pool, 0, n, [=](Particle& p, int32_t) {
            p.vx = float(double(p.vx) + (double(p.x) - 512.0) * g * k);
            p.vy = float(double(p.vy) + (double(p.y) - 384.0) * g * k);
            p.vx = float(d * double(p.vx));
            p.vy = float(d * double(p.vy));
        });
        break;
    }
    case Paired: {
        // The first half moves completely before the second half reads its
        // partners, so partners are seen at their moved positions.
        const double k = double(0.005f);
        const Particle* particles = pool.particles;
        MoveRange(pool, 0, n / 2, [=](Particle& p, int32_t) {
            p.vx = float(d * double(p.vx));
            p.vy = float(d * double(p.vy));
        });
        MoveRange(pool, n / 2, n, [=](Particle& p, int32_t i) {
            const Particle& partner = particles[n - 1 - i];
            p.vx = float(double(p.vx) - (double(p.x) - double(partner.x)) * g * k);
            p.vy = float(double(p.vy) - (double(p.y) - double(partner.y)) * g * k);
            p.vx = float(d * double(p.vx));
            p.vy = float(d * double(p.vy));
        });
        break;
    }
    default:
        // Not a model: nothing moves (the controls keep motionMode in 0..3).
        break;
    }
}
