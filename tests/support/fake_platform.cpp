#include "fake_platform.h"

#include "platform/platform.h"

namespace fake {
SYSTEMTIME clock;
std::vector<FakeBox> boxes;
std::deque<int> answers;
std::function<void(const FakeBox &)> whileBoxOpen;
std::vector<FakeSound> sounds;
std::vector<FakeHelp> helps;
OSVERSIONINFOA version;
std::vector<FakeShellOpen> shellOpens;
INT_PTR shellResult;
std::vector<FakeStart> starts;
bool startFails;
std::vector<std::string> tips;

void Reset()
{
    SetClock(1, 9, 0, 30);
    boxes.clear();
    answers.clear();
    whileBoxOpen = nullptr;
    sounds.clear();
    helps.clear();
    SetVersion(6, 1, 7601);
    shellOpens.clear();
    shellResult = 42;
    starts.clear();
    startFails = false;
    tips.clear();
}

void SetClock(int dayOfWeek, int hour, int minute, int second)
{
    clock = SYSTEMTIME{};
    clock.wYear = 2026;
    clock.wMonth = 12;
    clock.wDay = (WORD)(6 + dayOfWeek);  // Sunday 6 December 2026 and the six days after it
    clock.wDayOfWeek = (WORD)dayOfWeek;
    clock.wHour = (WORD)hour;
    clock.wMinute = (WORD)minute;
    clock.wSecond = (WORD)second;
}

void SetVersion(DWORD major, DWORD minor, DWORD build)
{
    version = OSVERSIONINFOA{};
    version.dwOSVersionInfoSize = sizeof version;
    version.dwMajorVersion = major;
    version.dwMinorVersion = minor;
    version.dwBuildNumber = build;
    version.dwPlatformId = VER_PLATFORM_WIN32_NT;
}

std::string ProgramFolder()
{
    char path[MAX_PATH];
    std::string exe(path, GetModuleFileNameA(NULL, path, sizeof path));
    return exe.substr(0, exe.rfind('\\'));
}
}  // namespace fake

void PlatformLocalTime(SYSTEMTIME *now)
{
    *now = fake::clock;
}

int PlatformMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style)
{
    fake::boxes.push_back(FakeBox{owner, text ? text : "", caption ? caption : "", style});
    if (fake::whileBoxOpen) {
        FakeBox box = fake::boxes.back();
        fake::whileBoxOpen(box);
    }
    if (fake::answers.empty())
        return IDOK;
    int answer = fake::answers.front();
    fake::answers.pop_front();
    return answer;
}

BOOL PlatformPlaySound(LPCSTR file, DWORD flags)
{
    fake::sounds.push_back(FakeSound{file == NULL, file ? file : "", flags});
    return TRUE;
}

BOOL PlatformWinHelp(HWND owner, LPCSTR file, UINT command, ULONG_PTR)
{
    fake::helps.push_back(FakeHelp{owner, file ? file : "", command});
    return TRUE;
}

// Like the real call, it fails unless the caller says which of the two records it passed.
BOOL PlatformGetVersion(OSVERSIONINFOA *version)
{
    if (version->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) &&
        version->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXA))
        return FALSE;
    DWORD size = version->dwOSVersionInfoSize;
    *version = fake::version;
    version->dwOSVersionInfoSize = size;
    return TRUE;
}

HINSTANCE PlatformShellExecute(HWND owner, LPCSTR verb, LPCSTR file, int show)
{
    fake::shellOpens.push_back(FakeShellOpen{owner, verb ? verb : "(none)", file ? file : "", show});
    return (HINSTANCE)fake::shellResult;
}

// The handle is the start's number, counted from 1.
HANDLE PlatformStartHeld(LPCSTR application, LPSTR commandLine, LPCSTR directory)
{
    fake::starts.push_back(
        FakeStart{application, commandLine, directory ? directory : "(none)", false});
    return fake::startFails ? NULL : (HANDLE)fake::starts.size();
}

void PlatformReleaseProcess(HANDLE held)
{
    fake::starts.at((size_t)held - 1).released = true;
}

BOOL PlatformNotifyIcon(DWORD message, NOTIFYICONDATAA *icon)
{
    if (message == NIM_MODIFY)
        fake::tips.push_back(icon->szTip);
    return TRUE;
}
