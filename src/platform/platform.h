// The few platform services whose effects a test must script or observe. The program calls
// these instead of the API directly; production links platform.cpp, the tests link their own
// definitions instead.
#ifndef MORVANE_PLATFORM_H
#define MORVANE_PLATFORM_H

#include <windows.h>

void PlatformLocalTime(SYSTEMTIME *now);
int PlatformMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
BOOL PlatformPlaySound(LPCSTR file, DWORD flags);
BOOL PlatformWinHelp(HWND owner, LPCSTR file, UINT command, ULONG_PTR data);
// GetVersionExA: the version the system tells this program, which the manifest makes the true one.
BOOL PlatformGetVersion(OSVERSIONINFOA *version);
// ShellExecuteA with no parameters and no directory of its own.
HINSTANCE PlatformShellExecute(HWND owner, LPCSTR verb, LPCSTR file, int show);
// CreateProcessA of application with commandLine, in directory, held before it runs its first
// instruction: it runs once PlatformReleaseProcess is given the handle returned, which is NULL
// when the process could not be made.
HANDLE PlatformStartHeld(LPCSTR application, LPSTR commandLine, LPCSTR directory);
void PlatformReleaseProcess(HANDLE held);

#endif
