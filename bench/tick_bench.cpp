// What one reminder tick costs over stores of growing size, beside the floor: a bare
// open-enumerate-close loop over the same key, with the same rooms, in the same run.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench_timing.h"
#include "fake_platform.h"
#include "registry.h"
#include "reminder/reminder.h"


int main()
{
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
            NewestTickTime = 0;  // each tick the first of its minute: it reads the whole store
            double start = MicrosecondsNow();
            RunReminderTick(window);
            double middle = MicrosecondsNow();
            BareScan(KEY_READ);
            double end = MicrosecondsNow();
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
