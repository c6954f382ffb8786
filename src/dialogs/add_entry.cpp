// The add dialog: a day, a programme name, an hour, a minute and AM or PM become one entry.
#include "dialogs.h"

#include <string.h>

#include "../../res/resource.h"
#include "../platform/platform.h"
#include "../shell/shell.h"
#include "../store/store.h"

static const char *const DayNames[7] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                        "Friday", "Saturday", "Sunday"};

// Rooms, terminator included: a list's text, the programme name, and the entry key of seven
// fixed characters followed by the name.
enum { LIST_TEXT_ROOM = 10, PROGRAMME_ROOM = 50, ENTRY_KEY_ROOM = 7 + PROGRAMME_ROOM };

static void FillList(HWND dialog, int list, const char *placeholder, const char *format, int first,
                     int last)
{
    SendDlgItemMessageA(dialog, list, CB_ADDSTRING, 0, (LPARAM)placeholder);
    for (int number = first; number <= last; number++) {
        char text[LIST_TEXT_ROOM];
        wsprintfA(text, format, number);
        SendDlgItemMessageA(dialog, list, CB_ADDSTRING, 0, (LPARAM)text);
    }
    SendDlgItemMessageA(dialog, list, CB_SETCURSEL, 0, 0);
}

static void FillDialog(HWND dialog)
{
    SendDlgItemMessageA(dialog, IDC_DAYLIST, CB_ADDSTRING, 0, (LPARAM)"<Select a day>");
    for (int day = 0; day < 7; day++)
        SendDlgItemMessageA(dialog, IDC_DAYLIST, CB_ADDSTRING, 0, (LPARAM)DayNames[day]);
    SendDlgItemMessageA(dialog, IDC_DAYLIST, CB_SETCURSEL, 0, 0);
    FillList(dialog, IDC_HOURLIST, "<hr>", "%d", 1, 12);
    FillList(dialog, IDC_MINUTELIST, "<min>", "%.2d", 0, 59);
    // What the box accepts is what gets stored: the name travels in the entry key too.
    SendDlgItemMessageA(dialog, IDC_PROGRAMME, EM_LIMITTEXT, PROGRAMME_ROOM - 1, 0);
}

// Key character 0: '1' (Monday) to '7' (Sunday); false while the list shows its placeholder.
static bool ChosenDay(HWND dialog, char *key)
{
    char text[LIST_TEXT_ROOM];
    GetDlgItemTextA(dialog, IDC_DAYLIST, text, LIST_TEXT_ROOM);
    for (int day = 0; day < 7; day++)
        if (strcmp(text, DayNames[day]) == 0) {
            key[0] = (char)('1' + day);
            return true;
        }
    return false;
}

// Key characters 1 and 2: "01" to "12".
static bool ChosenHour(HWND dialog, char *key)
{
    char text[LIST_TEXT_ROOM];
    GetDlgItemTextA(dialog, IDC_HOURLIST, text, LIST_TEXT_ROOM);
    for (int hour = 1; hour <= 12; hour++) {
        char number[LIST_TEXT_ROOM];
        wsprintfA(number, "%d", hour);
        if (strcmp(text, number) == 0) {
            key[1] = (char)('0' + hour / 10);
            key[2] = (char)('0' + hour % 10);
            return true;
        }
    }
    return false;
}

// Key characters 3 and 4: "00" to "59".
static bool ChosenMinute(HWND dialog, char *key)
{
    char text[LIST_TEXT_ROOM];
    GetDlgItemTextA(dialog, IDC_MINUTELIST, text, LIST_TEXT_ROOM);
    if (text[0] < '0' || text[0] > '5' || text[1] < '0' || text[1] > '9' || text[2] != '\0')
        return false;
    key[3] = text[0];
    key[4] = text[1];
    return true;
}

// An entry without its day, hour and minute would never alert: ask for them instead, and
// put the focus on the first list that still needs a choice.
static bool ChosenTime(HWND dialog, char *key)
{
    int missing = !ChosenDay(dialog, key)      ? IDC_DAYLIST
                  : !ChosenHour(dialog, key)   ? IDC_HOURLIST
                  : !ChosenMinute(dialog, key) ? IDC_MINUTELIST
                                               : 0;
    if (missing == 0)
        return true;
    PlatformMessageBox(dialog, "Please choose the day, the hour and the minute of the programme.",
                       "Add entry", MB_OK | MB_ICONEXCLAMATION);
    SendMessageA(dialog, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(dialog, missing), TRUE);
    return false;
}

static void AddEntry(HWND dialog)
{
    char key[ENTRY_KEY_ROOM];
    if (!ChosenTime(dialog, key))
        return;
    key[5] = IsDlgButtonChecked(dialog, IDC_PM) == BST_CHECKED ? 'P' : 'A';
    key[6] = 'M';
    char programme[PROGRAMME_ROOM];
    GetDlgItemTextA(dialog, IDC_PROGRAMME, programme, PROGRAMME_ROOM);
    lstrcpynA(key + 7, programme, PROGRAMME_ROOM);
    WriteStoreValue(key, programme);
    SendMessageA(OverviewHandle, WM_INITDIALOG, 0, 0);
    RefreshTrayTip();
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK AddEntryDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        FillDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            AddEntry(dialog);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}
