// A stranger's winmm.dll, planted beside morvane.exe: the moment it is loaded it leaves a marker
// beside itself. It plays nothing, but answers PlaySoundA as the real one would, so that a program
// that imports it by name starts and runs as if nothing were wrong.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        // Beside itself, under a name of its own: the loader names the module as the importer
        // spelt it, and Wine's folders are case-sensitive.
        char marker[MAX_PATH + 16];
        DWORD length = GetModuleFileNameA(self, marker, MAX_PATH);
        while (length > 0 && marker[length - 1] != '\\')
            length--;
        lstrcpyA(marker + length, "planted.loaded");
        HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
    return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI PlaySoundA(LPCSTR, HMODULE, DWORD)
{
    return TRUE;
}
