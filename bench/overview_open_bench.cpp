// How long the shipped program takes to show the weekly overview after a double click on its
// tray icon, for stores with the given numbers of entries all on one day: the driver fills the
// store, starts morvane.exe, posts the tray double click and times until the overview is
// visible, then closes it and ends the program. Each count is run several times; the median,
// the fastest and the slowest are printed.
//
// Usage: overview_open_bench [--folder DIR] [--runs N] [entries ...]   (defaults: the folder of
// this driver; 5; 10 2000). DIR may be a Unix path, as Wine's Z: drive shows it.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../res/resource.h"
#include "e2e.h"

using namespace e2e;

namespace {

const char kOverview[] = "Morvane Settings";
const DWORD kOpenDeadlineMs = 60 * 60 * 1000;  // the quadratic fill took minutes

std::string WindowsPath(std::string path)
{
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

void FillOneDay(int entries)
{
    ClearStore();
    PutEntry("alertmode", "1");
    char name[64], text[32];
    for (int i = 0; i < entries; i++) {
        wsprintfA(text, "Programme %d", i);
        wsprintfA(name, "3%.2d%.2d%cM%s", 1 + i % 12, i % 60, i % 2 ? 'P' : 'A', text);
        PutEntry(name, text);
    }
}

// The program's visible overview; found by caption, which is cheap to poll often.
HWND VisibleOverview(DWORD pid)
{
    for (HWND window = FindWindowExA(NULL, NULL, "#32770", kOverview); window;
         window = FindWindowExA(NULL, window, "#32770", kOverview)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == pid && IsWindowVisible(window))
            return window;
    }
    return NULL;
}

// A copy that is still on its way out holds the single-instance mutex, and a new copy that
// finds it ends at once.
bool NoCopyRunning()
{
    return WaitUntil([] {
        HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, "quobeMorvane");
        if (mutex)
            CloseHandle(mutex);
        return mutex == NULL;
    });
}

// Milliseconds from the double click to the overview shown, or a negative number on failure.
double TimeOneOpen(const std::string &folder, LONG *boxLength)
{
    Morvane morvane;
    if (!NoCopyRunning() || !morvane.Start(folder) || !morvane.WaitIdle())
        return -1;
    // Under Wine a program's first window can take many seconds when the desktop process
    // has to start again; that is not part of what is timed.
    HWND main = NULL;
    WaitUntil(
        [&] {
            std::vector<HWND> windows = WindowsOf(morvane.Pid(), "MORVANE", "morvane");
            main = windows.empty() ? NULL : windows[0];
            return main != NULL;
        },
        60000);
    if (!main)
        return -2;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    PostMessageA(main, 1234, 0, WM_LBUTTONDBLCLK);
    HWND overview = NULL;
    DWORD began = GetTickCount();
    while (!(overview = VisibleOverview(morvane.Pid()))) {
        if (GetTickCount() - began > kOpenDeadlineMs)
            return -3;
        Sleep(1);
    }
    QueryPerformanceCounter(&end);
    *boxLength = (LONG)SendMessageA(GetDlgItem(overview, IDC_WEDNESDAY), WM_GETTEXTLENGTH, 0, 0);
    Press(overview, IDOK);
    morvane.Suspend();
    return (double)(end.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string folder = BinFolder();
    int runs = 5;
    std::vector<int> counts;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "--folder" && i + 1 < argc)
            folder = WindowsPath(argv[++i]);
        else if (arg == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            counts.push_back(std::atoi(argv[i]));
    }
    if (counts.empty())
        counts = {10, 2000};

    std::printf("morvane.exe from %s\n", folder.c_str());
    std::printf("%8s %12s %12s %12s %10s\n", "entries", "median (ms)", "fastest", "slowest",
                "box chars");
    for (int count : counts) {
        FillOneDay(count);
        std::vector<double> times;
        LONG boxLength = 0;
        for (int run = 0; run < runs; run++) {
            double ms = TimeOneOpen(folder, &boxLength);
            if (ms < 0) {
                std::printf("%8d failed (%d)\n", count, (int)ms);
                break;
            }
            times.push_back(ms);
        }
        if (times.empty())
            continue;
        std::sort(times.begin(), times.end());
        std::printf("%8d %12.1f %12.1f %12.1f %10ld\n", count, times[times.size() / 2],
                    times.front(), times.back(), (long)boxLength);
        std::fflush(stdout);
    }
    ClearStore();
    return 0;
}
