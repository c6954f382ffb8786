#include "shell.h"

#include "../../res/resource.h"
#include "../platform/platform.h"
#include "../reminder/reminder.h"

static HICON ClassIcon;
static HICON ClassSmallIcon;

// LoadIcon takes the large size only, which the shell shrinks for the tray, and on a scaled display
// stretches first. The metrics of a program aware of the system DPI, as the manifest makes this
// one, follow the display's scale: the picture drawn for that size is the one shown, crisp.
// Loaded at a size of our own, the icon is not shared, and is ours to destroy.
static HICON LoadIconAtMetrics(HINSTANCE instance, int id, int widthMetric, int heightMetric)
{
    return (HICON)LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON,
                             GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric),
                             LR_DEFAULTCOLOR);
}

void RegisterMainClass(HINSTANCE instance, const char *className)
{
    ClassIcon = LoadIconAtMetrics(instance, IDI_MORVANE, SM_CXICON, SM_CYICON);
    ClassSmallIcon = LoadIconAtMetrics(instance, IDI_SMALL, SM_CXSMICON, SM_CYSMICON);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = ClassIcon;
    wc.hIconSm = ClassSmallIcon;
    wc.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDC_MORVANE);
    wc.lpszClassName = className;
    RegisterClassExA(&wc);
}

void AddTrayIcon(HINSTANCE instance)
{
    ZeroMemory(&TrayIcon, sizeof TrayIcon);
    TrayIcon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    TrayIcon.hWnd = MainWindow;
    TrayIcon.uID = 0;
    TrayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    TrayIcon.uCallbackMessage = WM_TRAYNOTIFY;
    TrayIcon.hIcon = LoadIconAtMetrics(instance, IDI_MORVANE, SM_CXSMICON, SM_CYSMICON);
    ReadTrayTip(TrayIcon.szTip);
    PlatformNotifyIcon(NIM_ADD, &TrayIcon);
}

// The shell reads the tip field of the form that cbSize names: 64 characters, not 128.
static_assert(NOTIFYICONDATAA_V1_SIZE - FIELD_OFFSET(NOTIFYICONDATAA, szTip) == TRAY_TIP_ROOM,
              "the first form's tip field");

void ShowTrayTip(const char *tip)
{
    if (lstrcmpA(TrayIcon.szTip, tip) == 0)
        return;
    lstrcpynA(TrayIcon.szTip, tip, TRAY_TIP_ROOM);
    PlatformNotifyIcon(NIM_MODIFY, &TrayIcon);
}

void RefreshTrayTip()
{
    char tip[TRAY_TIP_ROOM];
    ReadTrayTip(tip);
    ShowTrayTip(tip);
}

// The shell keeps a copy of the notification icon it was handed, and a class's icons outlive its
// windows: they go only when the program ends.
void DestroyProgramIcons()
{
    DestroyIcon(TrayIcon.hIcon);
    DestroyIcon(ClassSmallIcon);
    DestroyIcon(ClassIcon);
    TrayIcon.hIcon = ClassSmallIcon = ClassIcon = NULL;
}
