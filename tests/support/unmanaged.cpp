// Linked as an object into every test program, so that it is there whatever the program
// references: the program's own windows are left unmanaged before its first one is made.
#include "unmanaged.h"

#include <windows.h>

#include <string>

void LeaveUnmanaged(const char *program)
{
    std::string key = std::string("Software\\Wine\\AppDefaults\\") + program + "\\X11 Driver";
    HKEY handle;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, NULL, 0, KEY_WRITE, NULL, &handle,
                        NULL) != ERROR_SUCCESS)
        return;
    RegSetValueExA(handle, "Managed", 0, REG_SZ, (const BYTE *)"N", 2);
    RegCloseKey(handle);
}

static struct Unmanaged {
    Unmanaged()
    {
        char path[MAX_PATH];
        DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
        if (length == 0 || length >= sizeof path)
            return;
        const char *name = path;
        for (const char *p = path; *p; p++)
            if (*p == '\\' || *p == '/')
                name = p + 1;
        LeaveUnmanaged(name);
    }
} unmanaged;
