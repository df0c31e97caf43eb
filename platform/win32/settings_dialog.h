// The screen saver's settings dialog (/c) and the registry value behind it.
#pragma once
#include <windows.h>
#include "platform/win32/saver_settings.h"

// The setting saved under HKEY_CURRENT_USER\Software\Starvane; the default
// when it is missing or bad.
DisplaySetting ReadDisplaySetting();

// Shows the dialog, owned by `owner` when that is a window: the display
// setting, the version and the keys. OK saves the setting; Cancel, Esc or
// closing the dialog leave it. Returns the exit status: 0, or 1 when the
// setting could not be saved.
int ShowSettingsDialog(HWND owner);
