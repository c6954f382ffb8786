// The weekly overview: seven day boxes rebuilt from the store, and the doors to the other
// dialogs, the About box, the help file and uninstall.
#include "dialogs.h"

#include "../../res/resource.h"
#include "../platform/platform.h"
#include "../shell/shell.h"
#include "../store/store.h"

HWND OverviewHandle;

// Day digit '1' (Monday) to '7' (Sunday) to its box; the identifiers are not in day order.
static const int DayBoxes[7] = {IDC_MONDAY,   IDC_TUESDAY,  IDC_WEDNESDAY, IDC_THURSDAY,
                                IDC_FRIDAY,   IDC_SATURDAY, IDC_SUNDAY};

// Room for one line of a day box: six characters of time, three separators and the longest
// programme name an entry key can carry.
enum { DAY_LINE_ROOM = 500 };

// A day's text starts with room for some fifty ordinary lines and doubles from there.
enum { DAY_TEXT_FIRST_ROOM = 1024 };

void OpenSettingsDialog()
{
    DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_SETTINGS), NULL, SettingsDialogProc, 0);
}

// "07:05 PM News" from "50705PMNews". A name cut short shows its missing characters as
// blanks, and nothing past its terminator is ever read.
static void FormatDayLine(const char *name, char *line)
{
    int length = lstrlenA(name);
    char fixed[7];
    for (int i = 0; i < 7; i++)
        fixed[i] = i < length ? name[i] : ' ';
    wsprintfA(line, "%c%c:%c%c %c%c ", fixed[1], fixed[2], fixed[3], fixed[4], fixed[5], fixed[6]);
    lstrcpynA(line + 9, length > 7 ? name + 7 : "", DAY_LINE_ROOM - 9);
}

// One day's text as the scan builds it, in a heap buffer that grows; each box is set once the
// scan is over, so that filling costs what the scan costs however many entries a day has.
struct DayText {
    char *text;
    SIZE_T length;  // without the terminator
    SIZE_T room;
    bool cut;       // the buffer could not grow: the day keeps the lines it has
};

static bool GrowDayText(DayText *day, SIZE_T room)
{
    HANDLE heap = GetProcessHeap();
    char *grown = day->text ? (char *)HeapReAlloc(heap, 0, day->text, room)
                            : (char *)HeapAlloc(heap, 0, room);
    if (!grown)
        return false;
    day->text = grown;
    day->room = room;
    return true;
}

// Where the day's next need characters go, with room for a terminator behind them; NULL when
// the buffer cannot grow. Doubling the room copies a day's text only a few times in all; when
// memory is short the room grows by just what is needed, and once even that fails the day
// shows the lines it already has.
static char *RoomForLine(DayText *day, SIZE_T need)
{
    if (day->cut)
        return NULL;
    SIZE_T needed = day->length + need + 1;
    if (needed > day->room) {
        SIZE_T room = day->room > 0 ? day->room : (SIZE_T)DAY_TEXT_FIRST_ROOM;
        while (room < needed && room <= ((SIZE_T)-1) / 2)
            room *= 2;
        if (!(room >= needed && GrowDayText(day, room)) && !GrowDayText(day, needed)) {
            day->cut = true;
            return NULL;
        }
    }
    return day->text + day->length;
}

// Adds a line under those the day already has; every line shows whole.
static void AppendDayLine(DayText *day, const char *line)
{
    SIZE_T lineLength = (SIZE_T)lstrlenA(line);
    SIZE_T separator = day->length > 0 ? 2 : 0;
    char *at = RoomForLine(day, separator + lineLength);
    if (!at)
        return;
    if (separator) {
        at[0] = '\r';
        at[1] = '\n';
    }
    CopyMemory(at + separator, line, lineLength + 1);
    day->length += separator + lineLength;
}

static bool AddToDayText(const StoreValue *value, void *context)
{
    if (value->outcome == ERROR_MORE_DATA)
        return true;  // too long for any entry of ours; the rest of the week still shows
    if (value->outcome != ERROR_SUCCESS)
        return false;
    char day = value->name[0];
    if (day < '1' || day > '7')
        return true;
    char line[DAY_LINE_ROOM];
    FormatDayLine(value->name, line);
    AppendDayLine((DayText *)context + (day - '1'), line);
    return true;
}

static void ShowWeek(HWND dialog)
{
    for (int day = 0; day < 7; day++)
        SetDlgItemTextA(dialog, DayBoxes[day], "");
    DayText week[7] = {};
    EnumerateStore(KEY_ALL_ACCESS, AddToDayText, week);
    for (int day = 0; day < 7; day++) {
        if (week[day].length > 0)
            SetDlgItemTextA(dialog, DayBoxes[day], week[day].text);
        if (week[day].text)
            HeapFree(GetProcessHeap(), 0, week[day].text);
    }
}

static INT_PTR OnSettingsCommand(HWND dialog, WORD id)
{
    switch (id) {
    case IDOK:
    case IDCANCEL:
        EndDialog(dialog, id);
        return TRUE;
    case IDC_ADD:
        DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_ADDENTRY), dialog, AddEntryDialogProc, 0);
        break;
    case IDC_REMOVE:
        DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_REMOVEENTRY), dialog,
                        RemoveEntryDialogProc, 0);
        break;
    case IDC_ABOUT:
        DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_ABOUTBOX), NULL, AboutDialogProc, 0);
        break;
    case IDC_HOWTOALERT:
        DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_ALERTSOUND), dialog, AlertSoundDialogProc,
                        0);
        break;
    case IDC_HELPFILE:
        PlatformWinHelp(dialog, "help.hlp", HELP_CONTENTS, 0);
        break;
    case IDC_UNINSTALL:
        Uninstall();
        break;
    }
    return FALSE;
}

// Enter at once must open the add dialog, so "&Add an entry" must be the default button while
// it has the focus. Only WM_NEXTDLGCTL moves the default along with the focus everywhere (the
// dialog manager's own first focus does not under Wine), so the first initialisation, the one
// that names a focus control, sets the focus itself. A refresh names none and moves nothing.
static INT_PTR OnSettingsInit(HWND dialog, WPARAM defaultFocus)
{
    ShowWeek(dialog);
    if (!defaultFocus)
        return TRUE;
    SendMessageA(dialog, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(dialog, IDC_ADD), TRUE);
    return FALSE;
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    OverviewHandle = dialog;
    switch (message) {
    case WM_INITDIALOG:
        return OnSettingsInit(dialog, wParam);
    case WM_COMMAND:
        return OnSettingsCommand(dialog, LOWORD(wParam));
    }
    return FALSE;
}
