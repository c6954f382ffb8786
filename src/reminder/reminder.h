// The reminder engine: the two-second tick that compares the clock with the store, the alert
// box it raises, and the report of a store failure that ends the program.
#ifndef MORVANE_REMINDER_H
#define MORVANE_REMINDER_H

#include <windows.h>

#define REMINDER_TIMER_ID 700
#define REMINDER_PERIOD_MS 2000

// Set by uninstall: from then on every tick returns at once.
extern int UninstallingFlag;

// The match key of the tick before this one; empty until a tick has run. It is what makes a
// programme alert exactly once: only the first tick of a minute may alert.
extern char PreviousMatchKey[7];

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
