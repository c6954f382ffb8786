// The reminder engine: the two-second tick that compares the clock with the store, the alert
// boxes it raises one at a time, what comes next for the tray's tip, and the report of a store
// failure that ends the program.
#ifndef MORVANE_REMINDER_H
#define MORVANE_REMINDER_H

#include <windows.h>

#define REMINDER_TIMER_ID 700
#define REMINDER_PERIOD_MS 2000

// Set by uninstall: from then on every tick returns at once.
extern int UninstallingFlag;

// The newest reading of the local clock a tick has seen, in seconds of its calendar; 0 until a
// tick has run, and setting it to 0 makes the next tick one after start. Minutes the ticks have
// announced or passed over up to it are never announced again, also when the clock is corrected
// backwards; a minute no tick looked at is announced when the clock comes to it.
extern ULONGLONG NewestTickTime;

// The most alerts that wait behind the one on screen, so that a store filled from outside cannot
// queue thousands; how far back a gap's programmes are still announced; and how far back the
// clock may be corrected before its new time counts as a fresh start.
#define ALERTS_WAITING 16
#define MAKE_UP_SECONDS 3600
#define CORRECTION_SECONDS 7200

// Sent to the window that owns the timer by each tick that reads the store: the second
// parameter is the tip that names the next programme (TRAY_TIP_ROOM, the tip field of the
// notification icon's first form).
#define WM_NEXTPROGRAMME (WM_APP + 1)
#define TRAY_TIP_ROOM 64

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
// Shows one alert box, its sound playing; the sound goes on after the box, for the next one.
void RaiseAlert(int hour12, int minute, char half, const char *programme, char mode);
// True while an alert box is up, which is then brought to the front. Nothing else of Morvane's
// opens meanwhile: a window opened over the box would keep its OK from returning, and the sound
// and the alerts behind the box would wait for that window to close.
bool BringAlertToFront();
void FatalStoreError(LONG code, const char *context);
// The tip for the clock as it reads now, from a read of the store of its own (at start, and
// after the schedule was changed): "Morvane - next: Film, Tue 10:45 PM".
void ReadTrayTip(char *tip);

#endif
