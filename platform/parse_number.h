// Whole decimal numbers from command lines, scripts and addresses: digits
// only, with a leading '-' where a value may be negative; no '+', no spaces.
#pragma once
#include <cstdint>
#include <string_view>

// A decimal integer within [0, hi]; false for anything else.
inline bool ParseUnsigned(std::string_view text, uint64_t hi, uint64_t& value) {
    if (text.empty()) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || v > (UINT64_MAX - 9) / 10) return false;
        v = v * 10 + uint64_t(c - '0');
        if (v > hi) return false;
    }
    value = v;
    return true;
}

// A decimal integer within [lo, hi]; false for anything else.
inline bool ParseInteger(std::string_view text, int64_t lo, int64_t hi, int64_t& value) {
    const bool negative = lo < 0 && !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    const uint64_t limit = negative ? uint64_t(-(lo + 1)) + 1 : hi < 0 ? 0 : uint64_t(hi);
    uint64_t magnitude = 0;
    if (!ParseUnsigned(text, limit, magnitude)) return false;
    const int64_t v = negative ? int64_t(0 - magnitude) : int64_t(magnitude);
    if (v < lo || v > hi) return false;
    value = v;
    return true;
}
