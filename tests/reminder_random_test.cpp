// Random stores, as anyone with registry access could write them, against a plain statement
// of when an alert is due and what it says.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "registry.h"
#include "reminder/reminder.h"
#include "store/store.h"

namespace {

const char *const kHours[24] = {"12A", "01A", "02A", "03A", "04A", "05A", "06A", "07A",
                                "08A", "09A", "10A", "11A", "12P", "01P", "02P", "03P",
                                "04P", "05P", "06P", "07P", "08P", "09P", "10P", "11P"};
const char *const kShownHours[24] = {"12", "1",  "2", "3", "4", "5", "6", "7",
                                     "8",  "9",  "10", "11", "12", "1", "2", "3",
                                     "4",  "5",  "6", "7", "8", "9", "10", "11"};

std::string Key(const SYSTEMTIME &now)
{
    char minute[3] = {char('0' + now.wMinute / 10), char('0' + now.wMinute % 10), 0};
    std::string hour = kHours[now.wHour];
    return std::to_string(now.wDayOfWeek == 0 ? 7 : now.wDayOfWeek) + hour.substr(0, 2) + minute +
           hour[2];
}

std::string AlertText(const SYSTEMTIME &now, const std::string &programme)
{
    char minute[3] = {char('0' + now.wMinute / 10), char('0' + now.wMinute % 10), 0};
    return "Switch on the Telly   " + programme + " @ " + kShownHours[now.wHour] + "." + minute +
           " " + (now.wHour < 12 ? "AM" : "PM");
}

const char *const kSounds[2] = {"warning.wav", "drums.wav"};

struct Expected {
    std::vector<std::string> texts;
    std::string sound;  // empty: silent
};

// The program's rooms hold a value when its name is under 250 characters and its data with a
// terminator is at most 250 bytes (Wine wants room for the terminator of an unterminated text).
bool Fits(const RawValue &value, size_t room)
{
    bool terminated = !value.bytes.empty() && value.bytes.back() == '\0';
    return value.name.size() < 250 && value.bytes.size() + (terminated ? 0 : 1) <= room;
}

// The alerts of the first tick after start: every string value, in the platform's order, that
// the program's rooms can hold and whose name starts with the clock's six characters, in
// seconds 0 and 1, the newest sixteen.
Expected Oracle(const SYSTEMTIME &now)
{
    Expected expected;
    std::vector<RawValue> values = reg::AllValues();
    std::string mode;
    for (const RawValue &value : values)
        if (value.name == "alertmode" && value.type == REG_SZ && Fits(value, 260))
            mode = value.bytes.substr(0, 1);
    expected.sound = mode == "1" || mode == "2" ? fake::ProgramPath(kSounds[mode[0] - '1']) : "";
    if (now.wSecond >= 2)
        return expected;
    for (const RawValue &value : values) {
        if (value.type != REG_SZ || !Fits(value, 250))
            continue;
        if (value.name.compare(0, 6, Key(now)) != 0 || value.name.size() < 6)
            continue;
        std::string data = value.bytes.substr(0, value.bytes.find('\0')).substr(0, 249);
        expected.texts.push_back(AlertText(now, data));
        if (expected.texts.size() > 16)
            expected.texts.erase(expected.texts.begin());
    }
    return expected;
}

class RandomStore {
public:
    explicit RandomStore(unsigned seed) : random_(seed) {}

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

    std::string Text(int maxLength)
    {
        static const char kChars[] = "abcXYZ 0123456789%sdn.@:-<>(){}\\";
        std::string text(Below(maxLength + 1), ' ');
        for (char &c : text)
            c = kChars[Below(sizeof kChars - 1)];
        return text;
    }

    // A name near the clock: the clock's key, one character off, cut short, or unrelated.
    std::string Name(const std::string &key)
    {
        std::string name;
        switch (Below(6)) {
        case 0: name = key + "M" + Text(12); break;
        case 1: name = key + Text(3); break;
        case 2: name = key; name[Below(6)] ^= 1 + Below(3); name += "M" + Text(5); break;
        case 3: name = key.substr(0, Below(6)); break;
        case 4: name = key + "M" + std::string(243 + Below(12), 'w'); break;
        default: name = Text(10); break;
        }
        return name.empty() ? "x" : name;
    }

    std::string Data()
    {
        switch (Below(8)) {
        case 0: return std::string(248 + Below(5), 'D');
        case 1: return "%s%n" + Text(6);
        default: return Text(20);
        }
    }

