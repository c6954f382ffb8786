// Random stores, as anyone with registry access could write them, against a plain statement
// of when an alert is due and what it says.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

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

struct Expected {
    bool alert = false;
    std::string text;
    std::string sound;  // empty: silent
};

// The program's rooms hold a value when its name is under 250 characters and its data with a
// terminator is at most 250 bytes (Wine wants room for the terminator of an unterminated text).
bool Fits(const RawValue &value, size_t room)
{
    bool terminated = !value.bytes.empty() && value.bytes.back() == '\0';
    return value.name.size() < 250 && value.bytes.size() + (terminated ? 0 : 1) <= room;
}

// When is an alert due: the first string value, in the platform's order, that the program's
// rooms can hold and whose name starts with the clock's six characters, in seconds 0 and 1.
Expected Oracle(const SYSTEMTIME &now)
{
    Expected expected;
    std::vector<RawValue> values = reg::AllValues();
    std::string mode;
    for (const RawValue &value : values)
        if (value.name == "alertmode" && value.type == REG_SZ && Fits(value, 260))
            mode = value.bytes.substr(0, 1);
    if (now.wSecond >= 2)
        return expected;
    for (const RawValue &value : values) {
        if (value.type != REG_SZ || !Fits(value, 250))
            continue;
        if (value.name.compare(0, 6, Key(now)) != 0 || value.name.size() < 6)
            continue;
        std::string data = value.bytes.substr(0, value.bytes.find('\0')).substr(0, 249);
        char minute[3] = {char('0' + now.wMinute / 10), char('0' + now.wMinute % 10), 0};
        expected.alert = true;
        expected.text = "Switch on the Telly   " + data + " @ " + kShownHours[now.wHour] + "." +
                        minute + " " + (now.wHour < 12 ? "AM" : "PM");
        expected.sound = mode == "1" ? "warning.wav" : mode == "2" ? "drums.wav" : "";
        return expected;
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
        SYSTEMTIME now = {};
        now.wDayOfWeek = (WORD)Below(7);
        now.wHour = (WORD)Below(24);
        now.wMinute = (WORD)Below(60);
        now.wSecond = (WORD)Below(4);
        return now;
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
        SetTimer(window, REMINDER_TIMER_ID, REMINDER_PERIOD_MS, NULL);
        RunReminderTick(window);

        SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
        ASSERT_EQ(expected.alert ? 1u : 0u, fake::boxes.size());
        if (!expected.alert) {
            ASSERT_TRUE(fake::sounds.empty());
            continue;
        }
        alerts++;
        ASSERT_EQ(expected.text, fake::boxes[0].text);
        ASSERT_EQ("Morvane alert", fake::boxes[0].caption);
        if (expected.sound.empty()) {
            ASSERT_TRUE(fake::sounds.empty());
        } else {
            ASSERT_EQ(2u, fake::sounds.size());
            ASSERT_EQ(expected.sound, fake::sounds[0].file);
            ASSERT_TRUE(fake::sounds[1].isStop);
        }
        MSG msg;
        ASSERT_FALSE(PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) << "no quit";
    }
    std::printf("%d alerts in 10000 random stores\n", alerts);
    EXPECT_GT(alerts, 500) << "the generator must make due entries often enough to matter";
    DestroyWindow(window);
    reg::ClearStore();
}

}  // namespace
