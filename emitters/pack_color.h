// A burst colour from its channels: 0x00RRGGBB.
#pragma once
#include <cstdint>

inline uint32_t PackColor(int32_t red, int32_t green, int32_t blue) {
    return uint32_t(red) * 65536u + uint32_t(green) * 256u + uint32_t(blue);
}
