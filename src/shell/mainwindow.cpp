#include "shell.h"

#include "../../res/resource.h"
#include "../dialogs/dialogs.h"
#include "../platform/platform.h"
#include "../reminder/reminder.h"

HINSTANCE AppInstance;
HANDLE InstanceMutex;
HWND MainWindow;
HMENU TrayMenu;
NOTIFYICONDATAA TrayIcon;
UINT TaskbarCreatedMessage;

// The window must be in the foreground before TrackPopupMenu, or the menu does not close
// when the user clicks elsewhere; the posted WM_NULL lets the next right click open it again.
static void ShowTrayMenu(HWND window)
{
    POINT cursor;
    SetForegroundWindow(window);
    GetCursorPos(&cursor);
    TrackPopupMenu(TrayMenu, 0, cursor.x, cursor.y, 0, window, NULL);
    PostMessageA(window, WM_NULL, 0, 0);
}

// Nothing opens over an alert box: its OK could not return until that window closed, and its
// sound and the alerts behind it would wait as long. The box comes to the front instead.
static void OpenFromTray(WORD command)
{
    if (BringAlertToFront())
        return;
    switch (command) {
    case IDM_SETTINGS:
        OpenSettingsDialog();
        break;
    case IDM_ABOUT:
        OpenAboutBox();
        break;
    case IDM_UNINSTALL:
        Uninstall();
        break;
    }
}

static void OnTrayNotify(HWND window, LPARAM mouseMessage)
{
    // Once uninstall has deleted the schedule, nothing opened from here may write it again.
    if (UninstallingFlag)
        return;
    switch ((UINT)mouseMessage) {
    case WM_RBUTTONUP:
        ShowTrayMenu(window);
        break;
    case WM_LBUTTONDBLCLK:
        OpenFromTray(IDM_SETTINGS);
        break;
    }
}

static LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case IDM_SETTINGS:
    case IDM_ABOUT:
    case IDM_UNINSTALL:
        OpenFromTray(LOWORD(wParam));
        return 0;
    case IDM_EXIT:
        DestroyWindow(window);
        return 0;
    }
    return DefWindowProcA(window, WM_COMMAND, wParam, lParam);
}

static void OnDestroy(HWND window)
{
    KillTimer(window, REMINDER_TIMER_ID);
    PlatformNotifyIcon(NIM_DELETE, &TrayIcon);
    if (InstanceMutex) {
        CloseHandle(InstanceMutex);
        InstanceMutex = NULL;
    }
    PostQuitMessage(0);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // A restarted shell has forgotten every notification icon; put ours back.
    if (TaskbarCreatedMessage != 0 && message == TaskbarCreatedMessage) {
        PlatformNotifyIcon(NIM_ADD, &TrayIcon);
        return 0;
    }
    switch (message) {
    case WM_COMMAND:
        return OnCommand(window, wParam, lParam);
    case WM_TIMER:
        return RunReminderTick(window);
    case WM_TRAYNOTIFY:
        OnTrayNotify(window, lParam);
        return 0;
    case WM_NEXTPROGRAMME:
        ShowTrayTip((const char *)lParam);
        return 0;
    case WM_DESTROY:
        OnDestroy(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// One About box at a time: asked for again, the open one comes to the front.
void OpenAboutBox()
{
    if (!BringDialogToFront("About Morvane"))
        DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_ABOUTBOX), NULL, AboutDialogProc, 0);
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}
