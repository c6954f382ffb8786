// The weekly overview: what its day boxes show for what the store holds, and where its
// buttons lead.
#include "dialog_test_common.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace {

const int kDayBoxes[7] = {1043, 1044, 1045, 1046, 1048, 1049, 1047};  // Monday .. Sunday

typedef DialogTest SettingsTest;

std::vector<std::string> Week(HWND overview)
{
    std::vector<std::string> week;
    for (int id : kDayBoxes)
        week.push_back(ItemText(overview, id));
    return week;
}

// The day's expected lines, in the order the store enumerates their values.
std::string DayText(const std::map<std::string, std::string> &lineOf)
{
    std::vector<std::string> lines;
    for (const std::string &name : StoredNames())
        if (lineOf.count(name))
            lines.push_back(lineOf.at(name));
    return JoinLines(lines);
}

TEST_F(SettingsTest, EachEntryIsALineInTheBoxOfItsDay)
{
    struct Case {
        const char *name;
        int day;  // 0 Monday .. 6 Sunday
        const char *line;
    } cases[] = {
        {"10700PMNews", 0, "07:00 PM News"},        {"21045PMFilm", 1, "10:45 PM Film"},
        {"31200AMLate Show", 2, "12:00 AM Late Show"}, {"41205PMLunch", 3, "12:05 PM Lunch"},
        {"50705PMNews", 4, "07:05 PM News"},        {"60930AMCartoons", 5, "09:30 AM Cartoons"},
        {"71159PM", 6, "11:59 PM "},
    };
    for (const Case &c : cases)
        reg::PutString(c.name, c.name + 7);
    reg::PutString(ALERTMODE_VALUE, "1");
    HWND overview = Open(IDD_SETTINGS, SettingsDialogProc);
    std::vector<std::string> week = Week(overview);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.line, week[c.day]);
    }
}

TEST_F(SettingsTest, AStoreWithoutEntriesShowsSevenEmptyBoxes)
{
    const char *stores[][2] = {
        {NULL, NULL},            // no key at all
        {ALERTMODE_VALUE, "2"},  // only the sound choice
        {"0900AMx", "x"},        // names that do not start with a day digit
        {"8100AMx", "x"},
        {"", "default value"},
    };
    for (const auto &value : stores) {
        SCOPED_TRACE(value[0] ? value[0] : "(no store)");
        reg::ClearStore();
        if (value[0])
            reg::PutString(value[0], value[1]);
        HWND overview = Open(IDD_SETTINGS, SettingsDialogProc);
        EXPECT_EQ(std::vector<std::string>(7, ""), Week(overview));
        DestroyWindow(overview);
    }
}

TEST_F(SettingsTest, ADayListsItsEntriesInTheStoresOrder)
{
    std::map<std::string, std::string> monday = {{"10800PMFilm", "08:00 PM Film"},
                                                 {"10700PMNews", "07:00 PM News"},
                                                 {"10700AMBreakfast", "07:00 AM Breakfast"}};
    for (const auto &entry : monday)
        reg::PutString(entry.first, entry.first.substr(7));
    reg::PutString("20100AMOther day", "Other day");
    HWND overview = Open(IDD_SETTINGS, SettingsDialogProc);
    EXPECT_EQ(DayText(monday), ItemText(overview, IDC_MONDAY));
}

// The box keeps every entry of a busy day whole, however long its text grows.
TEST_F(SettingsTest, ABusyDayShowsEveryEntryWhole)
{
    std::map<std::string, std::string> friday;
    for (int i = 0; i < 40; i++) {
        char name[64];
        wsprintfA(name, "5%.2d%.2dPMProgramme number %d with a long title", i % 12 + 1, i, i);
        char line[64];
        wsprintfA(line, "%.2d:%.2d PM Programme number %d with a long title", i % 12 + 1, i, i);
        reg::PutString(name, name + 7);
        friday[name] = line;
    }
    std::string longest = "50100AM" + std::string(242, 'L');  // a 249-character key
    reg::PutString(longest, "L");
    friday[longest] = "01:00 AM " + std::string(242, 'L');
    HWND overview = Open(IDD_SETTINGS, SettingsDialogProc);
    std::string text = ItemText(overview, IDC_FRIDAY);
    EXPECT_GT(text.size(), 2000u);
    EXPECT_EQ(DayText(friday), text);
}

