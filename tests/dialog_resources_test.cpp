// Opening and closing each dialog many times leaves the process's windows and GUI objects where
// they were: a handle lost per opening shows as a difference of at least the number of rounds.
#include "dialog_test_common.h"

#include <cstdio>

namespace {

typedef DialogTest DialogResourcesTest;

// Created and destroyed as modeless dialogs, the way the tests inspect them; and opened modal,
// shown and ended by a user's action, fewer times since showing a window costs the display
// server a round trip.
const int kRounds = 50;
const int kModalRounds = 10;

struct Use {
    const char *name;
    int resource;
    DLGPROC proc;
    DialogScript::Action action;  // ends the dialog the way a user would
};

void Report(const char *name, const char *what, long before, long after)
{
    if (before < 0)
        std::printf("%s: %s are not reported by this platform\n", name, what);
    else
        EXPECT_EQ(before, after) << what;
}

TEST_F(DialogResourcesTest, OpeningAndClosingEachDialogAgainAndAgainLeavesNothingBehind)
{
    for (int day = 1; day <= 7; day++)
        for (int hour = 1; hour <= 3; hour++)
            reg::PutString(std::to_string(day) + "0" + std::to_string(hour) + "00PMShow " +
                               std::to_string(hour),
                           "Show " + std::to_string(hour));
    HWND overview = Open(IDD_SETTINGS, SettingsDialogProc);
    const Use uses[] = {
        {"settings", IDD_SETTINGS, SettingsDialogProc,
         [](HWND dialog) { SendMessageA(dialog, WM_INITDIALOG, 0, 0); Click(dialog, IDOK); }},
        {"add entry", IDD_ADDENTRY, AddEntryDialogProc,
         [](HWND dialog) {
             SendDlgItemMessageA(dialog, IDC_DAYLIST, CB_SETCURSEL, 1, 0);
             SendDlgItemMessageA(dialog, IDC_HOURLIST, CB_SETCURSEL, 1, 0);
             SendDlgItemMessageA(dialog, IDC_MINUTELIST, CB_SETCURSEL, 1, 0);
             SetDlgItemTextA(dialog, IDC_PROGRAMME, "Show 1");
             Click(dialog, IDOK);
         }},
        {"remove entry", IDD_REMOVEENTRY, RemoveEntryDialogProc,
         [](HWND dialog) {
             SendDlgItemMessageA(dialog, IDC_ENTRYLIST, CB_SELECTSTRING, (WPARAM)-1,
                                 (LPARAM) "Nothing of that name");
             Click(dialog, IDOK);
         }},
        {"alert sound", IDD_ALERTSOUND, AlertSoundDialogProc,
         [](HWND dialog) { Click(dialog, IDC_PLAYDRUMS); Click(dialog, IDOK); }},
    };
    for (const Use &use : uses) {
        SCOPED_TRACE(use.name);
        HWND owner = use.resource == IDD_SETTINGS ? NULL : overview;
        DialogScript script;
        // The first round loads what the platform keeps for the process's lifetime.
        script.Then(use.action);
        DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(use.resource), owner, use.proc, 0);
        GuiCounts before = CountGui();
        for (int round = 0; round < kRounds; round++) {
            HWND dialog = CreateModeless(use.resource, use.proc, owner);
            ASSERT_TRUE(dialog != NULL);
            DestroyWindow(dialog);
        }
        for (int round = 0; round < kModalRounds; round++) {
            script.Then(use.action);
            DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(use.resource), owner, use.proc, 0);
        }
        GuiCounts after = CountGui();
        EXPECT_EQ(0u, script.Pending());
        EXPECT_TRUE(script.Unexpected().empty());
        EXPECT_EQ(before.windows, after.windows) << "windows of this thread";
        Report(use.name, "GDI objects", before.gdi, after.gdi);
        Report(use.name, "USER objects", before.user, after.user);
    }
    // What the rounds did: the add rounds wrote one new entry and OK stored the sound choice;
    // each sound round played the preview on the focus, the click and the focus leaving.
    EXPECT_EQ(23u, reg::AllValues().size());
    EXPECT_EQ((size_t)3 * (kModalRounds + 1), fake::sounds.size());
}

}  // namespace
