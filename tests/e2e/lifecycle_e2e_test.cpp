// The whole life of the program, as a user lives it, on the shipped executable.
#include <gtest/gtest.h>

#include <algorithm>

#include "../../res/resource.h"
#include "e2e.h"

using namespace e2e;

namespace {

const char kOverview[] = "Morvane Settings";

class LifecycleE2E : public ::testing::Test {
protected:
    void SetUp() override { ClearStore(); }
    void TearDown() override { ClearStore(); }

    std::string Value(const std::string &name)
    {
        for (const auto &value : StoreValues())
            if (value.first == name)
                return value.second;
        return "(missing)";
    }

    HWND OpenOverview(Morvane &morvane, HWND main)
    {
        std::vector<HWND> before = WindowsOf(morvane.Pid(), "#32770", kOverview);
        PostMessageA(main, 1234, 0, WM_LBUTTONDBLCLK);
        HWND found = NULL;
        WaitUntil([&] {
            for (HWND window : WindowsOf(morvane.Pid(), "#32770", kOverview))
                if (std::find(before.begin(), before.end(), window) == before.end() &&
                    IsWindowVisible(window))
                    found = window;
            return found != NULL;
        });
        return found;
    }

    void AddEntry(DWORD pid, HWND overview, int day, int hour, int minute, bool pm,
                  const std::string &name)
    {
        Click(overview, IDC_ADD);
        HWND add = WaitWindow(pid, "#32770", "Add entry");
        ASSERT_TRUE(add != NULL);
        Choose(add, IDC_DAYLIST, day);        // 1 Monday .. 7 Sunday
        SetItemText(add, IDC_PROGRAMME, name);
        Choose(add, IDC_HOURLIST, hour);      // 1 .. 12
        Choose(add, IDC_MINUTELIST, minute + 1);
        Click(add, pm ? IDC_PM : IDC_AM);
        ASSERT_TRUE(Press(add, IDOK));
    }

    HWND AnswerUninstall(DWORD pid, int button)
    {
        HWND question = WaitWindow(pid, "#32770", "Morvane Uninstall");
        EXPECT_TRUE(question != NULL);
        if (!question)
            return NULL;
        EXPECT_EQ("Uninstall Morvane ?", BoxText(question));
        EXPECT_TRUE(Press(question, button));
        return question;
    }
};

TEST_F(LifecycleE2E, FromFirstStartThroughAddRemoveAndSoundToUninstallAndBack)
{
    Morvane morvane;
    ASSERT_TRUE(morvane.Start());
    HWND tip = WaitWindow(morvane.Pid(), "#32770", "Running Morvane for the first time");
    ASSERT_TRUE(tip != NULL);
    ASSERT_TRUE(Press(tip, IDOK));
    HWND main = morvane.MainWindow();
    ASSERT_TRUE(main != NULL);

    HWND overview = OpenOverview(morvane, main);
    ASSERT_TRUE(overview != NULL) << "double-clicking the icon opens the week";
    // Asked for again, even minimised, the one overview comes back.
    PostMessageA(overview, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(overview) != FALSE; }));
    PostMessageA(main, 1234, 0, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(WaitUntil([&] { return !IsIconic(overview); })) << "not restored";
    EXPECT_EQ(1u, WindowsOf(morvane.Pid(), "#32770", kOverview).size()) << "a second week";
    AddEntry(morvane.Pid(), overview, 2, 10, 45, true, "Film");
    AddEntry(morvane.Pid(), overview, 4, 7, 5, false, "News");
    EXPECT_EQ("Film", Value("21045PMFilm"));
    EXPECT_EQ("News", Value("40705AMNews"));
    EXPECT_EQ("10:45 PM Film", ItemText(overview, IDC_TUESDAY));
    EXPECT_EQ("07:05 AM News", ItemText(overview, IDC_THURSDAY));
    EXPECT_EQ("", ItemText(overview, IDC_MONDAY));

    Click(overview, IDC_HOWTOALERT);
    HWND sound = WaitWindow(morvane.Pid(), "#32770", "How to alert");
    ASSERT_TRUE(sound != NULL);
    Click(sound, IDC_DRUMS);
    ASSERT_TRUE(Press(sound, IDOK));
    EXPECT_EQ("2", Value("alertmode"));

    Click(overview, IDC_REMOVE);
    HWND remove = WaitWindow(morvane.Pid(), "#32770", "Remove entry");
    ASSERT_TRUE(remove != NULL);
    EXPECT_EQ("<Select entry to remove>", ItemText(remove, IDC_ENTRYLIST)) << "nothing chosen yet";
    Choose(remove, IDC_ENTRYLIST, 2);  // sorted: the placeholder, Film, News
    ASSERT_EQ("News", ItemText(remove, IDC_ENTRYLIST));
    ASSERT_TRUE(Press(remove, IDOK));
    EXPECT_EQ("(missing)", Value("40705AMNews"));
    EXPECT_EQ("Film", Value("21045PMFilm"));
    EXPECT_EQ("2", Value("alertmode")) << "the sound choice is kept";
    EXPECT_EQ("", ItemText(overview, IDC_THURSDAY)) << "the overview shows the removal at once";

    // Uninstall from the overview, and think better of it.
    Click(overview, IDC_UNINSTALL);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(overview); })) << "the overview steps aside";
    AnswerUninstall(morvane.Pid(), IDNO);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(overview) != FALSE; })) << "and comes back";
    EXPECT_EQ("Film", Value("21045PMFilm"));
    EXPECT_TRUE(morvane.Running());

    // Uninstall from the tray menu, for real.
    PostMessageA(main, WM_COMMAND, IDM_UNINSTALL, 0);
    AnswerUninstall(morvane.Pid(), IDYES);
    HWND removed = WaitWindow(morvane.Pid(), "#32770", "Morvane Uninstall");
    ASSERT_TRUE(removed != NULL);
    EXPECT_EQ("Removed Morvane registry key.\nTo complete uninstall please remove the directory " +
                  BinFolder(),
              BoxText(removed));
    EXPECT_FALSE(StoreExists()) << "the key is gone before the user is told";
    ASSERT_TRUE(Press(removed, IDOK));
    EXPECT_EQ(0, morvane.WaitExit());
    EXPECT_FALSE(StoreExists());

    Morvane again;
    ASSERT_TRUE(again.Start());
    HWND tipAgain = WaitWindow(again.Pid(), "#32770", "Running Morvane for the first time");
    ASSERT_TRUE(tipAgain != NULL) << "after uninstall a start is a first run again";
    ASSERT_TRUE(Press(tipAgain, IDOK));
    EXPECT_EQ(0, again.Suspend());
}