// Names written by others: cut short, hostile, too long for the scan's rooms, or not text.
TEST_F(SettingsTest, OddNamesShowLiterallyAndNothingStaleAppears)
{
    std::map<std::string, std::string> tuesday = {
        {"2", "  :      "},
        {"21", "1 :      "},
        {"2093", "09:3     "},
        {"20930P", "09:30 P  "},
        {"20930PM%s%n%d%%", "09:30 PM %s%n%d%%"},
        {"21100PMGood", "11:00 PM Good"},
    };
    for (const auto &entry : tuesday)
        reg::PutString(entry.first, "data");
    reg::PutString("2" + std::string(260, 'x'), "name too long for the scan");
    reg::PutRaw("21000PMNumber", REG_DWORD, std::string("\x01\x00\x00\x00", 4));
    reg::PutRaw("21000PMBinary", REG_BINARY, "21000PMBinary");
    HWND overview = Open(IDD_SETTINGS, SettingsDialogProc);
    EXPECT_EQ(DayText(tuesday), ItemText(overview, IDC_TUESDAY));
}

// A Monday entry and the line it must show, stated from the parts the entry is made of.
struct Entry {
    std::string name, line;
};
Entry MondayEntry(int index, size_t programmeLength)
{
    char hour[3], minute[3];
    wsprintfA(hour, "%.2d", 1 + index % 12);
    wsprintfA(minute, "%.2d", index / 12 % 60);
    const char *half = index / 720 % 2 ? "P" : "A";
    std::string programme = "#" + std::to_string(index) + " ";
    for (size_t i = 0; programme.size() < programmeLength; i++)
        programme += (char)('a' + i % 26);
    programme.resize(programmeLength);
    return {std::string("1") + hour + minute + half + "M" + programme,
            std::string(hour) + ":" + minute + " " + half + "M " + programme};
}

// A day's text is gathered in a buffer that grows while the scan goes on: its lines must come
// out whole and in order whether the text ends just below, at or just past a size where the
// buffer grows, with values the scan passes over or skips lying between them, and with
// thousands of entries on the day.
TEST_F(SettingsTest, ADaysTextIsWholeWhereverItsLengthFalls)
{
    struct Case {
        size_t length;                // of the Monday box's text
        std::vector<size_t> pattern;  // programme lengths of its lines, repeated, before the last
    } cases[] = {
        {1022, {3, 17, 242, 0, 60, 120}}, {1023, {3, 17, 242, 0, 60, 120}},
        {1024, {3, 17, 242, 0, 60, 120}}, {2047, {40}},
        {2048, {40}},                     {4095, {0}},
        {4096, {242}},                    {8191, {30, 1}},
        {8192, {30, 1}},                  {70000, {12}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.length);
        reg::ClearStore();
        std::map<std::string, std::string> monday;
        // Each line costs its programme, nine characters of time and two of line break, but
        // the first has no break before it. The last lines take up what the pattern leaves.
        size_t left = c.length + 2;
        for (size_t i = 0; left > 0; i++) {
            size_t programme = c.pattern[i % c.pattern.size()];
            if (left < 11 + programme + 11)
                programme = left - 11 <= 242 ? left - 11 : std::min<size_t>(242, left - 22);
            Entry entry = MondayEntry((int)i, programme);
            reg::PutString(entry.name, entry.name.substr(7));
            monday[entry.name] = entry.line;
            left -= 11 + programme;
        }
        reg::PutString("106" + std::string(253, 'x'), "name too long for the scan");
        reg::PutString("10645PMOversized", std::string(300, 'd'));
        reg::PutRaw("10650PMNumber", REG_DWORD, std::string("\x01\x00\x00\x00", 4));
        reg::PutRaw("11130AMBinary", REG_BINARY, "11130AMBinary");
        reg::PutString(ALERTMODE_VALUE, "2");
        reg::PutString("20100AMOther day", "Other day");
        HWND overview = Open(IDD_SETTINGS, SettingsDialogProc);
        std::string text = ItemText(overview, IDC_MONDAY);
        EXPECT_EQ(c.length, text.size());
        EXPECT_EQ(DayText(monday), text);
        EXPECT_EQ("01:00 AM Other day", ItemText(overview, IDC_TUESDAY));
        DestroyWindow(overview);
    }
}

