#include "fake_platform.h"

#include "platform/platform.h"

namespace fake {
SYSTEMTIME clock;
std::vector<FakeBox> boxes;
std::deque<int> answers;
std::function<void(const FakeBox &)> whileBoxOpen;
std::vector<FakeSound> sounds;
std::vector<FakeHelp> helps;
std::string currentDirectory;
bool currentDirectoryFails;

void Reset()
{
    SetClock(1, 9, 0, 30);
    boxes.clear();
    answers.clear();
    whileBoxOpen = nullptr;
    sounds.clear();
    helps.clear();
    currentDirectory = "C:\\Morvane";
    currentDirectoryFails = false;
}

void SetClock(int dayOfWeek, int hour, int minute, int second)
{
    clock = SYSTEMTIME{};
    clock.wYear = 2026;
    clock.wMonth = 12;
    clock.wDay = 7;
    clock.wDayOfWeek = (WORD)dayOfWeek;
    clock.wHour = (WORD)hour;
    clock.wMinute = (WORD)minute;
    clock.wSecond = (WORD)second;
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

bool PlatformCurrentDirectory(char *dir, int room)
{
    if (fake::currentDirectoryFails || (int)fake::currentDirectory.size() >= room)
        return false;
    lstrcpynA(dir, fake::currentDirectory.c_str(), room);
    return true;
}
