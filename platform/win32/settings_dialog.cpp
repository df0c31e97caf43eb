#include "platform/win32/settings_dialog.h"

#include <commctrl.h>

#include "platform/win32/settings_ids.h"
#include "starvane_version.h"

namespace {

constexpr const char* kAboutText =
    "Starvane " STARVANE_VERSION "\n"
    "\n"
    "The screen saver ends on any key, a mouse click or a move of the mouse. "
    "Run as a program (starvane.exe), the show takes these keys:\n"
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

constexpr int kButtons[] = {IDC_SCALED_EVERY, IDC_SCALED_PRIMARY, IDC_CLASSIC};

bool WriteDisplaySetting(DisplaySetting setting) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    const DWORD value = DWORD(setting);
    const LSTATUS written =
        RegSetValueExA(key, kDisplayValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    return written == ERROR_SUCCESS;
}

INT_PTR CALLBACK SettingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        CheckRadioButton(dialog, IDC_SCALED_EVERY, IDC_CLASSIC, kButtons[int(ReadDisplaySetting())]);
        SetDlgItemTextA(dialog, IDC_ABOUT, kAboutText);
        return TRUE;  // the focus goes to the first control
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: {
            DisplaySetting chosen = DisplaySetting::ScaledEveryMonitor;
            for (int i = 0; i < 3; ++i) {
                if (IsDlgButtonChecked(dialog, kButtons[i]) == BST_CHECKED) chosen = DisplaySetting(i);
            }
            if (!WriteDisplaySetting(chosen)) {
                MessageBoxA(dialog, "The setting could not be saved.", "Starvane screen saver", MB_OK | MB_ICONERROR);
                EndDialog(dialog, 1);
                return TRUE;
            }
            EndDialog(dialog, 0);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

}  // namespace

DisplaySetting ReadDisplaySetting() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return DecodeDisplaySetting(false, 0, nullptr, 0);
    }
    BYTE data[8] = {};
    DWORD type = 0, size = sizeof data;
    const LSTATUS read = RegQueryValueExA(key, kDisplayValue, nullptr, &type, data, &size);
    RegCloseKey(key);
    // A value too long for the buffer is bad too: its size tells.
    const bool found = read == ERROR_SUCCESS || read == ERROR_MORE_DATA;
    return DecodeDisplaySetting(found, type, read == ERROR_SUCCESS ? data : nullptr, size);
}

int ShowSettingsDialog(HWND owner) {
    // A handle that names no window (any more) leaves the dialog unowned.
    if (owner != nullptr && !IsWindow(owner)) owner = nullptr;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const INT_PTR result =
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETTINGS), owner, SettingsProc, 0);
    return result == 0 ? 0 : 1;  // -1: no dialog at all
}
