// Test helper: whether drawing in a child window of another process's window
// reaches the screen (Wine 8 keeps such drawing off screen). Puts a white
// 60 x 40 child window at the top left of window HWND's client area for
// MS milliseconds (default 3000), repainting it every 100 ms.
#include <windows.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    HWND parent = (HWND)(UINT_PTR)_strtoui64(argv[1], NULL, 10);
    DWORD lifetime = argc > 2 ? (DWORD)atoi(argv[2]) : 3000;
    WNDCLASSA windowClass = {0};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    windowClass.lpszClassName = "child-probe";
    RegisterClassA(&windowClass);
    HWND child = CreateWindowExA(0, "child-probe", "", WS_CHILD | WS_VISIBLE, 0, 0, 60, 40, parent, NULL,
                                 windowClass.hInstance, NULL);
    if (!child) return 1;
    RECT all = {0, 0, 60, 40};
    DWORD start = GetTickCount();
    while (GetTickCount() - start < lifetime) {
        HDC dc = GetDC(child);
        FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
        ReleaseDC(child, dc);
        MSG m;
        while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        Sleep(100);
    }
    DestroyWindow(child);
    return 0;
}
