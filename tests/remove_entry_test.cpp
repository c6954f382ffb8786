// The remove dialog: the sorted list of programme names and the deletion of every entry that
// carries the chosen name, and nothing else.
#include "dialog_test_common.h"

#include <algorithm>

namespace {

typedef DialogTest RemoveEntryTest;

const char kPlaceholder[] = "<Select entry to remove>";

// Chooses the list item with this exact text (the first, if several) and presses Remove.
DialogScript::Action RemoveItem(const std::string &text)
{
    return [text](HWND remove) {
        std::vector<std::string> items = ListItems(remove, IDC_ENTRYLIST);
        auto found = std::find(items.begin(), items.end(), text);
        if (found == items.end()) {
            ADD_FAILURE() << "not listed: " << text;
            EndDialog(remove, IDCANCEL);
            return;
        }
        SendDlgItemMessageA(remove, IDC_ENTRYLIST, CB_SETCURSEL, found - items.begin(), 0);
        Click(remove, IDOK);
    };
}

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(RemoveEntryTest, TheListHasOneItemPerEntryAndNothingElse)
{
    reg::PutString("10700PMNews", "News");
    reg::PutString("40700PMNews", "News");
    reg::PutString("20800PMFilm", "Film");
    reg::PutString("30900AM", "");
    reg::PutString(ALERTMODE_VALUE, "1");
    reg::PutString("1234567", "no M at position 6");
    reg::PutString("10700P", "too short");
    reg::PutRaw("50700PMBinary", REG_BINARY, std::string("Binary\0", 7));
    reg::PutString("6" + std::string(260, 'M'), "name too long for the scan");
    reg::PutString("60700PMData", std::string(300, 'd'));
    HWND remove = Open(IDD_REMOVEENTRY, RemoveEntryDialogProc);
    EXPECT_EQ(Sorted({"", kPlaceholder, "Film", "News", "News"}),
              Sorted(ListItems(remove, IDC_ENTRYLIST)));
}

// The order is the platform's; what it must give: an empty name first, the placeholder before
// digits and letters, and names differing only in case next to each other.
TEST_F(RemoveEntryTest, TheListIsSortedByThePlatform)
{
    const char *names[] = {"zebra", "News", "1 o'clock", "news", "Apple", "", "9 News"};
    for (int i = 0; i < 7; i++)
        reg::PutString("1070" + std::to_string(i) + "PM" + names[i], names[i]);
    HWND remove = Open(IDD_REMOVEENTRY, RemoveEntryDialogProc);
    std::vector<std::string> items = ListItems(remove, IDC_ENTRYLIST);
    ASSERT_EQ(8u, items.size());
    EXPECT_EQ("", items[0]);
    EXPECT_EQ(kPlaceholder, items[1]);
    EXPECT_EQ("zebra", items[7]);
    auto at = [&](const char *name) { return std::find(items.begin(), items.end(), name) - items.begin(); };
    EXPECT_LT(at("1 o'clock"), at("9 News"));
    EXPECT_LT(at("9 News"), at("Apple"));
    EXPECT_EQ(1, std::abs((int)(at("News") - at("news")))) << "case variants side by side";
}

// Nothing is chosen until the user chooses: the placeholder is selected even where names sort
// before it, and Remove with it selected deletes nothing.
TEST_F(RemoveEntryTest, ThePlaceholderIsPreselectedAndRemovesNothing)
{
    reg::PutString("10700PM", "");
    reg::PutString("20700PM(Repeat) News", "(Repeat) News");
    reg::PutString("30700PM<Select entry to remove>", kPlaceholder);
    reg::PutString("40700PMNews", "News");
    std::string selected;
    size_t placeholders = 0;
    RunModal(IDD_REMOVEENTRY, RemoveEntryDialogProc, NULL, {[&](HWND remove) {
                 selected = Selected(remove, IDC_ENTRYLIST);
                 std::vector<std::string> items = ListItems(remove, IDC_ENTRYLIST);
                 placeholders = std::count(items.begin(), items.end(), kPlaceholder);
                 PostKey(GetFocus(), VK_RETURN);  // Enter at once
             }});
    EXPECT_EQ(kPlaceholder, selected);
    EXPECT_EQ(2u, placeholders) << "a programme of that name is listed besides the placeholder";
    EXPECT_EQ(4u, reg::AllValues().size()) << "nothing deleted";
}

TEST_F(RemoveEntryTest, AProgrammeNamedLikeThePlaceholderCanBeRemoved)
{
    reg::PutString("30700PM<Select entry to remove>", kPlaceholder);
    RunModal(IDD_REMOVEENTRY, RemoveEntryDialogProc, NULL, {[](HWND remove) {
                 // The programme's item is the one that is not selected.
                 LRESULT placeholder = SendDlgItemMessageA(remove, IDC_ENTRYLIST, CB_GETCURSEL, 0, 0);
                 SendDlgItemMessageA(remove, IDC_ENTRYLIST, CB_SETCURSEL, placeholder == 0 ? 1 : 0, 0);
                 Click(remove, IDOK);
             }});
    EXPECT_TRUE(reg::AllValues().empty());
}

TEST_F(RemoveEntryTest, RemovingANameRemovesItOnEveryDayAndNothingElse)
{
    reg::PutString("10700PMNews", "News");
    reg::PutString("40700PMNews", "News");
    reg::PutString("41000PMnews", "news");
    reg::PutString("20800PMFilm", "Film");
    reg::PutString("50700PMNews at Seven", "News at Seven");
    reg::PutString("60700PMNews", "News ");
    INT_PTR result = RunModal(IDD_REMOVEENTRY, RemoveEntryDialogProc, NULL, {RemoveItem("News")});
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(Sorted({"41000PMnews", "20800PMFilm", "50700PMNews at Seven", "60700PMNews"}),
              Sorted(StoredNames()));
}

// A deletion shifts the values after it; entries that follow one another in the store's order
// must all go, the first and last values of the store included.
TEST_F(RemoveEntryTest, EveryMatchGoesHoweverTheyFollowOneAnother)
{
    for (int day = 1; day <= 7; day++)
        for (int minute = 0; minute < 5; minute++)
            reg::PutString(std::to_string(day) + "07" + std::to_string(minute) + "0PMX", "X");
    reg::PutString("30930AMY", "Y");
    RunModal(IDD_REMOVEENTRY, RemoveEntryDialogProc, NULL, {RemoveItem("X")});
    EXPECT_EQ(std::vector<std::string>({"30930AMY"}), StoredNames());
}

// The names found are kept in a block that grows as it fills: thousands of long names, far
// past its first size, all go, and the entries between them stay.
TEST_F(RemoveEntryTest, ThousandsOfMatchesAllGo)
{
    const int kMatches = 3000;
    std::string padding(200, 'x');
    for (int i = 0; i < kMatches; i++) {
        std::string number = std::to_string(10000 + i);
        reg::PutString("10700PM" + padding + number, "Many");
        if (i % 500 == 0)
            reg::PutString("10700PM" + padding + number + "kept", "Many ");
    }
    ASSERT_EQ(kMatches + 6u, reg::AllValues().size());
    RunModal(IDD_REMOVEENTRY, RemoveEntryDialogProc, NULL, {RemoveItem("Many")});
    std::vector<std::string> left = StoredNames();
    ASSERT_EQ(6u, left.size());
    for (const std::string &name : left)
        EXPECT_EQ("kept", name.substr(name.size() - 4)) << name;
}

// The sound choice is not an entry: a programme named "1" leaves alertmode "1" alone.
TEST_F(RemoveEntryTest, RemovingAProgrammeNamedLikeTheSoundChoiceKeepsTheChoice)
{
    for (const char *mode : {"1", "2", "3"}) {
        SCOPED_TRACE(mode);
        reg::ClearStore();
        reg::PutString(ALERTMODE_VALUE, mode);
        reg::PutString(std::string("10700PM") + mode, mode);
        RunModal(IDD_REMOVEENTRY, RemoveEntryDialogProc, NULL, {RemoveItem(mode)});
        std::vector<RawValue> values = reg::AllValues();
        ASSERT_EQ(1u, values.size());
        EXPECT_EQ(ALERTMODE_VALUE, values[0].name);
        EXPECT_EQ(std::string(mode) + '\0', values[0].bytes);
    }
}

TEST_F(RemoveEntryTest, AnEmptyNameIsListedAndRemovable)
{
    reg::PutString("10700PM", "");
    reg::PutString("20700PM", "");
    reg::PutString("30700PMNews", "News");
    RunModal(IDD_REMOVEENTRY, RemoveEntryDialogProc, NULL, {RemoveItem("")});
    EXPECT_EQ(std::vector<std::string>({"30700PMNews"}), StoredNames());
}

// Names written from outside can be as long as the store lets a scan read (249 characters);
// every listed one is removed by its whole text, not by a prefix.
TEST_F(RemoveEntryTest, LongNamesAreRemovedWholeAndOnlyWhole)
{
    std::string longest(249, 'L');
    std::string longer = std::string(49, 'P') + "first";
    std::string sharesPrefix = std::string(49, 'P') + "second";
    reg::PutString("10700PMlongest", longest);
    reg::PutString("20700PMlonger", longer);
    reg::PutString("30700PMshares", sharesPrefix);
    reg::PutString("40700PMsame start", std::string(49, 'P'));
    RunModal(IDD_REMOVEENTRY, RemoveEntryDialogProc, NULL, {RemoveItem(longest)});
    RunModal(IDD_REMOVEENTRY, RemoveEntryDialogProc, NULL, {RemoveItem(longer)});
    EXPECT_EQ(Sorted({"30700PMshares", "40700PMsame start"}), Sorted(StoredNames()));
}

TEST_F(RemoveEntryTest, CancelAndEscapeRemoveNothing)
{
    reg::PutString("10700PMNews", "News");
    std::vector<DialogScript::Action> ways = {
        [](HWND remove) {
            SendDlgItemMessageA(remove, IDC_ENTRYLIST, CB_SELECTSTRING, (WPARAM)-1, (LPARAM)"News");
            Click(remove, IDCANCEL);
        },
        [](HWND remove) {
            SendDlgItemMessageA(remove, IDC_ENTRYLIST, CB_SELECTSTRING, (WPARAM)-1, (LPARAM)"News");
            PostKey(GetFocus(), VK_ESCAPE);
        },
    };
    for (size_t i = 0; i < ways.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(IDCANCEL, RunModal(IDD_REMOVEENTRY, RemoveEntryDialogProc, NULL, {ways[i]}));
        EXPECT_EQ(std::vector<std::string>({"10700PMNews"}), StoredNames());
    }
}

TEST_F(RemoveEntryTest, WithoutAStoreOnlyThePlaceholderIsListedAndRemoveIsHarmless)
{
    std::vector<std::string> items;
    EXPECT_EQ(IDOK, RunModal(IDD_REMOVEENTRY, RemoveEntryDialogProc, NULL, {[&](HWND remove) {
                                 items = ListItems(remove, IDC_ENTRYLIST);
                                 Click(remove, IDOK);
                             }}));
    EXPECT_EQ(std::vector<std::string>({kPlaceholder}), items);
    EXPECT_FALSE(reg::StoreExists());
}

TEST_F(RemoveEntryTest, TheOverviewShowsTheResultAtOnce)
{
    reg::PutString("10700PMNews", "News");
    reg::PutString("10800PMFilm", "Film");
    reg::PutString("40700PMNews", "News");
    std::string monday, thursday;
    RunModal(IDD_SETTINGS, SettingsDialogProc, NULL,
             {[&](HWND overview) {
                  Click(overview, IDC_REMOVE);
                  monday = ItemText(overview, IDC_MONDAY);
                  thursday = ItemText(overview, IDC_THURSDAY);
                  EndDialog(overview, IDOK);
              },
              RemoveItem("News")});
    EXPECT_EQ("08:00 PM Film", monday);
    EXPECT_EQ("", thursday);
    EXPECT_EQ("Morvane - next: Film, today 8:00 PM", fake::tips.at(0)) << "at once";
}

}  // namespace
