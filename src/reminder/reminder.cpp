#include "reminder.h"

#include <mmsystem.h>
#include <string.h>

#include "../platform/platform.h"
#include "../shell/shell.h"
#include "../store/store.h"

int UninstallingFlag = 0;
ULONGLONG PreviousTickTime;

void BuildMatchKey(const SYSTEMTIME *now, MatchKey *key)
{
    key->day = now->wDayOfWeek == 0 ? 7 : now->wDayOfWeek;
    key->hour12 = now->wHour % 12 == 0 ? 12 : now->wHour % 12;
    key->minute = now->wMinute;
    key->second = now->wSecond;
    key->half = now->wHour < 12 ? 'A' : 'P';
    wsprintfA(key->text, "%d%.2d%.2d%c", key->day, key->hour12, key->minute, key->half);
}

void RaiseAlert(int hour12, int minute, char half, const char *programme, char mode)
{
    // Room for the longest name the store can hold and the fixed 33 characters around it.
    char name[STORE_DATA_ROOM];
    char text[STORE_DATA_ROOM + 40];
    lstrcpynA(name, programme, sizeof name);
    wsprintfA(text, "Switch on the Telly   %s @ %d.%.2d %cM", name, hour12, minute, half);

    const DWORD flags = SND_FILENAME | SND_LOOP | SND_ASYNC;
    bool playing = mode == '1' || mode == '2';
    if (playing) {
        // From Morvane's folder; a name that does not fit plays the system's default sound, as
        // a missing file does.
        char file[MAX_PATH + 16];
        ProgramFile(mode == '1' ? "warning.wav" : "drums.wav", file, sizeof file);
        PlatformPlaySound(file, flags);
    }
    PlatformMessageBox(NULL, text, "Morvane alert", MB_OK | MB_SYSTEMMODAL | MB_ICONEXCLAMATION);
    if (playing)
        PlatformPlaySound(NULL, flags);
}

void FatalStoreError(LONG code, const char *context)
{
    char *system = NULL;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   NULL, (DWORD)code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&system, 0,
                   NULL);

    // The code and its tail always show; a long system text is cut to leave room for them.
    char tail[40];
    char text[100];
    wsprintfA(tail, "[%d] Exiting . . .", (int)code);
    lstrcpynA(text, system ? system : "Unknown error\r\n", (int)sizeof text - lstrlenA(tail));
    lstrcatA(text, tail);
    if (system)
        LocalFree(system);

    char caption[100];
    char place[100 - 17];
    lstrcpynA(place, context, sizeof place);
    wsprintfA(caption, "Morvane Error : %s", place);
    PlatformMessageBox(NULL, text, caption, MB_OK | MB_ICONINFORMATION);
}

// The minutes a tick looks for, oldest first, and what it found for them: in time order, and in
// the store's order within a minute.
struct TickScan {
    MatchKey keys[MAKE_UP_SECONDS / 60 + 1];
    int keyCount;
    struct {
        int key;
        char programme[STORE_DATA_ROOM];
    } due[ALERTS_PER_TICK];
    int dueCount;
    bool failed;
};

static bool CollectDue(const StoreValue *value, void *context)
{
    TickScan *scan = (TickScan *)context;
    if (value->outcome == ERROR_MORE_DATA)
        return true;  // too long to be one of ours: skip it, keep the reminder running
    if (value->outcome != ERROR_SUCCESS) {
        scan->failed = true;
        return false;
    }
    int key = 0;
    // A name shorter than six characters differs at its terminator.
    while (key < scan->keyCount && strncmp(value->name, scan->keys[key].text, 6) != 0)
        key++;
    if (key == scan->keyCount)
        return true;
    // Past the bound, the alerts that would come last give way.
    int at = scan->dueCount;
    while (at > 0 && scan->due[at - 1].key > key)
        at--;
    if (at == ALERTS_PER_TICK)
        return true;
    int last = scan->dueCount < ALERTS_PER_TICK ? scan->dueCount++ : ALERTS_PER_TICK - 1;
    memmove(&scan->due[at + 1], &scan->due[at], (last - at) * sizeof scan->due[0]);
    scan->due[at].key = key;
    lstrcpynA(scan->due[at].programme, value->data, sizeof scan->due[at].programme);
    return true;
}

// The local clock as a count of seconds, for telling how far apart two ticks are; it follows
// the clock as shown, daylight saving's jumps and the user's changes included.
static ULONGLONG LocalSeconds(const SYSTEMTIME *time)
{
    FILETIME file = {0, 0};
    SystemTimeToFileTime(time, &file);
    return (((ULONGLONG)file.dwHighDateTime << 32) | file.dwLowDateTime) / 10000000;
}

static void MinuteKey(ULONGLONG minute, MatchKey *key)
{
    ULONGLONG units = minute * 60 * 10000000;
    FILETIME file = {(DWORD)units, (DWORD)(units >> 32)};
    SYSTEMTIME time;
    FileTimeToSystemTime(&file, &time);
    BuildMatchKey(&time, key);
}

LRESULT RunReminderTick(HWND mainWindow)
{
    if (UninstallingFlag)
        return 0;
    SYSTEMTIME now;
    PlatformLocalTime(&now);
    ULONGLONG at = LocalSeconds(&now), previous = PreviousTickTime, minute = at / 60;
    // Remembered before the alerts, whose boxes run nested ticks.
    PreviousTickTime = at;

    TickScan scan;
    scan.keyCount = scan.dueCount = 0;
    scan.failed = false;
    // Minutes that began since the previous tick without one of their own (the computer slept,
    // the thread was held, the clock was put forward) are made up, those of the last hour only.
    // The first tick since start cannot know what it missed, and a clock put back misses nothing.
    if (previous != 0 && at > previous) {
        ULONGLONG first = previous / 60 + 1, oldest = (at - MAKE_UP_SECONDS + 59) / 60;
        for (ULONGLONG gap = first > oldest ? first : oldest; gap < minute; gap++)
            MinuteKey(gap, &scan.keys[scan.keyCount++]);
    }
    // This minute alerts at its first tick, however late that comes, but for the very first
    // tick since start: starting up (or adding an entry) in the middle of a programme's minute
    // is not that programme coming due.
    if (previous / 60 != minute && (now.wSecond < 2 || previous != 0))
        BuildMatchKey(&now, &scan.keys[scan.keyCount++]);

    // The alerts come after the key is closed, so that the store may change while a box is up.
    LONG opened = EnumerateStore(KEY_READ, CollectDue, &scan);
    if (opened != ERROR_SUCCESS) {
        KillTimer(mainWindow, REMINDER_TIMER_ID);
        FatalStoreError(opened, "at RegOpenKey on WM_TIMER");
        PostQuitMessage(0);
        return 0;
    }
    if (scan.failed)
        KillTimer(mainWindow, REMINDER_TIMER_ID);
    // One after the other; an uninstall chosen while a box is up leaves no schedule to announce.
    for (int i = 0; i < scan.dueCount && !UninstallingFlag; i++) {
        const MatchKey *key = &scan.keys[scan.due[i].key];
        RaiseAlert(key->hour12, key->minute, key->half, scan.due[i].programme, ReadAlertModeChar());
    }
    if (scan.failed) {
        PlatformMessageBox(NULL, "RegEnumValue() Failed, Exiting", "Morvane Error",
                           MB_OK | MB_SYSTEMMODAL | MB_ICONERROR);
        PostQuitMessage(0);
    }
    return 0;
}
