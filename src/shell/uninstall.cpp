#include "shell.h"

#include "../dialogs/dialogs.h"
#include "../platform/platform.h"
#include "../reminder/reminder.h"
#include "../store/store.h"

void InstallationFolder(char *folder, int room)
{
    if (PlatformCurrentDirectory(folder, room))
        return;
    DWORD length = GetModuleFileNameA(NULL, folder, (DWORD)room);
    if (length == 0 || length >= (DWORD)room) {
        folder[0] = '\0';
        return;
    }
    char *slash = folder;
    for (char *p = folder; *p; p++)
        if (*p == '\\' || *p == '/')
            slash = p;
    *slash = '\0';
}

void Uninstall()
{
    // The overview handle follows whichever overview last had a message, and closing the
    // question activates another one; so the window brought back is the one hidden here.
    HWND hidden = OverviewHandle;
    ShowWindow(hidden, SW_HIDE);
    // Only an explicit Yes deletes the schedule: a box that failed to appear returns 0.
    if (PlatformMessageBox(NULL, "Uninstall Morvane ?", "Morvane Uninstall",
                           MB_SYSTEMMODAL | MB_ICONQUESTION | MB_YESNO) != IDYES) {
        ShowWindow(hidden, SW_SHOW);
        return;
    }
    KillTimer(MainWindow, REMINDER_TIMER_ID);
    UninstallingFlag = 1;

    char folder[MAX_PATH];
    InstallationFolder(folder, sizeof folder);
    DeleteStore();

    char text[360];
    wsprintfA(text, "Removed Morvane registry key.\nTo complete uninstall please remove the directory %s",
              folder);
    PlatformMessageBox(NULL, text, "Morvane Uninstall", MB_SYSTEMMODAL | MB_ICONINFORMATION);
    Shell_NotifyIconA(NIM_DELETE, &TrayIcon);
    PostQuitMessage(0);
}
