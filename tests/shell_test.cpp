// The shell's resources, window procedure and uninstall, in process.
#include <gtest/gtest.h>

#include <shlwapi.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include <string>
#include <vector>

#include "../res/resource.h"
#include "dialog_support.h"
#include "dialogs/dialogs.h"
#include "fake_platform.h"
#include "registry.h"
#include "reminder/reminder.h"
#include "shell/shell.h"
#include "store/store.h"

namespace {

std::string ItemText(HMENU menu, int position)
{
    char text[64] = "";
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

TEST(ShellResources, TheTrayMenuHoldsItsFiveItemsInOrder)
{
    HMENU bar = LoadMenuA(GetModuleHandleA(NULL), IDR_TRAYICON);
    ASSERT_TRUE(bar != NULL);
    EXPECT_EQ("&Tray", ItemText(bar, 0));
    HMENU tray = GetSubMenu(bar, 0);
    ASSERT_EQ(5, GetMenuItemCount(tray));
    const struct {
        UINT id;
        const char *text;
    } items[] = {{IDM_SETTINGS, "&Settings"}, {IDM_ABOUT, "&About Morvane"},
                 {IDM_UNINSTALL, "&Uninstall Morvane"}, {0, ""}, {IDM_EXIT, "&Suspend Morvane"}};
    for (int i = 0; i < 5; i++) {
        SCOPED_TRACE(items[i].text);
        EXPECT_EQ(items[i].id, GetMenuItemID(tray, i));
        EXPECT_EQ(items[i].text, ItemText(tray, i));
    }
    EXPECT_TRUE(GetMenuState(tray, 3, MF_BYPOSITION) & MF_SEPARATOR);
    DestroyMenu(bar);
}

TEST(ShellResources, TheClassMenuHasFileHelpAndAnEmptyPlainItem)
{
    HMENU bar = LoadMenuA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDC_MORVANE));
    ASSERT_TRUE(bar != NULL);
    ASSERT_EQ(3, GetMenuItemCount(bar));
    EXPECT_EQ("&File", ItemText(bar, 0));
    EXPECT_EQ((UINT)IDM_EXIT, GetMenuItemID(GetSubMenu(bar, 0), 0));
    EXPECT_EQ("E&xit", ItemText(GetSubMenu(bar, 0), 0));
    EXPECT_EQ("&Help", ItemText(bar, 1));
    EXPECT_EQ((UINT)IDM_ABOUT, GetMenuItemID(GetSubMenu(bar, 1), 0));
    EXPECT_EQ("&About ...", ItemText(GetSubMenu(bar, 1), 0));
    EXPECT_EQ((UINT)IDM_BLANK, GetMenuItemID(bar, 2));
    EXPECT_EQ("", ItemText(bar, 2));
    DestroyMenu(bar);

    // Loaded, an item with empty text may be shown as a separator (Wine does); the template
    // itself must hold a plain item: the last top-level entry, flags MF_END only.
    HRSRC found = FindResourceA(NULL, MAKEINTRESOURCEA(IDC_MORVANE), (LPCSTR)RT_MENU);
    ASSERT_TRUE(found != NULL);
    const WORD *words = (const WORD *)LockResource(LoadResource(NULL, found));
    const WORD *end = words + SizeofResource(NULL, found) / sizeof(WORD);
    const WORD blankTail[] = {MF_END, IDM_BLANK, 0};  // flags, identifier, empty text
    ASSERT_GE(end - words, 3);
    EXPECT_TRUE(std::equal(blankTail, blankTail + 3, end - 3));
}

