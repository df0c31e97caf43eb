#include "platform/wayland/wayland_keys.h"

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include "platform/keypad_stand_ins.h"
#include "platform/platform.h"

namespace {

struct KeysymKey {
    uint32_t keysym;
    uint32_t code;
};
// NumLock is already in the keysym: KP_5 with it, KP_Begin without.
constexpr KeysymKey kKeysymKeys[] = {
    {XKB_KEY_Escape, VkEscape},     {XKB_KEY_Clear, VkClear},       {XKB_KEY_Left, VkLeft},
    {XKB_KEY_Up, VkUp},             {XKB_KEY_Right, VkRight},       {XKB_KEY_Down, VkDown},
    {XKB_KEY_Prior, VkPrior},       {XKB_KEY_Next, VkNext},         {XKB_KEY_Home, 36},
    {XKB_KEY_End, 35},              {XKB_KEY_Insert, 45},           {XKB_KEY_Delete, 46},
    {XKB_KEY_Return, 13},           {XKB_KEY_space, 32},            {XKB_KEY_Tab, 9},
    {XKB_KEY_BackSpace, 8},         {XKB_KEY_KP_Multiply, VkMultiply}, {XKB_KEY_KP_Divide, VkDivide},
    {XKB_KEY_KP_Add, VkAdd},        {XKB_KEY_KP_Subtract, VkSubtract}, {XKB_KEY_KP_Enter, 13},
    {XKB_KEY_KP_Decimal, 110},      {XKB_KEY_KP_Insert, 45},        {XKB_KEY_KP_End, 35},
    {XKB_KEY_KP_Down, VkDown},      {XKB_KEY_KP_Next, VkNext},      {XKB_KEY_KP_Left, VkLeft},
    {XKB_KEY_KP_Begin, VkClear},    {XKB_KEY_KP_Right, VkRight},    {XKB_KEY_KP_Home, 36},
    {XKB_KEY_KP_Up, VkUp},          {XKB_KEY_KP_Prior, VkPrior},    {XKB_KEY_KP_Delete, 46},
};

// The letter keys of the main keyboard by position, for layouts without
// Latin letters: the US letter on each Linux key code from KEY_Q on.
constexpr char kLetterRows[] = "QWERTYUIOP\0\0\0\0ASDFGHJKL\0\0\0\0\0ZXCVBNM";

uint32_t LetterAt(uint32_t code) {
    if (code < KEY_Q || code >= KEY_Q + sizeof(kLetterRows) - 1) return 0;
    return uint32_t(kLetterRows[code - KEY_Q]);
}

uint32_t BaseVirtualKey(uint32_t code, uint32_t keysym) {
    for (const KeysymKey& k : kKeysymKeys) {
        if (keysym == k.keysym) return k.code;
    }
    if (keysym >= XKB_KEY_KP_0 && keysym <= XKB_KEY_KP_9) return 96 + (keysym - XKB_KEY_KP_0);
    if (keysym >= XKB_KEY_a && keysym <= XKB_KEY_z) return 'A' + (keysym - XKB_KEY_a);
    if (keysym >= XKB_KEY_A && keysym <= XKB_KEY_Z) return keysym;
    if (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F12) return VkF1 + (keysym - XKB_KEY_F1);
    // A layout without Latin letters: the letter keys by position.
    if (keysym > 0x7F && LetterAt(code) != 0) return LetterAt(code);
    // The main keyboard's digit row, by position: 1 to 9, then 0.
    if (code >= KEY_1 && code <= KEY_9) return '1' + (code - KEY_1);
    if (code == KEY_0) return '0';
    if (keysym >= XKB_KEY_0 && keysym <= XKB_KEY_9) return keysym;
    return 0;
}

}  // namespace

uint32_t VirtualKeyFromWayland(uint32_t code, uint32_t keysym) {
    // Keysyms from space to tilde are their ASCII characters.
    const uint32_t symbol = keysym >= 0x20 && keysym <= 0x7E ? keysym : 0;
    return WithKeypadStandIns(BaseVirtualKey(code, keysym), symbol);
}
