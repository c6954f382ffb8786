// The shipped 32-bit morvane.exe, as the release archive holds it, in one start: what only the
// real program can show, every dialog's code included. This driver is a 64-bit program copied
// into the unpacked folder, so that where the kernel cannot run 32-bit programs only morvane.exe
// itself runs under emulation, at about a minute a start; it reads the store in the 32-bit view,
// as the program writes it.
//
// It prints each step and each failed check with what it expected; exit code 0 when all held.
#include "../../res/resource.h"
#include "../e2e/e2e.h"

#include <cstdio>
#include <string>

using namespace e2e;

namespace {

int failures;

void Step(const char *what)
{
    static DWORD started = GetTickCount();
    std::printf("smoke: %5.1f s  %s\n", (GetTickCount() - started) / 1000.0, what);
    std::fflush(stdout);
}

bool Check(bool held, const std::string &what)
{
    if (!held) {
        std::printf("smoke: FAILED: %s\n", what.c_str());
        std::fflush(stdout);
        failures++;
    }
    return held;
}

bool CheckText(const std::string &expected, const std::string &actual, const std::string &what)
{
    return Check(expected == actual,
                 what + ": expected \"" + expected + "\", got \"" + actual + "\"");
}

bool StoreIn64BitView()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Morvane", 0, KEY_READ | KEY_WOW64_64KEY,
                      &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Milliseconds from now until the given time, at least 1.
DWORD Until(ULONGLONG at)
{
    ULONGLONG now = Now();
    return at > now ? (DWORD)((at - now) / 10000) + 1 : 1;
}

HWND OpenOverview(DWORD pid, HWND main)
{
    PostMessageA(main, 1234, 0, WM_LBUTTONDBLCLK);
    return WaitWindow(pid, "#32770", "Morvane Settings");
}

// Adds an entry through the add dialog, as a user would; false if the dialog did not come or go.
bool AddEntry(DWORD pid, HWND overview, int day, int hour, int minute, bool pm,
              const std::string &programme)
{
    Click(overview, IDC_ADD);
    HWND add = WaitWindow(pid, "#32770", "Add entry");
    if (!Check(add != NULL, "the add dialog opens"))
        return false;
    Choose(add, IDC_DAYLIST, day);  // 1 Monday .. 7 Sunday
    SetItemText(add, IDC_PROGRAMME, programme);
    Choose(add, IDC_HOURLIST, hour);  // 1 .. 12
    Choose(add, IDC_MINUTELIST, minute + 1);
    Click(add, pm ? IDC_PM : IDC_AM);
    return Check(Press(add, IDOK), "the add dialog closes on Add");
}

int Run()
{
    const char kTipText[] =
        "Tip : Double Click on the small TV icon below to add TV program schedules";
    StoreView = KEY_WOW64_32KEY;
    // An emulated start costs about a minute of processor time, more on a busy machine.
    DeadlineMs = 10 * 60 * 1000;
    ClearStore();

    Step("starting morvane.exe from the unpacked archive");
    Morvane morvane;
    if (!Check(morvane.Start(), "morvane.exe starts from " + BinFolder()))
        return 1;
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    BOOL self = wow64;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, morvane.Pid());
    Check(process && IsWow64Process(process, &wow64) && wow64 && !self,
          "morvane.exe runs as a 32-bit process beside this 64-bit driver");
    if (process)
        CloseHandle(process);

    HWND tip = WaitWindow(morvane.Pid(), "#32770", "Running Morvane for the first time");
    if (!Check(tip != NULL, "a first start shows the tip"))
        return 1;
    Step("first run: the tip is up");
    CheckText(kTipText, BoxText(tip), "the tip");
    Check(StoreExists(), "the first run makes the store, in the 32-bit view");
    Check(StoreValues().empty(), "the new store is empty");
    Check(!StoreIn64BitView(), "the 64-bit view has no store: the program is the 32-bit one");
    HWND main = morvane.MainWindow();
    if (!Check(main != NULL, "the hidden main window of class MORVANE exists"))
        return 1;
    Check(!IsWindowVisible(main), "the main window is never shown");
    Check(WaitUntil([] { return TrayIconCount() == 1; }), "the icon is in the notification area");
    Check(Press(tip, IDOK), "the tip goes on OK");

