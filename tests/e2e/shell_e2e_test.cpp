// The shipped executable, started and driven from outside.
#include <gtest/gtest.h>

#include "e2e.h"

using namespace e2e;

namespace {

const char kTipText[] = "Tip : Double Click on the small TV icon below to add TV program schedules";
const char kTipCaption[] = "Running Morvane for the first time";

class ShellE2E : public ::testing::Test {
protected:
    void SetUp() override { ClearStore(); }
    void TearDown() override { ClearStore(); }
};

TEST_F(ShellE2E, FirstStartGreetsCreatesAnEmptyStoreAndLaterStartsDoNot)
{
    {
        Morvane morvane;
        ASSERT_TRUE(morvane.Start());
        HWND tip = WaitWindow(morvane.Pid(), "#32770", kTipCaption);
        ASSERT_TRUE(tip != NULL) << "no tip box on the first start";
        EXPECT_EQ(kTipText, BoxText(tip));
        EXPECT_TRUE(StoreExists()) << "the store exists while the tip is shown";
        EXPECT_TRUE(StoreValues().empty());
        ASSERT_TRUE(Press(tip, IDOK));
        HWND main = morvane.MainWindow();
        ASSERT_TRUE(main != NULL);
        EXPECT_EQ(0, morvane.Suspend());
    }
    Morvane again;
    ASSERT_TRUE(again.Start());
    ASSERT_TRUE(again.MainWindow() != NULL);
    EXPECT_TRUE(WindowsOf(again.Pid(), "#32770", kTipCaption).empty()) << "a later start shows no tip";
    EXPECT_EQ(0, again.Suspend());
}

TEST_F(ShellE2E, OneCopyAtATimeAndTheMainWindowIsNeverShown)
{
    Morvane first;
    HWND main = StartQuietly(first);
    ASSERT_TRUE(main != NULL);
    EXPECT_FALSE(IsWindowVisible(main));

    Morvane second;
    ASSERT_TRUE(second.Start());
    EXPECT_EQ(0, second.WaitExit()) << "a second copy ends at once with code 0";
    EXPECT_TRUE(WindowsOf(second.Pid(), NULL, NULL).empty()) << "and makes no window";
    EXPECT_TRUE(first.Running());

    EXPECT_EQ(0, first.Suspend());

    Morvane third;
    ASSERT_TRUE(StartQuietly(third) != NULL) << "a new copy starts once the first has ended";
    EXPECT_FALSE(IsWindowVisible(third.MainWindow()));
    EXPECT_EQ(0, third.Suspend());
}

TEST_F(ShellE2E, TheRightButtonOpensTheTrayMenuAndAboutOpensAndCloses)
{
    Morvane morvane;
    HWND main = StartQuietly(morvane);
    ASSERT_TRUE(main != NULL);

    PostMessageA(main, 1234, 0, WM_RBUTTONUP);
    HWND menu = WaitWindow(morvane.Pid(), "#32768", NULL);
    ASSERT_TRUE(menu != NULL) << "no pop-up menu";
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); })) << "Escape closes the menu";

    // The next right click opens it again, and its mnemonic "A" chooses "&About Morvane".
    PostMessageA(main, 1234, 0, WM_RBUTTONUP);
    menu = WaitWindow(morvane.Pid(), "#32768", NULL);
    ASSERT_TRUE(menu != NULL) << "the menu opens a second time";
    PostMessageA(menu, WM_KEYDOWN, 'A', 0);
    HWND about = WaitWindow(morvane.Pid(), "#32770", "About Morvane");
    ASSERT_TRUE(about != NULL);
    ASSERT_TRUE(Press(about, IDOK));
    EXPECT_TRUE(morvane.Running());
    EXPECT_EQ(0, morvane.Suspend());
}

TEST_F(ShellE2E, ADeletedStoreIsReportedAndEndsTheProgram)
{
    Morvane morvane;
    ASSERT_TRUE(StartQuietly(morvane) != NULL);
    ClearStore();
    HWND box = WaitWindow(morvane.Pid(), "#32770", "Morvane Error : at RegOpenKey on WM_TIMER");
    ASSERT_TRUE(box != NULL);
    EXPECT_NE(std::string::npos, BoxText(box).find("[2] Exiting . . .")) << BoxText(box);
    EXPECT_TRUE(morvane.Running()) << "the program waits for the box";
    ASSERT_TRUE(Press(box, IDOK));
    EXPECT_EQ(0, morvane.WaitExit());
}

