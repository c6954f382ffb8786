// The add dialog: what its lists offer, the entry each choice writes, and the refusal to write
// an entry whose day, hour or minute was never chosen.
#include "dialog_test_common.h"

namespace {

typedef DialogTest AddEntryTest;

const char kMissingText[] = "Please choose the day, the hour and the minute of the programme.";

// List positions: day 1 is Monday, hour h is h, minute m is m + 1; 0 is each placeholder.
struct Choice {
    int day, hour, minute;
    int half;  // IDC_AM, IDC_PM, or 0 for neither
    const char *name;
};

void Choose(HWND add, const Choice &c)
{
    SendDlgItemMessageA(add, IDC_DAYLIST, CB_SETCURSEL, c.day, 0);
    SendDlgItemMessageA(add, IDC_HOURLIST, CB_SETCURSEL, c.hour, 0);
    SendDlgItemMessageA(add, IDC_MINUTELIST, CB_SETCURSEL, c.minute, 0);
    if (c.half)
        Click(add, c.half);
    SetDlgItemTextA(add, IDC_PROGRAMME, c.name);
}

std::vector<std::string> Numbers(const char *placeholder, const char *format, int first, int last)
{
    std::vector<std::string> items = {placeholder};
    for (int n = first; n <= last; n++) {
        char text[8];
        wsprintfA(text, format, n);
        items.push_back(text);
    }
    return items;
}

TEST_F(AddEntryTest, ListsOfferPlaceholdersFirstAndNothingIsChecked)
{
    HWND add = Open(IDD_ADDENTRY, AddEntryDialogProc);
    EXPECT_EQ(std::vector<std::string>({"<Select a day>", "Monday", "Tuesday", "Wednesday",
                                        "Thursday", "Friday", "Saturday", "Sunday"}),
              ListItems(add, IDC_DAYLIST));
    EXPECT_EQ(Numbers("<hr>", "%d", 1, 12), ListItems(add, IDC_HOURLIST));
    EXPECT_EQ(Numbers("<min>", "%02d", 0, 59), ListItems(add, IDC_MINUTELIST));
    EXPECT_EQ("<Select a day>", Selected(add, IDC_DAYLIST));
    EXPECT_EQ("<hr>", Selected(add, IDC_HOURLIST));
    EXPECT_EQ("<min>", Selected(add, IDC_MINUTELIST));
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(add, IDC_AM));
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(add, IDC_PM));
    EXPECT_EQ("", ItemText(add, IDC_PROGRAMME));

    Click(add, IDC_AM);
    Click(add, IDC_PM);
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(add, IDC_AM)) << "AM and PM exclude each other";
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(add, IDC_PM));
}

// The road of one entry: chosen in the add dialog, stored, and shown in the overview at once.
TEST_F(AddEntryTest, TuesdayTenFortyFivePmFilmIsStoredAndShown)
{
    std::string tuesday;
    RunModal(IDD_SETTINGS, SettingsDialogProc, NULL,
             {[&](HWND overview) {
                  Click(overview, IDC_ADD);
                  tuesday = ItemText(overview, IDC_TUESDAY);
                  EndDialog(overview, IDOK);
              },
              [&](HWND add) {
                  Choose(add, {2, 10, 46, IDC_PM, "Film"});
                  Click(add, IDOK);
              }});
    std::vector<RawValue> values = reg::AllValues();
    ASSERT_EQ(1u, values.size());
    EXPECT_EQ("21045PMFilm", values[0].name);
    EXPECT_EQ((DWORD)REG_SZ, values[0].type);
    EXPECT_EQ(std::string("Film", 5), values[0].bytes);
    EXPECT_EQ("10:45 PM Film", tuesday);
    EXPECT_EQ("Morvane - next: Film, Tue 10:45 PM", fake::tips.at(0)) << "at once";
}

TEST_F(AddEntryTest, EachChoiceBuildsItsKey)
{
    struct Case {
        Choice choice;
        const char *key;
    } cases[] = {
        {{1, 12, 1, IDC_AM, "Late"}, "11200AMLate"},
        {{7, 12, 60, IDC_PM, "Lunch"}, "71259PMLunch"},
        {{5, 7, 6, IDC_PM, "News"}, "50705PMNews"},
        {{6, 1, 31, 0, "Cartoons"}, "60130AMCartoons"},  // neither checked: AM
        {{3, 9, 1, IDC_AM, ""}, "30900AM"},               // empty name
        {{4, 11, 2, IDC_AM, "%s%n%d"}, "41101AM%s%n%d"},
    };
    HWND overview = Open(IDD_SETTINGS, SettingsDialogProc);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        reg::ClearStore();
        INT_PTR result = RunModal(IDD_ADDENTRY, AddEntryDialogProc, overview,
                                  {[&](HWND add) {
                                      Choose(add, c.choice);
                                      Click(add, IDOK);
                                  }});
        EXPECT_EQ(IDOK, result);
        std::vector<RawValue> values = reg::AllValues();
        ASSERT_EQ(1u, values.size());
        EXPECT_EQ(c.key, values[0].name);
        EXPECT_EQ(std::string(c.choice.name) + '\0', values[0].bytes);
    }
}

