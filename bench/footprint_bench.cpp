// Morvane's footprint beside the least a tray program does. Every program lies stripped in this
// driver's own folder; each is started in turn, several rounds over, and for each start the
// driver records the time from creating the process to its hidden tray window, then, after the
// program has idled through its first timer tick, its private bytes, its working set and, under
// Wine, its anonymous memory as Linux counts it. It prints the median of each, what each DLL
// variant of the minimal program adds, and the ratios. Then, with 10,000 entries in the store,
// the processor time the minimal program and Morvane each take over a minute of idling.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Two seconds of idling, and a little more so that the first two-second tick has run.
const DWORD kIdleMs = 2500;
const DWORD kDeadlineMs = 10000;
const DWORD kSettleMs = 500;

struct Program {
    const char *exe;
    const char *label;
    const char *windowClass;
    const char *caption;
};

// The first is the floor, the last is Morvane; between them the minimal program with one of
// what Morvane loads besides, then with all of it.
const Program kPrograms[] = {
    {"minimal_tray.exe", "minimal tray program", "MINITRAY", "minitray"},
    {"minimal_tray_winmm.exe", "  + winmm.dll", "MINITRAY", "minitray"},
    {"minimal_tray_shlwapi.exe", "  + shlwapi.dll", "MINITRAY", "minitray"},
    {"minimal_tray_advapi32.exe", "  + advapi32.dll", "MINITRAY", "minitray"},
    {"minimal_tray_manifest.exe", "  + Morvane's manifest", "MINITRAY", "minitray"},
    {"minimal_tray_all.exe", "  + all four", "MINITRAY", "minitray"},
    {"morvane.exe", "morvane.exe", "MORVANE", "morvane"},
};
const size_t kProgramCount = sizeof kPrograms / sizeof kPrograms[0];

struct Sample {
    double startMs;
    double privateKb;
    double workingSetKb;
    double anonymousKb;  // -1 where there is no Linux /proc to read it from
};

std::string Folder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/"));
}

double Milliseconds(const LARGE_INTEGER &from, const LARGE_INTEGER &to, const LARGE_INTEGER &frequency)
{
    return (double)(to.QuadPart - from.QuadPart) * 1000.0 / (double)frequency.QuadPart;
}

struct Search {
    DWORD pid;
    const Program *program;
    HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM lParam)
{
    Search *search = (Search *)lParam;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid)
        return TRUE;
    char name[64], caption[64];
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpA(name, search->program->windowClass) != 0)
        return TRUE;
    caption[0] = '\0';
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof caption, (LPARAM)caption, SMTO_ABORTIFHUNG, 2000,
                        NULL);
    if (lstrcmpA(caption, search->program->caption) != 0)
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND TrayWindow(DWORD pid, const Program &program)
{
    Search search = {pid, &program, NULL};
    EnumWindows(Visit, (LPARAM)&search);
    return search.found;
}

// Windows counts a process's private bytes as its committed private memory. Wine answers
// GetProcessMemoryInfo for another process with PrivateUsage 0, so there the regions are
// counted one by one, which is what Windows would have summed.
double PrivateKb(HANDLE process, const PROCESS_MEMORY_COUNTERS_EX &counters)
{
    if (counters.PrivateUsage != 0)
        return (double)counters.PrivateUsage / 1024.0;
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region;
    const char *at = NULL;
    while (VirtualQueryEx(process, at, &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += region.RegionSize;
        const char *next = (const char *)region.BaseAddress + region.RegionSize;
        if (next <= at)
            break;
        at = next;
    }
    return (double)total / 1024.0;
}

// Under Wine every Windows process is a Linux process whose command line starts with its
// executable's Windows path; its anonymous resident memory (RssAnon) is what the Linux side
// sees as its own, beyond the mapped files that all Wine processes share.
std::string WholeFile(const std::string &path)
{
    std::string text;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, NULL) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}