    Step("the overview and its dialogs");
    HWND overview = OpenOverview(morvane.Pid(), main);
    if (Check(overview != NULL, "double-clicking the icon opens the overview")) {
        // Two days on, so that it cannot come due while the test runs.
        SYSTEMTIME today;
        GetLocalTime(&today);
        int day = (today.wDayOfWeek + 2) % 7;  // 0 is Sunday
        static const int boxes[8] = {0,           IDC_MONDAY, IDC_TUESDAY,  IDC_WEDNESDAY,
                                     IDC_THURSDAY, IDC_FRIDAY, IDC_SATURDAY, IDC_SUNDAY};
        int digit = day == 0 ? 7 : day;
        if (AddEntry(morvane.Pid(), overview, digit, 7, 5, true, "The News")) {
            std::string box;
            WaitUntil([&] {
                return (box = ItemText(overview, boxes[digit])) == "07:05 PM The News";
            });
            CheckText("07:05 PM The News", box, "the day box shows the entry just added");
            char name[32];
            wsprintfA(name, "%d0705PMThe News", digit);
            bool stored = false;
            for (const auto &value : StoreValues())
                stored = stored || (value.first == name && value.second == "The News");
            Check(stored, std::string("the store holds ") + name);

            // The other two dialogs, while the program runs anyway: the list of names, and the
            // sound that the alert below is to play.
            Click(overview, IDC_REMOVE);
            HWND remove = WaitWindow(morvane.Pid(), "#32770", "Remove entry");
            if (Check(remove != NULL, "the remove dialog opens")) {
                Choose(remove, IDC_ENTRYLIST, 1);  // sorted: the placeholder, The News
                CheckText("The News", ItemText(remove, IDC_ENTRYLIST), "the remove list");
                Check(Press(remove, IDOK), "the remove dialog closes on Remove");
                WaitUntil([&] { return (box = ItemText(overview, boxes[digit])).empty(); });
                CheckText("", box, "the day box after the removal");
                Check(StoreValues().empty(), "the removal empties the store");
            }
        }
        Click(overview, IDC_HOWTOALERT);
        HWND sound = WaitWindow(morvane.Pid(), "#32770", "How to alert");
        if (Check(sound != NULL, "the alert sound dialog opens")) {
            Click(sound, IDC_DRUMS);
            Check(Press(sound, IDOK), "the alert sound dialog closes on OK");
            std::string mode = "(missing)";
            for (const auto &value : StoreValues())
                if (value.first == "alertmode")
                    mode = value.second;
            CheckText("2", mode, "the stored alert sound");
        }
        Check(Press(overview, IDOK), "the overview closes on OK");
    }

    DueEntry due = NextMinuteEntry("Smoke Film");
    Step(("waiting for the alert of " + due.name).c_str());
    PutEntry(due.name, "Smoke Film");
    auto alerts = [&] { return WindowsOf(morvane.Pid(), "#32770", "Morvane alert").size(); };
    // Once it runs, the program answers in time even under emulation: two minutes are plenty.
    HWND alert =
        WaitWindow(morvane.Pid(), "#32770", "Morvane alert", Until(due.at + 120 * kSecond));
    if (Check(alert != NULL, "an entry for the next minute alerts")) {
        Step("the alert is up");
        CheckText(due.text, BoxText(alert), "the alert");
        // The ticks of the rest of its minute, first nested in the open box, then after it.
        Check(!WaitUntil([&] { return alerts() > 1; }, Until(due.at + 20 * kSecond)),
              "no second alert while the first is open");
        Check(Press(alert, IDOK), "the alert goes on OK");
        Check(!WaitUntil([&] { return alerts() > 0; }, Until(due.at + 64 * kSecond)),
              "no second alert for the same minute after OK");
    }

    Step("the exit command");
    int code = morvane.Suspend();
    Check(code == 0,
          "\"Suspend Morvane\" ends the program with code 0, not " + std::to_string(code));
    Check(WaitUntil([] { return TrayIconCount() == 0; }), "the icon goes with the program");
    ClearStore();
    Step(failures ? "done, with failures" : "done");
    return failures ? 1 : 0;
}

}  // namespace

int main()
{
    return Run();
}