TEST_F(AddEntryTest, TheNameIsLimitedToWhatTheKeyCarries)
{
    HWND add = Open(IDD_ADDENTRY, AddEntryDialogProc);
    EXPECT_EQ(49, (int)SendDlgItemMessageA(add, IDC_PROGRAMME, EM_GETLIMITTEXT, 0, 0));

    // Text set from outside the box's limit is still read back at 49 characters at most.
    std::string name49(49, 'n');
    RunModal(IDD_ADDENTRY, AddEntryDialogProc, NULL, {[&](HWND dialog) {
                 Choose(dialog, {2, 3, 4, IDC_PM, (name49 + "overflow").c_str()});
                 Click(dialog, IDOK);
             }});
    std::vector<RawValue> values = reg::AllValues();
    ASSERT_EQ(1u, values.size());
    EXPECT_EQ("20303PM" + name49, values[0].name);
    EXPECT_EQ(56u, values[0].name.size());
    EXPECT_EQ(name49 + '\0', values[0].bytes);
}

TEST_F(AddEntryTest, AddingTheSameEntryTwiceLeavesOneValue)
{
    for (int i = 0; i < 2; i++)
        RunModal(IDD_ADDENTRY, AddEntryDialogProc, NULL, {[](HWND add) {
                     Choose(add, {1, 8, 1, IDC_PM, "Film"});
                     Click(add, IDOK);
                 }});
    EXPECT_EQ(std::vector<std::string>({"10800PMFilm"}), StoredNames());
}

// An entry without a real day, hour or minute could never alert: Add asks for them, writes
// nothing, stays open, and puts the focus on the first list still on its placeholder.
TEST_F(AddEntryTest, AddRefusesPlaceholdersAndPointsAtTheFirstOne)
{
    struct Case {
        int day, hour, minute;
        int focus;
    } cases[] = {
        {0, 0, 0, IDC_DAYLIST},    {0, 5, 10, IDC_DAYLIST},  {0, 0, 10, IDC_DAYLIST},
        {3, 0, 0, IDC_HOURLIST},   {3, 0, 10, IDC_HOURLIST}, {3, 5, 0, IDC_MINUTELIST},
        {0, 5, 0, IDC_DAYLIST},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.day) + "/" + std::to_string(c.hour) + "/" +
                     std::to_string(c.minute));
        fake::boxes.clear();
        int focus = 0;
        bool stillOpen = false;
        RunModal(IDD_ADDENTRY, AddEntryDialogProc, NULL, {[&](HWND add) {
                     Choose(add, {c.day, c.hour, c.minute, IDC_PM, "Film"});
                     Click(add, IDOK);
                     stillOpen = IsWindow(add) && IsWindowVisible(add);
                     focus = GetDlgCtrlID(GetFocus());
                     EndDialog(add, IDCANCEL);
                 }});
        EXPECT_TRUE(stillOpen);
        EXPECT_EQ(c.focus, focus);
        ASSERT_EQ(1u, fake::boxes.size());
        EXPECT_EQ(kMissingText, fake::boxes[0].text);
        EXPECT_EQ("Add entry", fake::boxes[0].caption);
        EXPECT_EQ((UINT)(MB_OK | MB_ICONEXCLAMATION), fake::boxes[0].style);
        EXPECT_TRUE(fake::boxes[0].owner != NULL);
        EXPECT_FALSE(reg::StoreExists()) << "nothing written";
    }
}

TEST_F(AddEntryTest, EnterAtOnceAsksInsteadOfStoringAPlaceholderEntry)
{
    bool stillOpen = false;
    HWND owner = NULL;
    RunModal(IDD_ADDENTRY, AddEntryDialogProc, NULL, {[&](HWND add) {
                 PostKey(GetFocus(), VK_RETURN);
                 Later(add, [&](HWND dialog) {
                     stillOpen = IsWindowVisible(dialog) != FALSE;
                     owner = dialog;
                     EndDialog(dialog, IDCANCEL);
                 });
             }});
    ASSERT_EQ(1u, fake::boxes.size());
    EXPECT_EQ(owner, fake::boxes[0].owner);
    EXPECT_TRUE(stillOpen);
    EXPECT_FALSE(reg::StoreExists());
}

TEST_F(AddEntryTest, CancelAndEscapeWriteNothing)
{
    reg::PutString("10800PMFilm", "Film");
    std::vector<DialogScript::Action> ways = {
        [](HWND add) { Choose(add, {2, 9, 1, IDC_AM, "News"}); Click(add, IDCANCEL); },
        [](HWND add) { Choose(add, {2, 9, 1, IDC_AM, "News"}); PostKey(GetFocus(), VK_ESCAPE); },
    };
    for (size_t i = 0; i < ways.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(IDCANCEL, RunModal(IDD_ADDENTRY, AddEntryDialogProc, NULL, {ways[i]}));
        EXPECT_EQ(std::vector<std::string>({"10800PMFilm"}), StoredNames());
    }
}

}  // namespace
