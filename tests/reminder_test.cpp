#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "registry.h"
#include "reminder/reminder.h"
#include "store/store.h"

namespace {

const DWORD kLoop = SND_FILENAME | SND_LOOP | SND_ASYNC;

// A plain window that owns the reminder timer, as the main window does.
class TickTest : public ::testing::Test {
protected:
    HWND window = NULL;

    void SetUp() override
    {
        fake::Reset();
        reg::ClearStore();
        UninstallingFlag = 0;
        Restart();
        window = CreateWindowExA(0, "STATIC", "tick owner", 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
        ASSERT_TRUE(window != NULL);
        SetTimer(window, REMINDER_TIMER_ID, REMINDER_PERIOD_MS, NULL);
    }
    void TearDown() override
    {
        KillTimer(window, REMINDER_TIMER_ID);
        DestroyWindow(window);
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            ;
        reg::ClearStore();
        UninstallingFlag = 0;
    }

    bool TimerRunning() { return KillTimer(window, REMINDER_TIMER_ID) != FALSE; }

    // As after start-up: no tick has run yet.
    static void Restart() { NewestTickTime = 0; }

    bool QuitPosted(int *code)
    {
        MSG msg;
        if (!PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE))
            return false;
        *code = (int)msg.wParam;
        return true;
    }
};

TEST(MatchKeyTest, TheClockBecomesDayHourMinuteAndHalf)
{
    struct Case {
        int dayOfWeek, hour, minute;
        const char *key;
    } cases[] = {
        {0, 0, 0, "71200A"},  {1, 12, 30, "11230P"}, {3, 23, 59, "31159P"},
        {5, 19, 5, "50705P"}, {6, 11, 59, "61159A"}, {2, 1, 0, "20100A"},
        {4, 13, 0, "40100P"}, {0, 12, 0, "71200P"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        SYSTEMTIME now = {};
        now.wDayOfWeek = (WORD)c.dayOfWeek;
        now.wHour = (WORD)c.hour;
        now.wMinute = (WORD)c.minute;
        now.wSecond = 1;
        MatchKey key;
        BuildMatchKey(&now, &key);
        EXPECT_STREQ(c.key, key.text);
        EXPECT_EQ(1, key.second);
    }
}

TEST_F(TickTest, TheFirstTickAfterStartAlertsOnlyInTheFirstTwoSecondsOfTheMinute)
{
    reg::PutString("21045PMFilm", "Film");
    for (int second = 0; second < 4; second++) {
        SCOPED_TRACE(second);
        Restart();
        fake::boxes.clear();
        fake::SetClock(2, 22, 45, second);
        EXPECT_EQ(0, RunReminderTick(window));
        if (second < 2) {
            ASSERT_EQ(1u, fake::boxes.size());
            EXPECT_EQ("Switch on the Telly   Film @ 10.45 PM", fake::boxes[0].text);
            EXPECT_EQ("Morvane alert", fake::boxes[0].caption);
            EXPECT_EQ((UINT)(MB_OK | MB_TASKMODAL | MB_TOPMOST | MB_ICONEXCLAMATION),
                      fake::boxes[0].style);
            EXPECT_EQ(NULL, fake::boxes[0].owner);
        } else {
            EXPECT_TRUE(fake::boxes.empty());
        }
    }
    EXPECT_TRUE(TimerRunning());
}

// After a tick in an earlier minute, the first tick of the entry's minute alerts however late
// it comes, and no later tick of that minute alerts again, nested in the box or not.
TEST_F(TickTest, AProgrammeAlertsOnceAtTheFirstTickOfItsMinuteEvenWhenThatTickIsLate)
{
    reg::PutString("21045PMFilm", "Film");
    for (int late : {0, 1, 2, 3, 30, 59}) {
        SCOPED_TRACE(late);
        Restart();
        fake::boxes.clear();
        fake::SetClock(2, 22, 44, 58);
        RunReminderTick(window);
        int nestedBoxes = -1;
        fake::whileBoxOpen = [&](const FakeBox &) {
            fake::whileBoxOpen = nullptr;
            fake::SetClock(2, 22, 45, late < 58 ? late + 1 : 59);
            RunReminderTick(window);
            nestedBoxes = (int)fake::boxes.size();
        };
        fake::SetClock(2, 22, 45, late);
        RunReminderTick(window);
        ASSERT_EQ(1u, fake::boxes.size());
        EXPECT_EQ("Switch on the Telly   Film @ 10.45 PM", fake::boxes[0].text);
        EXPECT_EQ(1, nestedBoxes) << "a tick nested in the open box does not alert again";
        fake::SetClock(2, 22, 45, 59);
        RunReminderTick(window);
        EXPECT_EQ(1u, fake::boxes.size()) << "nor does a later tick of the same minute";
    }
}

TEST_F(TickTest, OtherDaysTimesAndHalvesDoNotAlert)
{
    reg::PutString("21045PMFilm", "Film");
    reg::PutString("21045", "too short to be a key");
    reg::PutString("2104", "shorter still");
    const int clocks[][3] = {{3, 22, 45}, {2, 10, 45}, {2, 22, 46}, {2, 22, 44}, {2, 21, 45}};
    for (const auto &clock : clocks) {
        Restart();  // each its own start: going from one to the next would make up the minutes
        fake::SetClock(clock[0], clock[1], clock[2], 0);
        RunReminderTick(window);
    }
    EXPECT_TRUE(fake::boxes.empty());
}

TEST_F(TickTest, NoonMidnightAndSingleDigitTimesShowAsTheyAreWritten)
{
    struct Case {
        int dayOfWeek, hour, minute;
        const char *name, *text;
    } cases[] = {
        {1, 0, 0, "11200AMLate", "Switch on the Telly   Late @ 12.00 AM"},
        {0, 12, 5, "71205PMLunch", "Switch on the Telly   Lunch @ 12.05 PM"},
        {5, 19, 5, "50705PMNews", "Switch on the Telly   News @ 7.05 PM"},
        {6, 7, 30, "60730AMCartoons", "Switch on the Telly   Cartoons @ 7.30 AM"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        reg::ClearStore();
        Restart();
        fake::boxes.clear();
        reg::PutString(c.name, c.name + 7);
        fake::SetClock(c.dayOfWeek, c.hour, c.minute, 0);
        RunReminderTick(window);
        ASSERT_EQ(1u, fake::boxes.size());
        EXPECT_EQ(c.text, fake::boxes[0].text);
    }
}

// A day of December 2026, when the 6th is a Sunday.
SYSTEMTIME December(int day, int hour, int minute, int second)
{
    return {2026, 12, (WORD)((day - 6) % 7), (WORD)day, (WORD)hour, (WORD)minute, (WORD)second, 0};
}

// Every entry of a minute alerts, and so does every entry whose minute a gap between two ticks
// swallowed, up to an hour back: in time order, in the store's order within a minute, once, also
// when the clock is corrected backwards; a correction passes over only minutes ticks looked at.
TEST_F(TickTest, EachEntryOfTheMinutesSinceTheNewestTickAlertsOnceInTimeOrder)
{
    std::vector<std::string> crowd, newestOfCrowd;
    for (int i = 100; i < 100 + ALERTS_WAITING + 4; i++) {
        crowd.push_back("61000AMShow" + std::to_string(i));
        if (i >= 104)
            newestOfCrowd.push_back("Show" + std::to_string(i) + " @ 10.00 AM");
    }
    const struct {
        const char *what;
        std::vector<SYSTEMTIME> ticks;  // from start; one more runs 2 s after the last
        std::vector<std::string> store;
        // "programme @ time", in the order shown; within a minute, Wine's order: by name.
        std::vector<std::string> alerts;
    } cases[] = {
        {"a gap over two minutes, then two in this one, late",
         {December(8, 12, 58, 58), December(8, 13, 1, 5)},
         {"20101PMThird", "20100PMSecond", "21259PMFirst", "21258PMHad", "20101PMFourth"},
         {"First @ 12.59 PM", "Second @ 1.00 PM", "Fourth @ 1.01 PM", "Third @ 1.01 PM"}},
        {"the week's wrap", {December(13, 23, 58, 30), December(14, 0, 3, 1)},
         {"11200AMMonday", "71159PMSunday", "11204AMLater"},
         {"Sunday @ 11.59 PM", "Monday @ 12.00 AM"}},
        {"an hour back and no more", {December(9, 18, 0, 30), December(9, 20, 0, 0)},
         {"30659PMOld", "30700PMHour", "30701PMEarly", "30800PMNow"},
         {"Hour @ 7.00 PM", "Early @ 7.01 PM", "Now @ 8.00 PM"}},
        {"the first tick since start", {December(10, 21, 0, 1)},
         {"40859PMMissed", "40900PMNow"}, {"Now @ 9.00 PM"}},
        {"a clock put back 4 s across a minute",
         {December(11, 20, 59, 59), December(11, 21, 0, 1), December(11, 20, 59, 57),
          December(11, 21, 0, 1)},
         {"50900PMNine", "50859PMBefore"}, {"Nine @ 9.00 PM"}},
        {"the hour daylight saving repeats",
         {December(11, 1, 59, 59), December(11, 2, 0, 1), December(11, 2, 30, 1),
          December(11, 2, 59, 59), December(11, 2, 0, 1), December(11, 2, 30, 1),
          December(11, 3, 0, 1)},
         {"50200AMTwo", "50230AMHalf", "50300AMThree"},
         {"Two @ 2.00 AM", "Half @ 2.30 AM", "Three @ 3.00 AM"}},
        {"a start on a clock an hour fast, put right",
         {December(11, 9, 30, 15), December(11, 8, 30, 10), December(11, 9, 0, 1),
          December(11, 9, 30, 1), December(11, 9, 31, 1)},
         {"50900AMNine", "50930AMStart", "50931AMAfter"}, {"Nine @ 9.00 AM", "After @ 9.31 AM"}},
        {"a clock put back three hours starts afresh",
         {December(11, 21, 0, 1), December(11, 18, 0, 5), December(11, 18, 1, 1)},
         {"50900PMNine", "50600PMSix", "50601PMLater"}, {"Nine @ 9.00 PM", "Later @ 6.01 PM"}},
        {"more than can wait", {December(12, 9, 59, 59), December(12, 10, 0, 1)}, crowd,
         newestOfCrowd},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        reg::ClearStore();
        for (const std::string &name : c.store)
            reg::PutString(name, name.substr(7));
        Restart();
        fake::boxes.clear();
        for (const SYSTEMTIME &tick : c.ticks) {
            fake::clock = tick;
            RunReminderTick(window);
        }
        fake::clock.wSecond += 2;
        RunReminderTick(window);
        std::vector<std::string> alerts;
        for (const FakeBox &box : fake::boxes)
            alerts.push_back(box.text.substr(sizeof "Switch on the Telly   " - 1));
        EXPECT_EQ(c.alerts, alerts);
    }
}

// Nobody answers for hours: the ticks that run inside the box find a programme a minute, and
// each waits instead of opening a box inside the last; on OK the newest come, one at a time, at
// the same depth of the stack, the sound going on until the last is dismissed.
TEST_F(TickTest, UnansweredTheBoxStaysAloneAndTheNewestWaitBehindIt)
{
    // The store holds the programme of minute i after 9.00 AM alone, to keep each scan short.
    auto schedule = [](int i) {
        char name[32];
        int hour = 9 + i / 60;
        wsprintfA(name, "1%.2d%.2d%cMShow%d", (hour + 11) % 12 + 1, i % 60, "AP"[hour / 12], i);
        reg::ClearStore();
        reg::PutString(ALERTMODE_VALUE, "1");
        reg::PutString(name, name + 7);
        fake::SetClock(1, hour, i % 60, 1);
    };
    std::vector<void *> depths;
    size_t mostBoxes = 0;
    fake::whileBoxOpen = [&](const FakeBox &) {
        depths.push_back(__builtin_frame_address(0));
        for (int i = 1; depths.size() == 1 && i < 500; i++) {
            schedule(i);
            RunReminderTick(window);
            mostBoxes = std::max(mostBoxes, fake::boxes.size());
        }
    };
    schedule(0);
    RunReminderTick(window);
    EXPECT_EQ(1u, mostBoxes) << "no box opens over the one that is up";
    ASSERT_EQ(1u + ALERTS_WAITING, fake::boxes.size());
    EXPECT_EQ("Switch on the Telly   Show0 @ 9.00 AM", fake::boxes[0].text);
    EXPECT_EQ("Switch on the Telly   Show484 @ 5.04 PM", fake::boxes[1].text);
    for (int i = 2; i <= ALERTS_WAITING; i++)
        EXPECT_EQ(0u, fake::boxes[i].text.find("Switch on the Telly   Show" +
                                                std::to_string(483 + i) + " @ 5."));
    EXPECT_EQ(std::vector<void *>(depths.size(), depths[0]), depths);
    ASSERT_EQ(2u + ALERTS_WAITING, fake::sounds.size());
    for (size_t i = 0; i < fake::sounds.size(); i++)
        EXPECT_EQ(i + 1 == fake::sounds.size(), fake::sounds[i].isStop) << i;
}

TEST_F(TickTest, TheAlertModeChoosesTheLoopingSound)
{
    struct Case {
        const char *mode;  // NULL: no alertmode value
        const char *file;  // NULL: silent
    } cases[] = {
        {"1", "warning.wav"}, {"2", "drums.wav"}, {"3", NULL},  {NULL, NULL},
        {" 1", NULL},         {"12", "warning.wav"}, {"", NULL}, {"x", NULL},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode ? c.mode : "(missing)");
        reg::ClearStore();
        Restart();
        fake::sounds.clear();
        fake::boxes.clear();
        reg::PutString("30700AMBreakfast", "Breakfast");
        if (c.mode)
            reg::PutString(ALERTMODE_VALUE, c.mode);
        size_t soundsWhileOpen = 99;
        fake::whileBoxOpen = [&](const FakeBox &) { soundsWhileOpen = fake::sounds.size(); };
        fake::SetClock(3, 7, 0, 0);
        RunReminderTick(window);
        ASSERT_EQ(1u, fake::boxes.size());
        if (!c.file) {
            EXPECT_TRUE(fake::sounds.empty());
            continue;
        }
        ASSERT_EQ(2u, fake::sounds.size());
        EXPECT_EQ(1u, soundsWhileOpen) << "the sound plays while the box is open";
        EXPECT_FALSE(fake::sounds[0].isStop);
        EXPECT_EQ(fake::ProgramPath(c.file), fake::sounds[0].file);
        EXPECT_EQ(kLoop, fake::sounds[0].flags);
        EXPECT_TRUE(fake::sounds[1].isStop) << "dismissing the box stops the sound";
        EXPECT_EQ(kLoop, fake::sounds[1].flags);
    }
}

TEST_F(TickTest, TheAlertModeAsStoredAtAlertTimeCounts)
{
    reg::PutString("30700AMBreakfast", "Breakfast");
    reg::PutString("30701AMWeather", "Weather");
    reg::PutString(ALERTMODE_VALUE, "2");
    fake::SetClock(3, 7, 0, 0);
    RunReminderTick(window);
    reg::PutString(ALERTMODE_VALUE, "1");
    fake::SetClock(3, 7, 1, 0);
    RunReminderTick(window);
    ASSERT_EQ(4u, fake::sounds.size());
    EXPECT_EQ(fake::ProgramPath("drums.wav"), fake::sounds[0].file);
    EXPECT_EQ(fake::ProgramPath("warning.wav"), fake::sounds[2].file);
}

TEST_F(TickTest, ProgrammeNamesAreShownLiterallyAndWhole)
{
    const std::string hostile = "%s%n%d%%%c";
    const std::string longest(249, 'L');
    for (const std::string &name : {hostile, longest}) {
        reg::ClearStore();
        Restart();
        fake::boxes.clear();
        reg::PutString("40900PMx", name);
        fake::SetClock(4, 21, 0, 0);
        RunReminderTick(window);
        ASSERT_EQ(1u, fake::boxes.size());
        EXPECT_EQ("Switch on the Telly   " + name + " @ 9.00 PM", fake::boxes[0].text);
    }
}

TEST_F(TickTest, AnOversizedValueIsSkippedAndTheScanGoesOn)
{
    reg::PutString("40900PM" + std::string(260, 'n'), "name too long");
    reg::PutString("40900PMData", std::string(300, 'd'));
    reg::PutString("40900PMShow", "Show");
    fake::SetClock(4, 21, 0, 1);
    RunReminderTick(window);
    ASSERT_EQ(1u, fake::boxes.size());
    EXPECT_EQ("Switch on the Telly   Show @ 9.00 PM", fake::boxes[0].text);
    EXPECT_TRUE(TimerRunning());
    int code;
    EXPECT_FALSE(QuitPosted(&code));
}

TEST_F(TickTest, AMissingStoreStopsTheTimerReportsAndQuits)
{
    bool timerRanWhileBoxOpen = true;
    bool quitBeforeBoxClosed = true;
    fake::whileBoxOpen = [&](const FakeBox &box) {
        if (box.caption == "Morvane alert") {  // the store goes while an alert is up
            reg::ClearStore();
            RunReminderTick(window);
            return;
        }
        timerRanWhileBoxOpen = TimerRunning();
        MSG msg;
        quitBeforeBoxClosed = PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
    };
    reg::PutString("10900AMNine", "Nine");
    fake::SetClock(1, 9, 0, 0);
    RunReminderTick(window);
    ASSERT_EQ(1u, fake::boxes.size()) << "reported over the alert, whose OK it would hold";
    fake::boxes.clear();
    EXPECT_EQ(0, RunReminderTick(window));
    ASSERT_EQ(1u, fake::boxes.size());
    EXPECT_EQ("Morvane Error : at RegOpenKey on WM_TIMER", fake::boxes[0].caption);
    EXPECT_EQ((UINT)(MB_OK | MB_ICONINFORMATION), fake::boxes[0].style);
    EXPECT_EQ(NULL, fake::boxes[0].owner);
    char *system = NULL;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   NULL, ERROR_FILE_NOT_FOUND, 0, (LPSTR)&system, 0, NULL);
    ASSERT_TRUE(system != NULL);
    EXPECT_EQ(std::string(system) + "[2] Exiting . . .", fake::boxes[0].text);
    LocalFree(system);
    EXPECT_FALSE(timerRanWhileBoxOpen) << "the timer stops before the box";
    EXPECT_FALSE(quitBeforeBoxClosed) << "the quit follows the box";
    int code = -1;
    EXPECT_TRUE(QuitPosted(&code));
    EXPECT_EQ(0, code);
}

TEST_F(TickTest, FatalErrorTextsFitTheirRoomForEveryCode)
{
    fake::whileBoxOpen = nullptr;
    FatalStoreError(0x2000FFFF, "at RegCreateKeyEx on InitRegistry");
    ASSERT_EQ(1u, fake::boxes.size());
    EXPECT_EQ("Unknown error\r\n[536936447] Exiting . . .", fake::boxes[0].text);
    EXPECT_EQ("Morvane Error : at RegCreateKeyEx on InitRegistry", fake::boxes[0].caption);
    for (LONG code = 0; code < 16000; code++) {
        fake::boxes.clear();
        FatalStoreError(code, "at RegOpenKey on WM_TIMER");
        const std::string &text = fake::boxes.at(0).text;
        std::string tail = "[" + std::to_string(code) + "] Exiting . . .";
        ASSERT_LE(text.size(), 99u) << code;
        ASSERT_GT(text.size(), tail.size()) << code;
        ASSERT_EQ(tail, text.substr(text.size() - tail.size())) << code;
    }
}

TEST_F(TickTest, WhileUninstallingTicksDoNothing)
{
    reg::PutString("21045PMFilm", "Film");
    UninstallingFlag = 1;
    fake::SetClock(2, 22, 45, 0);
    RunReminderTick(window);
    reg::ClearStore();
    RunReminderTick(window);
    EXPECT_TRUE(fake::boxes.empty()) << "neither an alert nor a store failure";
    int code;
    EXPECT_FALSE(QuitPosted(&code));
    EXPECT_TRUE(TimerRunning());
}

TEST_F(TickTest, AStoreOfOnlyTheAlertModeNeverAlerts)
{
    reg::PutString(ALERTMODE_VALUE, "1");
    for (int day = 0; day < 7; day++)
        for (int hour = 0; hour < 24; hour++) {
            fake::SetClock(day, hour, 0, 0);
            RunReminderTick(window);
        }
    EXPECT_TRUE(fake::boxes.empty());
    EXPECT_TRUE(fake::sounds.empty());
}

}  // namespace
