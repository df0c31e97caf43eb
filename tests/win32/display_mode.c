/* Prints the current display mode as Windows reports it, WIDTHxHEIGHTxBITS,
   for the end-to-end tests to compare before, during and after a show. */
#include <windows.h>
#include <stdio.h>

int main(void) {
    DEVMODEA mode;
    ZeroMemory(&mode, sizeof mode);
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsA(NULL, ENUM_CURRENT_SETTINGS, &mode)) return 1;
    printf("%lux%lux%lu\n", mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel);
    return 0;
}
