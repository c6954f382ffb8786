// Drives the shipped morvane.exe from outside, as a user would: starts it, finds its windows
// by class and caption, posts tray messages and commands, reads and answers message boxes and
// reads the registry. Every wait polls against a deadline.
#ifndef MORVANE_E2E_H
#define MORVANE_E2E_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

// Generous: polling ends as soon as the condition holds, and a busy machine can take many
// seconds over a program's first window in a fresh prefix. A driver of a program that runs under
// emulation, at a minute a start, sets more.
extern DWORD DeadlineMs;

// The registry view the store is read and written in: the program's own. A driver of another
// bitness than the program names it (KEY_WOW64_32KEY for the 32-bit program).
extern REGSAM StoreView;

// Polls until the condition holds or the deadline passes; true when it held.
bool WaitUntil(const std::function<bool()> &condition, DWORD deadlineMs = DeadlineMs);

// The folder that holds morvane.exe and its data files (this driver sits beside it).
std::string BinFolder();

class Morvane {
public:
    Morvane() = default;
    ~Morvane();
    Morvane(const Morvane &) = delete;
    Morvane &operator=(const Morvane &) = delete;

    // From its folder, as its installation folder; the one beside this driver unless named.
    bool Start(const std::string &folder = BinFolder());
    bool Running();
    // Waits for the process to end; its exit code, or -1 if it is still running.
    int WaitExit(DWORD deadlineMs = DeadlineMs);
    DWORD Pid() const { return info_.dwProcessId; }
    // Its one thread, which runs everything; SuspendThread holds it as a debugger would.
    HANDLE Thread() const { return info_.hThread; }
    // The hidden main window, once it exists.
    HWND MainWindow();
    // Waits until the program first waits for input: its start-up, store check included, is done.
    bool WaitIdle();
    // Chooses "&Suspend Morvane" and waits for the process to end; its exit code, as WaitExit.
    int Suspend();

private:
    PROCESS_INFORMATION info_ = {};
};

// Starts a copy that is not on its first run (the store already holds a value), so that no
// tip box comes up, and waits for its start-up to end; its hidden main window, or NULL.
HWND StartQuietly(Morvane &morvane);

// Top-level windows of a process with the given class (NULL: any) and caption (NULL: any).
std::vector<HWND> WindowsOf(DWORD pid, const char *className, const char *caption);
HWND WaitWindow(DWORD pid, const char *className, const char *caption, DWORD deadlineMs = DeadlineMs);
std::string Text(HWND window);
// The text of a message box (its static control 0xFFFF).
std::string BoxText(HWND box);
// Presses a dialog's button as a click would and waits for the window to go.
bool Press(HWND dialog, int buttonId);
// Clicks a button of a dialog that stays open (a radio button, a button opening another one):
// the dialog hears of it as of a click, and the call returns at once.
void Click(HWND dialog, int buttonId);
// Selects the item at index in a drop-down list, as the user would, and tells the dialog.
void Choose(HWND dialog, int listId, int index);
std::string ItemText(HWND dialog, int controlId);
void SetItemText(HWND dialog, int controlId, const std::string &text);

// Time in 100-nanosecond units, as the system keeps it.
ULONGLONG Now();
const ULONGLONG kSecond = 10000000;

// An entry due at the start of the next minute that is at least five seconds away (or so many
// minutes after it), in local time: its value name for the store, and the text of the alert it
// must bring.
struct DueEntry {
    ULONGLONG at;  // the start of its minute, as Now() counts
    std::string name, text;
};
DueEntry NextMinuteEntry(const std::string &programme, int minutesLater = 0);

// The icons in Wine's notification area (one window each), or -1 when there is none to see.
int TrayIconCount();

void ClearStore();
bool StoreExists();
void PutEntry(const std::string &name, const std::string &text);
std::vector<std::pair<std::string, std::string>> StoreValues();

}  // namespace e2e

#endif
