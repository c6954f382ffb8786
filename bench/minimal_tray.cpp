// The least a tray program does at rest, and what Morvane is measured against: a window class,
// a hidden window, one notification icon, a two-second timer and a message loop.
//
// Built with MINITRAY_WITH_WINMM, _SHLWAPI or _ADVAPI32 it also imports that DLL as Morvane
// does, without calling into it, so that the footprint benchmark can tell what loading each DLL
// costs by itself.
#include <windows.h>
#include <shellapi.h>
#include <mmsystem.h>
#include <shlwapi.h>

static NOTIFYICONDATAA TrayIcon;

// Where a variant stores the address of its import: a store through a volatile pointer is kept
// by the compiler and the linker, so the import stays although nothing calls it.
void *volatile Imported;

static LRESULT CALLBACK MinimalWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        return 0;  // where a reminder would look at the clock
    case WM_DESTROY:
        KillTimer(window, 1);
        Shell_NotifyIconA(NIM_DELETE, &TrayIcon);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
#ifdef MINITRAY_WITH_WINMM
    Imported = (void *)&PlaySoundA;
#endif
#ifdef MINITRAY_WITH_SHLWAPI
    Imported = (void *)&SHDeleteKeyA;
#endif
#ifdef MINITRAY_WITH_ADVAPI32
    Imported = (void *)&RegOpenKeyExA;
#endif
    WNDCLASSA wc = {};
    wc.lpfnWndProc = MinimalWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = "MINITRAY";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "MINITRAY", "minitray", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                  CW_USEDEFAULT, 0, NULL, NULL, instance, NULL);
    if (!window)
        return 1;

    TrayIcon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    TrayIcon.hWnd = window;
    TrayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    TrayIcon.uCallbackMessage = WM_APP;
    TrayIcon.hIcon = LoadIconA(NULL, (LPCSTR)IDI_APPLICATION);
    lstrcpynA(TrayIcon.szTip, "minitray", sizeof TrayIcon.szTip);
    Shell_NotifyIconA(NIM_ADD, &TrayIcon);
    SetTimer(window, 1, 2000, NULL);

    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
