// Linked as an object into every in-process test program, so that it is there whatever the
// program references.
#include <windows.h>

#include <string>

// Without a window manager, Wine waits two seconds for one each time a managed window is
// hidden; under Xvfb there is none, so a test program's windows are left unmanaged. Set
// before the first window, when the display driver reads its options.
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
        std::string key = std::string("Software\\Wine\\AppDefaults\\") + name + "\\X11 Driver";
        HKEY handle;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, NULL, 0, KEY_WRITE, NULL, &handle,
                            NULL) != ERROR_SUCCESS)
            return;
        RegSetValueExA(handle, "Managed", 0, REG_SZ, (const BYTE *)"N", 2);
        RegCloseKey(handle);
    }
} unmanaged;
