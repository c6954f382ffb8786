// shots: puts Morvane into the states that scripts/screenshots.sh photographs. It runs inside the
// same Wine virtual desktop as morvane.exe, one step per call, and prints the screen rectangle
// of what it brought up ("x y width height") so that the script can crop the picture to it.
// Every wait polls against a deadline (the end-to-end driver's WaitUntil).
//
//   shots fonts FACE [FACE ...]            check that the prefix has these font families (by their
//                                          own names, not a stand-in); names the missing ones
//   shots store NAME TEXT [NAME TEXT ...]  write schedule values (as another program would)
//   shots main                             wait for Morvane's hidden main window
//   shots tray                             the tray icon's rectangle
//   shots menu                             right-click the tray icon; the menu's rectangle
//   shots tip                              rest the pointer on the tray icon until its tip shows;
//                                          the rectangle around icon and tip
//   shots escape                           press Escape (closes the menu)
//   shots overview                         double-click the tray icon; the overview's rectangle
//   shots add DAY NAME HOUR MINUTE AM|PM   open the add dialog from the overview and fill it in
//                                          (DAY 1-7 for Monday-Sunday); its rectangle
//   shots sound                            open the alert sound dialog from the overview; its
//                                          rectangle
//   shots window CAPTION [SECONDS]         wait for a visible window with that caption; its
//                                          rectangle
//   shots press CAPTION ID                 press button ID of that window and wait for it to go
//   shots exit                             end Morvane ("Suspend Morvane") and wait for it
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "../res/resource.h"
#include "../tests/e2e/e2e.h"

using namespace e2e;

