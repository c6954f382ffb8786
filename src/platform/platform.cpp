#include "platform.h"

#include <direct.h>
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

BOOL PlatformPlaySound(LPCSTR file, DWORD flags)
{
    return PlaySoundA(file, NULL, flags);
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

bool PlatformCurrentDirectory(char *dir, int room)
{
    return _getcwd(dir, room) != NULL;
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
