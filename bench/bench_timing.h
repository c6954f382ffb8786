// What the benchmarks share: a microsecond clock, the median of samples, and the floor every
// reader of the store stands on, one bare open-enumerate-close loop with the program's rooms.
#ifndef MORVANE_BENCH_TIMING_H
#define MORVANE_BENCH_TIMING_H

#include <windows.h>

#include <algorithm>
#include <vector>

inline double MicrosecondsNow()
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return (double)counter.QuadPart * 1e6 / (double)frequency.QuadPart;
}

inline double Median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

inline void BareScan(REGSAM access)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Morvane", 0, access, &key) != ERROR_SUCCESS)
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

#endif
