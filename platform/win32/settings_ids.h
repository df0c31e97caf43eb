// Resource and control ids of the screen saver's settings dialog, shared by
// starvane_scr.rc and settings_dialog.cpp.
#pragma once

#define IDD_SETTINGS 200
#define IDC_SCALED_EVERY 201
#define IDC_SCALED_PRIMARY 202
#define IDC_CLASSIC 203
#define IDC_ABOUT 204
