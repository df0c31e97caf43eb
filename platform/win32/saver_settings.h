// The screen saver's one setting, kept as the DWORD value "Display" under
// HKEY_CURRENT_USER\Software\Starvane: how /s shows the show. Decoding is
// plain C++, so it is tested on any host; the registry calls are in
// settings_dialog.cpp.
#pragma once
#include <cstdint>

enum class DisplaySetting : uint32_t {
    ScaledEveryMonitor = 0,  // the default
    ScaledPrimary = 1,       // the primary monitor, black on the others
    ClassicExclusive = 2,    // the exclusive 1024 x 768 x 32 mode, as starvane.exe
};

constexpr const char* kSettingsKey = "Software\\Starvane";
constexpr const char* kDisplayValue = "Display";
constexpr uint32_t kRegDword = 4;  // REG_DWORD

// The setting a registry value holds: `found` whether it exists, `type` its
// registry type, `data` and `size` its bytes. A missing value, another type
// or size, or a number out of range gives the default.
DisplaySetting DecodeDisplaySetting(bool found, uint32_t type, const uint8_t* data, uint32_t size);