TEST_F(SettingsTest, ARefreshRebuildsTheWeekFromTheStore)
{
    reg::PutString("10700PMNews", "News");
    reg::PutString("30700PMNews", "News");
    HWND overview = Open(IDD_SETTINGS, SettingsDialogProc);
    ASSERT_EQ("07:00 PM News", ItemText(overview, IDC_MONDAY));

    reg::ClearStore();
    reg::PutString("10800PMFilm", "Film");
    SendMessageA(overview, WM_INITDIALOG, 0, 0);
    EXPECT_EQ("08:00 PM Film", ItemText(overview, IDC_MONDAY)) << "rebuilt, not appended";
    EXPECT_EQ("", ItemText(overview, IDC_WEDNESDAY));

    reg::ClearStore();
    SendMessageA(overview, WM_INITDIALOG, 0, 0);
    EXPECT_EQ(std::vector<std::string>(7, ""), Week(overview)) << "a missing store empties the week";
}

TEST_F(SettingsTest, TheOverviewHandleNamesTheOverviewThatLastHeardAMessage)
{
    HWND first = Open(IDD_SETTINGS, SettingsDialogProc);
    HWND second = Open(IDD_SETTINGS, SettingsDialogProc);
    EXPECT_EQ(second, OverviewHandle);
    SendMessageA(first, WM_NULL, 0, 0);
    EXPECT_EQ(first, OverviewHandle);
    DestroyWindow(first);
    EXPECT_EQ(first, OverviewHandle) << "not cleared when it ends";
}

