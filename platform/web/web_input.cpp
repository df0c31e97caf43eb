#include "platform/web/web_input.h"

#include <algorithm>
#include <string_view>

#include "platform/keypad_stand_ins.h"
#include "platform/parse_number.h"
#include "platform/platform.h"

namespace {

// Keys known by their DOM key value; on the keypad without NumLock these
// are what its digit keys give.
struct NamedKey {
    std::string_view key;
    uint32_t code;
};
constexpr NamedKey kNamedKeys[] = {
    {"Escape", VkEscape},   {"Clear", VkClear},     {"ArrowLeft", VkLeft}, {"ArrowUp", VkUp},
    {"ArrowRight", VkRight}, {"ArrowDown", VkDown}, {"PageUp", VkPrior},   {"PageDown", VkNext},
    {"Home", 36},           {"End", 35},            {"Insert", 45},        {"Delete", 46},
    {"Enter", 13},          {"Tab", 9},             {"Backspace", 8},      {" ", 32},
};

// The keypad's operators by position, whatever they print.
constexpr NamedKey kKeypadOperators[] = {
    {"NumpadMultiply", VkMultiply}, {"NumpadDivide", VkDivide},  {"NumpadAdd", VkAdd},
    {"NumpadSubtract", VkSubtract}, {"NumpadDecimal", 110},
};

constexpr std::string_view kFunctionKeys[] = {"F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12"};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

uint32_t BaseVirtualKey(std::string_view key, std::string_view code) {
    // The keypad: digits with NumLock (96 to 105), else the named keys.
    const bool keypad = code.substr(0, 6) == "Numpad";
    if (keypad && key.size() == 1 && IsDigit(key[0])) return 96 + uint32_t(key[0] - '0');
    for (const NamedKey& k : kNamedKeys) {
        if (key == k.key) return k.code;
    }
    for (const NamedKey& k : kKeypadOperators) {
        if (code == k.key) return k.code;
    }
    for (uint32_t i = 0; i < 12; ++i) {
        if (key == kFunctionKeys[i]) return VkF1 + i;
    }
    if (key.size() == 1 && ((key[0] >= 'a' && key[0] <= 'z') || (key[0] >= 'A' && key[0] <= 'Z')))
        return uint32_t(key[0] & ~0x20);
    // A layout without Latin letters: the letter keys by position.
    const bool nonAscii = !key.empty() && (uint8_t(key[0]) & 0x80);
    if (nonAscii && code.size() == 4 && code.substr(0, 3) == "Key" && code[3] >= 'A' && code[3] <= 'Z')
        return uint32_t(code[3]);
    // The main keyboard's digit row, by position.
    if (code.size() == 6 && code.substr(0, 5) == "Digit" && IsDigit(code[5])) return uint32_t(code[5]);
    return 0;
}

}  // namespace

uint32_t VirtualKeyFromDom(const char* keyValue, const char* codeValue) {
    const std::string_view key = keyValue ? keyValue : "";
    const uint32_t symbol = key.size() == 1 ? uint8_t(key[0]) : 0;
    return WithKeypadStandIns(BaseVirtualKey(key, codeValue ? codeValue : ""), symbol);
}

ScreenPoint ScreenPointFromPage(double x, double y, double width, double height) {
    if (!(width > 0) || !(height > 0)) return {0, 0};
    // Clamped as doubles first, so no conversion can overflow.
    const double sx = std::clamp(x * kScreenWidth / width, 0.0, double(kScreenWidth - 1));
    const double sy = std::clamp(y * kScreenHeight / height, 0.0, double(kScreenHeight - 1));
    return {int32_t(sx), int32_t(sy)};
}

PageSeed SeedFromQuery(const char* queryText) {
    std::string_view query = queryText ? queryText : "";
    if (!query.empty() && query[0] == '?') query.remove_prefix(1);
    while (!query.empty()) {
        const size_t end = std::min(query.find('&'), query.size());
        const std::string_view field = query.substr(0, end);
        query.remove_prefix(std::min(end + 1, query.size()));
        if (field.substr(0, 5) != "seed=" && field != "seed") continue;
        const std::string_view value = field.size() > 5 ? field.substr(5) : std::string_view();
        if (value.empty() || value.size() > 10) return {std::nullopt, true};
        uint64_t n = 0;
        if (!ParseUnsigned(value, UINT32_MAX, n)) return {std::nullopt, true};
        return {uint32_t(n), false};
    }
    return {std::nullopt, false};
}
