// The application shell: start-up, the hidden main window with the tray icon and its menu,
// the About box and uninstall. The process-wide state below is set once at start-up.
#ifndef MORVANE_SHELL_H
#define MORVANE_SHELL_H

#include <windows.h>
#include <shellapi.h>

#define WM_TRAYNOTIFY 1234

extern HINSTANCE AppInstance;
extern HANDLE InstanceMutex;
extern HWND MainWindow;
extern HMENU TrayMenu;
extern NOTIFYICONDATAA TrayIcon;
// "TaskbarCreated", which the shell broadcasts when it restarts; 0 until registered.
extern UINT TaskbarCreatedMessage;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Start-up: the main window's class, then (once MainWindow is set) the notification icon, each
// with the program's icons at the sizes the display asks for; at exit, those icons are destroyed.
void RegisterMainClass(HINSTANCE instance, const char *className);
void AddTrayIcon(HINSTANCE instance);
void DestroyProgramIcons();
// The tip names the next programme: handed to the shell when its text changes, and read afresh
// from the store after the schedule was changed.
void ShowTrayTip(const char *tip);
void RefreshTrayTip();
void OpenAboutBox();
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void Uninstall();

#endif
