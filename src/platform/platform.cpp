#include "platform.h"

#include <mmsystem.h>
#include <shellapi.h>

void PlatformLocalTime(SYSTEMTIME *now)
{
    GetLocalTime(now);
}

int PlatformMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style)
{
    return MessageBoxA(owner, text, caption, style);
}

// winmm.dll is not one of the system's KnownDLLs: imported by name, it would be looked for in the
// program's folder first, and whatever lay there under that name would run inside Morvane at
// every sign-in. So it is loaded by its full path in the system folder, the first time a sound is
// played or stopped. (A full path works on every Windows, where LOAD_LIBRARY_SEARCH_SYSTEM32
// needs Windows 8 or an update of 7; the altered search path keeps its own imports there too.)
// Without it the alert still shows, silently.
BOOL PlatformPlaySound(LPCSTR file, DWORD flags)
{
    typedef BOOL(WINAPI * PlaySoundProc)(LPCSTR, HMODULE, DWORD);
    static PlaySoundProc playSound;
    static bool loaded;
    if (!loaded) {
        loaded = true;
        char path[MAX_PATH];
        UINT length = GetSystemDirectoryA(path, MAX_PATH);
        if (length > 0 && length + sizeof "\\winmm.dll" <= MAX_PATH) {
            lstrcatA(path, "\\winmm.dll");
            HMODULE winmm = LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
            if (winmm)
                playSound = (PlaySoundProc)(void *)GetProcAddress(winmm, "PlaySoundA");
        }
    }
    return playSound ? playSound(file, NULL, flags) : FALSE;
}

BOOL PlatformWinHelp(HWND owner, LPCSTR file, UINT command, ULONG_PTR data)
{
    return WinHelpA(owner, file, command, data);
}

BOOL PlatformGetVersion(OSVERSIONINFOA *version)
{
    return GetVersionExA(version);
}

HINSTANCE PlatformShellExecute(HWND owner, LPCSTR verb, LPCSTR file, int show)
{
    return ShellExecuteA(owner, verb, file, NULL, NULL, show);
}

HANDLE PlatformStartHeld(LPCSTR application, LPSTR commandLine, LPCSTR directory)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    if (!CreateProcessA(application, commandLine, NULL, NULL, FALSE, CREATE_SUSPENDED, NULL,
                        directory, &startup, &info))
        return NULL;
    CloseHandle(info.hProcess);
    return info.hThread;
}

void PlatformReleaseProcess(HANDLE held)
{
    ResumeThread(held);
    CloseHandle(held);
}

BOOL PlatformNotifyIcon(DWORD message, NOTIFYICONDATAA *icon)
{
    return Shell_NotifyIconA(message, icon);
}