TEST_F(SettingsTest, OkEscapeAndTheCloseBoxEndTheOverview)
{
    struct Case {
        const char *how;
        DialogScript::Action action;
        INT_PTR result;
    } cases[] = {
        {"OK", [](HWND overview) { Click(overview, IDOK); }, IDOK},
        {"Escape", [](HWND) { PostKey(GetFocus(), VK_ESCAPE); }, IDCANCEL},
        {"close box",
         [](HWND overview) { PostMessageA(overview, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.how);
        EXPECT_EQ(c.result, RunModal(IDD_SETTINGS, SettingsDialogProc, NULL, {c.action}));
    }
}

TEST_F(SettingsTest, ButtonsOpenTheirDialogsOwnedAsTheyShouldBe)
{
    struct Case {
        int button;
        const char *caption;
        bool ownedByOverview;
    } cases[] = {
        {IDC_ADD, "Add entry", true},
        {IDC_REMOVE, "Remove entry", true},
        {IDC_HOWTOALERT, "How to alert", true},
        {IDC_ABOUT, "About Morvane", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.caption);
        HWND overview = NULL, opened = NULL, owner = NULL;
        bool stillOpen = false;
        std::string caption;
        RunModal(IDD_SETTINGS, SettingsDialogProc, NULL,
                 {[&](HWND dialog) {
                      overview = dialog;
                      Click(dialog, c.button);
                      stillOpen = IsWindow(dialog) && IsWindowVisible(dialog);
                      EndDialog(dialog, IDOK);
                  },
                  [&](HWND dialog) {
                      opened = dialog;
                      caption = WindowText(dialog);
                      owner = GetWindow(dialog, GW_OWNER);
                      EndDialog(dialog, IDCANCEL);
                  }});
        EXPECT_EQ(c.caption, caption);
        EXPECT_EQ(c.ownedByOverview ? overview : NULL, owner);
        EXPECT_TRUE(stillOpen) << "the overview stays open";
    }
}

TEST_F(SettingsTest, EnterAtOnceOpensTheAddDialog)
{
    std::string caption;
    RunModal(IDD_SETTINGS, SettingsDialogProc, NULL,
             {[](HWND) { PostKey(GetFocus(), VK_RETURN); },
              [&](HWND add) {
                  caption = WindowText(add);
                  EndDialog(add, IDCANCEL);
                  PostMessageA(GetWindow(add, GW_OWNER), WM_COMMAND, IDOK, 0);
              }});
    EXPECT_EQ("Add entry", caption);
}

// The one help call before Windows 10: the help file, at its contents, owned by the overview.
void ExpectHelpFileAtItsContents(HWND overview)
{
    ASSERT_EQ(1u, fake::helps.size());
    EXPECT_EQ(overview, fake::helps[0].owner);
    EXPECT_EQ(fake::ProgramPath("help.hlp"), fake::helps[0].file);
    EXPECT_EQ((UINT)HELP_CONTENTS, fake::helps[0].command);
}

TEST_F(SettingsTest, HelpOpensTheHelpFileAtItsContents)
{
    HWND overview = Open(IDD_SETTINGS, SettingsDialogProc);
    SendMessageA(overview, WM_COMMAND, IDC_HELPFILE, 0);
    ExpectHelpFileAtItsContents(overview);
    EXPECT_TRUE(IsWindow(overview));
}

// Windows 10 and 11 have no Help viewer: there the same help opens as a web page instead.
TEST_F(SettingsTest, HelpOpensTheWebPageFromWindows10OnAndTheHelpFileBefore)
{
    struct Case {
        const char *windows;
        DWORD major, minor, build;
        bool page;
    } cases[] = {
        {"XP", 5, 1, 2600, false},   {"7, as Wine says by default", 6, 1, 7601, false},
        {"8.1", 6, 3, 9600, false},  {"10", 10, 0, 19045, true},
        {"11", 10, 0, 22631, true},  {"one after 11", 11, 0, 1, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.windows);
        fake::SetVersion(c.major, c.minor, c.build);
        fake::helps.clear();
        fake::shellOpens.clear();
        HWND overview = Open(IDD_SETTINGS, SettingsDialogProc);
        SendMessageA(overview, WM_COMMAND, IDC_HELPFILE, 0);
        if (c.page) {
            EXPECT_EQ(0u, fake::helps.size());
            ASSERT_EQ(1u, fake::shellOpens.size());
            EXPECT_EQ(overview, fake::shellOpens[0].owner);
            EXPECT_EQ("open", fake::shellOpens[0].verb);
            EXPECT_EQ(fake::ProgramPath("help.html"), fake::shellOpens[0].file);
            EXPECT_EQ(SW_SHOWNORMAL, fake::shellOpens[0].show);
        } else {
            EXPECT_EQ(0u, fake::shellOpens.size());
            ExpectHelpFileAtItsContents(overview);
        }
        EXPECT_TRUE(IsWindow(overview));
    }
}

// The page is the one in the program's own folder, whatever folder it was started in; and when
// the shell cannot open it, the program says nothing and goes on.
TEST_F(SettingsTest, TheHelpPageIsTheOneInTheProgramsFolderWhereverItWasStarted)
{
    char started[MAX_PATH];
    GetCurrentDirectoryA(sizeof started, started);
    fake::SetVersion(10, 0, 19045);
    fake::shellResult = SE_ERR_FNF;
    HWND overview = Open(IDD_SETTINGS, SettingsDialogProc);
    for (const char *working : {"C:\\windows\\system32", "C:\\"}) {
        SCOPED_TRACE(working);
        ASSERT_TRUE(SetCurrentDirectoryA(working));
        fake::shellOpens.clear();
        SendMessageA(overview, WM_COMMAND, IDC_HELPFILE, 0);
        ASSERT_EQ(1u, fake::shellOpens.size());
        EXPECT_EQ(fake::ProgramPath("help.html"), fake::shellOpens[0].file);
    }
    SetCurrentDirectoryA(started);
    EXPECT_EQ(0u, fake::boxes.size());
    EXPECT_EQ(0u, fake::helps.size());
    EXPECT_TRUE(IsWindow(overview));
}

TEST_F(SettingsTest, UninstallAsksAndOnNoBringsTheOverviewBack)
{
    reg::PutString("10700PMNews", "News");
    HWND overview = Open(IDD_SETTINGS, SettingsDialogProc);
    ShowWindow(overview, SW_SHOW);
    bool hiddenWhileAsking = false;
    fake::whileBoxOpen = [&](const FakeBox &) { hiddenWhileAsking = !IsWindowVisible(overview); };
    fake::answers.push_back(IDNO);
    SendMessageA(overview, WM_COMMAND, IDC_UNINSTALL, 0);
    ASSERT_EQ(1u, fake::boxes.size());
    EXPECT_EQ("Uninstall Morvane ?", fake::boxes[0].text);
    EXPECT_TRUE(hiddenWhileAsking);
    EXPECT_TRUE(IsWindowVisible(overview));
    EXPECT_EQ(1u, reg::AllValues().size());
}

}  // namespace