    void Fill(const SYSTEMTIME &now)
    {
        reg::ClearStore();
        reg::PutString("seed", "");  // the key exists even with no entries
        std::string key = Key(now);
        int count = Below(6);
        for (int i = 0; i < count; i++) {
            std::string name = Name(key), data = Data();
            switch (Below(10)) {
            case 0: reg::PutRaw(name, REG_DWORD, std::string("\x31\x32\x33\x34", 4)); break;
            case 1: reg::PutRaw(name, REG_BINARY, data); break;
            case 2: reg::PutRaw(name, REG_SZ, data); break;  // unterminated
            default: reg::PutString(name, data); break;
            }
        }
        static const char *const kModes[] = {"1", "2", "3", " 1", "", "21"};
        switch (Below(8)) {
        case 0: break;
        case 1: reg::PutRaw("alertmode", REG_DWORD, std::string("\x01\0\0\0", 4)); break;
        default: reg::PutString("alertmode", kModes[Below(6)]); break;
        }
    }

    SYSTEMTIME Clock()
    {
        int day = Below(7), hour = Below(24), minute = Below(60);
        fake::SetClock(day, hour, minute, Below(4));
        return fake::clock;
    }

private:
    std::mt19937 random_;
};

TEST(RandomStoreTest, TheTickAlertsExactlyWhenDueAndShowsTheTextLiterally)
{
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
    ASSERT_TRUE(window != NULL);
    unsigned seed = (unsigned)GetTickCount();
    RecordProperty("seed", (int)seed);
    std::printf("seed %u\n", seed);
    RandomStore store(seed);
    int alerts = 0;
    for (int round = 0; round < 10000; round++) {
        SYSTEMTIME now = store.Clock();
        store.Fill(now);
        Expected expected = Oracle(now);
        fake::Reset();
        fake::clock = now;
        NewestTickTime = 0;  // each round is the first tick after start
        SetTimer(window, REMINDER_TIMER_ID, REMINDER_PERIOD_MS, NULL);
        RunReminderTick(window);

        SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
        std::vector<std::string> texts;
        for (const FakeBox &box : fake::boxes) {
            texts.push_back(box.text);
            ASSERT_EQ("Morvane alert", box.caption);
        }
        ASSERT_EQ(expected.texts, texts);
        alerts += (int)texts.size();
        // One sound a box, stopped once after the last.
        ASSERT_EQ(expected.sound.empty() || texts.empty() ? 0 : texts.size() + 1,
                  fake::sounds.size());
        ASSERT_EQ(texts.empty() ? "" : expected.sound,
                  fake::sounds.empty() ? "" : fake::sounds[0].file);
        MSG msg;
        ASSERT_FALSE(PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) << "no quit";
    }
    std::printf("%d alerts in 10000 random stores\n", alerts);
    EXPECT_GT(alerts, 500) << "the generator must make due entries often enough to matter";
    DestroyWindow(window);
    reg::ClearStore();
}

// Many runs of the program, each from its start: tick times as a real timer on a real thread
// deliver them, a store with programmes in some of the minutes they pass, and alert boxes that
// stay open a while, so that ticks run nested inside them.
class TickRuns {
public:
    explicit TickRuns(unsigned seed) : random_(seed) {}

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

    // Milliseconds since Sunday 00:00 of the fake clock's week.
    static SYSTEMTIME Clock(long long at)
    {
        long long second = at / 1000 % (7LL * 24 * 3600);
        fake::SetClock((int)(second / 86400), (int)(second / 3600 % 24), (int)(second / 60 % 60),
                       (int)(second % 60));
        return fake::clock;
    }

    // Mostly every two seconds give or take a little; sometimes two ticks close together, a
    // thread held for 2 to 50 seconds, or a gap past whole minutes.
    std::vector<long long> Ticks(long long start, int minutes)
    {
        std::vector<long long> ticks;
        long long at = start + Below(2000);
        while (at < start + minutes * 60000LL) {
            ticks.push_back(at);
            int kind = Below(100);
            if (kind < 93)
                at += 2000 - 150 + Below(301);
            else if (kind < 96)
                at += 100 + Below(900);
            else if (kind < 99)
                at += 2000 + 2000 + Below(48001);
            else
                at += 60000 + Below(120001);
        }
        return ticks;
    }

    // Programmes in about half the minutes of the run, sometimes two in one minute.
    void Fill(long long start, int minutes)
    {
        reg::ClearStore();
        reg::PutString("alertmode", "3");
        for (int minute = 0; minute <= minutes + 3; minute++) {
            if (Below(2) != 0 && minute != 0)
                continue;
            std::string key = Key(Clock(start + minute * 60000LL));
            for (int count = 1 + (Below(8) == 0); count > 0; count--) {
                std::string name = "Show " + std::to_string(Below(100000));
                reg::PutString(key + "M" + name, name);
            }
        }
    }

