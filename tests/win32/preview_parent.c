// Test helper: the window a screen-saver preview draws into. Opens a window
// whose grey client area is 152 x 112, prints its handle and the client
// area's screen rectangle ("HWND LEFT TOP WIDTH HEIGHT"). Every 100 ms it
// looks at its child windows: whenever the top one is new, prints its
// rectangle in client coordinates ("child LEFT TOP WIDTH HEIGHT"); once the
// file CLOSE_PATH exists, prints how many it has ("children N") and closes.
#include <windows.h>
#include <stdio.h>

static int children;
static const char* closePath;
static HWND lastChild;

static BOOL CALLBACK CountChild(HWND child, LPARAM data) {
    (void)child;
    (void)data;
    ++children;
    return TRUE;
}

static void ReportNewChild(HWND window) {
    HWND child = GetWindow(window, GW_CHILD);
    RECT r;
    if (!child || child == lastChild || !GetWindowRect(child, &r)) return;
    MapWindowPoints(NULL, window, (POINT*)&r, 2);
    printf("child %ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    fflush(stdout);
    lastChild = child;
}

static LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        ReportNewChild(window);
        if (GetFileAttributesA(closePath) == INVALID_FILE_ATTRIBUTES) return 0;
        EnumChildWindows(window, CountChild, 0);
        printf("children %d\n", children);
        fflush(stdout);
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    closePath = argv[1];
    WNDCLASSA windowClass = {0};
    windowClass.lpfnWndProc = ParentProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(GRAY_BRUSH);
    windowClass.lpszClassName = "preview-parent";
    RegisterClassA(&windowClass);
    RECT frame = {0, 0, 152, 112};
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    AdjustWindowRect(&frame, style, FALSE);
    HWND window = CreateWindowExA(0, "preview-parent", "preview parent", style | WS_VISIBLE, 300, 200,
                                  frame.right - frame.left, frame.bottom - frame.top, NULL, NULL,
                                  windowClass.hInstance, NULL);
    if (!window) return 1;
    UpdateWindow(window);
    RECT client;
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    printf("%llu %ld %ld %ld %ld\n", (unsigned long long)(UINT_PTR)window, origin.x, origin.y, client.right,
           client.bottom);
    fflush(stdout);
    SetTimer(window, 1, 100, NULL);
    MSG m;
    while (GetMessageA(&m, NULL, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    return 0;
}