TEST(ShellResources, AltQuestionMarkAndAltSlashOpenAbout)
{
    HACCEL table = LoadAcceleratorsA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDC_MORVANE));
    ASSERT_TRUE(table != NULL);
    ACCEL entries[8];
    int count = CopyAcceleratorTableA(table, entries, 8);
    ASSERT_EQ(2, count);
    std::vector<WORD> keys;
    for (int i = 0; i < count; i++) {
        EXPECT_EQ(IDM_ABOUT, entries[i].cmd);
        EXPECT_EQ(FALT, entries[i].fVirt & (FALT | FVIRTKEY | FCONTROL | FSHIFT)) << "Alt, by character";
        keys.push_back(entries[i].key);
    }
    EXPECT_EQ((std::vector<WORD>{'?', '/'}), keys);
}

TEST(ShellResources, TheTitleAndClassNameStrings)
{
    char text[100];
    ASSERT_GT(LoadStringA(GetModuleHandleA(NULL), IDS_APP_TITLE, text, sizeof text), 0);
    EXPECT_STREQ("morvane", text);
    ASSERT_GT(LoadStringA(GetModuleHandleA(NULL), IDS_CLASSNAME, text, sizeof text), 0);
    EXPECT_STREQ("MORVANE", text);
}

SIZE IconSize(HICON icon)
{
    ICONINFO info = {};
    BITMAP bitmap = {};
    if (GetIconInfo(icon, &info)) {
        GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    return SIZE{bitmap.bmWidth, bitmap.bmHeight};
}

// Run at 96 DPI with the others, and by itself in a prefix at 144 DPI (MORVANE_TEST_DPI): the
// icons that start-up loads have the sizes the display asks for, and go at exit.
TEST(ProgramIcons, HaveTheSizesTheDisplayAsksFor)
{
    HDC screen = GetDC(NULL);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
    if (const char *expected = getenv("MORVANE_TEST_DPI")) {
        ASSERT_EQ(atoi(expected), dpi) << "the prefix's LogPixels";
    }
    HINSTANCE instance = GetModuleHandleA(NULL);
    RegisterMainClass(instance, "MorvaneIconTest");
    MainWindow = CreateWindowExA(0, "MorvaneIconTest", "morvane", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                                 100, NULL, NULL, instance, NULL);
    ASSERT_TRUE(MainWindow != NULL);
    AddTrayIcon(instance);
    const HICON tray = TrayIcon.hIcon;
    const SIZE small = {GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)};
    const SIZE large = {GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)};
    const struct { const char *what; HICON icon; SIZE size; } icons[] = {
        {"tray", tray, small},
        {"class, small", (HICON)GetClassLongPtrA(MainWindow, GCLP_HICONSM), small},
        {"class", (HICON)GetClassLongPtrA(MainWindow, GCLP_HICON), large},
    };
    for (const auto &icon : icons) {
        SCOPED_TRACE(icon.what);
        SIZE size = IconSize(icon.icon);
        EXPECT_EQ(icon.size.cx, size.cx);
        EXPECT_EQ(icon.size.cy, size.cy);
    }

    DestroyWindow(MainWindow);
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        ;
    DestroyProgramIcons();
    ICONINFO info;
    EXPECT_FALSE(GetIconInfo(tray, &info)) << "destroyed at exit";
    UnregisterClassA("MorvaneIconTest", instance);
}

TEST(AboutBox, ItsTemplateMatchesItsLayout)
{
    HWND about = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_ABOUTBOX), NULL,
                                    AboutDialogProc, 0);
    ASSERT_TRUE(about != NULL);
    char caption[64];
    GetWindowTextA(about, caption, sizeof caption);
    EXPECT_STREQ("About Morvane", caption);
    LONG style = GetWindowLongA(about, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & DS_MODALFRAME);
    RECT client;
    GetClientRect(about, &client);
    RECT size = DialogUnits(about, 0, 0, 133, 122);
    EXPECT_EQ(size.right, client.right);
    EXPECT_EQ(size.bottom, client.bottom);

    HWND icon = GetDlgItem(about, IDC_ABOUT_ICON);
    HWND ok = GetDlgItem(about, IDOK);
    ASSERT_TRUE(icon && ok);
    EXPECT_EQ(SS_ICON, GetWindowLongA(icon, GWL_STYLE) & SS_TYPEMASK);
    RECT iconAt = ControlRect(about, icon), want = DialogUnits(about, 56, 16, 20, 20);
    EXPECT_EQ(want.left, iconAt.left);
    EXPECT_EQ(want.top, iconAt.top);
    RECT okAt = ControlRect(about, ok);
    want = DialogUnits(about, 47, 88, 38, 13);
    EXPECT_TRUE(EqualRect(&want, &okAt));
    EXPECT_EQ(BS_DEFPUSHBUTTON, GetWindowLongA(ok, GWL_STYLE) & BS_TYPEMASK);
    EXPECT_EQ(ok, GetNextDlgTabItem(about, ok, FALSE)) << "OK is the only tab stop";
    DestroyWindow(about);
}

