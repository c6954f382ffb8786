// Morvane's footprint beside the least a tray program does. Every program lies stripped in this
// driver's own folder; each is started in turn, several rounds over, and for each start the
// driver records the time from creating the process to its hidden tray window, then, after the
// program has idled through its first timer tick, its private bytes, its working set and, under
// Wine, its anonymous memory as Linux counts it. It prints the median of each, what each DLL
// variant of the minimal program adds, and the ratios.
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

double AnonymousKb(const std::string &exe)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE)
        return -1;
    double kb = -1;
    do {
        const char *name = found.cFileName;
        if (name[0] < '1' || name[0] > '9')
            continue;
        std::string folder = std::string("Z:\\proc\\") + name;
        std::string commandLine = WholeFile(folder + "\\cmdline");
        if (lstrcmpiA(commandLine.c_str(), exe.c_str()) != 0)
            continue;
        std::string status = WholeFile(folder + "\\status");
        size_t at = status.find("RssAnon:");
        if (at != std::string::npos)
            kb = std::atof(status.c_str() + at + 8);
        break;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return kb;
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
    return 0;
}
