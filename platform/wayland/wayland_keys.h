// Wayland keys as the show's virtual-key codes. The compositor sends Linux
// key codes and a keymap; xkbcommon turns them into keysyms, which carry
// the layout and NumLock. Letters follow the layout, the digit row its
// position, as in the SDL program.
#pragma once
#include <cstdint>

// `code` is the Linux key code (the wl_keyboard key, not the xkb keycode),
// `keysym` what the keymap makes of it now. 0 when the show has no use for
// the key.
uint32_t VirtualKeyFromWayland(uint32_t code, uint32_t keysym);