int aboutAnswer;

void CALLBACK AnswerAbout(HWND, UINT, UINT_PTR, DWORD)
{
    HWND box = FindWindowA("#32770", "About Morvane");
    if (box)
        PostMessageA(box, WM_COMMAND, aboutAnswer, 0);
}

// The modal box ends itself with OK and with Escape, returning the button pressed.
TEST(AboutBox, OkAndEscapeEndIt)
{
    for (int id : {IDOK, IDCANCEL}) {
        SCOPED_TRACE(id);
        aboutAnswer = id;
        UINT_PTR timer = SetTimer(NULL, 0, 50, AnswerAbout);
        INT_PTR result = DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_ABOUTBOX),
                                         NULL, AboutDialogProc, 0);
        KillTimer(NULL, timer);
        EXPECT_EQ(id, result);
    }
}

// A main window with the real procedure, its timer running, as start-up leaves it.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::Reset();
        reg::ClearStore();
        UninstallingFlag = 0;
        AppInstance = GetModuleHandleA(NULL);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = MainWindowProc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "MorvaneShellTest";
        RegisterClassA(&wc);
        MainWindow = CreateWindowExA(0, "MorvaneShellTest", "morvane", WS_OVERLAPPEDWINDOW, 0, 0,
                                     100, 100, NULL, NULL, GetModuleHandleA(NULL), NULL);
        ASSERT_TRUE(MainWindow != NULL);
        SetTimer(MainWindow, REMINDER_TIMER_ID, REMINDER_PERIOD_MS, NULL);
        TrayIcon = NOTIFYICONDATAA{};
        TrayIcon.cbSize = NOTIFYICONDATAA_V1_SIZE;
        TrayIcon.hWnd = MainWindow;
        overview = CreateWindowExA(0, "STATIC", "overview", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                                   NULL, NULL, NULL, NULL);
        OverviewHandle = overview;
    }
    void TearDown() override
    {
        if (IsWindow(MainWindow))
            DestroyWindow(MainWindow);
        DestroyWindow(overview);
        OverviewHandle = NULL;
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            ;
        reg::ClearStore();
        UninstallingFlag = 0;
    }

    bool TimerRunning() { return KillTimer(MainWindow, REMINDER_TIMER_ID) != FALSE; }

    int QuitCode()  // -1: no quit message
    {
        MSG msg;
        return PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE) ? (int)msg.wParam : -1;
    }

    HWND overview = NULL;
};

TEST_F(MainWindowTest, ExitDestroysTheWindowClosesTheMutexAndQuits)
{
    InstanceMutex = CreateMutexA(NULL, FALSE, "MorvaneShellTestMutex");
    ASSERT_TRUE(InstanceMutex != NULL);
    HANDLE mutex = InstanceMutex;
    // Only the low word of the first parameter names the command.
    SendMessageA(MainWindow, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 1), 0);
    EXPECT_FALSE(IsWindow(MainWindow));
    EXPECT_EQ(NULL, InstanceMutex);
    EXPECT_FALSE(CloseHandle(mutex)) << "the handle was closed";
    EXPECT_EQ(0, QuitCode());
}

