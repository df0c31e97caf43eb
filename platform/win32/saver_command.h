// The screen-saver command line, as Windows passes it to a .scr program:
//   /s          run the show full screen
//   /p HWND     draw a preview inside window HWND
//   /c[:HWND]   the settings dialog, owned by HWND when given
//   (nothing)   the settings dialog
//   /a HWND     change the password (not supported)
// Options are case-insensitive and start with '/' or '-'; a handle is an
// unsigned decimal number after a colon or after spaces. Plain C++, so the
// parser is tested on any host.
#pragma once
#include <cstdint>

enum class SaverMode {
    Show,       // /s
    Preview,    // /p HWND
    Configure,  // /c, /c HWND or no option at all
    Invalid,    // /a, unknown options and malformed arguments
};

struct SaverCommand {
    SaverMode mode;
    uint64_t window;  // the handle given with /p or /c; 0 when none
};

// Parses the command line after the program name (WinMain's lpCmdLine).
// A null pointer counts as an empty line.
SaverCommand ParseSaverCommand(const char* commandLine);
