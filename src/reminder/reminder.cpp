#include "reminder.h"

#include <string.h>

#include "../platform/platform.h"
#include "../store/store.h"

int UninstallingFlag = 0;
ULONGLONG NewestTickTime;

static const char AlertCaption[] = "Morvane alert";

void BuildMatchKey(const SYSTEMTIME *now, MatchKey *key)
{
    key->day = now->wDayOfWeek == 0 ? 7 : now->wDayOfWeek;
    key->hour12 = now->wHour % 12 == 0 ? 12 : now->wHour % 12;
    key->minute = now->wMinute;
    key->second = now->wSecond;
    key->half = now->wHour < 12 ? 'A' : 'P';
    wsprintfA(key->text, "%d%.2d%.2d%c", key->day, key->hour12, key->minute, key->half);
}

struct WaitingAlert {
    ULONGLONG minute;  // of the local clock's calendar
    char programme[STORE_DATA_ROOM];
};

// The alerts as the user meets them. One box at a time: a tick that finds programmes while a box
// is up adds them to the waiting list, and each OK brings up the oldest waiting, from the same
// loop. The box is always the innermost loop of the thread, since nothing opens over it; so OK
// always returns. The sound goes on from one box to the next and stops after the last. Like the
// tick's scan, all of it is static: ticks run nested in every box.
static struct {
    bool boxUp;         // the tick opens no box and the tray no window
    bool soundPlaying;  // an alert's sound loops
    WaitingAlert onScreen;
    WaitingAlert waiting[ALERTS_WAITING];  // oldest first
    int waitingCount;
} Alerts;

static void StopAlertSound()
{
    if (Alerts.soundPlaying)
        StopProgramSound();
    Alerts.soundPlaying = false;
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
        Alerts.soundPlaying = true;
    } else {
        StopAlertSound();
    }
    // Task-modal, the box disables the thread's other windows while it is up; topmost, it stays
    // above every window, as a system-modal box does.
    PlatformMessageBox(NULL, text, AlertCaption,
                       MB_OK | MB_TASKMODAL | MB_TOPMOST | MB_ICONEXCLAMATION);
}