    std::mt19937 &Random() { return random_; }

private:
    std::mt19937 random_;
};

// The rule, stated over the run's ticks in time order: a tick alerts for the minutes that began
// since the previous tick (an hour back at most), then, when it is the first of its own minute,
// for that one (in second 0 or 1 if no tick ran before it); every programme of each, in time
// order. (The runs never have more than sixteen waiting.)
std::vector<std::string> ExpectedAlerts(const std::vector<long long> &ticks)
{
    std::vector<RawValue> values = reg::AllValues();
    std::vector<std::string> alerts;
    for (size_t i = 0; i < ticks.size(); i++) {
        long long minute = ticks[i] / 60000;
        std::vector<long long> minutes;
        for (long long gap = i == 0 ? minute : ticks[i - 1] / 60000 + 1; gap < minute; gap++)
            if (ticks[i] - gap * 60000 <= 3600000)
                minutes.push_back(gap);
        if (i == 0 ? TickRuns::Clock(ticks[i]).wSecond < 2 : ticks[i - 1] / 60000 != minute)
            minutes.push_back(minute);
        for (long long due : minutes) {
            SYSTEMTIME at = TickRuns::Clock(due * 60000);
            for (const RawValue &value : values)
                if (value.name.compare(0, 6, Key(at)) == 0)
                    alerts.push_back(AlertText(at, value.bytes.c_str()));
        }
    }
    return alerts;
}

TEST(TickRunsTest, EveryProgrammeAlertsOnceAtTheFirstTickOfItsMinuteWhateverTheTiming)
{
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
    ASSERT_TRUE(window != NULL);
    unsigned seed = (unsigned)GetTickCount();
    RecordProperty("seed", (int)seed);
    TickRuns runs(seed);
    int minutesPlayed = 0, ticksPlayed = 0, nestedTicks = 0, lateAlerts = 0;
    size_t expectedAlerts = 0, seenAlerts = 0;
    for (int run = 0; run < 25; run++) {
        SCOPED_TRACE("seed " + std::to_string(seed) + " run " + std::to_string(run));
        // Each run ends within its week, whose end the clock would take for a week put back.
        long long start = (long long)runs.Below(7 * 24 * 60 - 40) * 60000 + runs.Below(60000);
        int minutes = 10 + runs.Below(16);
        std::vector<long long> ticks = runs.Ticks(start, minutes);
        runs.Fill(start, minutes);
        std::vector<std::string> expected = ExpectedAlerts(ticks);

        fake::Reset();
        NewestTickTime = 0;  // a fresh start of the program
        SetTimer(window, REMINDER_TIMER_ID, REMINDER_PERIOD_MS, NULL);
        size_t next = 0;
        int depth = 0;
        auto play = [&] {
            fake::clock = TickRuns::Clock(ticks[next++]);
            ticksPlayed++;
            nestedTicks += depth > 0;
            RunReminderTick(window);
        };
        // The box stays open for a while (or is pressed at once); ticks due meanwhile run
        // inside it, as the box's own message loop delivers them.
        fake::whileBoxOpen = [&](const FakeBox &) {
            long long openUntil = ticks[next - 1] + (runs.Below(3) == 0 ? 0 : runs.Below(15000));
            if (fake::clock.wSecond >= 2)
                lateAlerts++;
            depth++;
            while (next < ticks.size() && ticks[next] < openUntil)
                play();
            depth--;
        };
        while (next < ticks.size())
            play();

        // What a tick nested in an open box finds waits for the box: all show in time order.
        std::vector<std::string> seen;
        for (const FakeBox &box : fake::boxes)
            seen.push_back(box.text);
        ASSERT_EQ(expected, seen);
        MSG msg;
        ASSERT_FALSE(PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) << "no quit";
        minutesPlayed += minutes;
        expectedAlerts += expected.size();
        seenAlerts += seen.size();
    }
    std::printf("seed %u: %d minutes, %d ticks (%d nested in an open box), %zu alerts expected, "
                "%zu seen, %d of them late\n",
                seed, minutesPlayed, ticksPlayed, nestedTicks, expectedAlerts, seenAlerts,
                lateAlerts);
    EXPECT_GT(nestedTicks, 100) << "the runs must hold boxes open often enough to matter";
    EXPECT_GT(lateAlerts, 10) << "and hold the thread over the start of a minute";
    fake::whileBoxOpen = nullptr;
    DestroyWindow(window);
    reg::ClearStore();
}

}  // namespace
