// Test helper: takes the foreground from the show window for a while, as a
// viewer switching to another program does, then restores and activates the
// show window again.
#include <windows.h>
#include <stdlib.h>

static void Pump(DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG m;
        while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) { TranslateMessage(&m); DispatchMessageA(&m); }
        Sleep(10);
    }
}

int main(int argc, char** argv) {
    DWORD awayMs = argc > 1 ? (DWORD)atoi(argv[1]) : 2000;
    HWND show = FindWindowA("i", "df");
    if (!show) return 2;
    HWND other = CreateWindowExA(0, "STATIC", "elsewhere", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 200,
                                 NULL, NULL, GetModuleHandleA(NULL), NULL);
    if (!other) return 3;
    SetForegroundWindow(other);
    Pump(awayMs);
    DestroyWindow(other);
    ShowWindow(show, SW_RESTORE);
    SetForegroundWindow(show);
    Pump(200);
    return 0;
}
