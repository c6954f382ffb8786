// What one reminder tick costs over stores of growing size, beside the floor: a bare
// open-enumerate-close loop over the same key, with the same rooms, in the same run.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "fake_platform.h"
#include "registry.h"
#include "reminder/reminder.h"

namespace {

double Now(const LARGE_INTEGER &frequency)
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return (double)counter.QuadPart * 1e6 / (double)frequency.QuadPart;
}

void BareScan()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Morvane", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    char name[250];
    BYTE data[250];
    for (DWORD index = 0;; index++) {
        DWORD nameLength = sizeof name, size = sizeof data, type;
        if (RegEnumValueA(key, index, name, &nameLength, NULL, &type, data, &size) ==
            ERROR_NO_MORE_ITEMS)
            break;
    }
    RegCloseKey(key);
}

double Median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

}  // namespace

int main()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
    fake::Reset();
    fake::SetClock(3, 4, 4, 0);  // 30404A: no entry below matches, so every value is compared

    std::printf("%8s %14s %14s %7s\n", "entries", "tick (us)", "bare scan (us)", "ratio");
    for (int size : {10, 100, 1000, 10000}) {
        reg::ClearStore();
        char name[64], text[32];
        for (int i = 0; i < size; i++) {
            wsprintfA(name, "%d%.2d%.2d%cMProgramme %d", 1 + i % 7, 1 + i % 12, i % 60,
                      i % 2 ? 'P' : 'A', i);
            wsprintfA(text, "Programme %d", i);
            reg::PutString(name, text);
        }
        reg::PutString("alertmode", "1");
        int rounds = size >= 10000 ? 41 : size >= 1000 ? 201 : 1001;
        std::vector<double> ticks, scans;
        // Alternate the two so that drift in the machine's load falls on both alike.
        for (int round = 0; round < rounds; round++) {
            double start = Now(frequency);
            RunReminderTick(window);
            double middle = Now(frequency);
            BareScan();
            double end = Now(frequency);
            ticks.push_back(middle - start);
            scans.push_back(end - middle);
        }
        double tick = Median(ticks), scan = Median(scans);
        std::printf("%8d %14.1f %14.1f %7.3f\n", size, tick, scan, tick / scan);
    }
    if (!fake::boxes.empty())
        std::printf("unexpected: %zu boxes were raised\n", fake::boxes.size());
    reg::ClearStore();
    DestroyWindow(window);
    return 0;
}
