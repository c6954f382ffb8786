// Scripted stand-ins for the platform seam: the tests set the clock, answer message boxes
// and read back every box, sound and help call the program made.
#ifndef MORVANE_FAKE_PLATFORM_H
#define MORVANE_FAKE_PLATFORM_H

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

struct FakeBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};

struct FakeSound {
    bool isStop;  // PlaySoundA with no file
    std::string file;
    DWORD flags;
};

struct FakeHelp {
    HWND owner;
    std::string file;
    UINT command;
};

struct FakeShellOpen {
    HWND owner;
    std::string verb;
    std::string file;
    int show;
};

struct FakeStart {
    std::string application, commandLine, directory;
    bool released;
};

namespace fake {
extern SYSTEMTIME clock;
extern std::vector<FakeBox> boxes;
// Answers for the coming boxes, in order; IDOK once the queue is empty.
extern std::deque<int> answers;
// Runs while a box is "open", before it returns: a real box's loop would deliver messages.
extern std::function<void(const FakeBox &)> whileBoxOpen;
extern std::vector<FakeSound> sounds;
extern std::vector<FakeHelp> helps;
// The version GetVersionExA tells; Reset makes it Wine's default, Windows 7.
extern OSVERSIONINFOA version;
extern std::vector<FakeShellOpen> shellOpens;
// What ShellExecuteA returns: above 32 it succeeded.
extern INT_PTR shellResult;
extern std::vector<FakeStart> starts;  // every process asked for, made or not
extern bool startFails;
extern std::vector<std::string> tips;  // the tip of each change to the notification icon

void Reset();
// dayOfWeek as the platform counts it: 0 is Sunday.
void SetClock(int dayOfWeek, int hour, int minute, int second);
void SetVersion(DWORD major, DWORD minor, DWORD build);
// Where the program takes its own files from under test: the folder of the test's executable,
// and a file in it.
std::string ProgramFolder();
inline std::string ProgramPath(const std::string &name) { return ProgramFolder() + "\\" + name; }
}  // namespace fake

#endif
