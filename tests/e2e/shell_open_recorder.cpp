// Stands in for the browser: registered as the program that opens .html files, it records the
// file the shell handed it (its one argument, without quotes) under HKEY_CURRENT_USER and ends.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    std::string file = commandLine;  // after the program's own name
    if (file.size() >= 2 && file.front() == '"' && file.back() == '"')
        file = file.substr(1, file.size() - 2);
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Morvane tests", 0, NULL, 0, KEY_SET_VALUE,
                        NULL, &key, NULL) != ERROR_SUCCESS)
        return 1;
    LONG result = RegSetValueExA(key, "opened", 0, REG_SZ, (const BYTE *)file.c_str(),
                                 (DWORD)file.size() + 1);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? 0 : 1;
}
