#include "e2e.h"

#include <shlwapi.h>

#include "unmanaged.h"

namespace e2e {

DWORD DeadlineMs = 30000;
REGSAM StoreView = 0;

bool WaitUntil(const std::function<bool()> &condition, DWORD deadlineMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start > deadlineMs)
            return false;
        // Keep our own queue drained while we poll; the windows we watch belong to morvane.
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, NULL, FALSE, 25, QS_ALLINPUT);
    }
}

std::string BinFolder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/"));
}

Morvane::~Morvane()
{
    if (info_.hProcess) {
        if (Running())
            TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 5000);
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
}

bool Morvane::Start(const std::string &folder)
{
    LeaveUnmanaged("morvane.exe");
    std::string exe = folder + "\\morvane.exe";
    std::string commandLine = "\"" + exe + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(exe.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, folder.c_str(),
                          &startup, &info_) != FALSE;
}

bool Morvane::WaitIdle()
{
    return WaitForInputIdle(info_.hProcess, DeadlineMs) == 0;
}

int Morvane::Suspend()
{
    PostMessageA(MainWindow(), WM_COMMAND, 105, 0);
    return WaitExit();
}

bool Morvane::Running()
{
    return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

int Morvane::WaitExit(DWORD deadlineMs)
{
    if (WaitForSingleObject(info_.hProcess, deadlineMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return (int)code;
}

HWND Morvane::MainWindow()
{
    HWND found = NULL;
    WaitUntil([&] {
        std::vector<HWND> windows = WindowsOf(Pid(), "MORVANE", "morvane");
        found = windows.empty() ? NULL : windows[0];
        return found != NULL;
    });
    return found;
}

struct Search {
    DWORD pid;
    const char *className;
    const char *caption;
    std::vector<HWND> found;
};

static BOOL CALLBACK Visit(HWND window, LPARAM lParam)
{
    Search *search = (Search *)lParam;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid)
        return TRUE;
    char name[256];
    GetClassNameA(window, name, sizeof name);
    if (search->className && lstrcmpA(name, search->className) != 0)
        return TRUE;
    if (search->caption && Text(window) != search->caption)
        return TRUE;
    search->found.push_back(window);
    return TRUE;
}

HWND StartQuietly(Morvane &morvane)
{
    PutEntry("seed", "");
    // The main window exists before the store is looked at: a test that changes the store as
    // soon as the window appears would race the start-up.
    if (!morvane.Start() || !morvane.WaitIdle())
        return NULL;
    return morvane.MainWindow();
}

std::vector<HWND> WindowsOf(DWORD pid, const char *className, const char *caption)
{
    Search search = {pid, className, caption, {}};
    EnumWindows(Visit, (LPARAM)&search);
    return search.found;
}

HWND WaitWindow(DWORD pid, const char *className, const char *caption, DWORD deadlineMs)
{
    HWND found = NULL;
    WaitUntil(
        [&] {
            for (HWND window : WindowsOf(pid, className, caption))
                if (IsWindowVisible(window)) {
                    found = window;
                    return true;
                }
            return false;
        },
        deadlineMs);
    return found;
}

std::string Text(HWND window)
{
    char text[1024] = "";
    // WM_GETTEXT by message reaches another process's window; GetWindowTextA may not. A busy
    // machine can keep the program from answering for seconds: wait as long as for a window.
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_NORMAL, DeadlineMs,
                        NULL);
    return text;
}

std::string BoxText(HWND box)
{
    return Text(GetDlgItem(box, 0xFFFF));
}

bool Press(HWND dialog, int buttonId)
{
    HWND button = GetDlgItem(dialog, buttonId);
    if (!button)
        return false;
    PostMessageA(button, BM_CLICK, 0, 0);
    return WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
}

void Click(HWND dialog, int buttonId)
{
    HWND button = GetDlgItem(dialog, buttonId);
    LONG type = GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_AUTORADIOBUTTON || type == BS_AUTOCHECKBOX)
        SendMessageA(button, BM_CLICK, 0, 0);  // the button checks itself, then tells the dialog
    else
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), (LPARAM)button);
}

void Choose(HWND dialog, int listId, int index)
{
    HWND list = GetDlgItem(dialog, listId);
    SendMessageA(list, CB_SETCURSEL, index, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(listId, CBN_SELCHANGE), (LPARAM)list);
}

std::string ItemText(HWND dialog, int controlId)
{
    return Text(GetDlgItem(dialog, controlId));
}

void SetItemText(HWND dialog, int controlId, const std::string &text)
{
    SendMessageA(GetDlgItem(dialog, controlId), WM_SETTEXT, 0, (LPARAM)text.c_str());
}

ULONGLONG Now()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (ULONGLONG)now.dwHighDateTime << 32 | now.dwLowDateTime;
}

DueEntry NextMinuteEntry(const std::string &programme, int minutesLater)
{
    DueEntry due;
    due.at = ((Now() + 5 * kSecond) / (60 * kSecond) + 1 + minutesLater) * (60 * kSecond);
    FILETIME utc = {(DWORD)due.at, (DWORD)(due.at >> 32)}, local;
    SYSTEMTIME at;
    FileTimeToLocalFileTime(&utc, &local);
    FileTimeToSystemTime(&local, &at);
    int hour12 = at.wHour % 12 == 0 ? 12 : at.wHour % 12;
    char half = at.wHour < 12 ? 'A' : 'P';
    char key[16], time[16];
    wsprintfA(key, "%d%.2d%.2d%cM", at.wDayOfWeek == 0 ? 7 : at.wDayOfWeek, hour12, at.wMinute,
              half);
    wsprintfA(time, "%d.%.2d %cM", hour12, at.wMinute, half);
    due.name = key + programme;
    due.text = "Switch on the Telly   " + programme + " @ " + time;
    return due;
}

static BOOL CALLBACK CountIcon(HWND window, LPARAM count)
{
    char name[64];
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpA(name, "__winex11_tray_icon") == 0 && IsWindowVisible(window))
        ++*(int *)count;
    return TRUE;
}

int TrayIconCount()
{
    HWND tray = FindWindowA("__winex11_standalone_tray", NULL);
    if (!tray)
        return -1;
    int count = 0;
    EnumChildWindows(tray, CountIcon, (LPARAM)&count);
    return count;
}

static const char kKey[] = "Software\\Morvane";

void ClearStore()
{
    HKEY software;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS | StoreView, &software) !=
        ERROR_SUCCESS)
        return;
    SHDeleteKeyA(software, "Morvane");
    RegCloseKey(software);
}

bool StoreExists()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ | StoreView, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void PutEntry(const std::string &name, const std::string &text)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, NULL, 0, KEY_WRITE | StoreView, NULL, &key,
                        NULL) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, (const BYTE *)text.c_str(), (DWORD)text.size() + 1);
    RegCloseKey(key);
}

std::vector<std::pair<std::string, std::string>> StoreValues()
{
    std::vector<std::pair<std::string, std::string>> values;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ | StoreView, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD index = 0;; index++) {
        char name[1024], data[1024];
        DWORD nameLength = sizeof name, size = sizeof data - 1;
        if (RegEnumValueA(key, index, name, &nameLength, NULL, NULL, (BYTE *)data, &size) !=
            ERROR_SUCCESS)
            break;
        data[size] = '\0';
        values.emplace_back(name, data);
    }
    RegCloseKey(key);
    return values;
}

}  // namespace e2e