TEST_F(MainWindowTest, TimerMessagesRunTheTick)
{
    reg::PutString("21045PMFilm", "Film");
    fake::SetClock(2, 22, 45, 0);
    EXPECT_EQ(0, SendMessageA(MainWindow, WM_TIMER, REMINDER_TIMER_ID, 0));
    ASSERT_EQ(1u, fake::boxes.size());
    EXPECT_EQ("Morvane alert", fake::boxes[0].caption);
}

TEST_F(MainWindowTest, AnsweringNoOrNothingChangesNothing)
{
    // 0 is what a box that failed to appear returns.
    for (int answer : {IDNO, 0, IDCANCEL}) {
        SCOPED_TRACE(answer);
        fake::boxes.clear();
        reg::PutString("21045PMFilm", "Film");
        fake::answers = {answer};
        bool hiddenDuringQuestion = false;
        fake::whileBoxOpen = [&](const FakeBox &) { hiddenDuringQuestion = !IsWindowVisible(overview); };
        Uninstall();
        ASSERT_EQ(1u, fake::boxes.size());
        EXPECT_EQ("Uninstall Morvane ?", fake::boxes[0].text);
        EXPECT_EQ("Morvane Uninstall", fake::boxes[0].caption);
        EXPECT_EQ((UINT)(MB_SYSTEMMODAL | MB_ICONQUESTION | MB_YESNO), fake::boxes[0].style);
        EXPECT_EQ(NULL, fake::boxes[0].owner);
        EXPECT_TRUE(hiddenDuringQuestion);
        EXPECT_TRUE(IsWindowVisible(overview)) << "the overview comes back";
        EXPECT_EQ(1u, reg::AllValues().size()) << "the schedule is kept";
        EXPECT_EQ(0, UninstallingFlag);
        EXPECT_EQ(-1, QuitCode());
        EXPECT_TRUE(TimerRunning());
        SetTimer(MainWindow, REMINDER_TIMER_ID, REMINDER_PERIOD_MS, NULL);
    }
}

TEST_F(MainWindowTest, OnNoTheOverviewThatWasHiddenComesBackWhateverHadMessagesMeanwhile)
{
    HWND second = CreateWindowExA(0, "STATIC", "second", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, NULL,
                                  NULL, NULL, NULL);
    fake::answers = {IDNO};
    fake::whileBoxOpen = [&](const FakeBox &) {
        EXPECT_FALSE(IsWindowVisible(overview));
        EXPECT_TRUE(IsWindowVisible(second)) << "only the overview named at the start steps aside";
        OverviewHandle = second;  // the other overview received a message meanwhile
    };
    Uninstall();
    EXPECT_TRUE(IsWindowVisible(overview));
    EXPECT_TRUE(IsWindowVisible(second));
    DestroyWindow(second);
}

// A window about to be made, counted and refused: what the tray would open after Yes.
int windowsMade;
LRESULT CALLBACK RefuseWindows(int code, WPARAM wParam, LPARAM lParam)
{
    windowsMade += code == HCBT_CREATEWND;
    return code == HCBT_CREATEWND ? 1 : CallNextHookEx(NULL, code, wParam, lParam);
}

