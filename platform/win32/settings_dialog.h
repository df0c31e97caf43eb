// The screen saver's settings dialog (/c): the show has no settings, so it
// says so, names the version and lists the keys.
#pragma once
#include <windows.h>

// Shows the dialog, owned by `owner` when that is a window, until OK, Enter
// or Esc closes it. Returns the exit status, 0.
int ShowSettingsDialog(HWND owner);