bool BringAlertToFront()
{
    if (Alerts.boxUp)
        BringDialogToFront(AlertCaption);
    return Alerts.boxUp;
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

static void DropOldestWaiting()
{
    memmove(&Alerts.waiting[0], &Alerts.waiting[1], --Alerts.waitingCount * sizeof(WaitingAlert));
}

// A full list makes room by dropping its oldest: after a long absence the programmes due now
// matter more than those of an hour ago.
static void AddWaiting(ULONGLONG minute, const char *programme)
{
    int at = Alerts.waitingCount;
    while (at > 0 && Alerts.waiting[at - 1].minute > minute)
        at--;
    if (Alerts.waitingCount == ALERTS_WAITING) {
        if (at == 0)
            return;
        DropOldestWaiting();
        at--;
    }
    memmove(&Alerts.waiting[at + 1], &Alerts.waiting[at],
            (Alerts.waitingCount - at) * sizeof(WaitingAlert));
    Alerts.waiting[at].minute = minute;
    lstrcpynA(Alerts.waiting[at].programme, programme, sizeof Alerts.waiting[at].programme);
    Alerts.waitingCount++;
}

// What comes next after a clock reading, found in a scan of the store. Only entries of the
// store's format can come due, and only they are named.
enum { WEEK_MINUTES = 7 * 24 * 60 };
struct NextProgramme {
    int from;  // the reading, in minutes of the week from Monday 12:00 AM
    int wait;  // minutes from it to the next programme's, 1 to a week; 0: none found
    int more;  // further programmes in that minute
    char key[7];  // its day, hour, minute and half, as its entry key begins
    char name[STORE_DATA_ROOM];
};

static void StartNext(NextProgramme *next, const SYSTEMTIME *now)
{
    int day = now->wDayOfWeek == 0 ? 6 : now->wDayOfWeek - 1;
    next->from = (day * 24 + now->wHour) * 60 + now->wMinute;
    next->wait = 0;
}

static int TwoDigits(const char *text)
{
    bool digits = text[0] >= '0' && text[0] <= '9' && text[1] >= '0' && text[1] <= '9';
    return digits ? (text[0] - '0') * 10 + text[1] - '0' : -1;
}

// The minute of the week an entry key names, or -1 when its name does not begin with one. A
// shorter name fails at its terminator.
static int WeekMinute(const char *name)
{
    if (name[6] != 'M' || (name[5] != 'A' && name[5] != 'P'))
        return -1;
    int day = name[0] - '1', hour = TwoDigits(name + 1), minute = TwoDigits(name + 3);
    if (day < 0 || day > 6 || hour < 1 || hour > 12 || minute < 0 || minute > 59)
        return -1;
    return (day * 24 + hour % 12 + (name[5] == 'P' ? 12 : 0)) * 60 + minute;
}

// A programme of the reading's own minute has been announced: it comes next a week later.
static void NoteNext(NextProgramme *next, const StoreValue *value)
{
    int at = WeekMinute(value->name);
    if (value->outcome != ERROR_SUCCESS || at < 0)
        return;
    int wait = (at - next->from + WEEK_MINUTES - 1) % WEEK_MINUTES + 1;
    if (next->wait != 0 && wait >= next->wait) {
        next->more += wait == next->wait;
        return;
    }
    next->wait = wait;
    next->more = 0;
    lstrcpynA(next->key, value->name, sizeof next->key);
    lstrcpynA(next->name, value->data, sizeof next->name);
}

// "Morvane - next: News and 2 more, today 7:05 PM". The tip field holds 63 characters: a long
// name gives way, never the time.
static void FormatTrayTip(const NextProgramme *next, char *tip)
{
    static const char days[7][4] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    if (next->wait == 0) {
        lstrcpyA(tip, "Morvane - nothing scheduled");
        return;
    }
    const char *key = next->key;
    bool today = next->from % (24 * 60) + next->wait < 24 * 60;
    char more[24] = "", tail[48], name[TRAY_TIP_ROOM];
    if (next->more > 0)
        wsprintfA(more, " and %d more", next->more);
    wsprintfA(tail, "%s, %s %d:%c%c %cM", more, today ? "today" : days[key[0] - '1'],
              TwoDigits(key + 1), key[3], key[4], key[5]);
    static const char lead[] = "Morvane - next: ";
    lstrcpynA(name, next->name, TRAY_TIP_ROOM - (int)(sizeof lead - 1) - lstrlenA(tail));
    wsprintfA(tip, "%s%s%s", lead, name, tail);
}

// What one tick reads the store for: the minutes it announces, and what comes next.
static struct {
    struct {
        ULONGLONG minute;
        MatchKey key;
    } due[MAKE_UP_SECONDS / 60 + 1];
    int dueCount;
    bool read;  // the first tick of each minute reads, for the tip if for nothing else
    bool failed;
    NextProgramme next;
    char tip[TRAY_TIP_ROOM];
} Scan;

static bool CollectDue(const StoreValue *value, void *)
{
    if (value->outcome == ERROR_MORE_DATA)
        return true;  // too long to be one of ours: skip it, keep the reminder running
    if (value->outcome != ERROR_SUCCESS) {
        Scan.failed = true;
        return false;
    }
    NoteNext(&Scan.next, value);
    // A name shorter than six characters differs at its terminator.
    for (int i = 0; i < Scan.dueCount; i++)
        if (strncmp(value->name, Scan.due[i].key.text, 6) == 0) {
            AddWaiting(Scan.due[i].minute, value->data);
            break;
        }
    return true;
}

// The same read as a tick's, with no minute to look for.
void ReadTrayTip(char *tip)
{
    SYSTEMTIME now;
    PlatformLocalTime(&now);
    StartNext(&Scan.next, &now);
    Scan.dueCount = 0;
    EnumerateStore(KEY_READ, CollectDue, NULL);
    FormatTrayTip(&Scan.next, tip);
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

// The minutes the ticks have decided on since start (or since the clock was set afresh): each
// announced, or passed over as begun before a tick looked. A minute's slot holds its number once
// it is decided. The slots span more than a correction's reach, so a clock put back by one
// finds every minute it passes again.
enum { DECIDED_SLOTS = 128 };
static_assert(DECIDED_SLOTS > CORRECTION_SECONDS / 60 + 1, "a correction's minutes fit");
static ULONGLONG DecidedMinutes[DECIDED_SLOTS];
static ULONGLONG PreviousTickTime;

// Marks the minute decided; true when it was already.
static bool Decide(ULONGLONG minute)
{
    ULONGLONG *slot = &DecidedMinutes[minute % DECIDED_SLOTS];
    bool was = *slot == minute;
    *slot = minute;
    return was;
}

// Chooses the minutes this tick announces, at the local clock's second `at`, and decides them
// before any box runs nested ticks.
static void ChooseMinutes(ULONGLONG at)
{
    ULONGLONG minute = at / 60, first;
    // A clock put back by a time-sync correction or by daylight saving's repeated hour passes
    // over what the ticks decided; put back further, it was set, and the tick starts afresh.
    if (NewestTickTime == 0 || at + CORRECTION_SECONDS < NewestTickTime) {
        memset(DecidedMinutes, 0, sizeof DecidedMinutes);
        NewestTickTime = PreviousTickTime = 0;
    }
    if (PreviousTickTime == 0 || at < PreviousTickTime) {
        // After start or a step back the tick cannot know what it missed, and starting up (or
        // adding an entry) in the middle of a programme's minute is not that programme coming due.
        first = at % 60 < 2 ? minute : minute + 1;
    } else {
        // Minutes that began since without a tick of their own (the computer slept, the thread
        // was held, the clock was put forward) are made up, those of the last hour only; this
        // tick's own minute alerts however late the tick comes.
        ULONGLONG oldest = (at - MAKE_UP_SECONDS + 59) / 60;
        first = PreviousTickTime / 60 + 1 > oldest ? PreviousTickTime / 60 + 1 : oldest;
    }
    Scan.dueCount = 0;
    for (ULONGLONG due = first; due <= minute; due++)
        if (!Decide(due)) {
            Scan.due[Scan.dueCount].minute = due;
            MinuteKey(due, &Scan.due[Scan.dueCount++].key);
        }
    Decide(minute);
    // A minute still to announce is always one the last tick was not in.
    Scan.read = PreviousTickTime / 60 != minute;
    PreviousTickTime = at;
    NewestTickTime = NewestTickTime > at ? NewestTickTime : at;
}

// The program ends once a quit message is posted (by uninstall, the exit command or a store
// failure, while a box was up): the alerts still waiting are not shown.
static bool Ending()
{
    MSG msg;
    return UninstallingFlag || PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_NOREMOVE);
}

static void ShowWaitingAlerts()
{
    if (Alerts.boxUp)
        return;
    Alerts.boxUp = true;
    while (Alerts.waitingCount > 0 && !Ending()) {
        Alerts.onScreen = Alerts.waiting[0];
        DropOldestWaiting();
        MatchKey key;
        MinuteKey(Alerts.onScreen.minute, &key);
        RaiseAlert(key.hour12, key.minute, key.half, Alerts.onScreen.programme,
                   ReadAlertModeChar());
    }
    Alerts.waitingCount = 0;
    StopAlertSound();
    Alerts.boxUp = false;
}

LRESULT RunReminderTick(HWND mainWindow)
{
    if (UninstallingFlag)
        return 0;
    SYSTEMTIME now;
    PlatformLocalTime(&now);
    ChooseMinutes(LocalSeconds(&now));
    StartNext(&Scan.next, &now);

    // The key is opened at every tick, so that a store deleted meanwhile is reported at once, but
    // read only once a minute or when there is a minute to look for. The alerts come after it is
    // closed.
    Scan.failed = false;
    LONG opened = EnumerateStore(KEY_READ, Scan.read ? CollectDue : NULL, NULL);
    if (opened == ERROR_SUCCESS && Scan.read && !Scan.failed) {
        FormatTrayTip(&Scan.next, Scan.tip);
        SendMessageA(mainWindow, WM_NEXTPROGRAMME, 0, (LPARAM)Scan.tip);
    }
    // A tick inside a box only adds to the waiting list. A store failure is reported by the first
    // tick after the box, for a report opened over it would keep its OK from returning.
    if (Alerts.boxUp)
        return 0;
    if (opened != ERROR_SUCCESS) {
        KillTimer(mainWindow, REMINDER_TIMER_ID);
        FatalStoreError(opened, "at RegOpenKey on WM_TIMER");
        PostQuitMessage(0);
        return 0;
    }
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
