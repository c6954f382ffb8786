// The few platform services whose effects a test must script or observe. The program calls
// these instead of the API directly; production links platform.cpp, the tests link their own
// definitions instead. Below them, what program.cpp builds on them, the same in every build.
#ifndef MORVANE_PLATFORM_H
#define MORVANE_PLATFORM_H

#include <windows.h>
#include <shellapi.h>

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
// Shell_NotifyIconA: the notification icon, and the tip it shows.
BOOL PlatformNotifyIcon(DWORD message, NOTIFYICONDATAA *icon);

// The folder of morvane.exe, where its sounds and help lie; empty when its name does not fit.
void ProgramFolder(char *folder, int room);
// The full path of one of Morvane's own files; false, with the path empty, when it does not fit.
bool ProgramFile(const char *name, char *path, int room);
// Starts one of Morvane's two sounds looping, asynchronously: an alert's, or its preview; and
// stops whatever sound the program plays.
void PlayProgramSound(const char *name);
void StopProgramSound();
// Brings this thread's dialog of that caption to the front, restored if minimised; false when
// there is none.
bool BringDialogToFront(const char *caption);

#endif
