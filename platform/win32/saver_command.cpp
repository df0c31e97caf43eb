#include "platform/win32/saver_command.h"

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

const char* SkipSpaces(const char* p) {
    while (IsSpace(*p)) ++p;
    return p;
}

// An unsigned decimal number that fills the rest of the line (trailing
// spaces aside) and fits in 64 bits. False for anything else.
bool ParseHandle(const char* p, uint64_t& value) {
    if (*p < '0' || *p > '9') return false;
    uint64_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        const uint64_t digit = uint64_t(*p - '0');
        if (v > (UINT64_MAX - digit) / 10) return false;
        v = v * 10 + digit;
    }
    if (*SkipSpaces(p) != '\0') return false;
    value = v;
    return true;
}

}  // namespace

SaverCommand ParseSaverCommand(const char* commandLine) {
    const SaverCommand invalid = {SaverMode::Invalid, 0};
    const char* p = SkipSpaces(commandLine ? commandLine : "");
    if (*p == '\0') return {SaverMode::Configure, 0};
    if ((*p != '/' && *p != '-') || p[1] == '\0') return invalid;
    const char option = char(p[1] | 0x20);  // lower case for letters
    p += 2;
    // The argument: after a colon, or after at least one space.
    bool colon = false;
    if (*p == ':') {
        colon = true;
        ++p;
    } else if (*p != '\0' && !IsSpace(*p)) {
        return invalid;  // "/sx", "/p1234"
    }
    const char* argument = SkipSpaces(p);
    const bool hasArgument = colon || *argument != '\0';

    uint64_t window = 0;
    switch (option) {
    case 's':
        if (hasArgument) return invalid;
        return {SaverMode::Show, 0};
    case 'p':
        if (!ParseHandle(argument, window) || window == 0) return invalid;
        return {SaverMode::Preview, window};
    case 'c':
        if (hasArgument && !ParseHandle(argument, window)) return invalid;
        return {SaverMode::Configure, window};
    default:
        return invalid;
    }
}
