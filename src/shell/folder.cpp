#include "shell.h"

#include <mmsystem.h>

#include "../platform/platform.h"

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

// A name that does not fit plays the system's default sound, as a missing file does.
void PlayProgramSound(const char *name)
{
    char file[MAX_PATH + 16];
    ProgramFile(name, file, sizeof file);
    PlatformPlaySound(file, SND_FILENAME | SND_LOOP | SND_ASYNC);
}
