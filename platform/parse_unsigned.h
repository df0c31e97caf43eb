// Whole numbers from command lines and addresses: decimal digits only, no
// sign, no spaces.
#pragma once
#include <cstdint>
#include <string_view>

// A decimal integer within [0, hi]; false for anything else.
inline bool ParseUnsigned(std::string_view text, uint64_t hi, uint64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + uint64_t(c - '0');
        if (v > hi) return false;
    }
    value = v;
    return true;
}
