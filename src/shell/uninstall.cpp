#include "shell.h"

#include "../dialogs/dialogs.h"
#include "../platform/platform.h"
#include "../reminder/reminder.h"
#include "../store/store.h"

#include <string.h>

// The package records in its own per-user key where it installed Morvane and under which product
// code; its uninstall takes both values away with the rest.
static const char InstallerKey[] = "Software\\Morvane\\Installer";

// Reads one string value of the package's record into text (room characters); false when it is
// missing, not a string or too long. Whoever wrote it need not have ended it with a zero.
static bool ReadRecord(LPCSTR name, char *text, DWORD room)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, InstallerKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = REG_NONE, size = room - 1;
    LONG result = RegQueryValueExA(key, name, NULL, &type, (BYTE *)text, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return false;
    text[size] = '\0';
    return true;
}

// Folders written differently name the same one when their long forms differ only in case and
// trailing backslashes. A folder that does not exist, or whose long form does not fit, is taken
// as written.
static void FolderKey(const char *folder, char *key, int room)
{
    DWORD length = GetLongPathNameA(folder, key, (DWORD)room);
    if (length == 0 || length >= (DWORD)room)
        lstrcpynA(key, folder, room);
    int end = lstrlenA(key);
    while (end > 0 && key[end - 1] == '\\')
        key[--end] = '\0';
    CharUpperA(key);
}

// An installed copy is one whose executable lies in the folder the package recorded, however it
// was started: from a command prompt, Win+R or Task Scheduler the working folder is another one.
static bool IsInstalled()
{
    char recorded[MAX_PATH], running[MAX_PATH], a[MAX_PATH], b[MAX_PATH];
    if (!ReadRecord("InstallFolder", recorded, sizeof recorded))
        return false;
    ProgramFolder(running, sizeof running);
    FolderKey(recorded, a, sizeof a);
    FolderKey(running, b, sizeof b);
    return a[0] != '\0' && strcmp(a, b) == 0;
}

// Only a product code in Windows Installer's own form goes onto msiexec's command line: the
// record is anyone's to write, and anything else could carry arguments of its own.
static bool IsProductCode(const char *text)
{
    const char form[] = "{HHHHHHHH-HHHH-HHHH-HHHH-HHHHHHHHHHHH}";
    for (int i = 0; form[i]; i++) {
        char c = text[i];
        bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
        if (form[i] == 'H' ? !hex : c != form[i])
            return false;
    }
    return text[sizeof form - 1] == '\0';
}

// Windows Installer's removal of the package, with progress but no question and no Cancel
// (the user has said Yes), and never a restart; NULL when it cannot be started. It is held
// until the program is about to end, so that none of its files is in use while they go, and it
// runs in the system folder, since a process's working folder cannot be removed.
static HANDLE StartRemoval()
{
    char code[40], system[MAX_PATH], msiexec[MAX_PATH + 16], commandLine[MAX_PATH + 96];
    UINT length = GetSystemDirectoryA(system, sizeof system);
    if (!ReadRecord("ProductCode", code, sizeof code) || !IsProductCode(code) || length == 0 ||
        length >= sizeof system)
        return NULL;
    wsprintfA(msiexec, "%s\\msiexec.exe", system);
    wsprintfA(commandLine, "\"%s\" /x %s /qb!- REBOOT=ReallySuppress", msiexec, code);
    return PlatformStartHeld(msiexec, commandLine, system);
}

static BOOL CALLBACK EndDialogWindow(HWND window, LPARAM)
{
    char name[8];
    if (GetClassNameA(window, name, sizeof name) && lstrcmpA(name, "#32770") == 0)
        EndDialog(window, IDCANCEL);
    return TRUE;
}

static void AskAndUninstall()
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
    // Nothing may make the schedule again once it is gone: the tray now does nothing, and every
    // dialog still open goes (an Add pressed in an overview left open would write the key anew).
    // No sound is left playing behind the last box: a preview loops on after its dialog.
    EnumThreadWindows(GetCurrentThreadId(), EndDialogWindow, 0);
    StopProgramSound();

    char folder[MAX_PATH];
    ProgramFolder(folder, sizeof folder);
    if (folder[0] == '\0')
        lstrcpyA(folder, "that holds morvane.exe");
    bool installed = IsInstalled();
    DeleteStore();

    // The package owns an installed copy's folder: Windows Installer removes it, not the user.
    HANDLE removal = installed ? StartRemoval() : NULL;
    const char *format = "Removed Morvane registry key.\nTo complete uninstall please remove the "
                         "directory %s";
    if (removal)
        format = "Removed Morvane registry key.\nWindows now removes Morvane.";
    else if (installed)
        format = "Removed Morvane registry key.\nTo complete uninstall please remove Morvane in "
                 "Apps & features.";
    char text[360];
    wsprintfA(text, format, folder);
    PlatformMessageBox(NULL, text, "Morvane Uninstall", MB_SYSTEMMODAL | MB_ICONINFORMATION);
    PlatformNotifyIcon(NIM_DELETE, &TrayIcon);
    if (removal)
        PlatformReleaseProcess(removal);
    PostQuitMessage(0);
}

void Uninstall()
{
    // The question and the information box run message loops of their own, in which the tray
    // menu and the overview keep working: a second uninstall started from there would run a
    // second msiexec against the first.
    static bool running = false;
    if (running)
        return;
    running = true;
    AskAndUninstall();
    running = false;
}