// The /proc folder of the Linux process whose command line starts with program (compared without
// case), or whose first word ends with it when it starts with a '/'; empty when there is none.
std::string LinuxProcess(const std::string &program)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE)
        return "";
    std::string process;
    do {
        const char *name = found.cFileName;
        if (name[0] < '1' || name[0] > '9')
            continue;
        std::string folder = std::string("Z:\\proc\\") + name;
        std::string first = WholeFile(folder + "\\cmdline").c_str();
        bool path = program[0] == '/' && first.size() >= program.size() &&
                    first.compare(first.size() - program.size(), program.size(), program) == 0;
        if (path || lstrcmpiA(first.c_str(), program.c_str()) == 0) {
            process = folder;
            break;
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return process;
}

double AnonymousKb(const std::string &exe)
{
    std::string status = WholeFile(LinuxProcess(exe) + "\\status");
    size_t at = status.find("RssAnon:");
    return at == std::string::npos ? -1 : std::atof(status.c_str() + at + 8);
}

// User and system time of a Linux process so far, in clock ticks (utime and stime of its stat,
// the 14th and 15th fields, counted after the command's closing parenthesis); -1 without /proc.
double CpuTicks(const std::string &process)
{
    std::string stat = WholeFile(process + "\\stat");
    size_t at = stat.rfind(')');
    double user, system;
    if (process.empty() || at == std::string::npos ||
        std::sscanf(stat.c_str() + at + 1, "%*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %lf %lf",
                    &user, &system) != 2)
        return -1;
    return user + system;
}

void End(const PROCESS_INFORMATION &process, HWND window)
{
    if (window)
        PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, kDeadlineMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, kDeadlineMs);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

bool Measure(const std::string &folder, const Program &program, Sample *sample)
{
    std::string exe = folder + "\\" + program.exe;
    std::string commandLine = "\"" + exe + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    LARGE_INTEGER frequency, created, shown;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&created);
    if (!CreateProcessA(exe.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, folder.c_str(),
                        &startup, &process)) {
        std::fprintf(stderr, "cannot start %s (error %lu)\n", exe.c_str(), GetLastError());
        return false;
    }
    HWND window = NULL;
    DWORD deadline = GetTickCount() + kDeadlineMs;
    while (!(window = TrayWindow(process.dwProcessId, program)) && (LONG)(deadline - GetTickCount()) > 0 &&
           WaitForSingleObject(process.hProcess, 1) == WAIT_TIMEOUT) {
    }
    QueryPerformanceCounter(&shown);
    if (!window) {
        std::fprintf(stderr, "%s showed no tray window\n", program.exe);
        End(process, NULL);
        return false;
    }
    sample->startMs = Milliseconds(created, shown, frequency);

    Sleep(kIdleMs);
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    bool measured = GetProcessMemoryInfo(process.hProcess, (PROCESS_MEMORY_COUNTERS *)&counters,
                                         sizeof counters) != FALSE;
    if (measured) {
        sample->privateKb = PrivateKb(process.hProcess, counters);
        sample->workingSetKb = (double)counters.WorkingSetSize / 1024.0;
        sample->anonymousKb = AnonymousKb(exe);
    } else {
        std::fprintf(stderr, "no memory figures for %s (error %lu)\n", program.exe, GetLastError());
    }
    End(process, window);
    return measured;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

// Morvane looks at its store on start-up: with a value in it, it is not a first run and shows
// no tip box, which would hold the start-up up until someone pressed OK.
void SeedStore()
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Morvane", 0, NULL, 0, KEY_WRITE, NULL, &key,
                        NULL) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, "seed", 0, REG_SZ, (const BYTE *)"", 1);
    RegCloseKey(key);
}

// Entries for the day after today, none of them at midnight, so that none comes due while the
// programs idle: each tick that reads the store reads them all.
void FillStore(int entries)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Morvane", 0, NULL, 0, KEY_WRITE, NULL, &key,
                        NULL) != ERROR_SUCCESS)
        return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    int tomorrow = now.wDayOfWeek + 1;  // Monday 1 to Sunday 7, as the store counts
    for (int i = 0; i < entries; i++) {
        char name[64];
        wsprintfA(name, "%d%.2d%.2d%cMProgramme %d", tomorrow, 1 + i % 11, i % 60,
                  i % 2 ? 'P' : 'A', i);
        RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)(name + 7), lstrlenA(name + 7) + 1);
    }
    RegCloseKey(key);
}

const DWORD kIdleCpuMs = 60000;

// The processor time a program and the Wine server (which answers its registry calls) take over
// a minute of its idling, once it has settled after its start; milliseconds, -1 without /proc.
bool IdleCpu(const std::string &folder, const Program &program, double *own, double *server)
{
    std::string exe = folder + "\\" + program.exe;
    std::string commandLine = "\"" + exe + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(exe.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, folder.c_str(),
                        &startup, &process))
        return false;
    HWND window = NULL;
    DWORD deadline = GetTickCount() + kDeadlineMs;
    while (!(window = TrayWindow(process.dwProcessId, program)) &&
           (LONG)(deadline - GetTickCount()) > 0)
        Sleep(10);
    Sleep(kIdleMs);
    std::string ownProcess = LinuxProcess(exe), wineserver = LinuxProcess("/wineserver");
    if (wineserver.empty())
        wineserver = LinuxProcess("/wineserver64");
    double ownBefore = CpuTicks(ownProcess), serverBefore = CpuTicks(wineserver);
    Sleep(kIdleCpuMs);
    double ownAfter = CpuTicks(ownProcess), serverAfter = CpuTicks(wineserver);
    End(process, window);
    const double msPerTick = 10;  // Linux counts processor time in hundredths of a second
    *own = ownBefore < 0 ? -1 : (ownAfter - ownBefore) * msPerTick;
    *server = serverBefore < 0 ? -1 : (serverAfter - serverBefore) * msPerTick;
    return window != NULL;
}

}  // namespace