void WaitForTime(ULONGLONG at)
{
    while (Now() < at)
        Sleep(10);
}

// A debugger, a paused virtual machine or a sleeping computer can hold the program's thread
// past the start of a programme's minute: it still alerts, once. Left unanswered while the next
// minute's programmes come due, its box stays alone; they follow it, once each, after OK.
TEST_F(ShellE2E, EveryEntryAlertsOnceOneBoxAtATimeEvenWhenTheProgramIsHeldPastItsMinute)
{
    Morvane morvane;
    HWND main = StartQuietly(morvane);
    ASSERT_TRUE(main != NULL);

    // One in the minute the thread is let go in, two in the minute after (in the store's order,
    // by name).
    DueEntry due[] = {NextMinuteEntry("The News"), NextMinuteEntry("Film", 1),
                      NextMinuteEntry("Quiz", 1)};
    for (const DueEntry &entry : due)
        PutEntry(entry.name, entry.text.substr(22, entry.text.find(" @ ") - 22));

    WaitForTime(due[0].at - kSecond / 2);
    ASSERT_NE((DWORD)-1, SuspendThread(morvane.Thread()));
    WaitForTime(due[0].at + 3 * kSecond);
    ASSERT_NE((DWORD)-1, ResumeThread(morvane.Thread()));

    auto alerts = [&] { return WindowsOf(morvane.Pid(), "#32770", "Morvane alert").size(); };
    HWND alert = WaitWindow(morvane.Pid(), "#32770", "Morvane alert");
    ASSERT_TRUE(alert != NULL) << "no alert after the thread was held";
    WaitForTime(due[1].at + 4 * kSecond);
    EXPECT_EQ(1u, alerts()) << "the next minute's programmes opened boxes over the first";
    // A double click on the icon opens nothing over the box, whose OK still ends it at once.
    PostMessageA(main, 1234, 0, WM_LBUTTONDBLCLK);
    // Then each in turn, and further ticks of the same minute, while it is open and after the
    // last, announce nothing again.
    for (const DueEntry &entry : due) {
        if (entry.name != due[0].name)
            alert = WaitWindow(morvane.Pid(), "#32770", "Morvane alert");
        ASSERT_TRUE(alert != NULL) << "no alert for " << entry.name;
        EXPECT_EQ(entry.text, BoxText(alert));
        for (int tick = 0; tick < 3; tick++)
            PostMessageA(main, WM_TIMER, 700, 0);
        EXPECT_FALSE(WaitUntil([&] { return alerts() > 1; }, 2000)) << "two alerts at once";
        ASSERT_TRUE(Press(alert, IDOK));
    }
    for (int tick = 0; tick < 3; tick++)
        PostMessageA(main, WM_TIMER, 700, 0);
    EXPECT_FALSE(WaitUntil([&] { return alerts() > 0; }, 4000)) << "a second alert after OK";
    EXPECT_TRUE(WindowsOf(morvane.Pid(), "#32770", "Morvane Settings").empty())
        << "an overview opened over an alert";
    EXPECT_TRUE(morvane.Running());
    EXPECT_EQ(0, morvane.Suspend());
}

TEST_F(ShellE2E, TheIconComesAndGoesWithTheProgramAndSurvivesAShellRestart)
{
    Morvane morvane;
    HWND main = StartQuietly(morvane);
    ASSERT_TRUE(main != NULL);
    if (TrayIconCount() < 0)
        GTEST_SKIP() << "this display shows no notification area to look at";
    EXPECT_TRUE(WaitUntil([] { return TrayIconCount() == 1; })) << "the icon appears";

    // A restarting shell forgets every icon, then broadcasts "TaskbarCreated".
    NOTIFYICONDATAA lost = {};
    lost.cbSize = NOTIFYICONDATAA_V1_SIZE;
    lost.hWnd = main;
    lost.uID = 0;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &lost));
    ASSERT_TRUE(WaitUntil([] { return TrayIconCount() == 0; }));
    PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitUntil([] { return TrayIconCount() == 1; })) << "the icon is added again";
    EXPECT_TRUE(morvane.Running());

    EXPECT_EQ(0, morvane.Suspend());
    EXPECT_EQ(0, TrayIconCount()) << "the icon goes with the program";
}

}  // namespace
