// The reminder engine: the two-second tick that compares the clock with the store, the alert
// box it raises, and the report of a store failure that ends the program.
#ifndef MORVANE_REMINDER_H
#define MORVANE_REMINDER_H

#include <windows.h>

#define REMINDER_TIMER_ID 700
#define REMINDER_PERIOD_MS 2000

// Set by uninstall: from then on every tick returns at once.
extern int UninstallingFlag;

// When the tick before this one ran, in seconds of the local clock's calendar; 0 until a tick
// has run. It is what makes a programme alert exactly once: at the first tick of its minute,
// or at the first tick after a gap that swallowed its minute.
extern ULONGLONG PreviousTickTime;

// The most alerts one tick raises, so that a store filled from outside cannot open thousands of
// boxes; and how far back a gap's programmes are still announced.
#define ALERTS_PER_TICK 16
#define MAKE_UP_SECONDS 3600

// One clock reading in the store's terms: "50705P" is a Friday at 19:05.
struct MatchKey {
    int day;     // 1 Monday .. 7 Sunday
    int hour12;  // 1 .. 12
    int minute;
    int second;
    char half;   // 'A' or 'P'
    char text[7];
};

void BuildMatchKey(const SYSTEMTIME *now, MatchKey *key);
LRESULT RunReminderTick(HWND mainWindow);
void RaiseAlert(int hour12, int minute, char half, const char *programme, char mode);
void FatalStoreError(LONG code, const char *context);

#endif
