#include "reminder.h"

#include <mmsystem.h>
#include <string.h>

#include "../platform/platform.h"
#include "../shell/shell.h"
#include "../store/store.h"

int UninstallingFlag = 0;
ULONGLONG NewestTickTime;

void BuildMatchKey(const SYSTEMTIME *now, MatchKey *key)
{
    key->day = now->wDayOfWeek == 0 ? 7 : now->wDayOfWeek;
    key->hour12 = now->wHour % 12 == 0 ? 12 : now->wHour % 12;
    key->minute = now->wMinute;
    key->second = now->wSecond;
    key->half = now->wHour < 12 ? 'A' : 'P';
    wsprintfA(key->text, "%d%.2d%.2d%c", key->day, key->hour12, key->minute, key->half);
}

// Whether an alert's sound is looping: it goes from one box to the next and stops with the last.
static bool Sounding;

static void StopAlertSound()
{
    if (Sounding)
        PlatformPlaySound(NULL, SND_FILENAME | SND_LOOP | SND_ASYNC);
    Sounding = false;
}

void RaiseAlert(int hour12, int minute, char half, const char *programme, char mode)
{
    // Room for the longest name the store can hold and the fixed 33 characters around it.
    char name[STORE_DATA_ROOM];
    char text[STORE_DATA_ROOM + 40];
    lstrcpynA(name, programme, sizeof name);
    wsprintfA(text, "Switch on the Telly   %s @ %d.%.2d %cM", name, hour12, minute, half);

    if (mode == '1' || mode == '2') {
        PlayProgramSound(mode == '1' ? "warning.wav" : "drums.wav");
        Sounding = true;
    } else {
        StopAlertSound();
    }
    PlatformMessageBox(NULL, text, "Morvane alert", MB_OK | MB_SYSTEMMODAL | MB_ICONEXCLAMATION);
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

// The alerts behind the one on screen, oldest first: in time order, in the store's order within
// a minute. Like the tick's scan, it is static: ticks run nested in every box, and whatever a
// tick keeps on the stack is paid again at every level.
static struct {
    struct {
        ULONGLONG minute;  // of the local clock's calendar
        char programme[STORE_DATA_ROOM];
    } alerts[ALERTS_WAITING];
    int count;
} Waiting;

static void DropOldestWaiting()
{
    memmove(&Waiting.alerts[0], &Waiting.alerts[1], --Waiting.count * sizeof Waiting.alerts[0]);
}

// A full list makes room by dropping its oldest: after a long absence the programmes due now
// matter more than those of an hour ago.
static void AddWaiting(ULONGLONG minute, const char *programme)
{
    int at = Waiting.count;
    while (at > 0 && Waiting.alerts[at - 1].minute > minute)
        at--;
    if (Waiting.count == ALERTS_WAITING) {
        if (at == 0)
            return;
        DropOldestWaiting();
        at--;
    }
    memmove(&Waiting.alerts[at + 1], &Waiting.alerts[at],
            (Waiting.count - at) * sizeof Waiting.alerts[0]);
    Waiting.alerts[at].minute = minute;
    lstrcpynA(Waiting.alerts[at].programme, programme, sizeof Waiting.alerts[at].programme);
    Waiting.count++;
}

// The minutes a tick looks for: keyCount of them, one after the other from firstMinute.
static struct {
    ULONGLONG firstMinute;
    MatchKey keys[MAKE_UP_SECONDS / 60 + 1];
    int keyCount;
    bool failed;
} Scan;

static bool CollectDue(const StoreValue *value, void *)
{
    if (value->outcome == ERROR_MORE_DATA)
        return true;  // too long to be one of ours: skip it, keep the reminder running
    if (value->outcome != ERROR_SUCCESS) {
        Scan.failed = true;
        return false;
    }
    // A name shorter than six characters differs at its terminator.
    for (int key = 0; key < Scan.keyCount; key++)
        if (strncmp(value->name, Scan.keys[key].text, 6) == 0) {
            AddWaiting(Scan.firstMinute + key, value->data);
            break;
        }
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

// Chooses the minutes this tick announces, at the local clock's second `at`, and remembers them
// as announced before any box runs nested ticks.
static void ChooseMinutes(ULONGLONG at)
{
    ULONGLONG newest = NewestTickTime, minute = at / 60;
    // A clock put back by a time-sync correction or by daylight saving's repeated hour does not
    // announce its minutes again; put back further, it was set, and the tick starts afresh.
    if (at + CORRECTION_SECONDS < newest)
        newest = 0;
    NewestTickTime = newest > at ? newest : at;
    Scan.keyCount = 0;
    if (newest == 0) {
        // The first tick cannot know what it missed, and starting up (or adding an entry) in
        // the middle of a programme's minute is not that programme coming due.
        Scan.firstMinute = minute;
        Scan.keyCount = at % 60 < 2;
    } else if (minute > newest / 60) {
        // Minutes that began since without a tick of their own (the computer slept, the thread
        // was held, the clock was put forward) are made up, those of the last hour only; this
        // tick's own minute alerts however late the tick comes.
        ULONGLONG first = newest / 60 + 1, oldest = (at - MAKE_UP_SECONDS + 59) / 60;
        Scan.firstMinute = first > oldest ? first : oldest;
        Scan.keyCount = (int)(minute - Scan.firstMinute + 1);
    }
    for (int key = 0; key < Scan.keyCount; key++)
        MinuteKey(Scan.firstMinute + key, &Scan.keys[key]);
}

// The program ends once a quit message is posted (by uninstall, the exit command or a store
// failure, while a box was up): the alerts still waiting are not shown.
static bool Ending()
{
    MSG msg;
    return UninstallingFlag || PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_NOREMOVE);
}

// One box at a time: a tick that finds alerts while a box is up leaves them waiting, and each
// dismissal brings up the oldest of them, so boxes never pile up inside each other.
static void ShowWaitingAlerts()
{
    static bool showing;
    static char programme[STORE_DATA_ROOM];
    if (showing)
        return;
    showing = true;
    while (Waiting.count > 0 && !Ending()) {
        MatchKey key;
        MinuteKey(Waiting.alerts[0].minute, &key);
        lstrcpynA(programme, Waiting.alerts[0].programme, sizeof programme);
        DropOldestWaiting();
        RaiseAlert(key.hour12, key.minute, key.half, programme, ReadAlertModeChar());
    }
    Waiting.count = 0;
    StopAlertSound();
    showing = false;
}

LRESULT RunReminderTick(HWND mainWindow)
{
    if (UninstallingFlag)
        return 0;
    SYSTEMTIME now;
    PlatformLocalTime(&now);
    ChooseMinutes(LocalSeconds(&now));

    // The key is opened at every tick, so that a store deleted meanwhile is reported at once, but
    // read only when there is a minute to look for. The alerts come after it is closed.
    Scan.failed = false;
    LONG opened = EnumerateStore(KEY_READ, Scan.keyCount > 0 ? CollectDue : NULL, NULL);
    if (opened != ERROR_SUCCESS) {
        KillTimer(mainWindow, REMINDER_TIMER_ID);
        FatalStoreError(opened, "at RegOpenKey on WM_TIMER");
        PostQuitMessage(0);
        return 0;
    }
    // Nested ticks reuse the scan while the boxes are up.
    bool failed = Scan.failed;
    if (failed)
        KillTimer(mainWindow, REMINDER_TIMER_ID);
    ShowWaitingAlerts();
    if (failed) {
        PlatformMessageBox(NULL, "RegEnumValue() Failed, Exiting", "Morvane Error",
                           MB_OK | MB_SYSTEMMODAL | MB_ICONERROR);
        PostQuitMessage(0);
    }
    return 0;
}