TEST_F(LifecycleE2E, UninstallWithNoOverviewEverOpened)
{
    PutEntry("21045PMFilm", "Film");
    Morvane morvane;
    ASSERT_TRUE(morvane.Start());
    HWND main = morvane.MainWindow();
    ASSERT_TRUE(main != NULL);
    PostMessageA(main, WM_COMMAND, IDM_UNINSTALL, 0);
    AnswerUninstall(morvane.Pid(), IDNO);
    EXPECT_TRUE(morvane.Running());
    EXPECT_EQ("Film", Value("21045PMFilm"));
    PostMessageA(main, WM_COMMAND, IDM_UNINSTALL, 0);
    AnswerUninstall(morvane.Pid(), IDYES);
    HWND removed = WaitWindow(morvane.Pid(), "#32770", "Morvane Uninstall");
    ASSERT_TRUE(removed != NULL);
    ASSERT_TRUE(Press(removed, IDOK));
    EXPECT_EQ(0, morvane.WaitExit());
    EXPECT_FALSE(StoreExists());
}

TEST_F(LifecycleE2E, TheOverviewOpensTheAboutBoxAndTheHelpFile)
{
    PutEntry("21045PMFilm", "Film");
    Morvane morvane;
    ASSERT_TRUE(morvane.Start());
    HWND main = morvane.MainWindow();
    ASSERT_TRUE(main != NULL);
    PostMessageA(main, WM_COMMAND, IDM_SETTINGS, 0);  // "&Settings" in the tray menu
    HWND overview = WaitWindow(morvane.Pid(), "#32770", kOverview);
    ASSERT_TRUE(overview != NULL);
    EXPECT_EQ("10:45 PM Film", ItemText(overview, IDC_TUESDAY));

    Click(overview, IDC_ABOUT);
    HWND about = WaitWindow(morvane.Pid(), "#32770", "About Morvane");
    ASSERT_TRUE(about != NULL);
    ASSERT_TRUE(Press(about, IDOK));

    // The help file beside the program opens in the system's viewer, at its contents.
    Click(overview, IDC_HELPFILE);
    HWND viewer = NULL;
    EXPECT_TRUE(WaitUntil([&] {
        viewer = FindWindowA("MS_WINHELP", "Morvane Help");
        return viewer != NULL;
    })) << "no help viewer";
    if (viewer)
        PostMessageA(viewer, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitUntil([] { return FindWindowA("MS_WINHELP", NULL) == NULL; }));

    ASSERT_TRUE(Press(overview, IDOK));
    EXPECT_TRUE(morvane.Running());
    EXPECT_EQ(0, morvane.Suspend());
}

}  // namespace
