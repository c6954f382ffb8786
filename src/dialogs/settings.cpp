// The weekly overview: seven day boxes rebuilt from the store, and the doors to the other
// dialogs, the About box, the help file and uninstall.
#include "dialogs.h"

#include "../../res/resource.h"
#include "../platform/platform.h"
#include "../reminder/reminder.h"
#include "../shell/shell.h"
#include "../store/store.h"

HWND OverviewHandle;

// Day digit '1' (Monday) to '7' (Sunday) to its box; the identifiers are not in day order.
static const int DayBoxes[7] = {IDC_MONDAY,   IDC_TUESDAY,  IDC_WEDNESDAY, IDC_THURSDAY,
                                IDC_FRIDAY,   IDC_SATURDAY, IDC_SUNDAY};

// Room for one line of a day box: six characters of time, three separators and the longest
// programme name an entry key can carry.
enum { DAY_LINE_ROOM = 500 };

// One overview at a time: two would show two schedules once Add or Remove refreshed one. One
// that uninstall has hidden for its question stays hidden: No brings it back.
void OpenSettingsDialog()
{
    if (!BringDialogToFront("Morvane Settings"))
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

// One day's text as the scan builds it, terminated; each box is set once the scan is over, so
// that filling costs what the scan costs however many entries a day has.
struct DayText {
    TextBlock block;  // the text and its terminator
    bool cut;         // the block could not grow: the day keeps the lines it has
};

// Adds a line under those the day already has; every line shows whole.
static void AppendDayLine(DayText *day, const char *line)
{
    if (day->cut)
        return;
    bool hadText = day->block.used > 0;
    char added[2 + DAY_LINE_ROOM] = "";
    if (hadText) {
        day->block.used--;  // the line goes over the terminator
        lstrcpyA(added, "\r\n");
    }
    lstrcatA(added, line);
    if (!AppendToBlock(&day->block, added, (SIZE_T)lstrlenA(added) + 1)) {
        day->block.used += hadText;  // the block is unchanged: its terminator is still there
        day->cut = true;
    }
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
        if (week[day].block.used > 0)
            SetDlgItemTextA(dialog, DayBoxes[day], week[day].block.bytes);
        FreeBlock(&week[day].block);
    }
}

// Windows 10 and 11 have no Help viewer, and none can be added. The version told is the true
// one only because the manifest declares Windows 10 as supported: without that, Windows 8.1
// and later report 6.2 to GetVersionExA.
static bool HasNoHelpViewer()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return PlatformGetVersion(&version) && version.dwMajorVersion >= 10;
}

// Help from Morvane's own folder, by its full path: the browser the page is handed to does not
// share our working folder, and the viewer would look for the file in its own.
static void OpenHelp(HWND dialog)
{
    char file[MAX_PATH + 16];
    bool page = HasNoHelpViewer();
    if (!ProgramFile(page ? "help.html" : "help.hlp", file, sizeof file))
        return;
    if (page)
        PlatformShellExecute(dialog, "open", file, SW_SHOWNORMAL);
    else
        PlatformWinHelp(dialog, file, HELP_CONTENTS, 0);
}

static INT_PTR OnSettingsCommand(HWND dialog, WORD id)
{
    if (id == IDOK || id == IDCANCEL) {
        EndDialog(dialog, id);
        return TRUE;
    }
    // An alert box disables the overview while it is up; whatever reaches it still opens nothing.
    if (BringAlertToFront())
        return FALSE;
    switch (id) {
    case IDC_ADD:
        DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_ADDENTRY), dialog, AddEntryDialogProc, 0);
        break;
    case IDC_REMOVE:
        DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_REMOVEENTRY), dialog,
                        RemoveEntryDialogProc, 0);
        break;
    case IDC_ABOUT:
        OpenAboutBox();
        break;
    case IDC_HOWTOALERT:
        DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_ALERTSOUND), dialog, AlertSoundDialogProc,
                        0);
        break;
    case IDC_HELPFILE:
        OpenHelp(dialog);
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
