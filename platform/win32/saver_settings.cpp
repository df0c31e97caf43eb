#include "platform/win32/saver_settings.h"

DisplaySetting DecodeDisplaySetting(bool found, uint32_t type, const uint8_t* data, uint32_t size) {
    if (!found || type != kRegDword || size != 4 || data == nullptr) return DisplaySetting::ScaledEveryMonitor;
    // Registry DWORDs are little-endian.
    const uint32_t value =
        uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
    if (value > uint32_t(DisplaySetting::ClassicExclusive)) return DisplaySetting::ScaledEveryMonitor;
    return DisplaySetting(value);
}
