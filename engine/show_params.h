// The live show parameters that styles and keys change and the motion step,
// fan bursts and the wind read.
#pragma once
#include <cstdint>

enum MotionMode : int32_t { Swirl = 0, Fall = 1, Radial = 2, Paired = 3 };

struct ShowParams {
    float gravity = 0.0f;
    float damping = 0.97f;
    int32_t motionMode = Fall;
    // Swirl turn per frame, kept in step with gravity by DeriveTurn. The
    // initial sine and cosine are those of 0.72 degrees (gravity is 0 then).
    float turnDegrees = 0.72f;
    float turnSin = 0x1.9bc38p-7f;   // 0.012566030
    float turnCos = 0x1.fff5a6p-1f;  // 0.99992102
    int32_t fanRepeats = 3;  // 2 to 9
    int32_t fanSpokes = 5;   // 1 to 9
    float windStrength = 0.3f;
};
