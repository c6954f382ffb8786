#include "reminder.h"

#include <mmsystem.h>
#include <string.h>

#include "../platform/platform.h"
#include "../store/store.h"

int UninstallingFlag = 0;
char PreviousMatchKey[7];

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
    if (playing)
        PlatformPlaySound(mode == '1' ? "warning.wav" : "drums.wav", flags);
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

// Everything a scan callback of the tick needs, and what it found.
struct TickScan {
    HWND mainWindow;
    const MatchKey *key;
    bool mayAlert;
    bool failed;
};

static bool CheckValue(const StoreValue *value, void *context)
{
    TickScan *scan = (TickScan *)context;
    if (value->outcome == ERROR_MORE_DATA)
        return true;  // too long to be one of ours: skip it, keep the reminder running
    if (value->outcome != ERROR_SUCCESS) {
        KillTimer(scan->mainWindow, REMINDER_TIMER_ID);
        PlatformMessageBox(NULL, "RegEnumValue() Failed, Exiting", "Morvane Error",
                           MB_OK | MB_SYSTEMMODAL | MB_ICONERROR);
        scan->failed = true;
        return false;
    }
    const MatchKey *key = scan->key;
    // A name shorter than six characters differs at its terminator.
    if (!scan->mayAlert || strncmp(value->name, key->text, 6) != 0)
        return true;
    RaiseAlert(key->hour12, key->minute, key->half, value->data, ReadAlertModeChar());
    return false;
}

LRESULT RunReminderTick(HWND mainWindow)
{
    if (UninstallingFlag)
        return 0;
    SYSTEMTIME now;
    PlatformLocalTime(&now);
    MatchKey key;
    BuildMatchKey(&now, &key);

    // Only the first tick of a minute may alert, so jitter or a tick nested in an open alert
    // box never alerts twice. That tick may come late when the thread was held; it still
    // alerts, unless it is the very first tick since start: starting up (or adding an entry)
    // in the middle of a programme's minute is not that programme coming due. The key is
    // remembered before the scan because the alert box below runs nested ticks.
    bool firstOfMinute = strcmp(key.text, PreviousMatchKey) != 0;
    bool tickedBefore = PreviousMatchKey[0] != '\0';
    lstrcpynA(PreviousMatchKey, key.text, sizeof PreviousMatchKey);

    TickScan scan = {mainWindow, &key, firstOfMinute && (key.second < 2 || tickedBefore), false};
    LONG opened = EnumerateStore(KEY_READ, CheckValue, &scan);
    if (opened != ERROR_SUCCESS) {
        KillTimer(mainWindow, REMINDER_TIMER_ID);
        FatalStoreError(opened, "at RegOpenKey on WM_TIMER");
        PostQuitMessage(0);
    } else if (scan.failed) {
        PostQuitMessage(0);
    }
    return 0;
}