// From Yes on nothing may write the schedule again: while the last box is up the tray opens
// nothing, and a dialog left open is gone.
TEST_F(MainWindowTest, YesStopsTheTickDeletesTheStoreNamesTheFolderAndQuits)
{
    reg::PutString("21045PMFilm", "Film");
    reg::PutString("alertmode", "1");
    fake::answers = {IDYES};
    HWND about = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_ABOUTBOX), NULL,
                                    AboutDialogProc, 0);
    ShowWindow(about, SW_SHOW);
    bool flagSetBeforeDelete = false, aboutGone = false, silent = false;
    fake::whileBoxOpen = [&](const FakeBox &box) {
        if (!(box.caption == "Morvane Uninstall" && box.style & MB_ICONINFORMATION))
            return;
        flagSetBeforeDelete = UninstallingFlag == 1 && !reg::StoreExists();
        silent = !fake::sounds.empty() && fake::sounds.back().isStop;
        aboutGone = !IsWindowVisible(about);
        HHOOK hook = SetWindowsHookExA(WH_CBT, RefuseWindows, NULL, GetCurrentThreadId());
        SendMessageA(MainWindow, WM_TRAYNOTIFY, 0, WM_LBUTTONDBLCLK);
        SendMessageA(MainWindow, WM_TRAYNOTIFY, 0, WM_RBUTTONUP);
        UnhookWindowsHookEx(hook);
    };
    Uninstall();
    EXPECT_TRUE(aboutGone);
    EXPECT_TRUE(silent) << "a sound plays on behind the last box";
    EXPECT_EQ(0, windowsMade) << "the tray opened an overview or its menu";
    DestroyWindow(about);
    ASSERT_EQ(2u, fake::boxes.size());
    EXPECT_EQ("Removed Morvane registry key.\nTo complete uninstall please remove the directory " +
                  fake::ProgramFolder(),
              fake::boxes[1].text);
    EXPECT_EQ("Morvane Uninstall", fake::boxes[1].caption);
    EXPECT_EQ((UINT)(MB_SYSTEMMODAL | MB_ICONINFORMATION), fake::boxes[1].style);
    EXPECT_TRUE(flagSetBeforeDelete);
    EXPECT_FALSE(reg::StoreExists());
    EXPECT_FALSE(TimerRunning());
    EXPECT_FALSE(IsWindowVisible(overview)) << "the overview never comes back";
    EXPECT_EQ(0, QuitCode());
    EXPECT_TRUE(IsWindow(MainWindow)) << "the main window is left to the end of the process";
}

// Whatever the user does while an alert box is up, through the tray or on an overview under the
// box, opens nothing over it: OK ends the box, the sound stops once, and the next minute's
// programme alerts in its minute, with whatever was opened still open.
TEST_F(MainWindowTest, NothingOpenedWhileAnAlertIsUpHoldsItsOk)
{
    // A tray command (0: the double click), or a button of the overview.
    const struct { const char *what; WPARAM command; int button; } actions[] = {
        {"double click", 0, 0}, {"Settings", IDM_SETTINGS, 0}, {"About", IDM_ABOUT, 0},
        {"Uninstall", IDM_UNINSTALL, 0}, {"Add", 0, IDC_ADD}, {"Remove", 0, IDC_REMOVE},
        {"How to alert", 0, IDC_HOWTOALERT}, {"About", 0, IDC_ABOUT},
        {"Uninstall", 0, IDC_UNINSTALL}};
    for (const auto &action : actions) {
        SCOPED_TRACE(std::string(action.what) + (action.button ? " on the overview" : ""));
        fake::Reset();
        reg::PutString(ALERTMODE_VALUE, "1");
        reg::PutString("10900AMNine", "Nine");
        reg::PutString("10901AMLater", "Later");
        NewestTickTime = 0;
        size_t boxesAtNextMinute = 0;  // when 9.01 first comes, the first box answered
        auto tick = [&](int minute) {
            fake::SetClock(1, 9, minute, 0);
            SendMessageA(MainWindow, WM_TIMER, REMINDER_TIMER_ID, 0);
            if (minute == 1 && boxesAtNextMinute == 0)
                boxesAtNextMinute = fake::boxes.size();
        };
        fake::whileBoxOpen = [&](const FakeBox &) {
            if (fake::boxes.size() == 1 && action.button)
                SendDlgItemMessageA(OverviewHandle, action.button, BM_CLICK, 0, 0);
            else if (fake::boxes.size() == 1)
                SendMessageA(MainWindow, action.command ? WM_COMMAND : WM_TRAYNOTIFY,
                             action.command, action.command ? 0 : WM_LBUTTONDBLCLK);
        };
        DialogScript script;
        if (action.button)
            script.Then([&](HWND week) {
                tick(0);
                tick(1);
                EndDialog(week, IDOK);
            });
        script.Then([&](HWND opened) {  // over the box, which cannot return meanwhile
            tick(1);
            EndDialog(opened, IDCANCEL);
        });
        action.button ? OpenSettingsDialog() : tick(0);
        tick(1);
        EXPECT_EQ(2u, boxesAtNextMinute) << "the next programme waited for a window";
        std::string sounds;
        for (const FakeSound &sound : fake::sounds)
            sounds += sound.isStop ? "stop " : "play ";
        EXPECT_EQ("play stop play stop ", sounds);
    }
}

