// Morvane's own things as the platform finds them: the folder it runs from, its files there, its
// sounds, and its dialogs on screen. Built on the seam, and the same in every build.
#include "platform.h"

#include <mmsystem.h>

// Morvane's folder is where morvane.exe lies, whatever folder it was started in: a command
// prompt, Win+R and Task Scheduler each start it somewhere else.
void ProgramFolder(char *folder, int room)
{
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

bool ProgramFile(const char *name, char *path, int room)
{
    ProgramFolder(path, room);
    int length = lstrlenA(path);
    if (length == 0 || length + 1 + lstrlenA(name) >= room) {
        path[0] = '\0';
        return false;
    }
    path[length] = '\\';
    lstrcpyA(path + length + 1, name);
    return true;
}

static const DWORD LoopFlags = SND_FILENAME | SND_LOOP | SND_ASYNC;

// A name that does not fit plays the system's default sound, as a missing file does.
void PlayProgramSound(const char *name)
{
    char file[MAX_PATH + 16];
    ProgramFile(name, file, sizeof file);
    PlatformPlaySound(file, LoopFlags);
}

void StopProgramSound()
{
    PlatformPlaySound(NULL, LoopFlags);
}

// The tray's click has made this process the foreground one, so the window may take the front.
bool BringDialogToFront(const char *caption)
{
    HWND found = NULL;
    while ((found = FindWindowExA(NULL, found, "#32770", caption)) != NULL &&
           GetWindowThreadProcessId(found, NULL) != GetCurrentThreadId())
        ;
    if (!found)
        return false;
    // One that is hidden (the overview, while uninstall asks its question) stays so.
    LONG style = GetWindowLongA(found, GWL_STYLE);
    if (style & WS_MINIMIZE)
        ShowWindow(found, SW_RESTORE);
    else if (style & WS_VISIBLE)
        SetForegroundWindow(found);
    return true;
}
