// The Windows side of the run command's test: it joins the Wine session that the run command
// started and looks at Morvane as a user would, without having started it.
//
//   run_driver started   waits for Morvane's hidden main window and its first-run tip
//   run_driver stop      dismisses the tip if it is up, chooses "Suspend Morvane" and waits
//                        for the program to end
// Exit code 0 when that came about; otherwise 1, with what was missing.
#include "../e2e/e2e.h"

#include <cstdio>
#include <string>

using namespace e2e;

namespace {

const char kTipText[] = "Tip : Double Click on the small TV icon below to add TV program schedules";
const char kTipCaption[] = "Running Morvane for the first time";

HWND WaitMainWindow()
{
    HWND main = NULL;
    WaitUntil([&] { return (main = FindWindowA("MORVANE", "morvane")) != NULL; });
    return main;
}

DWORD ProcessOf(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

int Started()
{
    HWND main = WaitMainWindow();
    if (!main) {
        std::puts("run_driver: no window of class MORVANE titled morvane");
        return 1;
    }
    HWND tip = WaitWindow(ProcessOf(main), "#32770", kTipCaption);
    if (!tip) {
        std::puts("run_driver: Morvane runs, but shows no first-run tip");
        return 1;
    }
    std::string text = BoxText(tip);
    if (text != kTipText) {
        std::printf("run_driver: the first-run tip says \"%s\"\n", text.c_str());
        return 1;
    }
    std::printf("run_driver: Morvane runs (process %lu) and shows its first-run tip\n",
                (unsigned long)ProcessOf(main));
    return 0;
}

int Stop()
{
    HWND main = WaitMainWindow();
    if (!main) {
        std::puts("run_driver: no Morvane to stop");
        return 1;
    }
    for (HWND tip : WindowsOf(ProcessOf(main), "#32770", kTipCaption))
        Press(tip, IDOK);
    PostMessageA(main, WM_COMMAND, 105, 0);  // "&Suspend Morvane"
    if (!WaitUntil([&] { return !IsWindow(main); })) {
        std::puts("run_driver: Morvane did not end when told to");
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string command = argc == 2 ? argv[1] : "";
    if (command == "started")
        return Started();
    if (command == "stop")
        return Stop();
    std::puts("usage: run_driver started|stop");
    return 2;
}