// The tip names what comes next after the clock, from the tick's read of each minute. Each
// entry's text is its name from the eighth character.
TEST_F(MainWindowTest, TheTipNamesTheNextProgramme)
{
    const std::vector<std::string> week = {"21045PMFilm", "31045PMLate", "20900PMSoon"};
    const struct {
        const char *what;
        int day, hour, minute;
        std::vector<std::string> store;
        std::string next;  // empty: nothing scheduled
    } cases[] = {
        {"later today", 2, 21, 0, week, "Film, today 10:45 PM"},
        {"tomorrow", 2, 23, 0, week, "Late, Wed 10:45 PM"},
        {"over Sunday night, this minute's a week on", 0, 23, 59,
         {"71159PMNow", "11200AMMidnight"}, "Midnight, Mon 12:00 AM"},
        {"only this minute's", 5, 19, 5, {"50705PMNews"}, "News, Fri 7:05 PM"},
        {"several in a minute", 5, 18, 0, {"50705PMNews", "50705PMSport", "50705PMWeather"},
         "News and 2 more, today 7:05 PM"},
        {"a name cut to fit", 3, 7, 0, {"40800AM" + std::string(80, 'L')},
         std::string(34, 'L') + ", Thu 8:00 AM"},
        {"nothing but foreign and over-long values", 1, 9, 0,
         {"81000AMEight", "11300AMThirteen", "10960AMSixty", "10901XMHalf", "10901AAMissingM",
          "10901AM" + std::string(260, 'n')}, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        reg::ClearStore();
        reg::PutString(ALERTMODE_VALUE, "1");
        for (const std::string &name : c.store)
            reg::PutString(name, name.substr(7));
        NewestTickTime = 0;
        TrayIcon.szTip[0] = '\0';
        fake::tips.clear();
        fake::SetClock(c.day, c.hour, c.minute, 30);
        SendMessageA(MainWindow, WM_TIMER, REMINDER_TIMER_ID, 0);
        EXPECT_EQ(std::vector<std::string>{c.next.empty() ? "Morvane - nothing scheduled"
                                                           : "Morvane - next: " + c.next},
                  fake::tips);
    }
    fake::SetClock(1, 9, 1, 0);
    SendMessageA(MainWindow, WM_TIMER, REMINDER_TIMER_ID, 0);
    EXPECT_EQ(1u, fake::tips.size()) << "the same tip is not handed again";
}

// A copy the package installed: its record names the install folder and the product code.
class InstalledCopyTest : public MainWindowTest {
protected:
    void TearDown() override
    {
        SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Morvane");
        MainWindowTest::TearDown();
    }
};

TEST_F(InstalledCopyTest, OnlyYesOnTheRecordedFolderHandsTheRemovalToWindowsInstaller)
{
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    const std::string msiexec = system + std::string("\\msiexec.exe");
    const std::string code = "{0F3A6C2E-81B4-4D57-9E0A-B2C4D6E8F013}";
    const char *removing = "Windows now removes Morvane.";
    const char *appsAndFeatures = "To complete uninstall please remove Morvane in Apps & features.";
    // The executable that runs is this test's: its folder is the program's, and the installed
    // one where the record says so, whatever the working folder.
    char program[MAX_PATH], upper[MAX_PATH], shortForm[MAX_PATH], started[MAX_PATH];
    GetCurrentDirectoryA(sizeof started, started);
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\windows"));
    GetModuleFileNameA(NULL, program, sizeof program);
    *strrchr(program, '\\') = '\0';
    lstrcpynA(upper, program, sizeof upper);
    CharUpperA(upper);
    ASSERT_NE(0u, GetShortPathNameA(program, shortForm, sizeof shortForm));
    ASSERT_STRNE(program, shortForm) << "Wine hands out no short name for the test's folder";
    const std::string portable = "To complete uninstall please remove the directory " +
                                 std::string(program);
    // What the box tells after the schedule has gone; NULL: the answer is No.
    const struct {
        const char *what;
        std::string folder;
        DWORD type;
        std::string code;
        bool startFails;
        const char *told;
    } cases[] = {
        {"installed, started in another working folder", upper + std::string("\\"), REG_SZ, code,
         false, removing},
        {"installed, the folder in its short form", shortForm, REG_SZ, code, false, removing},
        {"installed, No", program, REG_SZ, code, false, NULL},
        {"not installed, No", "C:\\Other", REG_SZ, code, false, NULL},
        {"msiexec cannot start", program, REG_SZ, code, true, appsAndFeatures},
        {"arguments for a product code", program, REG_SZ, "/i C:\\evil.msi", false,
         appsAndFeatures},
        {"the working folder recorded", "C:\\windows", REG_SZ, code, false, portable.c_str()},
        {"another folder's record", program + std::string("\\Old"), REG_SZ, code, false,
         portable.c_str()},
        {"a folder that is no string", program, REG_BINARY, code, false, portable.c_str()},
        {"a folder longer than a path", program + std::string(300, '\\'), REG_SZ, code, false,
         portable.c_str()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fake::Reset();
        const char *key = "Software\\Morvane\\Installer";
        SHSetValueA(HKEY_CURRENT_USER, key, "InstallFolder", c.type, c.folder.c_str(),
                    (DWORD)c.folder.size() + 1);
        SHSetValueA(HKEY_CURRENT_USER, key, "ProductCode", REG_SZ, c.code.c_str(),
                    (DWORD)c.code.size() + 1);
        fake::startFails = c.startFails;
        // Uninstall is chosen again while each question is up, and must ask nothing; should it
        // ask, it gets the same answer.
        const int answer = c.told ? IDYES : IDNO;
        fake::answers = {answer, answer};
        bool held = false;
        fake::whileBoxOpen = [&](const FakeBox &) {
            held = fake::starts.size() == 1 && !fake::starts[0].released;
            if (fake::boxes.size() == 1)
                Uninstall();
        };
        Uninstall();
        ASSERT_EQ(c.told ? 2u : 1u, fake::boxes.size());
        EXPECT_EQ(c.told ? 0 : -1, QuitCode());
        if (c.told) {
            EXPECT_EQ(std::string("Removed Morvane registry key.\n") + c.told, fake::boxes[1].text);
        }
        if (c.told != removing && !c.startFails) {
            EXPECT_TRUE(fake::starts.empty());
            continue;
        }
        ASSERT_EQ(1u, fake::starts.size());
        EXPECT_EQ(msiexec, fake::starts[0].application);
        EXPECT_EQ("\"" + msiexec + "\" /x " + code + " /qb!- REBOOT=ReallySuppress",
                  fake::starts[0].commandLine);
        EXPECT_EQ(system, fake::starts[0].directory) << "the install folder is not held";
        EXPECT_EQ(!c.startFails, held && fake::starts[0].released);
    }
    SetCurrentDirectoryA(started);
}

}  // namespace
