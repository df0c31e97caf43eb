#include "platform/win32/settings_dialog.h"

#include "starvane_version.h"

namespace {

constexpr const char* kSettingsTitle = "Starvane screen saver";

constexpr const char* kSettingsText =
    "Starvane " STARVANE_VERSION "\n"
    "\n"
    "This screen saver has no settings.\n"
    "\n"
    "It ends on any key, a mouse click or a move of the mouse. Run as a "
    "program (starvane.exe), the show takes these keys:\n"
    "\n"
    "Esc: ends the show\n"
    "H: status line on or off\n"
    "N, L, R: a new style, lock or unlock the style, reset\n"
    "M: next motion model\n"
    "Right arrow, Page Up: gravity up, down\n"
    "Up arrow, Clear: damping up, down\n"
    "Keypad *, Page Down: more, fewer fan repeats\n"
    "Keypad /, Down arrow: more, fewer fan spokes\n"
    "Keypad +, keypad -: 200 particles more, fewer\n"
    "1 to 8: one kind of firework each\n"
    "F1 to F9, F11, F12: single emitters and effects\n"
    "Left, right click: a fan, a scatter burst there";

}  // namespace

int ShowSettingsDialog(HWND owner) {
    // A handle that names no window (any more) leaves the dialog unowned.
    if (owner != nullptr && !IsWindow(owner)) owner = nullptr;
    MessageBoxA(owner, kSettingsText, kSettingsTitle, MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
    return 0;
}