namespace {

HWND MainWindowOfMorvane()
{
    HWND main = NULL;
    WaitUntil([&] { return (main = FindWindowA("MORVANE", "morvane")) != NULL; });
    return main;
}

DWORD MorvanePid()
{
    DWORD pid = 0;
    HWND main = MainWindowOfMorvane();
    if (main)
        GetWindowThreadProcessId(main, &pid);
    return pid;
}

int PrintRect(HWND window)
{
    RECT r;
    if (!window || !GetWindowRect(window, &r)) {
        fprintf(stderr, "shots: no such window\n");
        return 1;
    }
    printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
}

// Wine's taskbar draws the notification icons itself, right-aligned from its right edge, each in
// a small-icon square with a two-pixel border; Morvane's is the only one, so it is the last.
bool TrayIconRect(RECT *icon)
{
    HWND tray = NULL;
    WaitUntil([&] { return (tray = FindWindowA("Shell_TrayWnd", NULL)) != NULL; });
    RECT bar;
    if (!tray || !GetWindowRect(tray, &bar))
        return false;
    int cx = GetSystemMetrics(SM_CXSMICON) + 4, cy = GetSystemMetrics(SM_CYSMICON) + 4;
    SetRect(icon, bar.right - cx, bar.top, bar.right, bar.top + cy);
    return true;
}

void Mouse(DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

// Moves the pointer onto the icon, as a user's hand would, and clicks there.
bool ClickIcon(DWORD down, DWORD up, int times)
{
    RECT r;
    if (!MainWindowOfMorvane() || !TrayIconRect(&r))
        return false;
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    for (int i = 0; i < times; i++) {
        Mouse(down);
        Mouse(up);
    }
    return true;
}

// The taskbar gives each icon a tooltip window of its own, hidden until the pointer rests there.
HWND VisibleTip()
{
    for (HWND tip = NULL; (tip = FindWindowExA(NULL, tip, "tooltips_class32", NULL)) != NULL;)
        if (IsWindowVisible(tip))
            return tip;
    return NULL;
}

int RestOnIcon()
{
    RECT icon, tip;
    if (!MainWindowOfMorvane() || !TrayIconRect(&icon))
        return PrintRect(NULL);
    // A tip shows for a pointer that comes onto its icon, so it comes from the screen's corner,
    // as a hand would bring it, rather than from wherever the menu's click left it.
    SetCursorPos(0, 0);
    SetCursorPos((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2);
    HWND shown = NULL;
    WaitUntil([&] { return (shown = VisibleTip()) != NULL; });
    // The taskbar paints the tip straight after showing it; once it answers a message, it has.
    if (!shown || !SendMessageTimeoutA(shown, WM_NULL, 0, 0, SMTO_BLOCK, DeadlineMs, NULL) ||
        !GetWindowRect(shown, &tip))
        return PrintRect(NULL);
    UnionRect(&icon, &icon, &tip);
    printf("%ld %ld %ld %ld\n", icon.left, icon.top, icon.right - icon.left, icon.bottom - icon.top);
    return 0;
}

HWND VisibleWindow(const char *className, const char *caption, DWORD deadlineMs = DeadlineMs)
{
    HWND found = NULL;
    WaitUntil(
        [&] {
            found = FindWindowA(className, caption);
            return found && IsWindowVisible(found);
        },
        deadlineMs);
    return found && IsWindowVisible(found) ? found : NULL;
}

int CALLBACK FoundFamily(const LOGFONTA *, const TEXTMETRICA *, DWORD, LPARAM found)
{
    *reinterpret_cast<bool *>(found) = true;
    return 0;
}

// Asked for a face it lacks, Wine quietly draws another one; enumerating a family by its name
// finds only the real one.
int CheckFonts(int count, char **faces)
{
    HDC screen = GetDC(NULL);
    int missing = 0;
    for (int i = 0; i < count; i++) {
        LOGFONTA wanted = {};
        wanted.lfCharSet = DEFAULT_CHARSET;
        lstrcpynA(wanted.lfFaceName, faces[i], LF_FACESIZE);
        bool found = false;
        EnumFontFamiliesExA(screen, &wanted, FoundFamily, reinterpret_cast<LPARAM>(&found), 0);
        if (!found) {
            printf("%s\n", faces[i]);
            missing++;
        }
    }
    ReleaseDC(NULL, screen);
    return missing ? 1 : 0;
}

// Presses a button of the open overview and waits for the dialog it opens.
HWND OpenFromOverview(int button, const char *caption)
{
    HWND overview = VisibleWindow("#32770", "Morvane Settings");
    if (!overview)
        return NULL;
    Click(overview, button);
    return VisibleWindow("#32770", caption);
}

int AddDialog(char **args)
{
    HWND add = OpenFromOverview(IDC_ADD, "Add entry");
    if (!add)
        return PrintRect(NULL);
    // The lists hold a placeholder first, then the days, hours 1-12 and minutes 00-59.
    Choose(add, IDC_DAYLIST, atoi(args[0]));
    SetItemText(add, IDC_PROGRAMME, args[1]);
    Choose(add, IDC_HOURLIST, atoi(args[2]));
    Choose(add, IDC_MINUTELIST, atoi(args[3]) + 1);
    Click(add, strcmp(args[4], "PM") == 0 ? IDC_PM : IDC_AM);
    return PrintRect(add);
}

}  // namespace

int main(int argc, char **argv)
{
    std::string step = argc > 1 ? argv[1] : "";
    if (step == "fonts" && argc > 2)
        return CheckFonts(argc - 2, argv + 2);
    if (step == "store" && argc % 2 == 0) {
        for (int i = 2; i + 1 < argc; i += 2)
            PutEntry(argv[i], argv[i + 1]);
        return 0;
    }
    if (step == "main")
        return MainWindowOfMorvane() ? 0 : 1;
    if (step == "tray") {
        RECT r;
        if (!TrayIconRect(&r))
            return PrintRect(NULL);
        printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        return 0;
    }
    if (step == "menu") {
        if (!ClickIcon(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, 1))
            return PrintRect(NULL);
        return PrintRect(VisibleWindow("#32768", NULL));
    }
    if (step == "tip")
        return RestOnIcon();
    if (step == "escape") {
        keybd_event(VK_ESCAPE, 0, 0, 0);
        keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
        return WaitUntil([] {
                   HWND menu = FindWindowA("#32768", NULL);
                   return !menu || !IsWindowVisible(menu);
               })
                   ? 0
                   : 1;
    }
    if (step == "overview") {
        if (!ClickIcon(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 2))
            return PrintRect(NULL);
        return PrintRect(VisibleWindow("#32770", "Morvane Settings"));
    }
    if (step == "add" && argc == 7)
        return AddDialog(argv + 2);
    if (step == "sound")
        return PrintRect(OpenFromOverview(IDC_HOWTOALERT, "How to alert"));
    if (step == "window" && argc >= 3) {
        DWORD seconds = argc > 3 ? (DWORD)atoi(argv[3]) : DeadlineMs / 1000;
        return PrintRect(VisibleWindow("#32770", argv[2], seconds * 1000));
    }
    if (step == "press" && argc == 4) {
        HWND window = VisibleWindow("#32770", argv[2]);
        return window && Press(window, atoi(argv[3])) ? 0 : 1;
    }
    if (step == "exit") {
        DWORD pid = MorvanePid();
        HWND main = MainWindowOfMorvane();
        if (!main)
            return 1;
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
        PostMessageA(main, WM_COMMAND, IDM_EXIT, 0);  // "&Suspend Morvane"
        DWORD waited = process ? WaitForSingleObject(process, DeadlineMs) : WAIT_FAILED;
        if (process)
            CloseHandle(process);
        return waited == WAIT_OBJECT_0 ? 0 : 1;
    }
    fprintf(stderr, "usage: see the top of tools/shots.cpp\n");
    return 2;
}
