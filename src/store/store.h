// The schedule store: every value under HKEY_LOCAL_MACHINE\Software\Morvane. Nothing is
// cached; each operation opens the key, works and closes it again.
#ifndef MORVANE_STORE_H
#define MORVANE_STORE_H

#include <windows.h>

#define STORE_KEY "Software\\Morvane"
#define ALERTMODE_VALUE "alertmode"

// Rooms, terminator included. An entry key is at most 249 characters, a stored text too.
enum {
    STORE_NAME_ROOM = 250,
    STORE_DATA_ROOM = 250,
    ALERTMODE_ROOM = 260
};

// What one RegEnumValueA call of a scan gave. On ERROR_SUCCESS name and data hold a string
// value's name and text, each terminated within its room; on a failure both are empty.
// Values that are not strings are not the program's: a scan passes over them.
struct StoreValue {
    LONG outcome;
    DWORD index;
    char name[STORE_NAME_ROOM];
    char data[STORE_DATA_ROOM];
};

// Called once per index of a scan until ERROR_NO_MORE_ITEMS; returns false to end the scan.
typedef bool (*StoreVisitor)(const StoreValue *value, void *context);

bool IsFirstRun();
LONG CreateStore();
DWORD ReadAlertMode();
char ReadAlertModeChar();  // 0 when there is no mode
void WriteStoreValue(const char *name, const char *text);
// Opens the key with the given access and visits index 0, 1, 2 ... in the store's order.
// Returns the result of opening the key; nothing is visited when it is not ERROR_SUCCESS. With no
// visitor the key is only opened and closed again: whether it is there is all that is asked.
LONG EnumerateStore(REGSAM access, StoreVisitor visit, void *context);
bool DeleteStoreValue(const char *name);  // true when the value is gone by this call
void DeleteStore();

// The store's text-to-number rule for the alert mode: leading blanks, an optional sign,
// decimal digits; a minus negates modulo 2^32 and an overflow gives 0xFFFFFFFF.
DWORD AlertModeNumber(const char *text);

#endif
