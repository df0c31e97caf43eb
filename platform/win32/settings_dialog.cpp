#include "platform/win32/settings_dialog.h"

#include "starvane_version.h"

namespace {

constexpr const char* kSettingsTitle = "Starvane screen saver";

constexpr const char* kSettingsText =
    "Starvane " STARVANE_VERSION "\n"
    "\n"
    "This screen saver has no settings.\n"
    "\n"
    "It ends on any key, a mouse click or a move of the mouse. Run as a\n"
    "program (starvane.exe), the show takes these keys:\n"
    "\n"
    "Esc\tends the show\n"
    "H\tstatus line on or off\n"
    "N / L / R\tnew style / lock or unlock the style / reset\n"
    "M\tnext motion model\n"
    "Right / Page Up\tgravity up / down\n"
    "Up / Clear\tdamping up / down\n"
    "Num * / Page Down\tmore / fewer fan repeats\n"
    "Num / / Down\tmore / fewer fan spokes\n"
    "Num + / Num -\t200 particles more / fewer\n"
    "1 to 8\tone kind of firework each\n"
    "F1 to F9, F11, F12\tsingle emitters and effects\n"
    "Left / right click\ta fan / scatter burst there";

}  // namespace

int ShowSettingsDialog(HWND owner) {
    // A handle that names no window (any more) leaves the dialog unowned.
    if (owner != nullptr && !IsWindow(owner)) owner = nullptr;
    MessageBoxA(owner, kSettingsText, kSettingsTitle, MB_OK | MB_ICONINFORMATION | (owner ? 0 : MB_TOPMOST));
    return 0;
}