int main(int argc, char **argv)
{
    int starts = argc > 1 ? std::atoi(argv[1]) : 5;
    if (starts < 1)
        starts = 5;
    std::string folder = Folder();
    SeedStore();

    std::vector<Sample> samples[kProgramCount];
    // Round after round, each program once, so that a slow spell of the machine falls on all;
    // the first round only warms the file cache and is not counted. Each round starts one
    // program further on, so that none always follows the same one, and each start waits for
    // the system to settle after the one before.
    for (int round = -1; round < starts; round++)
        for (size_t n = 0; n < kProgramCount; n++) {
            size_t i = (n + (size_t)(round + 1)) % kProgramCount;
            Sleep(kSettleMs);
            Sample sample;
            if (!Measure(folder, kPrograms[i], &sample))
                return 1;
            if (round >= 0)
                samples[i].push_back(sample);
        }

    // Medians per program: time to the window, private bytes, working set, anonymous memory.
    const int kFigures = 4;
    double median[kProgramCount][kFigures];
    for (size_t i = 0; i < kProgramCount; i++) {
        std::vector<double> figures[kFigures];
        for (const Sample &sample : samples[i]) {
            figures[0].push_back(sample.startMs);
            figures[1].push_back(sample.privateKb);
            figures[2].push_back(sample.workingSetKb);
            figures[3].push_back(sample.anonymousKb);
        }
        for (int f = 0; f < kFigures; f++)
            median[i][f] = Median(figures[f]);
    }
    bool anonymous = median[0][3] > 0;

    std::printf("Footprint, %d-bit, median of %d starts each; memory after %lu ms of idling\n\n",
                (int)(sizeof(void *) * 8), starts, kIdleMs);
    std::printf("%-24s %10s %12s %12s %12s\n", "program", "start ms", "private KiB", "working KiB",
                anonymous ? "anon KiB" : "");
    for (size_t i = 0; i < kProgramCount; i++) {
        std::printf("%-24s %10.1f %12.0f %12.0f", kPrograms[i].label, median[i][0], median[i][1],
                    median[i][2]);
        if (anonymous)
            std::printf(" %12.0f", median[i][3]);
        if (i > 0 && i + 1 < kProgramCount) {
            std::printf("   adds %+.0f private, %+.0f working", median[i][1] - median[0][1],
                        median[i][2] - median[0][2]);
            if (anonymous)
                std::printf(", %+.0f anon", median[i][3] - median[0][3]);
        }
        std::printf("\n");
    }
    size_t morvane = kProgramCount - 1, all = kProgramCount - 2;
    const size_t bases[] = {0, all};
    const char *const baseLabels[] = {"Morvane / minimal", "Morvane / all four"};
    for (int b = 0; b < 2; b++) {
        std::printf("%-24s", baseLabels[b]);
        for (int f = 0; f < (anonymous ? kFigures : kFigures - 1); f++)
            std::printf(" %*.2f", f == 0 ? 10 : 12, median[morvane][f] / median[bases[b]][f]);
        std::printf("\n");
    }
    if (anonymous)
        std::printf("\nprivate: committed private memory (private bytes); working: working set;\n"
                    "anon: anonymous resident memory of the Wine process, read from /proc\n");

    const int kEntries = 10000;
    FillStore(kEntries);
    std::printf("\nIdle processor time over %lu s, %d entries in the store (ms, as Linux counts "
                "it)\n%-24s %10s %12s\n",
                kIdleCpuMs / 1000, kEntries, "program", "own", "wineserver");
    for (size_t i : {(size_t)0, kProgramCount - 1}) {
        double own = -1, server = -1;
        if (!IdleCpu(folder, kPrograms[i], &own, &server))
            return 1;
        std::printf("%-24s %10.0f %12.0f\n", kPrograms[i].label, own, server);
    }
    return 0;
}
