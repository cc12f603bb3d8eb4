/* Logs every key that reaches its window, as Windows delivers it:
 *   key_receiver.exe LOG SECONDS
 * one line per WM_KEYDOWN/WM_KEYUP (or the SYS forms): "down|up VK shift ctrl alt", each
 * modifier 1 when held at that moment. The window takes the foreground at start and ends
 * after SECONDS. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

static FILE* log_file;

static LRESULT CALLBACK on_message(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    switch (m) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        fprintf(log_file, "%s %u %d %d %d\n", (m == WM_KEYDOWN || m == WM_SYSKEYDOWN) ? "down" : "up",
                (unsigned)wp, GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0,
                GetKeyState(VK_MENU) < 0);
        fflush(log_file);
        return 0;
    case WM_TIMER:
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

int main(int argc, char** argv) {
    if (argc != 3 || !(log_file = fopen(argv[1], "wb"))) {
        fprintf(stderr, "usage: key_receiver LOG SECONDS\n");
        return 2;
    }
    WNDCLASSA c = {0};
    c.lpfnWndProc = on_message;
    c.hInstance = GetModuleHandleA(NULL);
    c.lpszClassName = "drevonix-key-receiver";
    RegisterClassA(&c);
    HWND w = CreateWindowA(c.lpszClassName, "drevonix-key-receiver", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                           20, 400, 300, 200, NULL, NULL, c.hInstance, NULL);
    SetForegroundWindow(w);
    SetFocus(w);
    SetTimer(w, 1, (UINT)atoi(argv[2]) * 1000u, NULL);
    fprintf(log_file, "ready\n");
    fflush(log_file);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    fclose(log_file);
    return 0;
}
