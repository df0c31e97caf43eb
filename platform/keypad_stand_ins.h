// Main-keyboard stand-ins for the keypad keys, for keyboards without a
// keypad, on keys the show has no other use for: the symbol printed on the
// key, and D for the keypad's 5 (Clear, damping down). The SDL and web
// backends take them; the Windows program keeps its key table as it is.
#pragma once
#include <cstdint>
#include "platform/platform.h"

// `base` is the key's own virtual-key code (0 when it has none), `symbol`
// the character the key gives (0 when none).
inline uint32_t WithKeypadStandIns(uint32_t base, uint32_t symbol) {
    if (base == 'D') return VkClear;
    if (base != 0) return base;  // the digit row keeps its digits whatever it prints
    switch (symbol) {
    case '+':
    case '=':
        return VkAdd;
    case '-':
        return VkSubtract;
    case '*':
    case ']':
        return VkMultiply;
    case '/':
        return VkDivide;
    default:
        return 0;
    }
}
